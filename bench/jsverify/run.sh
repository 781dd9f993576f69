#!/usr/bin/env bash
# The tree check of the native script minifier over real scripts.
#
#   bench/jsverify/run.sh [--level L] [FOLDER...]
#
# --level L: spaces (default), safe or smallest (see verify.js for what each
# compares). With MINIFY=path/to/larkspan-minify the files go through that
# program, one process a file, instead of the jsminify driver built here.
#
# Every .js/.mjs file under the folders that acorn parses is minified (all in
# one process, by the jsminify driver) and parsed again; the trees must be
# the same once positions, raw texts and comments are ignored. Without
# folders it checks test262's test/language, test/built-ins and test/annexB under
# $TEST262 (default /work/ext/test262) and the sites under $SITES (default
# /work/ext/sites), each that exists. Prints files parsed / same tree /
# differing per folder; exits 1 when any tree differs. Without folders it
# also checks test262's test/language and the sites with every line-final
# semicolon removed, so that the line breaks automatic semicolons depend on
# are tried in bulk. acorn comes from the
# lock file (npm ci); work files go to build-bench/jsverify/.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/jsverify"
OUT="$ROOT/build-bench/jsverify"
mkdir -p "$OUT"

LEVEL=spaces
if [ "${1:-}" = --level ]; then
  LEVEL=${2:?--level needs a name}
  shift 2
fi
[ -d "$HERE/node_modules/acorn" ] || npm ci --prefix "$HERE" --no-audit --no-fund --prefer-offline >&2
if [ -n "${MINIFY:-}" ]; then
  DRIVER=(--minify "$MINIFY")
else
  "$HERE/build.sh" "$OUT/jsminify"
  DRIVER=("$OUT/jsminify")
fi

FOLDERS=("$@")
if [ ${#FOLDERS[@]} -eq 0 ]; then
  TEST262="${TEST262:-/work/ext/test262}"
  SITES="${SITES:-/work/ext/sites}"
  for F in "$TEST262/test/language" "$TEST262/test/built-ins" "$TEST262/test/annexB" "$SITES"; do
    [ -d "$F" ] && FOLDERS+=("$F")
  done
  [ ${#FOLDERS[@]} -gt 0 ] || { echo "run.sh: no folder given and none of the defaults exists" >&2; exit 2; }
fi

STATUS=0
for F in "${FOLDERS[@]}"; do
  echo "== $F"
  WORK="$OUT/$LEVEL$(echo "$F" | tr '/' '_')"
  rm -rf "$WORK"
  node "$HERE/verify.js" --level "$LEVEL" "${DRIVER[@]}" "$WORK" "$F" || STATUS=1
done
if [ $# -eq 0 ]; then
  for F in "$TEST262/test/language" "$SITES"; do
    [ -d "$F" ] || continue
    echo "== $F, line-final semicolons removed"
    WORK="$OUT/$LEVEL$(echo "$F" | tr '/' '_')-without-semicolons"
    rm -rf "$WORK"
    node "$HERE/verify.js" --without-semicolons --level "$LEVEL" "${DRIVER[@]}" "$WORK" "$F" || STATUS=1
  done
fi
exit $STATUS
