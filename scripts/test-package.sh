#!/usr/bin/env bash
# The installed game: builds the .deb from build/linux (built by test.sh
# before), checks apt would install it with its dependencies, unpacks it into
# a scratch root, and plays the unpacked game from a folder of its own in a
# virtual X server, with SDL writing the sound to a file. The game must keep
# running until told to end, end with 0, and play music: it finds its song
# in ../share/tumbla beside its program, and its soundfont on the system.
set -euo pipefail
cd "$(dirname "$0")/.."
# CPack finds the program's libraries with file and dpkg-shlibdeps.
. scripts/lib.sh
need_packages file dpkg-dev xvfb xauth
build=$PWD/build/linux
out=$build/package
rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/tumbla_*_*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends

# apt resolves the package's dependencies (a dry run: nothing is installed).
apt-get install --simulate -qq "$deb" >"$out/apt.log" 2>&1 || { cat "$out/apt.log"; exit 1; }
grep -q "^Inst tumbla" "$out/apt.log" || { cat "$out/apt.log"; echo "apt would not install tumbla"; exit 1; }

root=$out/root
work=$out/elsewhere
mkdir -p "$root" "$work"
dpkg -x "$deb" "$root"
for f in usr/bin/tumbla usr/share/tumbla/sample_data/sw5.mid usr/share/applications/tumbla.desktop \
         usr/share/metainfo/tumbla.metainfo.xml usr/share/man/man6/tumbla.6 \
         usr/share/icons/hicolor/48x48/apps/tumbla.png; do
  test -s "$root/$f" || { echo "missing from the package: $f"; exit 1; }
done
"$root/usr/bin/tumbla" --version

# Plays for a few seconds, then the session ends (SIGTERM: the window closes).
cd "$work"
set +e
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/sound.raw" \
  xvfb-run -a -s "-screen 0 1024x768x24" \
  bash -c '"$1" 2>"$2" & pid=$!; sleep 8; kill -TERM $pid; wait $pid' _ "$root/usr/bin/tumbla" "$work/stderr.log"
code=$?
set -e
cat "$work/stderr.log"
[ "$code" -eq 0 ] || { echo "the installed game ended with $code"; exit 1; }
test -s "$work/sound.raw" || { echo "no sound was written"; exit 1; }
audible=$(tr -d '\000' <"$work/sound.raw" | wc -c)
echo "sound: $(stat -c %s "$work/sound.raw") bytes written, $audible of them not silent"
[ "$audible" -gt 100000 ] || { echo "the installed game played no music"; exit 1; }
echo "The installed game plays with music."
