# The Windows download as a player meets it, under Wine. Sourced by
# scripts/test-wine.sh once its private prefix, X server and helpers (note,
# bad, find_window, pids) are up; $build is the Windows build folder.
#   - TUMBLA.exe carries a manifest (well-formed, asInvoker) and a version;
#   - the installer installs silently for the user: files, Start-menu
#     shortcut (working folder = install folder), the uninstall entry; the
#     installed game plays at 55-65 frames a second started as the shortcut
#     starts it, ends with 0 on Escape, and in full screen shows the play
#     field again after Notepad was in front, playing on without a key;
#   - the error report reads as Japanese under a code page that is not 932,
#     and as English with the English table;
#   - the silent uninstaller leaves nothing behind;
#   - the zip, unpacked into a folder with a space and non-ASCII letters, plays;
#   - the installed game and the unpacked zip are started ten times each, the
#     second half of each series with a busy loop on every core, and no start
#     crashes (nor does any other play here).

need_packages python3 python3-pefile nsis
# Debian's Python, which has Debian's pefile; a Python of one's own on the
# PATH may not.
pe_resources() { /usr/bin/python3 "$root/scripts/pe_resources.py" "$@"; }
need_locales en_US.UTF-8 ja_JP.UTF-8
download_version=$(sed -n 's/^project(tumbla VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
setup=$root/$build/TUMBLA-$download_version-setup.exe
zipfile=$root/$build/TUMBLA-$download_version-win32.zip
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TUMBLA'

# A Windows path in the prefix as a Unix one.
unix_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }

# Starts $1 (a Unix path) with the working folder $2 and arguments $3...,
# its relay log in $out/$relay_name.log; sets play_win and play_pid.
start_play() {
  local exe=$1 dir=$2
  shift 2
  play_win=""
  (cd "$dir" && WINEDEBUG=+timestamp,+relay exec wine "$exe" "$@" 2>"$out/$relay_name.log") &
  play_pid=$!
  pids+=("$play_pid")
  play_win=$(find_window "TUMBLA" 60)
  [ -n "$play_win" ] || bad "$relay_name: no TUMBLA window within 60 s"
}

# Frames a second between seconds $2 and $3 after the first frame in log $1.
fps_between() {
  { grep -a 'Call user32.GetAsyncKeyState(00000026)' "$1" || true; } | awk -F: -v from="$2" -v to="$3" '
    { t[NR] = $1 + 0 }
    END {
      if (NR < 2) { print 0; exit }
      n = 0
      for (i = 1; i <= NR; i++) if (t[i] > t[1] + from && t[i] <= t[1] + to) n++
      printf "%.1f", n / (to - from)
    }'
}

# Frames a second over the $1 seconds before now, in log $2.
fps_lately() {
  local now
  now=$({ grep -a 'GetAsyncKeyState(00000026)' "$2" || true; } | tail -1 | cut -d: -f1)
  { grep -a 'Call user32.GetAsyncKeyState(00000026)' "$2" || true; } | awk -F: -v now="${now:-0}" -v span="$1" '
    $1 + 0 > now - span { n++ } END { printf "%.1f", n / span }'
}

# Colours on the screen now (the play field has many; a blank or another
# program's window few).
screen_colours() {
  xwd -root | convert xwd:- "$out/$1.png"
  convert "$out/$1.png" -format '%k' info:
}

# Escape in the game's window; the game must end with 0, and must not have
# crashed on the way.
end_with_escape() {
  check_crash "$out/$relay_name.log" "$relay_name"
  escape_ends_game "$play_pid" "$play_win" "$relay_name: "
}

# The play field on the screen and a pace of $2 frames a second within
# [$3, $4], at the moment called $1.
expect_playing() {
  local colours
  colours=$(screen_colours "$relay_name")
  note "$relay_name: $1: $colours colours, $2 frames a second"
  [ "$colours" -ge 16 ] || bad "$relay_name: $1: the play field is not on the screen ($colours colours)"
  awk -v f="$2" -v lo="$3" -v hi="$4" 'BEGIN { exit !(f >= lo && f <= hi) }' ||
    bad "$relay_name: $1: $2 frames a second"
}

# Plays the program in a window: picture, pace, Escape.
play_windowed() {
  relay_name=$1
  start_play "$2" "$3"
  [ -n "$play_win" ] || return 0
  sleep 6
  expect_playing playing "$(fps_between "$out/$relay_name.log" 2 5)" 55 65
  end_with_escape
}

