#!/usr/bin/env bash
# Checks the style-sheet minifier against a real CSS parser: for every sheet
# of a generated corpus (and of SITE_FOLDER when given), css-tree must build
# the same tree from the input and from our output.
#
#   bench/minify/csscheck.sh [SITE_FOLDER] [MEGABYTES]
#
# Exits 1 when any tree differs; prints each difference.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

STATUS=0
check() {
  local IN="$1" MIN="$OUT/csscheck-out"
  rm -rf "$MIN"
  "$BENCH" "$IN" 1 "$MIN" >/dev/null
  echo "== $IN"
  node "$HERE/csscheck.mjs" "$IN" "$MIN" || STATUS=1
}
check "$(corpus "${2:-20}")"
[ -n "${1:-}" ] && check "$1"
exit $STATUS
