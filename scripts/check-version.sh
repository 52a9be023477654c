#!/usr/bin/env bash
# One version everywhere: the project's (CMakeLists.txt, which --version,
# the .deb, the zip and the installer take) is the one the version resource,
# the manifest, the AppStream data, the man page and the README say. Windows
# writes it as four numbers, 0.01 as 0.1.0.0. Run by CTest (version/same).
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(tumbla VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ $version =~ ^([0-9]+)\.([0-9]+)$ ]] || {
  echo "CMakeLists.txt: no version of two parts in project()" >&2
  exit 1
}
numbers="$((10#${BASH_REMATCH[1]})).$((10#${BASH_REMATCH[2]})).0.0"
commas=${numbers//./, }
failed=0
expect() { # file, what, text that must be in it
  grep -qF -- "$3" "$1" || {
    echo "$1: the $2 is not $version (looked for: $3)" >&2
    failed=1
  }
}
expect resources/tumbla.rc "file version" "FILEVERSION $commas"
expect resources/tumbla.rc "product version" "PRODUCTVERSION $commas"
expect resources/tumbla.rc "file version text" "\"FileVersion\", \"$version\""
expect resources/tumbla.rc "product version text" "\"ProductVersion\", \"$version\""
expect resources/tumbla.manifest "assembly version" "version=\"$numbers\""
expect packaging/linux/tumbla.metainfo.xml "release" "<release version=\"$version\""
expect packaging/linux/tumbla.6 "page's version" "\"TUMBLA $version\""
# The README need not name the version, but where it does it is this one.
while IFS= read -r said; do
  [[ $said == *"$version"* ]] || {
    echo "README.md says \"$said\", the project is $version" >&2
    failed=1
  }
done < <(grep -oE '(Version |TUMBLA-|tumbla )[0-9]+\.[0-9.]*[0-9]' README.md || true)
exit $failed
