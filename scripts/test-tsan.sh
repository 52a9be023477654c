#!/usr/bin/env bash
# The suites whose code runs on more than one thread (the music player and
# converter, the sound sets, DirectSound's mixer and the MIDI stream device)
# under ThreadSanitizer: the tsan preset of CMakePresets.json. halt_on_error:
# a report fails the test that caused it. Left out: the SDL captures (real-
# time, uninstrumented libraries) and the whole-program and long-render runs,
# which take minutes under TSan and add no thread the player tests do not
# already run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$(nproc)"
ctest --preset tsan -j"$(nproc)"
