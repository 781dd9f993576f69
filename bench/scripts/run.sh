#!/usr/bin/env bash
# Script sizes and speed of larkspan-minify beside terser -c -m, esbuild
# --minify and esbuild --minify-whitespace --minify-syntax, in the same run,
# on every script of the sites that acorn parses. Prints one table.
#
#   bench/scripts/run.sh [SITE...]       (default: the folders in /work/ext/sites)
#
# MINIFY      the larkspan-minify whose output is measured (default: build/bin's)
# SRC_TREE    the source tree the in-process speed driver (bench/jsverify's
#             jsminify) is built from (default: this checkout); give the tree
#             MINIFY was built from, e.g. an export of another branch
# ROUNDS      timing rounds, the best counts (default 3)
# The peers come from the lock file (npm ci); work files go to
# build-bench/scripts/.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/scripts"
OUT="$ROOT/build-bench/scripts"
MINIFY="${MINIFY:-$ROOT/build/bin/larkspan-minify}"
SRC_TREE="${SRC_TREE:-$ROOT}"
mkdir -p "$OUT"

[ -x "$MINIFY" ] || { echo "run.sh: no larkspan-minify at $MINIFY (build first or set MINIFY)" >&2; exit 2; }
for T in gzip taskset /usr/bin/time; do
  command -v "$T" >/dev/null || { echo "run.sh: $T is needed" >&2; exit 2; }
done
[ -d "$HERE/node_modules/terser" ] || npm ci --prefix "$HERE" --no-audit --no-fund --prefer-offline >&2
# The driver is rebuilt when a source of the tree is newer than it.
DRIVER="$OUT/jsminify-$(echo "$SRC_TREE" | tr '/' '_')"
if [ ! -x "$DRIVER" ] || [ -n "$(find "$SRC_TREE/minify" "$SRC_TREE/platform" "$ROOT/bench/jsverify/jsminify.cpp" \
  -newer "$DRIVER" -name '*.[ch]*' -print -quit)" ]; then
  echo "building the jsminify driver from $SRC_TREE" >&2
  "$ROOT/bench/jsverify/build.sh" "$DRIVER" "$SRC_TREE"
fi

SITES=("$@")
if [ ${#SITES[@]} -eq 0 ]; then
  for S in /work/ext/sites/*/; do [ -d "$S" ] && SITES+=("${S%/}"); done
fi
[ ${#SITES[@]} -gt 0 ] || { echo "run.sh: no site given and none in /work/ext/sites" >&2; exit 2; }
exec node "$HERE/peers.mjs" --work "$OUT/work" --minify "$MINIFY" --driver "$DRIVER" --rounds "${ROUNDS:-3}" "${SITES[@]}"
