#!/usr/bin/env bash
# Mutation testing of the game's folders: see tools/mutate/mutate.py. Needs
# build/linux (./test.sh makes it); runs under nice, it takes a while.
set -euo pipefail
cd "$(dirname "$0")/.."
exec nice python3 tools/mutate/mutate.py "$@"
