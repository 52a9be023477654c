#!/usr/bin/env bash
# Installs what is missing, builds TUMBLA and starts it. Arguments are passed
# to the game: /F full screen, /E emulation-only display, /M system memory,
# /S slow motion.
set -euo pipefail
cd "$(dirname "$0")"
# ./play.sh --web: the browser build, served on http://127.0.0.1:8000/.
if [ "${1:-}" = "--web" ]; then exec scripts/play-web.sh; fi
scripts/install-deps.sh play
# Its own build folder (the play preset): the test stages' folders are left
# as they are.
cmake --preset play >/dev/null
cmake --build --preset play -j"$(nproc)" --target tumbla

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<'MSG'
There is no display here (DISPLAY is not set), so TUMBLA cannot open its window.
Run it on a desktop, or inside a virtual X server, for example:

  xvfb-run -s "-screen 0 1024x768x24" ./play.sh

(without a sound card add SDL_AUDIODRIVER=dummy in front).
MSG
  exit 1
fi
exec build/play/tumbla "$@"
