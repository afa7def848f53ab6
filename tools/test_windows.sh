#!/bin/bash
# The Windows part of the test command. Builds the game for Windows with its
# test programs (tools/windows.sh --tests: the libraries come from the
# dependency cache, so only the first run builds them), runs the portable test
# programs under Wine through CTest's emulator, then the native test that plays
# the Windows game under Wine in Xvfb, with bad input, and through its installer.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
start=$(date +%s)
tools/windows.sh --tests >/dev/null

# Every Wine process of the test prefixes ends with this script, whatever happens.
end_wine() {
  for prefix in "${QUILL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmoor}"/wine-*/ \
    "$top"/build-windows/wine-*/; do
    if [ -f "$prefix/system.reg" ]; then
      WINEPREFIX=$prefix timeout -k 5 60 wineserver -k 2>/dev/null || true
    fi
  done
  return 0
}
trap end_wine EXIT

(cd build-windows && ctest --output-on-failure -j 2 --timeout 900)
end_wine
(cd build-windows/native && ctest --output-on-failure -R '^Wine' --timeout 900)
echo "test_windows.sh: $(($(date +%s) - start)) s"
