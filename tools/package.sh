#!/usr/bin/env bash
# Writes the release: build/dist/evesk-<version>.msi, evesk-<version>.zip and
# evesk-<version>.sha256, from the Release build of build/win (built here when needed).
#
#   tools/package.sh [--exe FILE] [--out DIR]
#
# --exe packages an already built evesk.exe instead of building one; --out writes elsewhere.
# Signing: with EVESK_SIGN_CERT (certificate chain, PEM or DER) and EVESK_SIGN_KEY (private key;
# EVESK_SIGN_PASS its password if any; EVESK_SIGN_TIMESTAMP an optional time-stamp server URL)
# the exe and the package are signed; without them the script says that it did not sign.
set -euo pipefail
. "$(dirname "$0")/common.sh"

exe="" out="$root/build/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: tools/package.sh [--exe FILE] [--out DIR]" >&2; exit 2 ;;
  esac
done

if [ -n "${EVESK_SIGN_CERT:-}${EVESK_SIGN_KEY:-}" ] && [ -z "${EVESK_SIGN_CERT:-}" -o -z "${EVESK_SIGN_KEY:-}" ]; then
  echo "package: EVESK_SIGN_CERT and EVESK_SIGN_KEY must be given together" >&2
  exit 2
fi

if [ -z "$exe" ]; then
  install_deps
  build_windows --target evesk
  exe="$root/build/win/evesk.exe"
fi

version=$(python3 "$root/tools/package/peinfo.py" --version "$exe")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

sign() {  # FILE: signs FILE in place
  local args=(-certs "$EVESK_SIGN_CERT" -key "$EVESK_SIGN_KEY" -h sha256 -n "e-VESK vizedu"
              -i "https://www.e-vesk.cz/")
  [ -n "${EVESK_SIGN_PASS:-}" ] && args+=(-pass "$EVESK_SIGN_PASS")
  [ -n "${EVESK_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$EVESK_SIGN_TIMESTAMP")
  osslsigncode sign "${args[@]}" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

cp "$exe" "$stage/evesk.exe"
signed=0
if [ -n "${EVESK_SIGN_CERT:-}" ]; then sign "$stage/evesk.exe"; signed=1; fi

mkdir -p "$out"
python3 "$root/tools/package/mkmsi.py" "$stage/evesk.exe" "$stage/evesk-$version.msi" >/dev/null
[ "$signed" = 1 ] && sign "$stage/evesk-$version.msi"
python3 "$root/tools/package/mkzip.py" "$stage/evesk.exe" "$root/tools/package/CTIMNE.txt" "$stage/evesk-$version.zip"

cp "$stage/evesk-$version.msi" "$stage/evesk-$version.zip" "$out/"
(cd "$out" && sha256sum "evesk-$version.msi" "evesk-$version.zip" > "evesk-$version.sha256")
for f in "evesk-$version.msi" "evesk-$version.zip" "evesk-$version.sha256"; do echo "$out/$f"; done
if [ "$signed" = 1 ]; then
  echo "package: the exe and the package are signed with $EVESK_SIGN_CERT"
else
  echo "package: NOT SIGNED - no certificate given (set EVESK_SIGN_CERT and EVESK_SIGN_KEY to sign)"
fi
