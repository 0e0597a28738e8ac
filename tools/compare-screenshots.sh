#!/usr/bin/env bash
# Compares two folders of screenshots pixel by pixel (a change that must not alter the look):
#   tools/compare-screenshots.sh BEFORE_DIR AFTER_DIR [DIFF_DIR]
# Prints one line per picture: "same", the number of differing pixels, or which side lacks it.
# For each picture that differs, DIFF_DIR (default AFTER_DIR/../screenshot-diffs) gets
# NAME-side.png: before, after and the differing pixels in red, side by side.
# Exits 1 when any picture differs or is missing on one side, 0 when all are equal.
set -euo pipefail
before=${1:?usage: compare-screenshots.sh BEFORE_DIR AFTER_DIR [DIFF_DIR]}
after=${2:?usage: compare-screenshots.sh BEFORE_DIR AFTER_DIR [DIFF_DIR]}
before=$(cd "$before" && pwd) && after=$(cd "$after" && pwd)
diffs=${3:-$(dirname "$after")/screenshot-diffs}
command -v compare >/dev/null || { echo "compare-screenshots: ImageMagick's compare is missing" >&2; exit 2; }

status=0
names=$( (cd "$before" && ls -1 -- *.png 2>/dev/null; cd "$after" && ls -1 -- *.png 2>/dev/null) | sort -u)
[ -n "$names" ] || { echo "compare-screenshots: no .png files in either folder" >&2; exit 2; }
for name in $names; do
  if [ ! -f "$before/$name" ]; then echo "$name: only after"; status=1; continue; fi
  if [ ! -f "$after/$name" ]; then echo "$name: only before"; status=1; continue; fi
  # AE counts differing pixels; with -fuzz 0 any change of any channel counts.
  count=$(compare -metric AE "$before/$name" "$after/$name" null: 2>&1 || true)
  if [ "$count" = "0" ]; then
    echo "$name: same"
    continue
  fi
  status=1
  echo "$name: $count pixels differ"
  mkdir -p "$diffs"
  compare -highlight-color red "$before/$name" "$after/$name" "$diffs/${name%.png}-mask.png" 2>/dev/null || true
  convert "$before/$name" "$after/$name" "$diffs/${name%.png}-mask.png" +append "$diffs/${name%.png}-side.png" 2>/dev/null || true
  rm -f "$diffs/${name%.png}-mask.png"
done
exit $status
