#!/usr/bin/env bash
# Every suite whose code starts threads (its folder's CMakeLists.txt labels
# it "threads": the music player and converter, the sound sets, DirectSound's
# mixer, the MIDI stream device, kernel events, the fault sweep) under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUMBLA_SANITIZE_THREAD=ON >/dev/null
cmake --build build/tsan -j"$(nproc)" --target tests_threads
# halt_on_error: a report fails the test that caused it. Left out: the
# whole-program music runs and the long render, which take minutes under
# TSan and add no thread the player tests do not already run, and the fault
# sweep's faulted runs (over 70 whole-program runs each, far past a test's
# time under TSan): its runs with nothing failed stay in.
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  ctest --test-dir build/tsan --output-on-failure -j"$(nproc)" -L '^threads$' \
  -E 'GameMusic\.|TheLoopPointAddsNoGap|Runs/FaultSweep\.'
