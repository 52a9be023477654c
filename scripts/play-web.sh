#!/usr/bin/env bash
# Builds the web bundle (build/web) and serves it on http://127.0.0.1:8000/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh play
scripts/install-web-deps.sh
export NODE_PATH=/usr/share/nodejs
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUMBLA_TESTS=OFF >/dev/null
cmake --build build/linux -j"$(nproc)" --target tumbla_rc sf2_trim icon_gen
emcmake cmake -S . -B build/wasm -DCMAKE_BUILD_TYPE=Release -DTUMBLA_TESTS=OFF \
  -DTUMBLA_RC="$PWD/build/linux/tumbla_rc" -DTUMBLA_SF2TRIM="$PWD/build/linux/tools/soundfont/sf2_trim" \
  -DTUMBLA_ICON_GEN="$PWD/build/linux/tools/sheet/icon_gen" \
  -DTUMBLA_WEB_DIR="$PWD/build/web" \
  -DTUMBLA_LIBFLUIDSYNTH_JS="$PWD/build/npm/node_modules/js-synthesizer/externals/libfluidsynth-2.4.6.js" >/dev/null
cmake --build build/wasm -j"$(nproc)" --target tumbla_web
echo "TUMBLA is served on http://127.0.0.1:8000/ (Ctrl+C stops the server)."
exec python3 -m http.server 8000 --bind 127.0.0.1 --directory build/web
