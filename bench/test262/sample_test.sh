#!/bin/sh
# The fixed test262 sample (bench/test262/sample) by execution, for ctest
# (label proof), after the host's own tests (host_test.mjs): every sample
# test that passes on the original must pass on the output of the given
# larkspan-minify at safe and smallest, but for the
# differences listed in sample-known.txt (known, written down for the
# minifier's authors; a listed one that no longer differs is named).
#
#   sample_test.sh LARKSPAN_MINIFY WORK_DIR
#
# js-yaml is installed from the lock file into WORK_DIR (the source tree is
# not written). Exits 77 (skipped) with the reason when node, npm, the
# package or the sample cannot be had.
set -eu
minify=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
tool="$work/tool"

command -v node >/dev/null 2>&1 || { echo "SKIPPED: node is not installed (scripts/bootstrap installs it)"; exit 77; }
[ -f "$here/sample/harness/assert.js" ] || { echo "SKIPPED: the sample is missing (node bench/test262/make-sample.mjs)"; exit 77; }
mkdir -p "$tool"
cp "$here/package.json" "$here/package-lock.json" "$here/runner.mjs" "$here/host.mjs" "$here/worker.mjs" \
  "$here/host_test.mjs" "$tool/"
if ! cmp -s "$tool/package-lock.json" "$tool/node_modules/.package-lock.json.installed" 2>/dev/null; then
  command -v npm >/dev/null 2>&1 || { echo "SKIPPED: npm is not installed"; exit 77; }
  if ! (cd "$tool" && npm ci --prefer-offline --no-audit --no-fund --silent) >"$work/npm.log" 2>&1; then
    echo "SKIPPED: npm ci of bench/test262 failed (offline without a cache?):"
    tail -n 5 "$work/npm.log"
    exit 77
  fi
  cp "$tool/package-lock.json" "$tool/node_modules/.package-lock.json.installed"
fi
# The host itself first, on tests written for it
TEST262_HARNESS="$here/sample/harness" node --experimental-vm-modules --no-warnings --test "$tool/host_test.mjs" \
  > "$work/host_test.log" 2>&1 || { cat "$work/host_test.log"; echo "FAIL: the test262 host's own tests"; exit 1; }
grep '^# pass' "$work/host_test.log"
exec node "$tool/runner.mjs" --test262 "$here/sample" --paths test --minify "$minify" --work "$work/run" --cache "$work/cache" \
  --known "$here/sample-known.txt"
