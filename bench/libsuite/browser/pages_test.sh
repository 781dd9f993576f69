#!/bin/sh
# The QUnit page harness itself, for ctest (label proof), in Debian's
# headless Chromium on small QUnit pages written here:
#  - an unchanged copy gives no difference and exit 0;
#  - a copy whose test now fails (what a faulty minifier would do), and one
#    whose test is gone, are each counted lost, named, and exit 1;
#  - a test that failed on the original and passes on the copy is gained;
#  - a page that never finishes is reported, not waited for;
#  - a page that asks for an outside address gets no answer from it (the
#    request is refused: the harness never reaches the network);
#  - the server gives nothing outside its folder.
#
#   pages_test.sh WORK_DIR
#
# puppeteer-core and qunit are installed from the lock file into WORK_DIR
# (the source tree is not written). Exits 77 (skipped) with the reason when
# node, npm, the packages or chromium cannot be had.
set -eu
work=$1
here=$(cd "$(dirname "$0")" && pwd)
tool="$work/tool"
chromium=${CHROMIUM:-/usr/bin/chromium}

command -v node >/dev/null 2>&1 || { echo "SKIPPED: node is not installed (scripts/bootstrap installs it)"; exit 77; }
[ -x "$chromium" ] || { echo "SKIPPED: no browser at $chromium (apt-get install chromium)"; exit 77; }
mkdir -p "$tool"
cp "$here/package.json" "$here/package-lock.json" "$here/qunit-pages.mjs" "$here/compare-suites.mjs" "$tool/"
if ! cmp -s "$tool/package-lock.json" "$tool/node_modules/.package-lock.json.installed" 2>/dev/null; then
  command -v npm >/dev/null 2>&1 || { echo "SKIPPED: npm is not installed"; exit 77; }
  if ! (cd "$tool" && npm ci --prefer-offline --no-audit --no-fund --silent) >"$work/npm.log" 2>&1; then
    echo "SKIPPED: npm ci of bench/libsuite/browser failed (offline without a cache?):"
    tail -n 5 "$work/npm.log"
    exit 77
  fi
  cp "$tool/package-lock.json" "$tool/node_modules/.package-lock.json.installed"
fi

fail() {
  echo "FAIL: $*"
  exit 1
}

# tree DIR: the original site, with a test file given on stdin
tree() {
  rm -rf "$1"
  mkdir -p "$1/tests"
  cp "$tool/node_modules/qunit/qunit/qunit.js" "$1/qunit.js"
  cat > "$1/tests/tests.js"
  cat > "$1/tests/suite.html" <<'EOF'
<!doctype html><meta charset="utf-8"><title>suite</title>
<div id="qunit"></div><div id="qunit-fixture"></div>
<script src="../qunit.js"></script><script>QUnit.config.testTimeout = 4000;</script>
<script src="tests.js"></script>
EOF
  # autostart off and never started: the page never finishes
  cat > "$1/tests/stuck.html" <<'EOF'
<!doctype html><meta charset="utf-8"><title>stuck</title>
<div id="qunit"></div><script src="../qunit.js"></script>
<script>QUnit.config.autostart = false; QUnit.test("never runs", function(a) { a.ok(true); });</script>
EOF
}

tree "$work/original" <<'EOF'
QUnit.module("sums");
QUnit.test("adds", function(assert) { assert.equal(1 + 1, 2); });
QUnit.test("adds more", function(assert) { assert.equal(2 + 2, 4, "two and two"); });
QUnit.test("fails on the original", function(assert) { assert.equal(1, 2); });
QUnit.test("outside addresses are refused", function(assert) {
  var done = assert.async();
  // TEST-NET: the harness must refuse it (pages_test.sh reads its list)
  fetch("http://192.0.2.1/x.js").then(function() { assert.ok(false, "reached"); done(); },
    function() { assert.ok(true, "refused"); done(); });
});
EOF
tree "$work/same" < "$work/original/tests/tests.js"
sed 's/assert.equal(2 + 2, 4/assert.equal(2 + 2, 5/; s/assert.equal(1, 2)/assert.equal(2, 2)/' "$work/original/tests/tests.js" | tree "$work/broken"
sed '/outside addresses/,$d' "$work/original/tests/tests.js" | tree "$work/gone"

run() {  # run NAME VERSION... -> the report in $work/NAME.log, the status in $rc
  name=$1
  shift
  rc=0
  node "$tool/compare-suites.mjs" --original "$work/original" "$@" --work "$work/$name" --retries 1 --timeout 8000 \
    tests/suite.html tests/stuck.html > "$work/$name.log" 2> "$work/$name.err" || rc=$?
  cat "$work/$name.log"
}

run same --version "same=$work/same"
[ $rc = 0 ] || fail "an unchanged copy gave exit $rc"
# version js-bytes tests passed failed unfinished lost gained flaky
awk '$1 == "original" && $3 == 4 && $4 == 3 && $6 == 1 { ok = 1 } END { exit !ok }' "$work/same.log" ||
  fail "the original's row should read 4 tests, 3 passed, 1 page unfinished"
awk '$1 == "same" && $3 == 4 && $4 == 3 && $7 + $8 == 0 { ok = 1 } END { exit !ok }' "$work/same.log" ||
  fail "the unchanged copy's row should read 4 tests, 3 passed, nothing lost or gained"
grep -q 'not finished' "$work/same/original.json" || fail "the stuck page was not reported as not finished"
grep -q '"refused":\["http://192.0.2.1/x.js"\]' "$work/same/original.json" ||
  fail "the request to an outside address was not refused by the harness"

run faults --version "broken=$work/broken" --version "gone=$work/gone"
[ $rc = 1 ] || fail "a lost test gave exit $rc"
grep -q "^broken	lost	tests/suite.html	sums :: adds more	failed 2 times: two and two" "$work/faults/differing.txt" ||
  fail "the broken copy's failing test (tried twice) is not named as lost"
grep -q "^broken	gained	tests/suite.html	sums :: fails on the original$" "$work/faults/differing.txt" ||
  fail "the test that passes on the broken copy only is not named as gained"
grep -q "^gone	lost	tests/suite.html	sums :: outside addresses are refused	never ran" "$work/faults/differing.txt" ||
  fail "the test that is gone from a copy is not named as lost"
[ "$(grep -c '	lost	' "$work/faults/differing.txt")" = 2 ] || fail "exactly two lost tests expected"

# The server: nothing outside its folder, encoded or not
node --input-type=module -e "
import { fileFor } from '$tool/qunit-pages.mjs';
const root = '$work/original';
const cases = [
  ['/tests/suite.html?x=1#y', root + '/tests/suite.html'],
  ['/tests/../qunit.js', root + '/qunit.js'],
  ['/../tool/package.json', null],
  ['/%2e%2e/tool/package.json', null],
  ['/tests/%2e%2e%2f%2e%2e%2ftool/package.json', null],
  ['/tests', null],
  ['/%E0%A4%A', null],
];
let bad = 0;
for (const [url, want] of cases) {
  const got = fileFor(root, url);
  if (got !== want) { console.log('fileFor(' + url + ') = ' + got + ', want ' + want); ++bad; }
}
process.exit(bad ? 1 : 0);
" || fail "the server answers outside its folder"
echo "the QUnit page harness finds lost and gained tests, stops at a stuck page and stays on 127.0.0.1"
