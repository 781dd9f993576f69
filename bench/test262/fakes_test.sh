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

# The whole-suite wrapper on a part of the sample: in chunks (folders of
# more than 10 tests cut into sub-folders and their own files; Temporal
# last), the sums are those of one run over the same tests; a second start
# runs no chunk again; --summary adds up only.
tool="$work/tool"
cp "$here/full.sh" "$tool/"
part="$work/part"
rm -rf "$part" "$work/full"
mkdir -p "$part/test/language" "$part/test/built-ins"
cp -r "$here/sample/harness" "$part/"
cp -r "$here/sample/test/language/expressions" "$here/sample/test/language/comments" "$part/test/language/"
cp -r "$here/sample/test/built-ins/Temporal" "$here/sample/test/built-ins/Array" "$part/test/built-ins/"
# a test directly in a folder that is cut
one=$(find "$part/test/language/comments" -name '*.js' | head -n 1)
cp "$one" "$part/test/language/expressions/"
full() {
  TEST262="$part" WORK="$work/full" CHUNK=10 "$tool/full.sh" --levels safe \
    --minify "$here/fakes/drops-use-strict" --cache "$work/cache"
}
full > "$work/full.log" 2> "$work/full.err"
rc=$?
grep -q 'chunks: .* finished' "$work/full.log" || { echo "FAIL: full.sh printed no summary"; cat "$work/full.err"; exit 1; }
[ $rc = 1 ] || { echo "FAIL: full.sh over chunks with a dropped directive gave exit $rc"; exit 1; }
chunks=$(grep -c '' "$work/full.err")
[ "$chunks" -gt 15 ] || { echo "FAIL: only $chunks chunks (folders over 10 tests should be cut)"; exit 1; }
grep -q 'expressions/(files)$' "$work/full.err" || { echo "FAIL: the cut folder's own test was not run"; exit 1; }
tail -n 1 "$work/full.err" | grep -q Temporal || { echo "FAIL: Temporal does not come last"; exit 1; }
node "$tool/runner.mjs" --test262 "$part" --levels safe --minify "$here/fakes/drops-use-strict" \
  --work "$work/whole" --cache "$work/cache" > "$work/whole.log" 2>&1
# runs, pass on the original, pass on the output, lost: the same in one run and in chunks
sums() { awk '/^safe / { print $2, $3, $4, $5 }' "$1"; }
[ -n "$(sums "$work/whole.log")" ] && [ "$(sums "$work/whole.log")" = "$(sums "$work/full.log")" ] ||
  { echo "FAIL: the chunks do not add up to one run:"; grep '^safe' "$work/whole.log" "$work/full.log"; exit 1; }
full > "$work/full2.log" 2> "$work/full2.err"
[ ! -s "$work/full2.err" ] || { echo "FAIL: a second start ran chunks again:"; head -n 3 "$work/full2.err"; exit 1; }
TEST262="$part" WORK="$work/full" CHUNK=10 "$tool/full.sh" --summary > "$work/full3.log" 2>&1
cmp -s "$work/full.log" "$work/full2.log" && cmp -s "$work/full.log" "$work/full3.log" ||
  { echo "FAIL: the summary differs between starts"; exit 1; }
echo "full.sh: $chunks chunks add up to one run over the same tests, and a second start resumes"
