#!/usr/bin/env bash
# Plays TUMBLA for a few seconds in a virtual X server and takes the
# README's pictures: docs/screenshot.png and an animated docs/play.gif.
#   tools/screenshot.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/play}
[ -x "$build/tumbla" ] || { echo "build $build/tumbla first (./play.sh or cmake --build)"; exit 1; }
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done

. scripts/lib.sh
start_xvfb 1024x768x24
work=$(mktemp -d)
game=""
trap 'kill $game $xvfb_pid 2>/dev/null || true; rm -rf "$work"' EXIT
SDL_AUDIODRIVER=dummy "$build/tumbla" &
game=$!
window=$(xdotool search --sync --name "TUMBLA Version 0.01" | head -n1)
xdotool windowfocus --sync "$window"

# Let the panel glide in, steer a little, then film a few seconds of play.
press() { xdotool keydown "$1"; sleep "${2:-0.05}"; xdotool keyup "$1"; }
sleep 1.5
press Left; sleep 0.3; press x; sleep 0.4; press Right 0.3
sleep 0.4
import -window "$window" docs/screenshot.png
for i in $(seq -w 0 39); do
  import -window "$window" "$work/frame$i.png"
  case $i in 08) press Left ;; 16) press z ;; 24) press Down 0.6 ;; esac
  sleep 0.05
done
convert -delay 10 -loop 0 "$work"/frame*.png -layers Optimize docs/play.gif
xdotool key --window "$window" Escape
wait $game || true
echo "wrote docs/screenshot.png and docs/play.gif"
