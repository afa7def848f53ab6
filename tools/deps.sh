#!/bin/bash
# Builds the libraries Debian does not ship for another target (SDL2, libpng,
# FreeType, zlib, GoogleTest) from Debian's own source packages, once, into a
# cache outside the checkout, and prints that prefix as its last line.
#
# The sources come through `apt-get source` with a private sources list and
# private state folders under the cache: the system's apt set-up is never
# touched. The prefix is keyed by the target, every package's Debian version and
# the target's recipe (tools/deps/TARGET.sh), so a second run builds nothing and
# a changed recipe or a security update builds afresh.
#
# Usage: tools/deps.sh windows|web    (QUILL_CACHE overrides ~/.cache/quillmoor)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
target=${1:-}
recipe=$top/tools/deps/$target.sh
if [ -z "$target" ] || [ ! -f "$recipe" ]; then
  echo "usage: $0 windows|web" >&2
  exit 2
fi
tools/setup.sh "$target"

cache=${QUILL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmoor}
apt=$cache/apt
mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/parts" "$cache/src"

# Source lines for the host's Debian mirror and its security archive.
sources=$(ls /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
  /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
# shellcheck disable=SC2086
mirror=$(grep -hoE '[a-z]+://[^ ]+/debian/?( |$)' $sources 2>/dev/null | head -n 1 | tr -d ' ')
# shellcheck disable=SC2086
security=$(grep -hoE '[a-z]+://[^ ]+/debian-security/?( |$)' $sources 2>/dev/null | head -n 1 |
  tr -d ' ')
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
signed=""
[ -f "$keyring" ] && signed="[signed-by=$keyring] "
cat >"$apt/sources.list.new" <<LIST
deb-src $signed${mirror:-http://deb.debian.org/debian} bookworm main
deb-src $signed${mirror:-http://deb.debian.org/debian} bookworm-updates main
deb-src $signed${security:-http://deb.debian.org/debian-security} bookworm-security main
LIST
fresh_lists=0
if ! cmp -s "$apt/sources.list.new" "$apt/sources.list"; then
  mv "$apt/sources.list.new" "$apt/sources.list"
  fresh_lists=1
fi
rm -f "$apt/sources.list.new"
aptopts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
  -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt" -o "Dir::Cache::archives=$apt/archives"
  -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Sandbox::User=root")
# The lists are read again once a day, or when the mirror changed.
if [ "$fresh_lists" = 1 ] || [ -z "$(find "$apt/lists" -maxdepth 1 -name '*Sources' -mtime -1)" ]; then
  apt-get "${aptopts[@]}" -qq update >&2
fi

# name:upstream version wanted. Each is checked, so an unexpected version is
# a clear failure, not a puzzling build. The recipe finds each unpacked source
# in SRC_<name>, with other characters than letters and digits made "_"
# (SRC_libsdl2, SRC_libpng1_6).
packages="libsdl2:2.26.5 libpng1.6:1.6.39 freetype:2.12.1 zlib:1.2.13 googletest:1.12.1"
versions=""
for p in $packages; do
  name=${p%%:*} want=${p#*:}
  # The newest version the mirror really serves: a listed one may be missing
  # from its pool. Each is unpacked once, by version, for every target.
  version="" dir=""
  for v in $(apt-cache "${aptopts[@]}" showsrc "$name" 2>/dev/null |
    sed -n 's/^Version: //p' | sort -Vru); do
    upstream=${v#*:}
    upstream=${upstream%%[+-]*}
    [ "${upstream%.dfsg}" = "$want" ] || continue
    dir=$cache/src/${name}_${v#*:}
    if [ ! -f "$dir/.unpacked" ]; then
      rm -rf "$dir" "$dir.tmp"
      mkdir -p "$dir.tmp"
      if ! (cd "$dir.tmp" && apt-get "${aptopts[@]}" -qq source "$name=$v" >/dev/null 2>&1); then
        rm -rf "$dir.tmp"
        continue
      fi
      mv "$(find "$dir.tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)" "$dir"
      rm -rf "$dir.tmp"
      touch "$dir/.unpacked"
    fi
    version=$v
    break
  done
  if [ -z "$version" ]; then
    echo "deps: no source of Debian's $name $want could be fetched from ${mirror:-deb.debian.org}" >&2
    exit 1
  fi
  versions="$versions $name=$version"
  export "SRC_$(echo "$name" | tr -c 'a-zA-Z0-9\n' _)=$dir"
done

key=$( (echo "$target$versions"; cat "$recipe") | sha256sum | cut -c1-12)
prefix=$cache/deps-$target-$key
# One build per key at a time: a second run of the same key waits for the
# first and takes its prefix; runs of other keys (another checkout's recipe)
# build beside it in folders of their own.
work=$cache/build-$target-$key
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.complete" ]; then
  echo "deps: building for $target into $prefix:$versions" >&2
  rm -rf "$prefix" "$work"
  mkdir -p "$prefix" "$work"
  # shellcheck source=/dev/null
  . "$recipe"
  (deps_build "$prefix" "$work") >&2
  echo "$versions" >"$prefix/versions"
  rm -rf "$work"
  touch "$prefix/.complete"
fi
exec 9>&-
echo "$prefix"
