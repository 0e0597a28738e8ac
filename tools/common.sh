# Shared by the run and test commands: install what is missing, then build a tree.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

install_deps() {
  if [ "$(id -u)" = 0 ]; then "$root/tools/setup-debian.sh"; else sudo "$root/tools/setup-debian.sh"; fi
}

build_windows() {
  cmake -S "$root" -B "$root/build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build/win" -j2
}

build_host() {
  cmake -S "$root" -B "$root/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$root/build/host" -j2
}
