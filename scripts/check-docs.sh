#!/usr/bin/env bash
# Keeps the notes true to the code. Every file, folder and name that
# docs/ARCHITECTURE.md writes in backticks must exist: a path in the tree, a
# function, type, variable, macro or target somewhere in the code or the
# build. The README's count of fault points must be the number of points the
# stand-in defines, and its list of test stages must be test.sh's, in its
# order. Run by CTest (docs/names) and usable on its own.
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

# The README lists the test stages as test.sh runs them ("- `name`: what").
stages=$(sed -n 's/^all=(\(.*\))$/\1/p' test.sh)
listed=$(sed -n 's/^- `\([a-z]*\)`: .*/\1/p' README.md | tr '\n' ' ' | sed 's/ $//')
if [[ -z $stages || $stages != "$listed" ]]; then
  echo "README.md lists the stages \"$listed\", test.sh runs \"$stages\"" >&2
  failed=1
fi

[[ $failed == 0 ]] && echo "docs: every name in $note exists; README counts $defined fault points and lists every stage"
exit $failed
