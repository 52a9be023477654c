#!/usr/bin/env bash
# Mutation testing: see tools/mutate/mutate.py. A full run needs build/linux
# (./test.sh makes it) and takes a while, under nice;
#   tools/mutate.sh --check
# only says, in a second or two, whether every mutant still applies.
set -euo pipefail
cd "$(dirname "$0")/.."
exec nice python3 tools/mutate/mutate.py "$@"
