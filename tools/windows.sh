#!/bin/bash
# Builds Quillmoor for 64-bit Windows on Debian 12 and packages it:
#   build-windows/quillmoor.exe                       the program, statically linked
#   build-windows/Quillmoor-VERSION-windows.zip       the program with its art, sounds,
#                                                     fonts and licence texts
#   build-windows/Quillmoor-VERSION-setup.exe         the installer (per user or per machine)
#
# It installs what it needs (tools/setup.sh windows), builds the libraries once
# into the dependency cache (tools/deps.sh windows), the art and sound tools
# natively in build-windows/native/, and the game with MinGW-w64.
#
# Usage: tools/windows.sh [--tests]   (--tests also builds the Windows test programs
#                                      and the native Wine window test)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
tests=OFF
[ "${1:-}" = "--tests" ] && tests=ON
jobs=$(nproc)
out=$top/build-windows

tools/setup.sh windows
[ "$tests" = ON ] && tools/setup.sh test
deps=$(tools/deps.sh windows | tail -n 1)

# The tools that make the art, the icons and the sounds run here, natively; with
# the tests, also the test that drives the Windows game under Wine in Xvfb.
cmake -S . -B "$out/native" -DCMAKE_BUILD_TYPE=Release -DQUILL_TESTS=$tests -DQUILL_BENCH=OFF \
  -DQUILL_WINDOWS_BUILD="$out" >/dev/null
native_targets="artgen sfxgen icopack"
[ "$tests" = ON ] && native_targets="$native_targets test_wine"
# shellcheck disable=SC2086
nice -n 10 cmake --build "$out/native" -j "$jobs" --target $native_targets

cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" -DQUILL_DEPS="$deps" \
  -DQUILL_NATIVE_TOOLS="$out/native" -DCMAKE_BUILD_TYPE=Release -DQUILL_TESTS=$tests \
  -DQUILL_BENCH=OFF >/dev/null
nice -n 10 cmake --build "$out" -j "$jobs"

# Nothing beside the program but what every Windows has.
allowed="kernel32.dll user32.dll gdi32.dll winmm.dll imm32.dll ole32.dll oleaut32.dll
  version.dll advapi32.dll setupapi.dll shell32.dll msvcrt.dll"
for dll in $(x86_64-w64-mingw32-objdump -p "$out/quillmoor.exe" | sed -n 's/^\tDLL Name: //p' |
  tr 'A-Z' 'a-z'); do
  case " $(echo $allowed) " in
  *" $dll "*) ;;
  *) echo "windows.sh: quillmoor.exe needs $dll, which Windows does not have" >&2; exit 1 ;;
  esac
done

version=$(cat "$out/version")
name=Quillmoor-$version
stage=$out/$name
rm -rf "$stage"
mkdir -p "$stage/see" "$stage/hear" "$stage/fonts" "$stage/licences"
# Without its symbols, a third of its size.
x86_64-w64-mingw32-strip -o "$stage/quillmoor.exe" "$out/quillmoor.exe"
cp "$out/version" "$stage/"
# The art and sounds as made, never the copies or screenshots a test run left.
find "$out/data/see" -maxdepth 1 -name '*.png' ! -name '*_x4.png' -exec cp {} "$stage/see/" \;
cp "$out"/data/hear/*.wav "$stage/hear/"
cp "$out"/fonts/*.ttf "$stage/fonts/"
cp LICENSE "$stage/licences/Quillmoor.txt"
cp packaging/windows/README.txt "$stage/"
cp "$deps"/licences/*.txt "$stage/licences/"
cp /usr/share/doc/fonts-liberation/copyright "$stage/licences/Liberation-fonts.txt"
# The compiler's runtime, linked into the program.
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licences/MinGW-w64.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/GCC-runtime.txt"
# Windows' own line endings for the texts a player may open.
for f in "$stage"/README.txt "$stage"/licences/*.txt; do sed -i 's/\r*$/\r/' "$f"; done

rm -f "$out/$name-windows.zip"
(cd "$out" && TZ=UTC zip -qrX "$name-windows.zip" "$name")

# The installer installs exactly the staged files; the lists are written for
# it, so that the uninstaller removes those and nothing of the player's.
# installer STAGE VERSION OUT.exe [makensis options]
installer() {
  local stage=$1 version=$2 exe=$3
  shift 3
  (cd "$stage" && find . -type f | sort) | while read -r f; do
    f=${f#./}
    sub=$(dirname "$f" | sed 's|^\.$||; s|/|\\|g')
    printf 'SetOutPath "$INSTDIR\\%s"\nFile "%s"\n' "$sub" "$stage/$f"
  done >"$stage.files.nsh"
  {
    (cd "$stage" && find . -type f | sort -r) | sed 's|^\./||; s|/|\\|g; s|^|Delete "${ROOT}\\|; s|$|"|'
    (cd "$stage" && find . -mindepth 1 -type d | sort -r) |
      sed 's|^\./||; s|/|\\|g; s|^|RMDir "${ROOT}\\|; s|$|"|'
  } >"$stage.unfiles.nsh"
  makensis -V2 -INPUTCHARSET UTF8 "$@" -DVERSION="$version" -DOUT="$exe" \
    -DICON="$out/packaging/windows/quillmoor.ico" -DFILES="$stage.files.nsh" \
    -DUNFILES="$stage.unfiles.nsh" -DLICENCE="$stage/licences/Quillmoor.txt" \
    -DPICTURE="$out/packaging/windows/installer.bmp" packaging/windows/installer.nsi >&2
}
installer "$stage" "$version" "$out/$name-setup.exe"

# For the tests' upgrade: an older version whose files the newer one does not all have.
if [ "$tests" = ON ]; then
  older=$out/older/Quillmoor-1.0
  rm -rf "$out/older"
  mkdir -p "$out/older"
  cp -r "$stage" "$older"
  echo "1.0" >"$older/version"
  echo "only in 1.0" >"$older/licences/Older.txt"
  installer "$older" 1.0 "$out/older/Quillmoor-1.0-setup.exe" -DCOMPRESSOR=zlib
fi

ls -l "$out/$name-windows.zip" "$out/$name-setup.exe" | awk '{print $5, $9}'
