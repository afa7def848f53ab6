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

# Runs CTest in folder $1 with the rest as its arguments. Wine itself now and
# then fails a program that is not at fault: GoogleTest's own check gets no thread
# ("CreateThread failed with error 6"), a copy finds "Too many open files", or a
# program that passed every test never exits. A program that fails is run once
# more and named; one that fails again fails the part. A fault of ours that
# repeats is still caught, and the portable programs also run natively, never
# twice, in the plain and sanitizer builds.
ctest_under_wine() {
  local dir=$1
  shift
  (
    cd "$dir"
    ctest --output-on-failure --timeout 900 "$@" && exit 0
    echo "test_windows.sh: failed once under Wine, run again:" \
      $(sed 's/^[0-9]*://' Testing/Temporary/LastTestsFailed.log)
    end_wine
    ctest --output-on-failure --timeout 900 --rerun-failed
  )
}
ctest_under_wine build-windows -j 2
end_wine
ctest_under_wine build-windows/native -R '^Wine'
echo "test_windows.sh: $(($(date +%s) - start)) s"
