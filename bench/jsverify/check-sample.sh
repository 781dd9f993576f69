#!/usr/bin/env bash
# The tree check on the fixed sample minify/testdata/js, for ctest.
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
rm -rf "$2"
exec node "$HERE/verify.js" "$1" "$2" "$ROOT/minify/testdata/js"
