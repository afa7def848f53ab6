# Recipe for tools/deps.sh: deps_build PREFIX WORK builds the libraries for
# the browser with emscripten, into PREFIX.
deps_build() {
  echo "web recipe not written yet" >&2
  return 1
}
