#!/bin/sh
# Builds everything in three configurations, each in a folder of its own (the
# play command's build/ is left alone), and runs every test in each: plain
# (build-test/), with address and undefined-behaviour sanitizers
# (build-sanitize/), and the fuzz harnesses over their seeds (build-fuzz/); and
# the runtime with the programs whose tests start the game, with the thread
# sanitizer (build-tsan/).
# The plain build also makes the Debian package and
# checks it. The browser build is played in headless chromium (tools/test_web.sh).
# Then the play command runs on a fresh Debian 12 (tools/fresh_check.sh). The
# last line counts what was skipped and why.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh test
jobs=$(nproc)

# Plain build.
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILL_TESTS=ON -DQUILL_BENCH=ON >/dev/null
cmake --build build-test -j "$jobs"
(cd build-test && ctest --output-on-failure -j "$jobs" --timeout 120)
tools/package_check.sh build-test

# Sanitizer build.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=ON -DQUILL_TESTS=ON \
  -DQUILL_BENCH=ON >/dev/null
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && ctest --output-on-failure -j "$jobs" --timeout 120)

# The thread sanitizer, on the programs whose tests start the game: its worker
# decodes the art and readies the fonts while the window opens.
tsan_programs="test_display test_game_spine test_assets test_captions"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILL_SANITIZE_THREADS=ON \
  -DQUILL_TESTS=ON -DQUILL_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build build-tsan -j "$jobs" --target $tsan_programs
(cd build-tsan && ctest --output-on-failure -j "$jobs" --timeout 300 \
  -L "^($(echo $tsan_programs | tr ' ' '|'))\$")

# The fuzz harnesses, once over their seed corpora.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILL_FUZZ=ON -DQUILL_TESTS=OFF -DQUILL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzzers
(cd build-fuzz && ctest --output-on-failure -j "$jobs" --timeout 120)

# The Windows build, its tests under Wine and its packages (tools/test_windows.sh).
tools/test_windows.sh

# The browser build, played in headless chromium.
tools/test_web.sh

# The play command on a fresh Debian 12; not again inside the fresh root itself.
fresh="fresh check: already inside a fresh root"
if [ -z "${QUILL_FRESH_ROOT:-}" ]; then
  tools/fresh_check.sh
  fresh=""
fi

# What was skipped and why: a skipped test prints "...: Skipped" and its reason
# on the next line.
awk -v fresh="$fresh" '
  /: Skipped$/ { getline; count[$0]++; total++ }
  END {
    if (fresh != "") { count[fresh]++; total++ }
    line = total ? "test.sh: " total " skipped:" : "test.sh: nothing skipped"
    sep = " "
    for (why in count) { line = line sep count[why] " x " why; sep = "; " }
    print line
  }' build-test/Testing/Temporary/LastTest.log build-sanitize/Testing/Temporary/LastTest.log \
  build-tsan/Testing/Temporary/LastTest.log \
  build-fuzz/Testing/Temporary/LastTest.log build-windows/Testing/Temporary/LastTest.log \
  build-windows/native/Testing/Temporary/LastTest.log
