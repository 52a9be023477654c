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

# Any spelling: "platform/...", <platform/...>, "../platform/...".
if git grep -nE '#[[:space:]]*include[[:space:]]*[<"][^">]*platform/' -- shell input graphics game sound music; then
  echo "game code includes the stand-in's own headers (above); use the Windows headers" >&2
  exit 1
fi
echo "format: ${#files[@]} files clean; game code includes only the Windows headers and its own"

