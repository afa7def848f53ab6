#!/bin/bash
# Makes the README's pictures with the game's own Tab key: plays the game on a
# private X server with xdotool, then turns each screenshot into a PNG with
# bmp2png. Usage: tools/readme_shots.sh [build folder] [output folder]
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh test # Xvfb and xdotool
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-docs}")
cmake --build "$build" --target quillmoor art sounds bmp2png >/dev/null
mkdir -p "$out"

work=$(mktemp -d)
xvfb=""
game=""
cleanup() {
  set +e # a program that has already ended must not keep the rest from running
  [ -n "$game" ] && kill "$game" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A fresh working folder: the art and sounds, none of the scaled copies.
mkdir -p "$work/data/see"
cp -r "$build/data/hear" "$work/data/"
find "$build/data/see" -name '*.png' ! -name '*_x4.png' ! -name temp.png -exec cp {} "$work/data/see/" \;

# The server writes its display number once it takes clients.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
read -r number <"$work/display"
export DISPLAY=":$number"
(cd "$work/data" && SDL_AUDIODRIVER=dummy exec "$build/quillmoor" --no-hint) &
game=$!

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Quillmoor: Ctrl\+F for full screen\.$' | head -n 1)
xdotool windowfocus --sync "$window"
sleep 3 # the first start makes the scaled copies

# Holds a key for a while (in seconds).
hold() { xdotool keydown "$1" sleep "$2" keyup "$1"; }
# Saves the screen with Tab and moves the file to the output folder by name.
shot() {
  hold Tab 0.2
  sleep 1.2 # a second name for every picture
  local file
  file=$(ls -t "$work/data/see"/screen*.bmp | head -n 1)
  "$build/tools/bmp2png/bmp2png" "$file" "$out/$1.png"
  echo "$out/$1.png"
}

# The meadow at the start, with the instructions of F1.
hold F1 0.2
sleep 0.5
shot start
hold space 0.2

# Up to the rock pile, broken by hand; on into the shaft of sunlight.
hold Right 7
for _ in 1 2 3 4 5 6 7 8; do
  hold space 0.1
  sleep 0.3
done
hold Right 6.5
sleep 0.5
shot sunlight
hold space 0.2

# Into the wood, where the tree stands.
hold Right 4.5
sleep 0.5
shot wood

hold Escape 0.2
wait "$game"
game=""
