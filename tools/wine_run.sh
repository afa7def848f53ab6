#!/bin/sh
# Runs a Windows program under Wine in a private prefix, within a time limit:
# CMake's emulator for the Windows build's test programs, and the Windows tests'
# way to start anything.
#
#   tools/wine_run.sh PROGRAM.exe [ARGUMENT...]
#
# QUILL_WINEPREFIX names the prefix (default ~/.cache/quillmoor/wine-<version>,
# made once, on first use, which takes a minute; one made with no DISPLAY draws
# its windows into nothing); QUILL_WINE_TIMEOUT the seconds
# the program may run (default 300). Sound goes to an ALSA null device given
# through ALSA_CONFIG_PATH: no sound card is needed and nothing on the system changes.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cache=${QUILL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmoor}
version=$(wine --version 2>/dev/null | tr -c 'a-zA-Z0-9.\n' _)
export WINEPREFIX="${QUILL_WINEPREFIX:-$cache/wine-$version}"
# -all also keeps Debian's wrapper from asking for the 32-bit Wine, not needed here.
export WINEDEBUG=-all
# No prompts to install Mono or Gecko, which nothing here needs.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export ALSA_CONFIG_PATH="$top/tools/wine/alsa-null.conf"
limit=${QUILL_WINE_TIMEOUT:-300}

if [ ! -f "$WINEPREFIX/.ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # One maker at a time; the others wait for its prefix.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.ready" ]; then
      rm -rf "$WINEPREFIX"
      timeout -k 10 600 wineboot -i >/dev/null 2>&1
      # Made with no display (the test programs' prefix): windows are drawn
      # into nothing rather than refused.
      if [ -z "${DISPLAY:-}" ]; then
        timeout -k 10 120 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
          >/dev/null 2>&1
      fi
      timeout -k 10 120 wineserver -w
      touch "$WINEPREFIX/.ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec timeout -k 10 "$limit" wine "$@"
