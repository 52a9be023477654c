#!/usr/bin/env bash
# Installs the Debian packages TUMBLA needs, only those that are missing.
#   scripts/install-deps.sh play   what building and playing the game need
#   scripts/install-deps.sh test   that, and the tools the tests use
# Run as root (or with sudo available).
set -euo pipefail

play=(
  build-essential cmake pkg-config
  libsdl2-dev libfluidsynth-dev libjack-jackd2-dev timgm6mb-soundfont
  xfonts-base
)
test=(
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686
  xvfb xauth xdotool x11-utils imagemagick
)

case "${1:-test}" in
  play) packages=("${play[@]}") ;;
  test) packages=("${play[@]}" "${test[@]}") ;;
  *) echo "usage: $0 play|test" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
