#!/bin/bash
# Measures the browser build: the site's size on the wire with gzip and, in
# headless chromium, the time from navigation to the first paint and to the
# first frame of play, cold and warm (VISITS of each, 5 unless given); the
# touch-to-pixel latency on a phone-sized page (TOUCHES touches, 20 unless
# given); then bench_frame's frame compiled natively and to WebAssembly, side
# by side (REPS repetitions, 10 unless given).
# PEER_SITE, when set, names another build's site, visited in turn with ours.
# Run on a quiet machine: tools/web_bench.sh [VISITS [REPS [TOUCHES]]]
set -euo pipefail
cd "$(dirname "$0")/.."
visits=${1:-5}
reps=${2:-10}
touches=${3:-20}
tools/web.sh
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
node tests/web/bench.mjs visits build-web/site "$visits" ${PEER_SITE:+"$PEER_SITE"}
node tests/web/bench.mjs touch build-web/site "$touches"

# The same source and runner on both sides, both Release builds.
. tools/deps/web.sh
web_emscripten_env
cmake -S . -B build-web/native -DQUILL_WEB_BENCH=ON >/dev/null
cmake --build build-web/native -j "$(nproc)" --target bench_frame_plain
cmake -S . -B build-web/wasm -DQUILL_WEB_BENCH=ON >/dev/null
cmake --build build-web/wasm -j "$(nproc)" --target bench_frame_plain
node tests/web/bench.mjs frame "$reps" build-web/native/bench/web/bench_frame_plain \
  build-web/wasm/bench/web/bench_frame_plain.js
