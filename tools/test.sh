#!/bin/sh
# Builds everything twice (plain, and with address and undefined-behaviour
# sanitizers) and runs every test in both builds; the plain build also makes
# the Debian package and checks it.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh test
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")
tools/package_check.sh build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && ctest --output-on-failure -j "$jobs")

# The fuzz harnesses, once over their seed corpora.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILL_FUZZ=ON -DQUILL_TESTS=OFF -DQUILL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzzers
(cd build-fuzz && ctest --output-on-failure -j "$jobs")
