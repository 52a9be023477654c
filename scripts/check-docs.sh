#!/usr/bin/env bash
# Keeps the notes true to the code. Every file, folder and name that
# docs/ARCHITECTURE.md writes in backticks must exist: a path in the tree, a
# function, type, variable, macro or target somewhere in the code or the
# build. In the README and every page under docs/, a path of the tree or a
# qualified or called name in backticks must exist, and every link to a page
# or picture of ours (and to a heading in it) must resolve. docs/TESTING.md's
# count of fault points must be the number of points the stand-in defines,
# and its list of test stages must be test.sh's, in its order. Run by CTest
# (docs/names) and usable on its own.
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

# The other pages: a backticked path that starts with one of the tree's own
# top folders, and a name written qualified (a::b) or called (f()), must
# exist; other backticked words there (host commands, packages, install
# paths, SDL's functions) are the world's, not ours.
pages=(README.md docs/*.md)
mapfile -t top < <(git ls-files | cut -d/ -f1 | sort -u)
is_top() {
  local t
  for t in "${top[@]}"; do [[ $1 == "$t" ]] && return 0; done
  return 1
}
for page in "${pages[@]}"; do
  note=$page
  while IFS= read -r token; do
    case $token in
      *' '* | *'<'* | '') continue ;;
      */*)
        first=${token%%/*}
        # A program may be named by its source without the extension.
        is_top "$first" && { path_exists "$token" || path_exists "$token.cpp" || missing "the path $token"; } ;;
      *::* | *'()')
        name=${token%%(*}
        [[ $name =~ $identifier ]] || continue
        word_exists "${name##*::}" || missing "$token" ;;
    esac
  done < <(grep -o '`[^`]*`' "$page" | tr -d '`' | sort -u)
done

# Links to our own files, and to headings in them, resolve.
slug() { tr '[:upper:]' '[:lower:]' | sed -E 's/[^a-z0-9 _-]//g; s/ /-/g'; }
for page in "${pages[@]}"; do
  dir=$(dirname "$page")
  while IFS= read -r link; do
    case $link in http:* | https:* | mailto:*) continue ;; esac
    file=${link%%#*}
    anchor=""
    [[ $link == *'#'* ]] && anchor=${link#*#}
    target=$page
    [[ -n $file ]] && target=$dir/$file
    if [[ ! -e $target ]]; then
      echo "$page links to $link, which does not exist" >&2
      failed=1
    elif [[ -n $anchor ]] && ! sed -n 's/^#\+ //p' "$target" | slug | grep -qxF "$anchor"; then
      echo "$page links to $link: $target has no such heading" >&2
      failed=1
    fi
  done < <(grep -oE '\]\([^)]+\)' "$page" | sed -E 's/^\]\((.*)\)$/\1/')
done

# docs/TESTING.md's "(`platform::FaultPoints()`, N today)" against the definitions.
testing=docs/TESTING.md
defined=$(git grep -hoE 'platform::FaultPoint k[A-Za-z0-9_]+\("[^"]+"\)' -- platform | sed -E 's/.*\("([^"]+)"\)/\1/' | sort -u | wc -l)
declared=$(git grep -hcE '^(const )?platform::FaultPoint k' -- platform | awk '{s += $1} END {print s + 0}')
stated=$(grep -oE 'platform::FaultPoints\(\)`, [0-9]+ today' "$testing" | grep -oE '[0-9]+ today' | grep -oE '[0-9]+' || true)
if [[ $defined != "$declared" ]]; then
  echo "only $defined of the $declared fault points are written as platform::FaultPoint kName(\"Name\")" >&2
  failed=1
fi
if [[ $stated != "$defined" ]]; then
  echo "$testing says ${stated:-no number of} fault points; the stand-in defines $defined" >&2
  failed=1
fi

# docs/TESTING.md lists the test stages as test.sh runs them ("- `name`: what").
stages=$(sed -n 's/^all=(\(.*\))$/\1/p' test.sh)
listed=$(sed -n 's/^- `\([a-z]*\)`: .*/\1/p' "$testing" | tr '\n' ' ' | sed 's/ $//')
if [[ -z $stages || $stages != "$listed" ]]; then
  echo "$testing lists the stages \"$listed\", test.sh runs \"$stages\"" >&2
  failed=1
fi

[[ $failed == 0 ]] && echo "docs: every name and link in README.md and docs/ resolves; $testing counts $defined fault points and lists every stage"
exit $failed
