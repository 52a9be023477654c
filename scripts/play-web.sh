#!/usr/bin/env bash
# Builds the web bundle (build/web) and serves it on http://127.0.0.1:8000/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh play
scripts/install-web-deps.sh
export NODE_PATH=/usr/share/nodejs
# The native tools the page is made with come from the play preset's folder:
# the test stages' folders are left as they are.
cmake --preset play >/dev/null
cmake --build --preset play -j"$(nproc)" --target tumbla_rc sf2_trim icon_gen
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j"$(nproc)" --target tumbla_web tumbla_web_worker
echo "TUMBLA is served on http://127.0.0.1:8000/ (Ctrl+C stops the server)."
exec python3 -m http.server 8000 --bind 127.0.0.1 --directory build/web
