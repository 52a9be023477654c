#!/usr/bin/env bash
# Keeps the notes true to the code. Every file, folder and name that
# docs/ARCHITECTURE.md writes in backticks must exist: a path in the tree, a
# function, type, variable, macro or target somewhere in the code or the
# build. The README's count of fault points must be the number of points the
# stand-in defines, and its list of test stages must name every stage of
# test.sh. Run by CTest (docs/names) and usable on its own.
set -euo pipefail
cd "$(dirname "$0")/.."

note=docs/ARCHITECTURE.md
failed=0
missing() {
  echo "$note names $1, which the tree does not have" >&2
  failed=1
}

# Where names may be found: the code, the build files and the scripts.
mapfile -t sources < <(git ls-files -- '*.cpp' '*.h' '*.cmake' '*CMakeLists.txt' '*.sh' '*.js' '*.html')

word_exists() {
  git grep -qwF -e "$1" -- "${sources[@]}"
}

path_exists() {
  local p=${1%/}
  # A bare file name ("host.h") is looked for anywhere, a path from the root.
  if [[ $p != */* ]]; then
    [[ -n $(git ls-files -- "$p" "*/$p") ]]
  else
    [[ -e $p ]] || compgen -G "$p" >/dev/null
  fi
}

identifier='^[A-Za-z_][][A-Za-z0-9_:.]*$'
while IFS= read -r token; do
  case $token in
    *'<'*'>'* | *' '* | '') continue ;;          # placeholders and phrases
    */* | *.cpp | *.h | *.md | *.sh | .*)
      path_exists "$token" || missing "the path $token" ;;
    *)
      # An identifier, perhaps qualified (a::b, a.b) or called (f()).
      name=${token%%(*}
      [[ $name =~ $identifier ]] || continue
      IFS=':.' read -ra parts <<<"${name//::/:}"
      for part in "${parts[@]}"; do
        part=${part%%[*}
        [[ -z $part || $part == std ]] && continue
        word_exists "$part" || missing "$part (in \`$token\`)"
      done
      ;;
  esac
done < <(grep -o '`[^`]*`' "$note" | tr -d '`' | sort -u)

# The README's "(`platform::FaultPoints()`, N today)" against the definitions.
defined=$(git grep -hoE 'platform::FaultPoint k[A-Za-z0-9_]+\("[^"]+"\)' -- platform | sed -E 's/.*\("([^"]+)"\)/\1/' | sort -u | wc -l)
declared=$(git grep -hcE '^(const )?platform::FaultPoint k' -- platform | awk '{s += $1} END {print s + 0}')
stated=$(grep -oE 'platform::FaultPoints\(\)`, [0-9]+ today' README.md | grep -oE '[0-9]+ today' | grep -oE '[0-9]+' || true)
if [[ $defined != "$declared" ]]; then
  echo "only $defined of the $declared fault points are written as platform::FaultPoint kName(\"Name\")" >&2
  failed=1
fi
if [[ $stated != "$defined" ]]; then
  echo "README.md says ${stated:-no number of} fault points; the stand-in defines $defined" >&2
  failed=1
fi

# Every stage test.sh announces ("== Name: what") has its entry in the
# README's list ("- **Name**").
while IFS= read -r stage; do
  if ! grep -qF -- "- **$stage**" README.md; then
    echo "README.md does not list the stage \"$stage\" of test.sh" >&2
    failed=1
  fi
done < <(cat test.sh scripts/check-format.sh | grep -oE 'echo "== [^":]+' | sed 's/^echo "== //')

[[ $failed == 0 ]] && echo "docs: every name in $note exists; README counts $defined fault points and lists every stage"
exit $failed
