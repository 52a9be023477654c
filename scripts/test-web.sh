#!/usr/bin/env bash
# The browser build: the watch compiled to WebAssembly must print and sound
# exactly as the native one, and the page must play in a headless Chromium
# (picture, keys, music, a clean end), and in Firefox and WebKitGTK. Builds
# what it needs: the resource compiler (play preset), the native watch
# (linux preset) and the wasm preset.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-web-deps.sh

export NODE_PATH=/usr/share/nodejs
echo "== WebAssembly build"
cmake --preset play >/dev/null
cmake --build --preset play -j"$(nproc)" --target tumbla_rc sf2_trim icon_gen
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)" --target tumbla_watch render_same
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j"$(nproc)"

echo "== The watch in WebAssembly against the native one"
out=build/web-test
mkdir -p "$out"
compare() {
  local name=$1
  shift
  build/linux/tumbla_watch --audio "$out/$name.native.raw" "$@" >"$out/$name.native.txt"
  node --no-experimental-fetch build/wasm/tumbla_watch.js --audio "$out/$name.wasm.raw" "$@" >"$out/$name.wasm.txt"
  cmp "$out/$name.native.txt" "$out/$name.wasm.txt"
  cmp "$out/$name.native.raw" "$out/$name.wasm.raw"
  echo "same frames and sound: $name ($(wc -l <"$out/$name.native.txt") lines, $(stat -c %s "$out/$name.native.raw") bytes of sound)"
}
compare default --frames 400 --at 2,3,19,20,399
compare keys --frames 900 --every 60 --keys 30:left,40:-,60:z,70:down,200:x+right,260:-
compare slow --frames 40 --every 10 -- /s

echo "== The page's soundfont: FluidSynth plays the song with it as with the whole font"
build/linux/tools/soundfont/render_same /usr/share/sounds/sf2/TimGM6mb.sf2 build/web/tumbla.sf2 sample_data/sw5.mid

echo "== The page in headless Chromium"
export NODE_PATH="$PWD/build/npm/node_modules"
node tests/web/browser_test.mjs build/web "$out"

echo "== The page in every engine: Chromium, Firefox ESR with and without sound, WebKitGTK"
. scripts/lib.sh
start_xvfb 1280x1024x24  # MiniBrowser has no headless mode; room for a phone's 844 upright
trap 'kill $xvfb_pid 2>/dev/null' EXIT
node tests/web/engines_test.mjs build/web "$out" chromium firefox firefox-silent webkit
echo "Web bundle: $(du -sh build/web | cut -f1) in build/web"
