#!/usr/bin/env bash
# The tree check on the fixed sample minify/testdata/js, for ctest, at every
# level (see verify.js for what each level compares).
#   bench/jsverify/check-sample.sh JSMINIFY WORKDIR
# Installs acorn from the lock file (the npm cache first); exits 77 (skipped)
# when node or npm is missing or the install fails.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/jsverify"
command -v node >/dev/null && command -v npm >/dev/null || { echo "node/npm not installed: skipped"; exit 77; }
if [ ! -d "$HERE/node_modules/acorn" ]; then
  npm ci --prefix "$HERE" --no-audit --no-fund --offline >/dev/null 2>&1 ||
    npm ci --prefix "$HERE" --no-audit --no-fund >/dev/null 2>&1 ||
    { echo "npm ci failed: skipped"; exit 77; }
fi
node "$HERE/trees_test.js" || exit 1
status=0
for level in spaces safe smallest; do
  rm -rf "$2/$level"
  node "$HERE/verify.js" --level "$level" "$1" "$2/$level" "$ROOT/minify/testdata/js" || status=1
done
exit $status
