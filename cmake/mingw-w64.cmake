# Cross build for 64-bit Windows with Debian's MinGW-w64. The posix-thread
# compiler: GCC 12's win32-thread one has no std::mutex, which GoogleTest needs;
# its winpthread is linked statically like everything else.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#     -DQUILL_DEPS=<prefix from tools/deps.sh windows> -DQUILL_NATIVE_TOOLS=<native build>
# The libraries come from QUILL_DEPS only; the art and sound tools run from a
# native build; test programs run under Wine (tools/wine_run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(host x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${host}-g++-posix)
set(CMAKE_RC_COMPILER ${host}-windres)

set(QUILL_DEPS "" CACHE PATH "Prefix of the Windows libraries (tools/deps.sh windows)")
set(CMAKE_FIND_ROOT_PATH ${QUILL_DEPS} /usr/${host})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only static libraries: nothing beside the program but what Windows has.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

get_filename_component(quill_top ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${quill_top}/tools/wine_run.sh)
