# Recipe for tools/deps.sh: deps_build PREFIX WORK builds the libraries for
# 64-bit Windows with MinGW-w64, static, into PREFIX.
deps_build() {
  echo "windows recipe not written yet" >&2
  return 1
}
