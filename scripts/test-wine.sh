#!/usr/bin/env bash
# Runs the Windows build under Wine, an independent implementation of the
# Windows API: TUMBLA.exe on its own 24-bit 640x480 X server (it starts, shows
# the play field, keeps 55-65 frames a second measured from outside, ends
# with 0 on Escape, and a second start brings the first forward), twenty
# more starts of the downloads, half of them on a busy machine, none of which
# may crash (scripts/test-windows-download.sh), and the platform conformance
# tests cross-compiled with mingw-w64.
# Usage: scripts/test-wine.sh [--conformance-only] [build/windows]
#   (TUMBLA.exe already built; --conformance-only runs the platform tests
#    alone and needs no TUMBLA.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
only_conformance=0
if [ "${1:-}" = "--conformance-only" ]; then
  only_conformance=1
  shift
fi
# --download-only: the zip and the installer (scripts/test-windows-download.sh) alone.
only_download=0
[ "${1:-}" = "--download-only" ] && only_download=1 && shift
build=${1:-build/windows}
exe=$root/$build/TUMBLA.exe
[ $only_conformance -eq 1 ] || test -s "$exe" || {
  echo "test-wine: $exe is missing (build/windows first)"
  exit 1
}

# ---- what Wine needs (only what is missing) -------------------------------
. scripts/lib.sh
# Wine's X11 driver loads the 32-bit X extension libraries at run time; without
# recommends they are not pulled in, and without libxrandr2/libxxf86vm1 Wine
# cannot change the display mode at all.
need_packages --i386 wine wine32 \
  libxrandr2:i386 libxxf86vm1:i386 libxcursor1:i386 libxi6:i386 libxinerama1:i386 \
  libxrender1:i386 libxcomposite1:i386 libxfixes3:i386 libxext6:i386 \
  xvfb xauth xdotool imagemagick x11-apps x11-utils g++-mingw-w64-i686-posix

# ---- a private Wine: its own prefix, home, display and sound ---------------
work=$root/build/wine
mkdir -p "$work/home"
export HOME=$work/home WINEPREFIX=$work/prefix WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
# No sound card here: ALSA's null device gives Wine a working wave output.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"
start_xvfb 640x480x24
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "test-wine: creating the Wine prefix (first run)"
  timeout 180 wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# The frame counter seen from outside: the pad polls the Up key once a frame.
# The report's message boxes are traced too, so that their text can be shown.
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
  /d 'user32.GetAsyncKeyState;user32.MessageBoxA;user32.MessageBoxW' /f >/dev/null 2>&1
# Xvfb has no GPU: Wine's OpenGL path for DirectDraw would render through
# llvmpipe and cost a core; its GDI renderer draws 8-bit surfaces directly.
wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /t REG_SZ /d gdi /f >/dev/null 2>&1
# A crash must end the process, not wait on a dialog: winedbg, as the
# system's debugger, prints the registers and the backtrace into the
# crashing program's output and ends it.
wine reg add 'HKCU\Software\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ \
  /d 'winedbg --auto %ld %ld' /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
wineserver -w

out=$work/out
rm -rf "$out"
mkdir -p "$out"
fail=0
note() { echo "test-wine: $*"; }
bad() {
  echo "test-wine: FAIL: $*"
  fail=1
}

# Waits up to $2 seconds for a window named $1; prints its id.
find_window() {
  local id=""
  for _ in $(seq $(($2 * 5))); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -1) || true
    [ -n "$id" ] && break
    sleep 0.2
  done
  echo "$id"
}

# Escape in window $2: process $1 must end with 0 within 10 s; $3 starts
# each line said.
escape_ends_game() {
  local pid=$1 window=$2 label=$3 code
  xdotool windowfocus "$window" 2>/dev/null || true
  sleep 1
  xdotool key Escape
  set +e
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    bad "${label}still running 10 s after Escape"
    kill "$pid" 2>/dev/null
    code=-1
  else
    wait "$pid"
    code=$?
  fi
  set -e
  [ "$code" -eq 0 ] || bad "${label}Escape ended the game with $code"
  note "${label}Escape: exit $code"
}

# The Windows process of TUMBLA.exe (wine's loader execs into it).
game_pid() { pgrep -f 'TUMBLA.exe' | head -1; }

# A program that crashes under Wine says "wine: Unhandled page fault ..." (or
# exception) in its output, and winedbg adds the registers and the backtrace.
# Any of that in log $1 fails the stage, with what Wine said; $2 names the run.
crash_pattern='wine: Unhandled|^Unhandled exception'
check_crash() {
  grep -aqE "$crash_pattern" "$1" || return 0
  bad "$2: crashed under Wine (see $1):"
  grep -aE -A45 "$crash_pattern" "$1" | grep -avE '^[0-9]+\.[0-9]+:[0-9a-f]{4}:' | head -45
}

