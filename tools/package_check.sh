#!/bin/sh
# Makes the Debian package from a build folder and checks it as Debian would:
# what it holds, lintian, and the menu entry and metadata validators on the
# files it installs. Usage: tools/package_check.sh <build folder>
set -eu
build=$(cd "${1:?usage: tools/package_check.sh <build folder>}" && pwd)
id=org.quillmoor.quillmoor

rm -rf "$build/package"
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=$(echo "$build"/package/quillmoor_*_amd64.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')

fail=0
# The program where Debian keeps games, its art and sounds beside their
# version stamp, the manual page and every icon size.
for path in usr/games/quillmoor usr/share/games/quillmoor/version \
  usr/share/games/quillmoor/see/urth.png usr/share/games/quillmoor/hear/jjj.wav \
  usr/share/man/man6/quillmoor.6.gz \
  usr/share/icons/hicolor/16x16/apps/$id.png usr/share/icons/hicolor/32x32/apps/$id.png \
  usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/64x64/apps/$id.png \
  usr/share/icons/hicolor/128x128/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png; do
  echo "$files" | grep -qx "\./$path" || { echo "package_check: no $path in the package"; fail=1; }
done
# Nothing the game writes into its working folder.
if echo "$files" | grep -E '_x4\.png$|/pictures\.cache$|/screen[0-9]*\.bmp$|/played$'; then
  echo "package_check: the package holds files the game writes"
  fail=1
fi

lintian --fail-on error,warning "$deb" || fail=1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail=1
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail=1

[ "$fail" -eq 0 ] || exit 1
echo "package_check: $(basename "$deb"), $(stat -c %s "$deb") bytes, passed"
