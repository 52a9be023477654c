# Shell helpers shared by the build and test scripts; source it, do not run it.
#   need_packages [--i386] package...
#       installs the Debian packages of the list that are missing (as root, or
#       with sudo), running apt-get update once per process; --i386 first adds
#       the i386 architecture, for packages named with ":i386".

tumbla_apt_updated=${tumbla_apt_updated:-0}

need_packages() {
  local i386=0
  if [ "${1:-}" = "--i386" ]; then
    i386=1
    shift
  fi
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if [ $i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    tumbla_apt_updated=0
  fi
  echo "Installing: ${missing[*]}"
  if [ "$tumbla_apt_updated" -eq 0 ]; then
    $sudo apt-get update -qq || { echo "apt-get update failed" >&2; return 1; }
    tumbla_apt_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    { echo "could not install: ${missing[*]}" >&2; return 1; }
}

#   start_xvfb SCREEN          e.g. start_xvfb 640x480x24
#       starts a virtual X server on a display number it picks itself (never a
#       guessed one, so runs side by side cannot collide), waits until it
#       accepts clients, and exports DISPLAY; its process id is in xvfb_pid.
start_xvfb() {
  local file
  file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  xvfb_pid=$!
  local _
  for _ in $(seq 100); do
    grep -q . "$file" && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  local number
  number=$(head -1 "$file")
  rm -f "$file"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$number
}

#   end_game PID               asks a program to end, gives it 4 s, then kills
#                              it (before its display goes, so it ends cleanly)
end_game() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null
  local _
  for _ in $(seq 20); do [ -d /proc/"$1" ] || return 0; sleep 0.2; done
  kill -9 "$1" 2>/dev/null
}

#   cpu_ticks STATFILE         CPU clock ticks (user + system) in a /proc stat file
cpu_ticks() { awk '{ print $14 + $15 }' "$1" 2>/dev/null || echo 0; }

#   cpu_share PID SECONDS      share of one core, in whole percent, that the
#                              process (all its threads) takes over SECONDS
cpu_share() {
  local c0 c1 t0 t1
  c0=$(cpu_ticks "/proc/$1/stat")
  t0=$(date +%s.%N)
  sleep "$2"
  c1=$(cpu_ticks "/proc/$1/stat")
  t1=$(date +%s.%N)
  awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "%.0f", (c1 - c0) / hz / (t1 - t0) * 100 }'
}

#   need_locales locale...     e.g. need_locales en_US.UTF-8 ja_JP.UTF-8
#       generates the named glibc locales that are missing (Debian's locales
#       package), so that programs can be run under them (Wine takes its code
#       page and its language from them).
need_locales() {
  need_packages locales
  local missing=() l sudo=""
  for l in "$@"; do
    locale -a 2>/dev/null | grep -qix "$(sed 's/UTF-8$/utf8/' <<<"$l")" || missing+=("$l")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  for l in "${missing[@]}"; do
    $sudo sed -i "s/^# *\\($l UTF-8\\)/\\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen >/dev/null
}
