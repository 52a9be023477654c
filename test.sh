#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the Linux
# build with its unit, whole-program and generator tests, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build of
# the game (TUMBLA.exe) with mingw-w64 against the real SDK headers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test
jobs=$(nproc)
scripts/check-format.sh

echo "== Linux build and tests"
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUMBLA_WERROR=ON -DTUMBLA_TESTS=ON >/dev/null
cmake --build build/linux -j"$jobs"
ctest --test-dir build/linux --output-on-failure -j"$jobs"
echo "== Package: the .deb installed in a scratch root, played from elsewhere"; scripts/test-package.sh

echo "== Sanitizers"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTUMBLA_WERROR=ON -DTUMBLA_SANITIZE=ON >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build/asan --output-on-failure -j"$jobs" -LE slow

echo "== ThreadSanitizer: music, sound and the platform's audio"
scripts/test-tsan.sh
echo "== Fuzzing: seed corpora replayed, then a short run of each harness"
scripts/test-fuzz.sh

echo "== Windows build (mingw-w64, real SDK)"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DTUMBLA_WERROR=ON >/dev/null
cmake --build build/windows -j"$jobs"
test -s build/windows/TUMBLA.exe
echo "TUMBLA.exe linked: $(stat -c %s build/windows/TUMBLA.exe) bytes"
echo "== TUMBLA.exe under Wine" && scripts/test-wine.sh build/windows
echo "== Browser (WebAssembly, headless Chromium)"
scripts/test-web.sh

echo "All tests passed."
