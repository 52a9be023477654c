#!/usr/bin/env bash
# Key to screen, from outside the program, against its floor in the same run:
# a minimal SDL program (floor.c) that does the least a 60 Hz software-drawn
# game can do, then TUMBLA in a window and full screen, one after the other in
# one Xvfb (1920x1080x24, or XVFB_SCREEN). With a TUMBLA.exe and Wine, the
# Windows build too, in a second Xvfb of its own against a floor measured
# there. Prints each run's median and its ratio to the floor's.
#   usage: tools/latency/measure-latency.sh PATH/TO/tumbla [presses] [PATH/TO/TUMBLA.exe]
# Run from the project's root (the game needs sample_data/). Needs Xvfb,
# xdotool, libxtst-dev and SDL2's development files.
set -u
exe=$(readlink -f "${1:?usage: measure-latency.sh PATH/TO/tumbla [presses] [TUMBLA.exe]}")
presses=${2:-30}
winexe=${3:+$(readlink -f "$3")}
here=$(cd "$(dirname "$0")" && pwd); root=$(pwd); work=$(mktemp -d)
pid=""; xpid=""
finish() {
    end_game "$pid"
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
    rm -rf "$work"
}
. "$here/../../scripts/lib.sh"
trap finish EXIT
cc -O2 -o "$work/keylat" "$here/keylat.c" -lX11 -lXtst || exit 1
cc -O2 -o "$work/floor" "$here/floor.c" $(pkg-config --cflags --libs sdl2) || exit 1
start_xvfb "${XVFB_SCREEN:-1920x1080x24}" || exit 1
xpid=$xvfb_pid
cp -r "$root/sample_data" "$work/"; cd "$work"

# The well's inside on the 640x480 picture, and where a picture of that size
# lies in a window of WIDTH x HEIGHT: stretched over it in a window, at the
# largest whole scale in the middle of the screen in full screen.
well=(230 112 130 256)
rect() {  # rect WIDTH HEIGHT full x y w h  -> the rectangle in the window
    awk -v W="$1" -v H="$2" -v full="$3" -v x="$4" -v y="$5" -v w="$6" -v h="$7" 'BEGIN {
        sx = W / 640; sy = H / 480; ox = 0; oy = 0
        if (full) {
            s = int(W / 640 < H / 480 ? W / 640 : H / 480); if (s < 1) s = 1
            sx = s; sy = s; ox = int((W - 640 * s) / 2); oy = int((H - 480 * s) / 2)
        }
        printf "%d %d %d %d", ox + x * sx, oy + y * sy, w * sx, h * sy }'
}
# measure NAME FULL x y w h COMMAND...: starts the program, finds its window,
# lets it settle, presses Left and Right in turn; prints the median.
measure() {
    local name=$1 full=$2 x=$3 y=$4 w=$5 h=$6; shift 6
    "$@" >/dev/null 2>&1 & pid=$!
    local window
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "$name" | head -1)
    [ -n "$window" ] || { echo "no window $name" >&2; end_game "$pid"; pid=""; return 1; }
    xdotool windowfocus "$window" 2>/dev/null
    sleep 3
    local size
    size=$(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
    # shellcheck disable=SC2046
    "$work/keylat" "$window" $(rect $size "$full" "$x" "$y" "$w" "$h") "$presses" Left Right | tail -1 | awk '{ print $2 }'
    end_game "$pid"; pid=""
}
floor=$(measure "^latency floor$" 0 150 200 340 20 "$work/floor")
game=$(measure "^TUMBLA Version 0.01$" 0 "${well[@]}" env SDL_AUDIODRIVER=dummy "$exe")
full=$(measure "^TUMBLA Version 0.01$" 1 "${well[@]}" env SDL_AUDIODRIVER=dummy "$exe" /F)
wine=""; floorw=""
if [ -n "$winexe" ] && command -v wine >/dev/null; then
    # As scripts/test-wine.sh runs it: on its own 24-bit 640x480 X server,
    # where Wine gives the game its 640x480 mode over the whole screen,
    # against the floor in that server. A 32-bit prefix (WINEPREFIX, or a
    # new one here), ALSA's null device for sound, GDI for DirectDraw.
    kill "$xpid" 2>/dev/null
    start_xvfb 640x480x24 || exit 1
    xpid=$xvfb_pid
    export HOME="$work/home" WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
    export WINEPREFIX=${WINEPREFIX:-$work/wine}
    mkdir -p "$HOME"
    printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"
    [ -f "$WINEPREFIX/system.reg" ] || timeout 180 wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /t REG_SZ /d gdi /f >/dev/null 2>&1
    wineserver -w
    floorw=$(measure "^latency floor$" 0 150 200 340 20 "$work/floor")
    wine=$(measure "^TUMBLA Version 0.01$" 1 "${well[@]}" wine "$winexe")
    wineserver -k 2>/dev/null
fi
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "?"; else printf "%.2f", a / b }'; }
echo "floor, window:        ${floor:-?} ms"
echo "TUMBLA, window:       ${game:-?} ms  ($(ratio "$game" "$floor")x the floor)"
echo "TUMBLA, full screen:  ${full:-?} ms  ($(ratio "$full" "$floor")x the floor)"
if [ -n "$winexe" ]; then
    echo "floor, 640x480 X:     ${floorw:-?} ms"
    echo "TUMBLA.exe, Wine:     ${wine:-?} ms  ($(ratio "$wine" "$floorw")x the floor)"
fi
exit 0
