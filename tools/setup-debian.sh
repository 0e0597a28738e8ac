#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian (bookworm) machine.
# Run as root; idempotent and quiet when everything is already there.
set -euo pipefail

need=(wine wine32:i386 wine64 g++-mingw-w64-i686 libz-mingw-w64-dev xvfb xdotool imagemagick
      fonts-wine cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev zlib1g-dev libpng-dev
      libjpeg62-turbo-dev clang libclang-rt-14-dev python3 dpkg-dev x11-utils xauth locales
      openssl ca-certificates wixl msitools osslsigncode)

missing=()
arch_ok=1
dpkg --print-foreign-architectures | grep -qx i386 || arch_ok=0
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done
src_ok=1
grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ || grep -qs '^deb-src' /etc/apt/sources.list || src_ok=0

loc_ok=1
locale -a 2>/dev/null | grep -qi '^cs_CZ.utf8$' || loc_ok=0

if [ "$arch_ok" = 1 ] && [ "$src_ok" = 1 ] && [ "$loc_ok" = 1 ] && [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
[ "$arch_ok" = 1 ] || dpkg --add-architecture i386
if [ "$src_ok" = 0 ]; then
  # libjpeg-turbo for Windows is cross-built from Debian's own source package
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/evesk-src.list
  fi
fi
echo "setup: installing ${missing[*]:-locale and source entries}" >&2
apt-get -qq update >/dev/null
apt-get -qq install -y --no-install-recommends "${need[@]}" >/dev/null
# Wine takes its ANSI code page (1250) from the Czech locale of the C library.
if ! locale -a 2>/dev/null | grep -qi '^cs_CZ.utf8$'; then
  sed -i 's/^# *cs_CZ.UTF-8 UTF-8/cs_CZ.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^cs_CZ.UTF-8 UTF-8' /etc/locale.gen || echo 'cs_CZ.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
