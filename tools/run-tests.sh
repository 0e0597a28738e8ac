#!/usr/bin/env bash
# Installs what is needed, builds both trees and runs every test: host unit tests (sanitizers
# on), Windows component tests under Wine and the end-to-end tests.
set -euo pipefail
. "$(dirname "$0")/common.sh"
install_deps
build_host
build_windows
status=0
(cd "$root/build/host" && ctest --output-on-failure -j2) || status=1
(cd "$root/build/win" && ctest --output-on-failure --timeout 600) || status=1
exit $status
