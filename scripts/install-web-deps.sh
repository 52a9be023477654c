#!/usr/bin/env bash
# What the browser build needs: Debian's Emscripten and the three engines
# the page is tested in (Chromium; Firefox ESR and the sound server it plays
# into; WebKitGTK's MiniBrowser, its WebDriver and the X server it runs
# under), and from npm FluidSynth
# compiled to WebAssembly (js-synthesizer) and the driver of Chromium and
# Firefox (puppeteer-core), both into build/npm.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
need_packages emscripten chromium firefox-esr pipewire pipewire-pulse wireplumber dbus-daemon \
  webkit2gtk-driver libwebkit2gtk-4.1-0 xvfb timgm6mb-soundfont
# npm comes with the machine's Node.js where there is one; Debian's otherwise.
command -v npm >/dev/null || need_packages npm
if [ ! -f build/npm/node_modules/js-synthesizer/externals/libfluidsynth-2.4.6.js ] ||
   [ ! -d build/npm/node_modules/puppeteer-core ]; then
  mkdir -p build/npm
  npm install --prefix build/npm --no-save --no-audit --no-fund js-synthesizer@1.11.0 puppeteer-core@24.43.1 >/dev/null
fi
