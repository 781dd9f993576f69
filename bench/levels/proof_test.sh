#!/bin/sh
# The fixed sample of the level proof, run by ctest (label proof): the page
# tree check's own cases, then examples/site and the render probe site
# slimmed by the built larkspan-cli at every level it knows must give the
# same page trees.
#
#   proof_test.sh LARKSPAN_CLI WORK_DIR
#
# The npm packages are installed from bench/domcheck's lock file into
# WORK_DIR (the source tree is not written). Exits 77 (skipped) with the
# reason when node or the packages cannot be had (no npm, offline without a
# cache).
set -eu
cli=$1
work=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
tool="$work/domcheck"

command -v node >/dev/null 2>&1 || { echo "SKIPPED: node is not installed (scripts/bootstrap installs it)"; exit 77; }
mkdir -p "$tool"
cp "$top/bench/domcheck/package.json" "$top/bench/domcheck/package-lock.json" \
  "$top/bench/domcheck/domcheck.mjs" "$top/bench/domcheck/cases.mjs" "$tool/"
if ! cmp -s "$tool/package-lock.json" "$tool/node_modules/.package-lock.json.installed" 2>/dev/null; then
  command -v npm >/dev/null 2>&1 || { echo "SKIPPED: npm is not installed"; exit 77; }
  if ! (cd "$tool" && npm ci --prefer-offline --no-audit --no-fund --silent) >"$work/npm.log" 2>&1; then
    echo "SKIPPED: npm ci of bench/domcheck failed (offline without a cache?):"
    tail -n 5 "$work/npm.log"
    exit 77
  fi
  cp "$tool/package-lock.json" "$tool/node_modules/.package-lock.json.installed"
fi

node "$tool/cases.mjs"
# Every level the program knows (only its default before it takes --level).
if "$cli" --help 2>&1 | grep -q -- '--level'; then
  levels="spaces safe smallest"
else
  levels=default
fi
status=0
for level in $levels; do
  for site in "$top/examples/site" "$top/bench/render/probe-site"; do
    out="$work/out-$level-$(basename "$site")"
    rm -rf "$out"
    if [ "$level" = default ]; then
      "$cli" -q --html --css --js --xml "$site" "$out"
    else
      "$cli" -q --html --css --js --xml --level "$level" "$site" "$out"
    fi
    flags=
    [ "$level" = smallest ] && flags=--drop-comments
    printf '%s %s: ' "$level" "$(basename "$site")"
    node "$tool/domcheck.mjs" $flags "$site" "$out" || status=1
  done
done
exit $status
