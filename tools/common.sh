# Shared by the run and test commands: install what is missing, then build a tree.
# A configure or build with nothing changed writes nothing and rebuilds nothing
# (the test build.nothing_to_redo checks it), so a second run starts at once.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

install_deps() {
  if [ "$(id -u)" = 0 ]; then "$root/tools/setup-debian.sh"; else sudo "$root/tools/setup-debian.sh"; fi
}

configure_windows() {
  cmake -S "$root" -B "$root/build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
}

configure_host() {
  cmake -S "$root" -B "$root/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
}

build_windows() {
  configure_windows
  cmake --build "$root/build/win" -j2 "$@"
}

build_host() {
  configure_host
  cmake --build "$root/build/host" -j2
}
