#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan + UBSan), replays each seed
# corpus and runs each harness briefly: FUZZ_SECONDS each (default 30).
# fuzz/README.md says how to run them for hours.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
need_packages clang libclang-rt-14-dev
seconds=${FUZZ_SECONDS:-30}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

# Quarantine and deep allocation stacks cost more than they find here.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=8:detect_leaks=1}
for reader in midi wave bitmap strings; do
  corpus=build/fuzz/corpus/$reader
  mkdir -p "$corpus"
  # Our own assets and the hand-made edge files are the seeds.
  cp fuzz/seeds/$reader/* "$corpus"/
  case $reader in
    midi) cp sample_data/*.mid "$corpus"/ ;;
    wave) cp resources/*.wav "$corpus"/ ;;
    bitmap) cp resources/*.bmp "$corpus"/ ;;
  esac
  echo "== fuzz_$reader: replay $(ls "$corpus" | wc -l) inputs, then ${seconds}s"
  build/fuzz/fuzz/fuzz_$reader -runs=0 "$corpus" 2>&1 | tail -1
  build/fuzz/fuzz/fuzz_$reader -max_len=4096 -timeout=10 -rss_limit_mb=1024 -max_total_time="$seconds" \
    -artifact_prefix=build/fuzz/ "$corpus" 2>&1 | grep -E "DONE|ERROR|SUMMARY|Test unit written" || true
  # libFuzzer exits non-zero on any finding; the pipe above hides it, so ask again.
  if ls build/fuzz/crash-* build/fuzz/leak-* build/fuzz/timeout-* build/fuzz/oom-* >/dev/null 2>&1; then
    echo "fuzz_$reader found a failing input:"; ls build/fuzz/crash-* build/fuzz/leak-* build/fuzz/timeout-* build/fuzz/oom-* 2>/dev/null
    exit 1
  fi
done
echo "Fuzzing: no failing input."
