#!/usr/bin/env bash
# What a player's machine pays for TUMBLA: frames a second, CPU time of the
# whole process and of its main thread over N seconds of idle play, and when
# steady play began (the first of four frames shown within 60 ms), for the
# real program under its own Xvfb (1024x768x24, or XVFB_SCREEN; Mesa's
# software GL) with no sound device, and what the X server took meanwhile
# (drawing the game's picture is its work too). CPU time is read from /proc/PID/stat and
# /proc/PID/task/PID/stat, so other work on the machine costs us nothing but
# noise.
#   usage: tools/cost/measure-cost.sh PATH/TO/tumbla [seconds] [--inactive]
# --inactive gives the keyboard focus to another window (xmessage) first, as
# when the player switches away; TUMBLA_ARGS=/F in the environment measures
# full screen. Run from the project's root (it needs
# sample_data/). Frames are counted by an LD_PRELOAD shim on SDL's present
# calls (present_count.c beside this script).
set -u
exe=$(readlink -f "${1:?usage: measure-cost.sh PATH/TO/tumbla [seconds] [--inactive]}"); secs=${2:-20}
inactive=0; [ "${3:-}" = --inactive ] && inactive=1
here=$(cd "$(dirname "$0")" && pwd); work=$(mktemp -d)
pid=""; xpid=""; other=""
finish() {
    # The game first, while its display is still there, then the display.
    [ -n "$other" ] && kill "$other" 2>/dev/null
    end_game "$pid"
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
    rm -rf "$work"
}
. "$here/../../scripts/lib.sh"
trap finish EXIT
cc -O2 -shared -fPIC -o "$work/present_count.so" "$here/present_count.c" -ldl -lpthread || exit 1
start_xvfb "${XVFB_SCREEN:-1024x768x24}" || exit 1
xpid=$xvfb_pid
cp -r sample_data "$work/" 2>/dev/null; cd "$work"
export PRESENT_COUNT_FILE="$work/counts" PRESENT_T0_NS=$(date +%s%N)
LD_PRELOAD="$work/present_count.so" SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} "$exe" ${TUMBLA_ARGS:-} & pid=$!
sleep 3
if [ $inactive = 1 ]; then
    xmessage -geometry 200x60+0+0 "elsewhere" & other=$!
    sleep 1
    timeout 5 xdotool search --name "^xmessage$" windowfocus
fi
sleep 2
[ -d /proc/"$pid" ] || { echo "the game ended early" >&2; exit 1; }
frames() { grep -v steady counts | tail -1 | awk '{print $2}'; }
c0=$(cpu_ticks /proc/$pid/stat); m0=$(cpu_ticks /proc/$pid/task/$pid/stat); f0=$(frames)
x0=$(cpu_ticks /proc/$xpid/stat)
declare -A t0
for t in /proc/$pid/task/*; do t0[$t]=$(cpu_ticks "$t/stat"); done
sleep "$secs"
# Every thread's share, so that the audio thread's part is seen apart.
for t in /proc/$pid/task/*; do
  [ -n "${t0[$t]:-}" ] || continue
  awk -v n="$(cat "$t/comm")" -v d=$(($(cpu_ticks "$t/stat") - t0[$t])) -v s="$secs" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { if (d > 0) printf "  thread %s (%s): %.1f%%\n", n, "'"${t##*/}"'", 100*d/hz/s }'
done
c1=$(cpu_ticks /proc/$pid/stat); m1=$(cpu_ticks /proc/$pid/task/$pid/stat); f1=$(frames)
x1=$(cpu_ticks /proc/$xpid/stat)
hz=$(getconf CLK_TCK)
awk -v f=$((f1 - f0)) -v c=$((c1 - c0)) -v m=$((m1 - m0)) -v x=$((x1 - x0)) -v s="$secs" -v hz="$hz" -v st="$(grep steady counts | tail -1 | awk '{print $2}')" \
  'BEGIN { printf "%.1f frames/s; process %.1f%% of a core; main thread %.1f%%; X server %.1f%%; steady play from %s ms\n", f/s, 100*c/hz/s, 100*m/hz/s, 100*x/hz/s, (st == "" ? "?" : st) }'
