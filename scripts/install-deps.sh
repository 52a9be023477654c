#!/usr/bin/env bash
# Installs the Debian packages TUMBLA needs, only those that are missing.
#   scripts/install-deps.sh play   what building and playing the game need
#   scripts/install-deps.sh test   that, and the tools the tests use
# Run as root (or with sudo available).
set -euo pipefail
. "$(dirname "$0")/lib.sh"

play=(
  build-essential cmake pkg-config
  libsdl2-dev libfluidsynth-dev libjack-jackd2-dev timgm6mb-soundfont
  xfonts-base
)
test=(
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  g++-mingw-w64-i686 nsis
  xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick libxtst-dev
  weston libdecor-0-plugin-1-cairo
)

case "${1:-test}" in
  play) need_packages "${play[@]}" ;;
  test) need_packages "${play[@]}" "${test[@]}" ;;
  *) echo "usage: $0 play|test" >&2; exit 2 ;;
esac
