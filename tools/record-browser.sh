#!/usr/bin/env bash
# Stands in for the web browser inside the test prefix: appends every address it is asked
# to open to $WINEPREFIX/evesk/browser.log.
log="${WINEPREFIX:-/tmp}/evesk/browser.log"
mkdir -p "$(dirname "$log")"
for a in "$@"; do printf '%s\n' "$a" >> "$log"; done
