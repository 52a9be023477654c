#!/usr/bin/env bash
# Starts the real program many times in a virtual X server, as a player
# starts it, and ends each with Escape once its first frames ran; the second
# half with a busy loop on every core. A start must open its window, end with
# 0, and leave no sanitizer report (AddressSanitizer, LeakSanitizer,
# UndefinedBehaviorSanitizer) in its output. A fault that shows once in a few
# starts under load, where a single test run would miss it.
# Usage: scripts/start-often.sh PROGRAM [COUNT]   (COUNT defaults to 20)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
program=$(realpath "$1")
count=${2:-20}
test -x "$program" || {
  echo "start-often: $program is not a program"
  exit 1
}
need_packages xvfb xauth xdotool

out=$PWD/build/start-often
rm -rf "$out"
mkdir -p "$out"
start_xvfb 640x480x24
busy=()
cleanup() {
  for p in "${busy[@]}"; do kill "$p" 2>/dev/null || true; done
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Sound goes through SDL's silent driver (the mixer and the synthesiser run
# as with a card); the reports say where they are, and a report ends nothing.
export SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan-host.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
reports='ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:'
fail=0
started=$SECONDS
for i in $(seq "$count"); do
  if [ "$i" -gt $((count / 2)) ] && [ ${#busy[@]} -eq 0 ]; then
    for _ in $(seq "$(nproc)"); do
      (while :; do :; done) &
      busy+=($!)
    done
  fi
  log=$out/start-$i.log
  "$program" >"$log" 2>&1 &
  pid=$!
  win=$(timeout 60 xdotool search --sync --name "TUMBLA" 2>/dev/null | head -1) || true
  code=-1
  if [ -z "$win" ]; then
    echo "start-often: start $i: no window within 60 s"
    kill "$pid" 2>/dev/null || true
  else
    sleep 3
    xdotool windowfocus "$win" 2>/dev/null || true
    sleep 0.5
    xdotool key Escape 2>/dev/null || true
    for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  fi
  set +e
  wait "$pid"
  code=$?
  set -e
  if [ "$code" -ne 0 ] || grep -aqE "$reports" "$log"; then
    fail=1
    echo "start-often: start $i$([ ${#busy[@]} -gt 0 ] && echo ' (busy machine)') ended with $code:"
    grep -aE -A30 "$reports" "$log" | head -40 || tail -20 "$log"
  fi
done
echo "start-often: $count starts of $(basename "$program"), the last $((count - count / 2)) on a busy machine, $((SECONDS - started)) s"
[ $fail -eq 0 ] || exit 1