# Full screen, Notepad in front, then the game again: the picture comes back
# and frames go on without a key pressed. (On Xvfb without a window manager
# Wine keeps the full-screen game above Notepad and its mode, so the mode
# being set again after a DDERR_WRONGMODE is held by the headless tests; the
# screenshot with Notepad "in front" is kept beside the logs.)
play_refocused() {
  relay_name=$1
  start_play "$2" "$3" /F
  [ -n "$play_win" ] || return 0
  sleep 4
  local notepad notewin
  wine notepad >/dev/null 2>&1 &
  notepad=$!
  pids+=("$notepad")
  notewin=$(find_window "Notepad" 20)
  [ -n "$notewin" ] && { xdotool windowraise "$notewin"; xdotool windowfocus "$notewin"; } 2>/dev/null || true
  sleep 2
  note "$relay_name: Notepad in front: $(screen_colours "$relay_name-notepad") colours"
  [ -n "$notewin" ] && xdotool windowfocus "$notewin" key alt+F4 2>/dev/null || true
  for _ in $(seq 25); do kill -0 "$notepad" 2>/dev/null || break; sleep 0.2; done
  kill "$notepad" 2>/dev/null || true
  xdotool windowactivate "$play_win" 2>/dev/null || xdotool windowfocus "$play_win" 2>/dev/null || true
  sleep 4
  local back
  back=$(screen_colours "$relay_name-back")
  note "$relay_name: back in front: $back colours"
  [ "$back" -ge 16 ] || bad "$relay_name: the play field did not come back after Notepad ($back colours)"
  expect_playing "back in front after Notepad" "$(fps_lately 2 "$out/$relay_name.log")" 30 65
  end_with_escape
}

# "/S": one frame every 129 ms of the clock, 6.5-8 a second.
play_slow() {
  relay_name=$1
  start_play "$2" "$3" /S
  [ -n "$play_win" ] || return 0
  sleep 7
  expect_playing "slow motion" "$(fps_between "$out/$relay_name.log" 1 6)" 6.5 8
  end_with_escape
}

