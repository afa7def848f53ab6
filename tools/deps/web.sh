# Recipe for tools/deps.sh: deps_build PREFIX WORK builds zlib, libpng, FreeType
# and SDL2 for the browser with Debian's emscripten, from Debian's sources, as
# static libraries in PREFIX. tools/web.sh sources this file too, for
# web_emscripten_env.

# Emscripten, set up privately: Debian's config says FROZEN_CACHE = True (the
# system cache may not be written), but a link with some settings wants a
# library variant Debian did not prebuild. So a config of our own allows it,
# over a copy of Debian's cache, both under the cache folder; nothing of the
# system's is changed. NODE_PATH lets emcc find Debian's acorn when the node on
# the PATH is not Debian's.
web_emscripten_env() {
  local root=/usr/share/emscripten
  local base
  base=${QUILL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmoor}/emscripten-$(cat "$root/emscripten-version.txt")
  if [ ! -f "$base/.ready" ]; then
    rm -rf "$base"
    mkdir -p "$base"
    sed 's/^FROZEN_CACHE = .*/FROZEN_CACHE = False/' "$root/.emscripten" >"$base/config"
    cp -a "$root/cache" "$base/cache"
    touch "$base/.ready"
  fi
  export NODE_PATH=/usr/share/nodejs EM_CONFIG=$base/config EM_CACHE=$base/cache
}

deps_build() {
  local prefix=$1 work=$2
  web_emscripten_env
  local jobs
  jobs=$(nproc)
  # Static libraries only (emscripten has no shared ones), found in the prefix.
  local common=(-G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix"
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF
    -DCMAKE_C_FLAGS=-O2)
  build() { # name source [cmake options...]
    local name=$1 src=$2
    shift 2
    emcmake cmake -S "$src" -B "$work/$name" "${common[@]}" "$@" >/dev/null
    cmake --build "$work/$name" -j "$jobs" >/dev/null
    cmake --install "$work/$name" >/dev/null
  }
  set -e

  # zlib's CMake wants the Windows resource file Debian's source leaves out;
  # its own configure script builds the static library in a copy of the source.
  cp -a "$SRC_zlib" "$work/zlib"
  (cd "$work/zlib" && CFLAGS=-O2 emconfigure ./configure --static --prefix="$prefix" >/dev/null &&
    emmake make -j "$jobs" libz.a >/dev/null && emmake make install >/dev/null)
  local zlib=(-DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a")

  build libpng "$SRC_libpng1_6" "${zlib[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -Dld-version-script=OFF -DSKIP_INSTALL_PROGRAMS=ON \
    -DSKIP_INSTALL_EXECUTABLES=ON

  # FreeType's gzip module would bring its own copy of zlib, whose names clash
  # with the real zlib at link time: it uses ours instead. Nothing else optional.
  build freetype "$SRC_freetype" "${zlib[@]}" -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON

  # SDL2 with its emscripten backends (canvas, Web Audio, the Gamepad API) and
  # no threads, as the page runs on the browser's main thread.
  build sdl2 "$SRC_libsdl2" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
    -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF
}
