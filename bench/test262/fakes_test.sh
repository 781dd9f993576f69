#!/bin/sh
# The test262 runner itself, for ctest (label proof): on the fixed sample,
# a minifier that changes nothing gives no difference, one that drops the
# "use strict" line is caught, and one that only changes source text (comments
# inside functions) is counted apart and not failed.
#
#   fakes_test.sh WORK_DIR
#
# Exits 77 (skipped) as sample_test.sh does when node or js-yaml cannot be had.
set -u
work=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
# sample_test.sh installs the tool; a run on the copying fake does it here.
"$here/sample_test.sh" "$here/fakes/copies" "$work" > "$work/copies.log" 2>&1
status=$?
cat "$work/copies.log" | grep -v '^  '
[ $status = 77 ] && exit 77
[ $status = 0 ] || { echo "FAIL: a copying minifier gave differences"; exit 1; }
# level runs pass-orig pass-output lost gained source-text name known refused
awk '$1 == "safe" && $3 == $4 && $5 + $6 + $7 + $8 + $9 + $10 == 0 { ok = 1 } END { exit !ok }' "$work/copies.log" ||
  { echo "FAIL: the copying minifier's row is not all zero"; exit 1; }

run() {  # fake paths -> the report on stdout, the status in $rc
  node "$work/tool/runner.mjs" --test262 "$here/sample" --levels safe --paths "$2" \
    --minify "$here/fakes/$1" --work "$work/$1" --cache "$work/cache" > "$work/$1.log" 2>&1
  rc=$?
  grep -v '^  ' "$work/$1.log"
}
run drops-use-strict test/language,test/built-ins/TypedArrayConstructors
[ $rc = 1 ] || { echo "FAIL: dropping \"use strict\" was not failed (exit $rc)"; exit 1; }
grep -q 'future-reserved-words/implements-strict.js (strict)' "$work/drops-use-strict/differing.txt" ||
  { echo "FAIL: implements-strict.js should differ in strict mode"; exit 1; }

run drops-comments test/built-ins/Function
[ $rc = 0 ] || { echo "FAIL: a change of source text only was failed (exit $rc)"; exit 1; }
[ "$(grep -c 'counted apart: source text' "$work/drops-comments/differing.txt")" -ge 2 ] ||
  { echo "FAIL: the source-text tests were not counted apart"; exit 1; }
echo "the runner catches a dropped directive and counts a source-text change apart"
