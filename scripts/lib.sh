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
