#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the Linux
# build with its unit, whole-program and generator tests, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build of
# the game (TUMBLA.exe) with mingw-w64 against the real SDK headers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs=$(nproc)

echo "== Linux build and tests"
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUMBLA_WERROR=ON >/dev/null
cmake --build build/linux -j"$jobs"
ctest --test-dir build/linux --output-on-failure -j"$jobs"

echo "== Sanitizers"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTUMBLA_WERROR=ON -DTUMBLA_SANITIZE=ON >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build/asan --output-on-failure -j"$jobs" -LE slow

echo "== Windows build (mingw-w64, real SDK)"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DTUMBLA_WERROR=ON >/dev/null
cmake --build build/windows -j"$jobs"
test -s build/windows/TUMBLA.exe
echo "TUMBLA.exe linked: $(stat -c %s build/windows/TUMBLA.exe) bytes"
echo "== TUMBLA.exe under Wine" && scripts/test-wine.sh build/windows
echo "All tests passed."
