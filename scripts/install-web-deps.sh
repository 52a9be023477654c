#!/usr/bin/env bash
# What the browser build needs: Debian's Emscripten and Chromium, and from
# npm FluidSynth compiled to WebAssembly (js-synthesizer) and the driver of
# the browser test (puppeteer-core), both into build/npm.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for p in emscripten chromium timgm6mb-soundfont; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ! -f build/npm/node_modules/js-synthesizer/externals/libfluidsynth-2.4.6.js ] ||
   [ ! -d build/npm/node_modules/puppeteer-core ]; then
  mkdir -p build/npm
  npm install --prefix build/npm --no-save --no-audit --no-fund js-synthesizer@1.11.0 puppeteer-core@24.43.1 >/dev/null
fi
