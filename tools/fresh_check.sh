#!/bin/bash
# Checks the README's commands on a truly fresh Debian 12: makes a minimal root
# with debootstrap, copies a clean clone of this checkout (its last commit) into
# it and there, with nothing else installed and no display, runs the README's
# play command exactly as written. It must install what it needs, build, start
# the game and end with "Screen fail :(" and exit code 1 (an error ending). With
# --full the README's test command then runs there too.
# Usage: tools/fresh_check.sh [--full]    (as root, or through sudo)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

full=0
case "${1:-}" in
  "") ;;
  --full) full=1 ;;
  *) echo "usage: $0 [--full]" >&2; exit 2 ;;
esac
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
tools/setup.sh test # debootstrap and git
git() { command git -c safe.directory='*' "$@"; } # a checkout of another user's

# Time limits, in seconds: nothing here may hang.
make_limit=1200
play_limit=2400
test_limit=5400

# The README's two commands, as written in its table.
command_of() { sed -n "s/^| $1 .*| \`\(.*\)\` |\$/\1/p" README.md; }
play=$(command_of "Build and play")
test=$(command_of "Build and pass every test")
if [ -z "$play" ] || [ -z "$test" ]; then
  echo "fresh_check: the README's command table is not where it was" >&2
  exit 1
fi

# The host's Debian mirror; apt inside gets the host's sources as they are.
sources=$(ls /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
  /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
# shellcheck disable=SC2086
mirror=$(grep -hoE '[a-z]+://[^ ]+/debian/?( |$)' $sources 2>/dev/null | head -n 1 | tr -d ' ')
mirror=${mirror:-http://deb.debian.org/debian}

work=$(mktemp -d /var/tmp/quill-fresh.XXXXXX)
root=$work/root
log=$work/log
running="" # the time limit of the step under way: its process group
cleanup() {
  set +e
  if [ -n "$running" ]; then
    kill -TERM -- "-$running" 2>/dev/null || kill -TERM "$running"
    wait "$running"
  fi
  # Whatever still runs in the root is ours too: end it, then unmount all in it.
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  findmnt -rno TARGET | grep "^$root/" | sort -r | while read -r m; do
    umount "$m" 2>/dev/null || umount -l "$m"
  done
  if findmnt -rno TARGET | grep -q "^$root/"; then
    echo "fresh_check: $root is still mounted; left in place" >&2
  else
    rm -rf --one-file-system "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# limited show|quiet seconds command...: runs the command within the time limit
# in a process group of its own (so that cleanup can end all of it), its output
# into $log and, with show, onto the terminal as well; returns its exit code.
limited() {
  local show=$1 limit=$2 code=0 tailing=""
  shift 2
  timeout -k 30 "$limit" "$@" >"$log" 2>&1 </dev/null &
  running=$!
  if [ "$show" = show ]; then
    tail -n +1 -f --pid="$running" "$log" &
    tailing=$!
  fi
  # A wait, unlike a command in the foreground, gives way to a signal at once.
  wait "$running" || code=$?
  running=""
  [ -z "$tailing" ] || wait "$tailing"
  return "$code"
}

started=$SECONDS
step() { echo "fresh_check: $* ($((SECONDS - started)) s)"; }

step "a minimal Debian 12 root from $mirror"
limited quiet "$make_limit" debootstrap --variant=minbase bookworm "$root" "$mirror" ||
  { tail -n 20 "$log" >&2; exit 1; }
rm -f "$root/etc/apt/sources.list"
for f in $sources; do cp "$f" "$root$f"; done
# Keyrings the sources name that the root lacks (a third-party source's).
# shellcheck disable=SC2086
for k in $({ grep -hoiE '(signed-by:|signed-by=) *[^] ]+' $sources || true; } | sed 's/^[^/]*//'); do
  if [ -f "$k" ] && [ ! -e "$root$k" ]; then
    mkdir -p "$root$(dirname "$k")"
    cp "$k" "$root$k"
  fi
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts" # apt's log wants a terminal

step "a clean clone of $(git rev-parse --short HEAD)"
git clone -q "$top" "$root/root/quillmoor"

# Runs a command in the clone inside the root: no display, no sound card, none
# of our variables but the host's proxy and a mark that tells the test command
# not to start a fresh check of its own.
inside() {
  limited show "$1" chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin QUILL_FRESH_ROOT=1 \
    ${http_proxy:+http_proxy=$http_proxy} ${https_proxy:+https_proxy=$https_proxy} \
    /bin/sh -c "cd /root/quillmoor && $2"
}

step "the play command: $play"
status=0
inside "$play_limit" "$play" || status=$?
last=$(tail -n 1 "$log")
if [ "$status" -ne 1 ] || [ "$last" != "Quillmoor - Error: Screen fail :(" ]; then
  echo "fresh_check: the play command ended with code $status and \"$last\";" \
    "wanted 1 and the screen failure" >&2
  exit 1
fi
step "the play command ends as it should with no display"

if [ "$full" -eq 1 ]; then
  step "the test command: $test"
  inside "$test_limit" "$test" || { echo "fresh_check: the test command failed" >&2; exit 1; }
  step "the test command passes"
fi
