#!/usr/bin/env bash
# Every suite whose code starts threads (its folder's CMakeLists.txt labels
# it "threads": the music player and converter, the sound sets, DirectSound's
# mixer, the MIDI stream device, kernel events, the fault sweep) under
# ThreadSanitizer: the tsan preset of CMakePresets.json. halt_on_error: a
# report fails the test that caused it. Left out: the whole-program music
# runs and the long render, which take minutes under TSan and add no thread
# the player tests do not already run, and the fault sweep's faulted runs
# (over 70 whole-program runs each, far past a test's time under TSan): its
# runs with nothing failed stay in.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$(nproc)"
ctest --preset tsan -j"$(nproc)"
