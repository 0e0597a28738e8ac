#!/usr/bin/env bash
# Cross-builds libjpeg-turbo for 32-bit Windows from Debian's own source package, as a static
# library under OUT (OUT/lib/libjpeg.a, OUT/include). Does nothing when OUT already holds it.
set -euo pipefail
out=$(realpath -m "$1")
[ -f "$out/lib/libjpeg.a" ] && exit 0
work="$out.work"
rm -rf "$work"; mkdir -p "$work"; cd "$work"
apt-get source -qq --download-only libjpeg-turbo >/dev/null 2>&1 || {
  echo "build-libjpeg: apt-get source libjpeg-turbo failed (are deb-src entries enabled?)" >&2; exit 1; }
dpkg-source -x --no-check ./*.dsc src >/dev/null
# NO_GETENV: no memory settings read from the environment (and no scanf in the exe); built for
# size, since a skin holds few and small JPEG pictures if any.
cmake -S src -B build -G Ninja -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=i686 \
  -DCMAKE_C_COMPILER=i686-w64-mingw32-gcc-posix -DCMAKE_BUILD_TYPE=Release \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
  -DCMAKE_C_FLAGS="-DNO_GETENV" -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG" \
  -DCMAKE_INSTALL_PREFIX="$out" >/dev/null
cmake --build build --target jpeg-static >/dev/null
mkdir -p "$out/lib" "$out/include"
cp build/libjpeg.a "$out/lib/"
cp src/jpeglib.h src/jmorecfg.h src/jerror.h build/jconfig.h "$out/include/"
cd / && rm -rf "$work"
