# Recipe for tools/deps.sh: deps_build PREFIX WORK builds the libraries for
# 64-bit Windows with MinGW-w64, static, into PREFIX: SDL2, libpng, FreeType
# and GoogleTest from Debian's source packages; zlib is Debian's
# libz-mingw-w64-dev, copied in so that the prefix holds everything.
#
# The posix-thread compiler is used throughout: GCC 12's win32-thread MinGW has
# no std::mutex, which GoogleTest needs; its winpthread is linked statically.
deps_build() {
  local prefix=$1 work=$2
  local host=x86_64-w64-mingw32 sysroot=/usr/x86_64-w64-mingw32
  # One cross set-up for every CMake build: static libraries only, found in
  # the prefix and in the MinGW sysroot, never among the host's.
  local cross=(-G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows
    -DCMAKE_SYSTEM_PROCESSOR=x86_64 -DCMAKE_C_COMPILER=$host-gcc-posix
    -DCMAKE_CXX_COMPILER=$host-g++-posix -DCMAKE_RC_COMPILER=$host-windres
    "-DCMAKE_FIND_ROOT_PATH=$prefix;$sysroot" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER
    -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY
    -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY -DCMAKE_INSTALL_PREFIX="$prefix"
    -DBUILD_SHARED_LIBS=OFF)
  local jobs
  jobs=$(nproc)
  build() { # build NAME SOURCE cmake-options...
    local name=$1 src=$2
    shift 2
    echo "deps: $name" >&2
    cmake -S "$src" -B "$work/$name" "${cross[@]}" "$@" >/dev/null
    nice -n 10 cmake --build "$work/$name" -j "$jobs" >/dev/null
    cmake --install "$work/$name" >/dev/null
  }

  mkdir -p "$prefix/lib" "$prefix/include" "$prefix/licences"
  cp $sysroot/lib/libz.a "$prefix/lib/"
  cp $sysroot/include/zlib.h $sysroot/include/zconf.h "$prefix/include/"

  # The game uses SDL's video, events, audio, game controllers and timers;
  # its own main, so no SDL2main is needed.
  build sdl2 "$SRC_libsdl2" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    -DSDL2_DISABLE_SDL2MAIN=ON -DSDL_STATIC_PIC=OFF -DSDL_RENDER_D3D=ON -DSDL_OPENGLES=OFF
  build png "$SRC_libpng1_6" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
  # FreeType reads the TrueType faces; none of its optional helpers are wanted.
  build freetype "$SRC_freetype" -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON -DFT_REQUIRE_ZLIB=ON \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
  build googletest "$SRC_googletest" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON

  # The licence texts of what the game ships inside its program.
  cp "$SRC_libsdl2/LICENSE.txt" "$prefix/licences/SDL2.txt"
  cp "$SRC_libpng1_6/LICENSE" "$prefix/licences/libpng.txt"
  cp "$SRC_freetype/docs/FTL.TXT" "$prefix/licences/FreeType.txt"
  cp /usr/share/doc/libz-mingw-w64-dev/copyright "$prefix/licences/zlib.txt"
}
