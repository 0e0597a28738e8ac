#!/usr/bin/env bash
# Installs what is needed, builds the program and runs it against the demo news service.
set -euo pipefail
. "$(dirname "$0")/common.sh"
install_deps
build_windows
exec python3 "$root/tools/run-notifier.py"
