#!/usr/bin/env bash
# A real library's own test suite against its minified build: underscore's
# QUnit suite in node (qunit from the lock file), on the library as
# published and on its build files minified by larkspan-minify.
#
#   bench/libsuite/run.sh [LEVEL...]      (default: safe smallest)
#
# LIB     underscore's source tree (default /work/ext/libs/underscore; make it
#         with `git archive` from a clone of jashkenas/underscore)
# MINIFY  the larkspan-minify to prove (default: build/bin's)
# The library's build files (underscore-umd.js, which the suite loads in
# node, and its other builds) are minified; the tests are not. The suite's
# timing tests (throttle, debounce) can fail on a busy machine: a failing
# suite is run again, up to three times, and a test counts as failing only
# when it failed every time. Prints one table; exits 1 when a test that
# passes on the original fails at a level.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/libsuite"
OUT="$ROOT/build-bench/libsuite"
LIB="${LIB:-/work/ext/libs/underscore}"
MINIFY="${MINIFY:-$ROOT/build/bin/larkspan-minify}"
LEVELS=("$@")
[ ${#LEVELS[@]} -gt 0 ] || LEVELS=(safe smallest)

[ -f "$LIB/underscore-umd.js" ] || { echo "run.sh: no underscore tree at $LIB (set LIB)" >&2; exit 2; }
[ -x "$MINIFY" ] || { echo "run.sh: no larkspan-minify at $MINIFY (set MINIFY)" >&2; exit 2; }
[ -d "$HERE/node_modules/qunit" ] || npm ci --prefix "$HERE" --no-audit --no-fund --prefer-offline >&2
QUNIT="$HERE/node_modules/.bin/qunit"
BUILDS=(underscore-umd.js underscore.js underscore-node-f.cjs underscore-node.cjs underscore-esm.js)
rm -rf "$OUT"
mkdir -p "$OUT"

# The names of the failing tests of the suite in folder $1 (those that
# failed in every attempt), on stdout; the counts of the last attempt in
# $1.counts ("tests pass fail attempts"; tests is "?" when the suite died
# before it said how many it has).
suite() {
  local dir=$1 attempt fails=
  local tests=()
  for T in "$dir"/test/*.js; do
    case "$T" in */treeshake.js) ;; *) tests+=("test/${T##*/}") ;; esac
  done
  for attempt in 1 2 3; do
    (cd "$dir" && "$QUNIT" "${tests[@]}") > "$dir.tap.$attempt" 2>&1 || true
    local now
    now=$(sed -n 's/^not ok [0-9]* //p' "$dir.tap.$attempt" | sort)
    # A suite that ended before its plan line (the process died) fails as a whole
    grep -q '^1\.\.[0-9]' "$dir.tap.$attempt" ||
      now=$(printf '%s\n(suite ended early: %s)' "$now" "$(grep -m1 '^Error' "$dir.tap.$attempt" || tail -n 1 "$dir.tap.$attempt")" | grep . | sort)
    if [ "$attempt" = 1 ]; then fails=$now; else fails=$(comm -12 <(echo "$fails") <(echo "$now")); fi
    [ -n "$fails" ] || break
  done
  local total npass
  total=$(sed -n 's/^1\.\.//p' "$dir.tap.$attempt")
  npass=$(grep -c '^ok ' "$dir.tap.$attempt" || true)
  echo "${total:-?} $npass $(grep -c '^not ok ' "$dir.tap.$attempt" || true) $attempt" > "$dir.counts"
  printf '%s\n' "$fails" | grep . || true
}

cp -a "$LIB" "$OUT/original"
suite "$OUT/original" > "$OUT/original.fails"
printf '%-10s %12s %7s %6s %6s %9s  %s\n' version "umd bytes" tests pass fail attempts "failing, not on the original"
row() {
  local v=$1 extra=$2
  read -r T P F A < "$OUT/$v.counts"
  printf '%-10s %12s %7s %6s %6s %9s  %s\n' "$v" "$(stat -c %s "$OUT/$v/underscore-umd.js")" "$T" "$P" "$F" "$A" "$extra"
}
row original ""
STATUS=0
for L in "${LEVELS[@]}"; do
  cp -a "$LIB" "$OUT/$L"
  REFUSED=()
  for B in "${BUILDS[@]}"; do
    [ -f "$OUT/$L/$B" ] || continue
    "$MINIFY" --level "$L" --type js -o "$OUT/$L/$B" "$LIB/$B" 2>> "$OUT/$L.minify.log" || REFUSED+=("$B")
  done
  suite "$OUT/$L" > "$OUT/$L.fails"
  NEW=$(comm -13 "$OUT/original.fails" "$OUT/$L.fails" | paste -sd ';' -)
  [ -z "$NEW" ] || STATUS=1
  row "$L" "${NEW:-none}${REFUSED:+ (refused, published as they were: ${REFUSED[*]})}"
done
echo "suite: underscore $(sed -n 's/.*"version": "\(.*\)".*/\1/p' "$LIB/package.json"), test/*.js but treeshake.js (needs a rollup build), qunit $(sed -n 's/.*"version": "\(.*\)".*/\1/p' "$HERE/node_modules/qunit/package.json")"
exit $STATUS