# The report under the locale settings $2 (as for env), with no sound driver
# so that DirectSound fails: its text must hold $3, a run of Wine's escaped
# UTF-16 ("\7d9a" for U+7D9A). Wine takes the ANSI code page from LC_CTYPE
# and the user's language from LC_MESSAGES, so a Japanese language beside a
# code page that is not 932 is LANG=en_US.UTF-8 LC_MESSAGES=ja_JP.UTF-8.
check_report() {
  local name=$1 locale=$2 expect=$3 box
  # shellcheck disable=SC2086 # $locale is a list of settings
  (cd "$root/$build" && exec env -u LC_ALL $locale \
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv,wineoss.drv=d" \
    WINEDEBUG=+relay wine "$root/$build/TUMBLA.exe" 2>"$out/$name.log") &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 150); do grep -aq 'Call user32.MessageBoxW' "$out/$name.log" 2>/dev/null && break; sleep 0.2; done
  box=$(grep -a 'Call user32.MessageBoxW' "$out/$name.log" | head -1 || true)
  if [ -z "$box" ]; then
    bad "$name: no report"
  elif ! grep -aqF "$expect" <<<"$box"; then
    bad "$name: the report does not read as it should: ${box:0:300}"
  else
    note "$name: the report reads as expected"
  fi
  local w
  w=$(find_window "TUMBLA Version" 10)
  [ -n "$w" ] && xdotool windowfocus "$w" key Return 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill "$pid" 2>/dev/null || true
  wineserver -w
  check_crash "$out/$name.log" "$name"
}

run_download() {
  local exe=$root/$build/TUMBLA.exe
  # ---- the program's own resources
  local types
  types=$(pe_resources types "$exe" | tr '\n' ' ')
  note "resource types of TUMBLA.exe: $types"
  grep -qw 16 <<<"$types" || bad "TUMBLA.exe has no version resource"
  grep -qw 24 <<<"$types" || bad "TUMBLA.exe has no manifest"
  pe_resources manifest "$exe" >"$out/manifest.xml" ||
    bad "the manifest of TUMBLA.exe is not well-formed XML asking for asInvoker"
  [ "$(pe_resources version "$exe")" = "$download_version" ] ||
    bad "the version resource does not say $download_version"

  # ---- the report in any locale
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
    /d 'user32.GetAsyncKeyState;user32.MessageBoxW' /f >/dev/null 2>&1
  # 続行不能, the report's header, as UTF-16 straight from the table.
  check_report report-ja LC_ALL=ja_JP.UTF-8 '\7d9a\884c\4e0d\80fd'
  check_report report-ja-cp1252 "LANG=en_US.UTF-8 LC_MESSAGES=ja_JP.UTF-8" '\7d9a\884c\4e0d\80fd'
  check_report report-en LC_ALL=en_US.UTF-8 'An error occurred from which the program cannot go on!'

  # ---- the installer
  test -s "$setup" || { bad "$setup is missing"; return; }
  local appdata local_appdata before after install startmenu lnk
  local_appdata=$(unix_path "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')")
  appdata=$(unix_path "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")
  install=$local_appdata/Programs/TUMBLA
  startmenu="$appdata/Microsoft/Windows/Start Menu/Programs"
  lnk=$startmenu/TUMBLA.lnk
  before=$(cd "$WINEPREFIX/drive_c" && find . -path '*/Temp' -prune -o -print | sort)
  wine reg export 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' "$out/uninstall-before.reg" >/dev/null 2>&1 || true
  timeout 120 wine "$setup" /S
  wineserver -w
  for f in TUMBLA.exe sample_data/sw5.mid README.txt LICENSE.mingw-w64.txt LICENSE.gcc-runtime.txt Uninstall.exe; do
    test -s "$install/$f" || bad "the installer left out $f"
  done
  cmp -s "$exe" "$install/TUMBLA.exe" || bad "the installed TUMBLA.exe is not the one built"
  if test -s "$lnk"; then
    local shortcut
    mapfile -t shortcut < <(pe_resources lnk "$lnk" | tr -d '\r')
    note "shortcut: ${shortcut[0]} in ${shortcut[1]}"
    [ "$(unix_path "${shortcut[0]}")" = "$install/TUMBLA.exe" ] || bad "the shortcut points at ${shortcut[0]}"
    [ "$(unix_path "${shortcut[1]}")" = "$install" ] || bad "the shortcut's working folder is ${shortcut[1]}"
  else
    bad "no Start-menu shortcut at $lnk"
  fi
  local entry
  entry=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r')
  echo "$entry" >"$out/uninstall-entry.txt"
  grep -q "DisplayVersion.*REG_SZ.*$download_version" <<<"$entry" || bad "the uninstall entry has no version"
  grep -q 'DisplayIcon.*REG_SZ.*TUMBLA.exe' <<<"$entry" || bad "the uninstall entry has no icon"
  grep -q 'QuietUninstallString.*REG_SZ.*Uninstall.exe" /S' <<<"$entry" || bad "the uninstall entry has no quiet uninstall"
  note "installed into $install"

  play_windowed installed "$install/TUMBLA.exe" "$install"
  play_refocused installed-fullscreen "$install/TUMBLA.exe" "$install"
  play_slow installed-slow "$install/TUMBLA.exe" "$install"
  start_often "$install/TUMBLA.exe" "$install" 10 installed-starts

  # ---- the uninstaller, as Windows runs it
  local quiet
  quiet=$(sed -n 's/.*QuietUninstallString *REG_SZ *//p' <<<"$entry")
  eval "set -- $(sed 's/\\/\\\\/g' <<<"$quiet")"
  timeout 120 wine "$@"
  wineserver -w
  after=$(cd "$WINEPREFIX/drive_c" && find . -path '*/Temp' -prune -o -print | sort)
  [ "$before" = "$after" ] || bad "the uninstaller left: $(comm -13 <(echo "$before") <(echo "$after") | tr '\n' ' ')"
  wine reg query "$uninstall_key" >/dev/null 2>&1 && bad "the uninstall entry is still there"
  note "uninstalled: nothing left"

  # ---- the zip, unpacked where the path has a space and non-ASCII letters
  test -s "$zipfile" || { bad "$zipfile is missing"; return; }
  local unpacked="$WINEPREFIX/drive_c/Spiele für Jürgen"
  rm -rf "$unpacked"
  mkdir -p "$unpacked"
  (cd "$unpacked" && cmake -E tar xf "$zipfile") || bad "the zip does not unpack"
  play_windowed unzipped "$unpacked/TUMBLA-$download_version/TUMBLA.exe" "$unpacked/TUMBLA-$download_version"
  start_often "$unpacked/TUMBLA-$download_version/TUMBLA.exe" "$unpacked/TUMBLA-$download_version" 10 unzipped-starts
  rm -rf "$unpacked"
}
