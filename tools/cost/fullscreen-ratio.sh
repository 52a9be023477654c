#!/usr/bin/env bash
# Full screen against the window at large screen sizes: for each size, the
# game in a window and the game full screen are measured at the same time
# (measure-cost.sh, each on its own Xvfb of that size), so that whatever
# else the machine does weighs on both alike; the game and its X server are
# counted together. Prints each pair and the ratio of full screen to window.
#   usage: tools/cost/fullscreen-ratio.sh PATH/TO/tumbla [seconds] [rounds] [sizes...]
# Run from the project's root.
set -u
exe=${1:?usage: fullscreen-ratio.sh PATH/TO/tumbla [seconds] [rounds] [sizes...]}
secs=${2:-12}
rounds=${3:-2}
shift $(($# < 3 ? $# : 3))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
total() { awk -F'[;%]' '/frames\/s/ { for (i = 1; i <= NF; i++) { if ($i ~ /process/) p = $i; if ($i ~ /X server/) x = $i }
  gsub(/[^0-9.]/, "", p); gsub(/[^0-9.]/, "", x); printf "%.1f %.1f", p, x }' "$1"; }
for size in "${sizes[@]}"; do
  for round in $(seq "$rounds"); do
    XVFB_SCREEN=${size}x24 "$here/measure-cost.sh" "$exe" "$secs" >"$out/window" 2>&1 &
    a=$!
    XVFB_SCREEN=${size}x24 TUMBLA_ARGS=/F "$here/measure-cost.sh" "$exe" "$secs" >"$out/full" 2>&1 &
    b=$!
    wait $a $b
    read -r wp wx <<<"$(total "$out/window")"
    read -r fp fx <<<"$(total "$out/full")"
    awk -v s="$size" -v r="$round" -v wp="$wp" -v wx="$wx" -v fp="$fp" -v fx="$fx" -v wf="$(grep -o '^[0-9.]* frames/s' "$out/window")" \
      -v ff="$(grep -o '^[0-9.]* frames/s' "$out/full")" 'BEGIN {
      printf "%s round %s: window %.1f%% (game %.1f + X %.1f, %s), full screen %.1f%% (game %.1f + X %.1f, %s): %.2fx\n",
        s, r, wp + wx, wp, wx, wf, fp + fx, fp, fx, ff, (wp + wx > 0 ? (fp + fx) / (wp + wx) : 0) }'
  done
done