# Keeps Wine's own services (devices, the desktop) running in a process of
# their own while a series of starts runs, so that each start's output is the
# game's alone; what the services print goes to $1.
keep_wine_up() {
  rm -f "$out/keeper.in"
  mkfifo "$out/keeper.in"
  wine cmd <"$out/keeper.in" >/dev/null 2>"$1" &
  keeper_pid=$!
  pids+=("$keeper_pid")
  exec 7>"$out/keeper.in"
  wine cmd /c exit 0 >/dev/null 2>&1 || true
}
let_wine_go() {
  exec 7>&-
  wait "$keeper_pid" 2>/dev/null || true
  rm -f "$out/keeper.in"
}

# Starts $1 (a Unix path) $3 times from the folder $2 and ends each with
# Escape once its first frames ran (the song loaded, the sprites, the first
# presents); the second half with a busy loop on every core, as on a machine
# that is doing other work. $4 names the series. A crash the first starts
# hide shows in a few in twenty under load.
start_often() {
  local exe=$1 dir=$2 count=$3 label=$4 i log pid win busy=() started=$SECONDS loaded=0
  keep_wine_up "$out/$label-services.log"
  for i in $(seq "$count"); do
    if [ "$i" -gt $((count / 2)) ] && [ ${#busy[@]} -eq 0 ]; then
      for _ in $(seq "$(nproc)"); do
        (while :; do :; done) &
        busy+=($!)
        pids+=($!)
      done
      loaded=1
    fi
    log=$out/$label-$i.log
    (cd "$dir" && exec wine "$exe" 2>"$log") &
    pid=$!
    pids+=("$pid")
    win=$(find_window "TUMBLA" 60)
    if [ -z "$win" ]; then
      bad "$label start $i: no TUMBLA window within 60 s"
    else
      sleep 3
    fi
    check_crash "$log" "$label start $i$([ $loaded -eq 1 ] && echo ' (busy machine)')"
    if [ -n "$win" ] && kill -0 "$pid" 2>/dev/null; then
      escape_ends_game "$pid" "$win" "$label start $i: "
    else
      kill "$pid" 2>/dev/null || true
    fi
  done
  for p in "${busy[@]}"; do kill "$p" 2>/dev/null || true; done
  let_wine_go
  # Wine's own services are not the game: what they say is shown, not judged.
  if grep -aqE "$crash_pattern" "$out/$label-services.log"; then
    note "$label: one of Wine's own services crashed meanwhile (not TUMBLA.exe):"
    grep -aE "$crash_pattern" "$out/$label-services.log" | head -3
  fi
  note "$label: $count starts, the last $((count - count / 2)) on a busy machine, $((SECONDS - started)) s"
}

# ---- the game -------------------------------------------------------------
run_game() {
  cd "$root"
  WINEDEBUG=+timestamp,+relay wine "$exe" 2>"$out/relay.log" &
  wine_pid=$!
  pids+=("$wine_pid")
  win=$(find_window "TUMBLA" 60)
  if [ -z "$win" ]; then
    bad "no TUMBLA window within 60 s"
    check_crash "$out/relay.log" "the first start"
    grep -av GetAsyncKeyState "$out/relay.log" | tail -20 || true
    exit 1
  fi
  note "window $win is up"
  sleep 3
  # A start that failed shows the game's report (a message box of the same
  # title) instead of the play field: say so, with the report's text.
  if grep -aq 'Call user32.MessageBox[AW]' "$out/relay.log"; then
    bad "TUMBLA.exe shows its error report instead of playing:"
    grep -a 'Call user32.MessageBox[AW]' "$out/relay.log" | sed 's/^.*Call user32\./  /' | head -3
    exit 1
  fi
  # The play field: a picture of many colours, not a black or blank screen.
  # In full screen the game's picture is the whole (640x480) screen.
  xwd -root | convert xwd:- "$out/shot.png"
  colours=$(convert "$out/shot.png" -format '%k' info:)
  size=$(convert "$out/shot.png" -format '%wx%h' info:)
  note "screenshot $out/shot.png: $size, $colours colours"
  [ "$colours" -ge 16 ] || bad "the play field is not on the screen ($colours colours)"

  # CPU while playing, over three seconds.
  gp=$(game_pid)
  cpu_play=$(cpu_share "$gp" 3)
  note "CPU while playing: ${cpu_play}% of a core"
  [ "$cpu_play" -lt 50 ] || bad "playing takes ${cpu_play}% of a core"

  # Frames a second from the relay trace: calls of GetAsyncKeyState(VK_UP).
  fps=$(grep -a 'Call user32.GetAsyncKeyState(00000026)' "$out/relay.log" | awk -F: '
    { t[NR] = $1 + 0 }
    END {
      if (NR < 100) { print 0; exit }
      # seconds 2 to 5 of play, away from the start-up and before the focus moves
      n = 0
      for (i = 1; i <= NR; i++) if (t[i] > t[1] + 2 && t[i] <= t[1] + 5) n++
      printf "%.1f", n / 3
    }' || true)
  note "frames a second: $fps"
  awk -v f="$fps" 'BEGIN { exit !(f >= 55 && f <= 65) }' || bad "pace of $fps frames a second"

  # A second start brings the first forward and ends with 0.
  set +e
  timeout 60 wine "$exe" >/dev/null 2>&1
  second=$?
  set -e
  [ "$second" -eq 0 ] || bad "a second start ended with $second"
  kill -0 "$wine_pid" 2>/dev/null || bad "the first game ended at the second start"
  note "second start: exit $second, the first still runs"

  # Inactive: another Windows program comes to the front.
  wine notepad >/dev/null 2>&1 &
  other=$!
  pids+=("$other")
  notewin=$(find_window "Notepad" 20)
  sleep 1
  cpu_idle=$(cpu_share "$gp" 2)
  note "CPU while inactive: ${cpu_idle}% of a core"
  [ "$cpu_idle" -lt 10 ] || bad "inactive takes ${cpu_idle}% of a core"
  [ -n "$notewin" ] && xdotool windowfocus "$notewin" key alt+F4 2>/dev/null || true
  for _ in $(seq 25); do kill -0 "$other" 2>/dev/null || break; sleep 0.2; done
  kill "$other" 2>/dev/null || true

  # Escape ends the game with 0.
  check_crash "$out/relay.log" "the first start"
  escape_ends_game "$wine_pid" "$win" ""
}

# ---- the platform tests that use only the Windows API ---------------------
# The same sources run over our stand-in in the Linux build; here they run
# over Wine's DLLs, so the two implementations are held to one behaviour.
# Where Wine itself departs from Windows, tests/platform/wine_deviations.txt
# names the test: one that fails under Wine runs on its own and must still
# fail there (a Wine that mends it is noticed); one that crashes Wine is not
# run at all.
run_conformance() {
  local started=$SECONDS exe=$root/build/windows-conformance/conformance.exe
  # The game's texts are Japanese ANSI: the tests expect code page 932, which
  # Wine takes from the locale's name. Files they write go beside the logs.
  local run=(env LC_ALL=ja_JP.UTF-8 "TUMBLA_TEST_OUT=Z:${out//\//\\}" wine "$exe")
  if ! (cmake --preset windows-conformance >"$out/conformance-build.log" &&
    cmake --build --preset windows-conformance -j"$(nproc)" >>"$out/conformance-build.log" 2>&1); then
    grep -a -m20 -A3 "error" "$out/conformance-build.log" || tail -20 "$out/conformance-build.log"
    bad "the platform tests did not build for Windows (see $out/conformance-build.log)"
    return
  fi
  local sources=()
  mapfile -t sources < <(cd "$root" && ls tests/platform/*/*_conformance_test.cpp)

  # The list: "Suite.Test fails|crashes why (reference)", # for comments.
  local failing=() crashing=() name kind
  while read -r name kind _; do
    case "$name" in "" | "#"*) continue ;; esac
    case "$kind" in
      fails) failing+=("$name") ;;
      crashes) crashing+=("$name") ;;
      *) bad "wine_deviations.txt: \"$kind\" for $name is neither fails nor crashes" ;;
    esac
    # A renamed test must not leave its entry behind.
    grep -qE "TEST(_F)?\(${name%%.*}, ${name#*.}\)" "${sources[@]/#/$root/}" ||
      bad "wine_deviations.txt names $name, which is no test"
  done <"$root/tests/platform/wine_deviations.txt"
  local excluded
  excluded=$(
    IFS=:
    echo "${failing[*]}${failing[*]:+${crashing[*]:+:}}${crashing[*]}"
  )

  local code
  set +e
  timeout 300 "${run[@]}" --gtest_brief=1 ${excluded:+"--gtest_filter=-$excluded"} 2>&1 |
    tr -d '\r' >"$out/conformance.log"
  code=${PIPESTATUS[0]}
  set -e
  grep -a "PASSED\|FAILED\|Failure\|tests ran\|Unhandled" "$out/conformance.log" | head -20 || true
  [ "$code" -eq 0 ] || bad "the platform tests under Wine ended with $code (see $out/conformance.log)"

  if [ ${#failing[@]} -gt 0 ]; then
    set +e
    timeout 120 "${run[@]}" "--gtest_filter=$(
      IFS=:
      echo "${failing[*]}"
    )" 2>&1 | tr -d '\r' >"$out/conformance-deviations.log"
    set -e
    for name in "${failing[@]}"; do
      if ! grep -aq "^\[ RUN      \] $name\$" "$out/conformance-deviations.log"; then
        bad "wine_deviations.txt names $name, which is no test"
      elif ! grep -aq "^\[  FAILED  \] $name " "$out/conformance-deviations.log"; then
        bad "$name now passes under Wine: take it off wine_deviations.txt"
      fi
    done
    note "Wine's known deviations still fail as expected: ${failing[*]}"
  fi
  note "platform tests under Wine: ${#sources[@]} files, $((SECONDS - started)) s"
}

[ $only_conformance -eq 1 ] || [ $only_download -eq 1 ] || run_game
[ $only_conformance -eq 1 ] || { . scripts/test-windows-download.sh && run_download; }
[ $only_download -eq 1 ] || run_conformance

[ $fail -eq 0 ] || exit 1
note "all checks passed"
