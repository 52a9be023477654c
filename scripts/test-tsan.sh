#!/usr/bin/env bash
# The suites whose code runs on more than one thread (the music player and
# converter, the sound sets, DirectSound's mixer and the MIDI stream device)
# under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUMBLA_SANITIZE_THREAD=ON >/dev/null
cmake --build build/tsan -j"$(nproc)" --target test_music test_sound test_platform_dsound test_platform_winmm
# halt_on_error: a report fails the test that caused it. Left out: the SDL
# captures (real-time, uninstrumented libraries) and the whole-program and
# long-render runs, which take minutes under TSan and add no thread the
# player tests do not already run.
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  ctest --test-dir build/tsan --output-on-failure -j"$(nproc)" -R '^(music|sound|platform/dsound|platform/winmm)/' \
  -E '/sdl/|GameMusic\.|TheLoopPointAddsNoGap'
