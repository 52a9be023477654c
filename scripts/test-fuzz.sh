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
  # The corpus kept in the repository: the long runs' findings, minimised.
  if [ -d fuzz/corpus/$reader ]; then cp fuzz/corpus/$reader/* "$corpus"/; fi
  # Inputs as long as our own assets (the song 16 KB, the effects up to
  # 85 KB). The sprite sheet (308 KB) is replayed whole below; mutating
  # inputs that long would leave the bitmap harness a few runs a second.
  case $reader in
    midi) cp sample_data/*.mid "$corpus"/; max_len=65536 ;;
    wave) cp resources/*.wav "$corpus"/; max_len=131072 ;;
    bitmap) cp resources/*.bmp "$corpus"/; max_len=16384 ;;
    strings) max_len=16384 ;;
  esac
  echo "== fuzz_$reader: replay $(ls "$corpus" | wc -l) whole inputs, then ${seconds}s up to $max_len bytes"
  build/fuzz/fuzz/fuzz_$reader -runs=0 -max_len=1048576 "$corpus" 2>&1 | tail -1
  build/fuzz/fuzz/fuzz_$reader -max_len=$max_len -timeout=10 -rss_limit_mb=1024 -max_total_time="$seconds" \
    -artifact_prefix=build/fuzz/ "$corpus" 2>&1 | grep -E "DONE|ERROR|SUMMARY|Test unit written" || true
  # libFuzzer exits non-zero on any finding; the pipe above hides it, so ask again.
  if ls build/fuzz/crash-* build/fuzz/leak-* build/fuzz/timeout-* build/fuzz/oom-* >/dev/null 2>&1; then
    echo "fuzz_$reader found a failing input:"; ls build/fuzz/crash-* build/fuzz/leak-* build/fuzz/timeout-* build/fuzz/oom-* 2>/dev/null
    exit 1
  fi
done
echo "Fuzzing: no failing input."
