#!/bin/sh
# Builds the game and starts it in its working folder build/data/.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh game
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
cd build/data
exec ../quillmoor
