#!/usr/bin/env bash
# What the game's music costs against FluidSynth's own cost for the same song,
# side by side in one run: the real program plays under its own Xvfb (no
# sound device: SDL's dummy driver asks for the stream at a sound card's
# pace) while FluidSynth alone (fluid_alone.cpp beside this script, the
# game's settings and soundfont, its own MIDI player looping the same song)
# renders the song paced as SDL asks the game (1024 frames at a time); then FluidSynth renders as fast as it
# can. CPU time comes from /proc/PID/task/TID/schedstat (nanoseconds), so
# other work on the machine costs us nothing but noise. Prints the audio
# thread's share of a core and its ratio to each.
#   usage: tools/cost/measure-music.sh PATH/TO/tumbla [seconds]
# Run from the project's root (it needs sample_data/).
set -u
exe=$(readlink -f "${1:?usage: measure-music.sh PATH/TO/tumbla [seconds]}"); secs=${2:-20}
here=$(cd "$(dirname "$0")" && pwd); root=$(pwd); work=$(mktemp -d)
pid=""; xpid=""; alone=""
finish() {
    [ -n "$alone" ] && kill "$alone" 2>/dev/null
    end_game "$pid"
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
    rm -rf "$work"
}
. "$here/../../scripts/lib.sh"
trap finish EXIT
sf=${TUMBLA_SOUNDFONT:-}
if [ -z "$sf" ]; then
    # The game's own order of preference (platform/host/sdl/sdl_synth.cpp).
    for f in /usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf3/default-GM.sf3 \
             /usr/share/sounds/sf2/TimGM6mb.sf2; do
        [ -f "$f" ] && { sf=$f; break; }
    done
fi
[ -n "$sf" ] || { echo "no General MIDI soundfont on this machine" >&2; exit 1; }
# shellcheck disable=SC2046
c++ -O2 -std=c++20 -I"$root" -o "$work/fluid_alone" "$here/fluid_alone.cpp" \
    $(pkg-config --cflags --libs fluidsynth) || exit 1
start_xvfb 1024x768x24 || exit 1
xpid=$xvfb_pid
cp -r sample_data "$work/"; cd "$work"
# FluidSynth alone starts with the game, so both measure the same part of
# the song (give or take the game's start).
TUMBLA_SOUNDFONT=$sf SDL_AUDIODRIVER=dummy "$exe" & pid=$!
"$work/fluid_alone" "$sf" sample_data/sw5.mid 5 "$secs" paced 1024 > "$work/paced" & alone=$!
sleep 5
[ -d /proc/"$pid" ] || { echo "the game ended early" >&2; exit 1; }
audio=""
for t in /proc/$pid/task/*; do grep -q '^SDLAudio' "$t/comm" && audio=$t; done
[ -n "$audio" ] || { echo "no audio thread in the game" >&2; exit 1; }
ns() { awk '{ print $1 }' "$1/schedstat"; }
a0=$(ns "$audio"); sleep "$secs"; a1=$(ns "$audio")
wait "$alone"; alone=""
"$work/fluid_alone" "$sf" sample_data/sw5.mid 5 "$secs" fast > "$work/fast"
paced=$(awk '{ print $1 }' "$work/paced" | tr -d %); fast=$(awk '{ print $1 }' "$work/fast" | tr -d %)
awk -v a=$((a1 - a0)) -v s="$secs" -v p="$paced" -v f="$fast" -v sf="$sf" 'BEGIN {
    share = a / 1e7 / s
    printf "soundfont %s, %s s\n", sf, s
    printf "  game audio thread:            %.2f%% of a core\n", share
    printf "  FluidSynth alone, paced 1024: %.2f%%  (audio thread %.2fx)\n", p, share / p
    printf "  FluidSynth alone, fast:       %.2f%%  (audio thread %.2fx)\n", f, share / f
}'
