#!/usr/bin/env bash
# Installs what is missing, builds what each stage needs and runs the tests.
#   ./test.sh              every stage, in the order below
#   ./test.sh wine web     only the stages named
# Stages:
#   format   clang-format and the layering of the includes
#   linux    the Linux build: unit, whole-program, Xvfb and generator tests
#   package  the .deb installed in a scratch root and played from elsewhere
#   asan     the tests under AddressSanitizer and UndefinedBehaviorSanitizer,
#            and the real program started twenty times under them
#   tsan     the suites that start threads, under ThreadSanitizer
#   fuzz     the fuzz harnesses: seed corpora replayed, then a short run each
#   windows  TUMBLA.exe with mingw-w64 against the real SDK headers
#   wine     TUMBLA.exe and the platform conformance tests under Wine
#   web      the WebAssembly build against the native one, and the page in
#            headless Chromium
# Each stage configures and builds with the CMake preset of its name
# (CMakePresets.json), so a stage run alone builds exactly what it would in
# the whole run.
set -euo pipefail
cd "$(dirname "$0")"
all=(format linux package asan tsan fuzz windows wine web)
jobs=$(nproc)

stage_format() { scripts/check-format.sh; }
stage_linux() {
  cmake --preset linux >/dev/null
  cmake --build --preset linux -j"$jobs"
  ctest --preset linux -j"$jobs"
}
stage_package() {
  cmake --preset linux >/dev/null
  cmake --build --preset linux -j"$jobs" --target tumbla
  scripts/test-package.sh
}
stage_asan() {
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j"$jobs"
  ctest --preset asan -j"$jobs"
  scripts/start-often.sh build/asan/tumbla 20
}
stage_tsan() { scripts/test-tsan.sh; }
stage_fuzz() { scripts/test-fuzz.sh; }
stage_windows() {
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j"$jobs"
  test -s build/windows/TUMBLA.exe
  echo "TUMBLA.exe linked: $(stat -c %s build/windows/TUMBLA.exe) bytes"
}
stage_wine() {
  stage_windows
  scripts/test-wine.sh build/windows
}
stage_web() { scripts/test-web.sh; }

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=("${all[@]}")
for s in "${stages[@]}"; do
  declare -F "stage_$s" >/dev/null || {
    echo "test.sh: no stage \"$s\" (stages: ${all[*]})" >&2
    exit 2
  }
done

scripts/install-deps.sh test
for s in "${stages[@]}"; do
  echo "== Stage $s"
  started=$SECONDS
  # A subshell, so that a failing command anywhere in the stage ends it and
  # the line below says which stage it was. (Not tested by an "if": bash
  # ignores set -e in whatever runs as a condition.)
  set +e
  (
    set -euo pipefail
    "stage_$s"
  )
  code=$?
  set -e
  if [ $code -ne 0 ]; then
    echo "test.sh: FAILED: stage $s (exit code $code, after $((SECONDS - started)) s)" >&2
    exit 1
  fi
  echo "== Stage $s passed in $((SECONDS - started)) s"
done
echo "All tests passed: ${stages[*]}."
