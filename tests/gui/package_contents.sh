#!/usr/bin/env bash
# Builds the Debian package of BUILD_DIR into SCRATCH_DIR and checks that it
# holds the binaries, the desktop entry and the man page.
set -euo pipefail
build=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/*.deb)
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
status=0
for wanted in ./usr/bin/mobrix ./usr/bin/RootMobrix ./usr/bin/RootMobrix-open \
  ./usr/share/applications/RootMobrix.desktop \
  ./usr/share/man/man1/mobrix.1 ./usr/share/icons/hicolor/scalable/apps/RootMobrix.svg \
  ./Applications/Mobrix.app/DpkgGetSelections.sh ./Applications/Mobrix.app/RestoreCydiaApps.sh; do
  grep -qxF "$wanted" <<<"$listing" || { echo "missing from the package: $wanted"; status=1; }
done
dpkg-deb -x "$deb" "$scratch/unpacked"
desktop=$scratch/unpacked/usr/share/applications/RootMobrix.desktop
grep -qxF 'MimeType=x-scheme-handler/cs-q7w2k9x4m1z8r5t;' "$desktop" || { echo "no scheme handler"; status=1; }
# The answer goes to a forwarder that blanks it at once, never to the window's
# own long-lived command line.
grep -qxF 'Exec=RootMobrix-open %U' "$desktop" || { echo "wrong Exec line"; status=1; }
exit $status
