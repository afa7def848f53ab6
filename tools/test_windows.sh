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

# Wine itself now and then fails a test program that is not at fault: GoogleTest's
# own checks find no thread ("gtest-port.cc:603:: Condition watcher_thread !=
# nullptr failed. CreateThread failed with error 6"), or a program that passed
# every test never exits and times out. Such programs, and only those, run once
# more; any other failure fails the part. Reads CTest's summary, then its log.
wine_faults() {
  awk '
    FNR == 1 { file++ }
    file == 1 && /^The following tests/ { listed = /FAILED/ }
    file == 1 && listed && /^\t *[0-9]+ - / { status[$3] = $4 }
    file == 2 && / Testing: / { name = $3; passed = 0; port = 0 }
    file == 2 && /\[  PASSED  \]/ { passed = 1 }
    file == 2 && /gtest-port\.cc:[0-9]+:: Condition/ { port = 1 }
    file == 2 && /" end time: / && (name in status) {
      why[name] = port ? "GoogleTest got no thread" : \
                  passed && status[name] == "(Timeout)" ? "passed, then never exited" : ""
    }
    END { for (name in status) { if (why[name] == "") exit 1; printf "%s (%s) ", name, why[name] } }
  ' "$1" Testing/Temporary/LastTest.log
}
(
  cd build-windows
  if ! ctest --output-on-failure -j 2 --timeout 900 | tee ctest-console.txt; then
    faults=$(wine_faults ctest-console.txt) || exit 1
    echo "test_windows.sh: Wine's own fault, run again: $faults"
    ctest --output-on-failure --rerun-failed --timeout 900
  fi
)
end_wine
(cd build-windows/native && ctest --output-on-failure -R '^Wine' --timeout 900)
echo "test_windows.sh: $(($(date +%s) - start)) s"
