#!/bin/sh
# Builds the game and its art and sounds (no tests, no benchmarks) in build/ and
# starts it in its working folder build/data/.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh game
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILL_TESTS=OFF -DQUILL_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)" --target quillmoor art sounds
cd build/data
exec ../quillmoor
