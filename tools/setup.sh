#!/bin/sh
# Installs the Debian packages a build needs, quietly when they are all there.
# Usage: tools/setup.sh game|test|windows|web
set -eu

game_packages="g++ cmake make pkg-config libsdl2-dev libpng-dev zlib1g-dev
  libfreetype-dev libfontconfig-dev fonts-liberation"
test_packages="$game_packages googletest libgtest-dev libgmock-dev libbenchmark-dev
  libstb-dev clang libclang-rt-14-dev xvfb xserver-xorg-core xserver-xorg-video-dummy
  xfonts-base xdotool x11-apps weston
  libdecor-0-plugin-1-cairo tzdata debootstrap git
  dpkg-dev file lintian desktop-file-utils appstream"
# The cross builds: their compilers, what fetches and unpacks Debian's source
# packages (tools/deps.sh), and what tests the result.
windows_packages="$game_packages dpkg-dev g++-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64
  nsis xvfb xdotool zip unzip"
# The browser build also needs node and npm (playwright-core for its test) and
# the browser it is tested in.
web_packages="$game_packages dpkg-dev emscripten nodejs chromium"

case "${1:-game}" in
  game) wanted=$game_packages ;;
  test) wanted=$test_packages ;;
  windows) wanted=$windows_packages ;;
  web) wanted=$web_packages ;;
  *) echo "usage: $0 game|test|windows|web" >&2; exit 2 ;;
esac

missing=""
for p in $wanted; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
# npm may come with a node from elsewhere, whose files Debian's npm would clash with.
if [ "${1:-}" = web ] && ! command -v npm >/dev/null; then missing="$missing npm"; fi
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing:$missing"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
# shellcheck disable=SC2086
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
