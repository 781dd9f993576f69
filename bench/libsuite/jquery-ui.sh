#!/usr/bin/env bash
# jquery-ui's own QUnit suite in headless Chromium, on the tree as it is and
# on copies where every .js file (the library, jQuery, QUnit, the tests
# themselves) is minified by larkspan-minify; compared test by test.
#
#   bench/libsuite/jquery-ui.sh [LEVEL...]      (default: safe smallest)
#
# LIB       jquery-ui's source tree (default /work/ext/libs/jquery-ui; make it
#           with `git archive` from a clone of jquery/jquery-ui)
# MINIFY    the larkspan-minify to prove (default: build/bin's)
# CHROMIUM  the browser (default /usr/bin/chromium, Debian's package; none is
#           downloaded)
# PAGES     the test pages (default: the suite's own list, jtr.yml)
# Every tree is served on 127.0.0.1 only, and a page's requests to any other
# address are refused. puppeteer-core comes from browser/'s lock file. A
# file larkspan-minify refuses stays as it was (as on a site) and is listed.
# Prints one table (see browser/compare-suites.mjs); exits 1 when a test
# that passes on the original fails at a level.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/libsuite/browser"
OUT="$ROOT/build-bench/libsuite-jquery-ui"
LIB="${LIB:-/work/ext/libs/jquery-ui}"
MINIFY="${MINIFY:-$ROOT/build/bin/larkspan-minify}"
CHROMIUM="${CHROMIUM:-/usr/bin/chromium}"
LEVELS=("$@")
[ ${#LEVELS[@]} -gt 0 ] || LEVELS=(safe smallest)

[ -f "$LIB/jtr.yml" ] && [ -d "$LIB/tests/unit" ] || { echo "jquery-ui.sh: no jquery-ui tree at $LIB (set LIB)" >&2; exit 2; }
[ -x "$MINIFY" ] || { echo "jquery-ui.sh: no larkspan-minify at $MINIFY (set MINIFY)" >&2; exit 2; }
[ -x "$CHROMIUM" ] || { echo "jquery-ui.sh: no browser at $CHROMIUM (apt-get install chromium, or set CHROMIUM)" >&2; exit 2; }
[ -d "$HERE/node_modules/puppeteer-core" ] || npm ci --prefix "$HERE" --no-audit --no-fund --prefer-offline >&2
if [ -z "${PAGES:-}" ]; then
  PAGES=$(sed -n 's|^[[:space:]]*-[[:space:]]*\([^[:space:]]*\.html\)[[:space:]]*$|tests/unit/\1|p' "$LIB/jtr.yml")
fi
[ -n "$PAGES" ] || { echo "jquery-ui.sh: no test pages (jtr.yml lists none; set PAGES)" >&2; exit 2; }

rm -rf "$OUT"
mkdir -p "$OUT"
VERSIONS=()
for L in "${LEVELS[@]}"; do
  cp -a "$LIB" "$OUT/$L"
  : > "$OUT/$L.refused"
  START=$(date +%s%N)
  N=0
  while IFS= read -r -d '' F; do
    REL=${F#"$LIB"/}
    N=$((N + 1))
    # Written over the copy: a refused file keeps the original's bytes
    "$MINIFY" --level "$L" --type js -o "$OUT/$L/$REL" "$F" 2>> "$OUT/$L.minify.log" || echo "$REL" >> "$OUT/$L.refused"
  done < <(find "$LIB" -name node_modules -prune -o -type f -name '*.js' -print0 | sort -z)
  echo "$L: $N scripts minified in $(awk -v a="$START" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }') s, $(wc -l < "$OUT/$L.refused") refused (kept as they were; $OUT/$L.refused)" >&2
  VERSIONS+=(--version "$L=$OUT/$L")
done

# shellcheck disable=SC2086 # one page a word
node "$HERE/compare-suites.mjs" --original "$LIB" "${VERSIONS[@]}" --work "$OUT" $PAGES
