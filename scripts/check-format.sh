#!/usr/bin/env bash
# Checks that every tracked C and C++ file is as clang-format leaves it (hand-
# aligned tables carry "// clang-format off"), and that game code reaches
# the stand-in only through the Windows headers.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib.sh
need_packages clang-format

echo "== Format and layering"
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}"

if git grep -n '#include "platform/' -- shell input graphics game sound music; then
  echo "game code includes the stand-in's own headers (above); use the Windows headers" >&2
  exit 1
fi
echo "format: ${#files[@]} files clean; game code includes only the Windows headers and its own"

# The README lists the test stages as test.sh runs them.
stages=$(sed -n 's/^all=(\(.*\))$/\1/p' test.sh)
listed=$(sed -n 's/^- `\([a-z]*\)`: .*/\1/p' README.md | tr '\n' ' ' | sed 's/ $//')
if [ "$stages" != "$listed" ]; then
  echo "README.md lists the stages \"$listed\", test.sh runs \"$stages\"" >&2
  exit 1
fi
echo "stages: the README lists the $(wc -w <<<"$stages") stages test.sh runs"
