#!/usr/bin/env bash
# Runs a Windows executable under Wine with the private prefix of a build tree:
#   wine-run.sh --prefix DIR PROGRAM.exe [ARGS...]
# Creates the prefix once (Czech locale, one shared virtual desktop), starts Xvfb when no
# DISPLAY is given, and exits with the program's exit code.
set -u
prefix=""
if [ "${1:-}" = "--prefix" ]; then prefix=$2; shift 2; fi
[ -n "$prefix" ] || prefix=${WINEPREFIX:-}
[ -n "$prefix" ] || { echo "wine-run: no prefix given" >&2; exit 2; }
[ $# -ge 1 ] || { echo "usage: wine-run.sh --prefix DIR PROGRAM [ARGS...]" >&2; exit 2; }

here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$(realpath -m "$prefix")
export WINEARCH=win32 WINEDEBUG=-all LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"; break
  done
  # Said only to a person at a terminal; the tests that run through here read no such line.
  if [ -t 2 ]; then
    echo "wine-run: no DISPLAY, so the program runs on a private screen $DISPLAY that nobody sees." >&2
    echo "  A screenshot: DISPLAY=$DISPLAY import -window root shot.png" >&2
    echo "  To end the notifier: Ctrl+C here, or from another shell: DISPLAY=$DISPLAY $0 --prefix $prefix $1 -konec" >&2
  fi
fi

"$here/wine-prefix.sh" "$WINEPREFIX" || exit 2
wine "$@"
rc=$?
exit $rc
