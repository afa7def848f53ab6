#!/bin/bash
# Builds the game for the browser: installs what it needs, builds SDL2, libpng,
# FreeType and zlib from Debian's sources once (tools/deps.sh web, cached by
# version outside the checkout), makes the art, sounds, icons and the page's
# still with a native build of the tools, builds the game with emscripten, and
# writes the site to build-web/site/ (index.html, page.js, the service worker
# sw.js, manifest.webmanifest, the icons and still, quillmoor.js, .wasm and
# .data: nothing is fetched from elsewhere when it runs).
#
# Usage: tools/web.sh [--serve]   (--serve: then serves the site on
# http://127.0.0.1:8000/ until interrupted)
set -euo pipefail
cd "$(dirname "$0")/.."
serve=0
case "${1:-}" in
  "") ;;
  --serve) serve=1 ;;
  *) echo "usage: $0 [--serve]" >&2; exit 2 ;;
esac
jobs=$(nproc)

tools/setup.sh web
prefix=$(tools/deps.sh web | tail -n 1)
# shellcheck source=deps/web.sh
. tools/deps/web.sh
web_emscripten_env

# The tools that make the art, the sounds and the icon, built natively.
cmake -S . -B build-web/native -DCMAKE_BUILD_TYPE=Release -DQUILL_TESTS=OFF -DQUILL_BENCH=OFF >/dev/null
cmake --build build-web/native -j "$jobs" --target artgen sfxgen

# The compiler and linker take emscripten's private set-up with them, so that a
# plain `cmake --build build-web/wasm` works too.
with="env;NODE_PATH=$NODE_PATH;EM_CONFIG=$EM_CONFIG;EM_CACHE=$EM_CACHE"
emcmake cmake -S . -B build-web/wasm -DCMAKE_C_COMPILER_LAUNCHER="$with" \
  -DCMAKE_CXX_COMPILER_LAUNCHER="$with" -DCMAKE_CXX_LINKER_LAUNCHER="$with" \
  -DCMAKE_BUILD_TYPE=Release -DQUILL_TESTS=OFF \
  -DQUILL_BENCH=OFF -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
  -DQUILL_NATIVE_TOOLS="$(pwd)/build-web/native" -DQUILL_SITE_DIR="$(pwd)/build-web/site" >/dev/null
cmake --build build-web/wasm -j "$jobs" --target site

echo "web: the site is in build-web/site/ ($(du -sh build-web/site | cut -f1))"
if [ "$serve" = 1 ]; then
  echo "web: serving http://127.0.0.1:8000/ (Ctrl+C ends)"
  exec python3 -m http.server 8000 --bind 127.0.0.1 --directory build-web/site
fi
