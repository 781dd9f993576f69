#!/usr/bin/env bash
# The whole of test262 (test/language and test/built-ins) by execution, in
# chunks: one runner.mjs run per folder (a folder of more than $CHUNK
# tests, default 2,500, is cut into its sub-folders and its own files), so that a run stopped half-way still gives
# the counts of every chunk it finished, and a run started again goes on
# where it stopped. Temporal (not in node 20) comes last.
#
#   bench/test262/full.sh [--summary] [runner options...]
#
# Options go to runner.mjs (e.g. --driver build/bin/jsminify, --levels,
# --known); --summary only adds up what has finished. Each chunk's report
# and differing runs are kept in $WORK/<chunk>/ (default
# build-bench/test262-full); remove that folder to run everything again.
# Prints the sums over the finished chunks; exits 1 when a difference is
# left that is not counted apart.
# Slow (hours on two cores): run it with nice -n 15 in the background.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
T262="${TEST262:-/work/ext/test262}"
WORK="${WORK:-$ROOT/build-bench/test262-full}"
CHUNK="${CHUNK:-2500}"
SUMMARY_ONLY=
if [ "${1:-}" = --summary ]; then
  SUMMARY_ONLY=1
  shift
fi
[ -f "$T262/harness/assert.js" ] || { echo "full.sh: no test262 at $T262 (set TEST262)" >&2; exit 2; }
[ -d "$HERE/node_modules/js-yaml" ] || npm ci --prefix "$HERE" --no-audit --no-fund --prefer-offline >&2

count() { find "$1" -name '*.js' ! -name '*_FIXTURE*' | wc -l; }

# One chunk a line: "NAME<TAB>PATH,PATH..." (paths under $T262).
chunks() {
  local top d s files
  for top in test/language test/built-ins; do
    for d in "$T262/$top"/*/; do
      d=${d%/}
      if [ "$(count "$d")" -le "$CHUNK" ]; then
        printf '%s\t%s\n' "${d#"$T262"/}" "${d#"$T262"/}"
        continue
      fi
      for s in "$d"/*/; do
        s=${s%/}
        printf '%s\t%s\n' "${s#"$T262"/}" "${s#"$T262"/}"
      done
      files=$(find "$d" -maxdepth 1 -name '*.js' ! -name '*_FIXTURE*' | sort | sed "s|^$T262/||" | paste -sd, -)
      [ -z "$files" ] || printf '%s\t%s\n' "${d#"$T262"/}/(files)" "$files"
    done
  done | awk -F'\t' '{ if ($1 ~ /\/Temporal(\/|$)/) late[++n] = $0; else print } END { for (i = 1; i <= n; ++i) print late[i] }'
}

summary() {
  local reports=() n_chunks
  n_chunks=$(chunks | wc -l)
  mapfile -t reports < <(find "$WORK" -name report.txt 2>/dev/null | sort)
  echo "test262 (test/language and test/built-ins) in $n_chunks chunks: ${#reports[@]} finished"
  [ ${#reports[@]} -gt 0 ] || return 0
  awk '
    FNR == 1 { tests += $4 }
    /^(spaces|safe|smallest) +[0-9]/ {
      if (!($1 in runs)) order[++n] = $1
      runs[$1] += $2; po[$1] += $3; pv[$1] += $4; lost[$1] += $5; gained[$1] += $6
      st[$1] += $7; nm[$1] += $8; kn[$1] += $9; rf[$1] += $10
    }
    END {
      printf "tests %d\n\n", tests
      printf "level     runs    pass orig  pass output  lost  gained  apart:source-text  apart:name  known  refused\n"
      for (i = 1; i <= n; ++i) {
        l = order[i]
        printf "%-8s %6d %10d %12d %5d %7d %18d %11d %6d %8d\n", l, runs[l], po[l], pv[l], lost[l], gained[l], st[l], nm[l], kn[l], rf[l]
      }
    }' "${reports[@]}"
  local left
  left=$(find "$WORK" -name differing.txt -exec cat {} + 2>/dev/null | grep -v 'counted apart' | grep . || true)
  if [ -n "$left" ]; then
    echo
    echo "differing runs not counted apart ($(printf '%s\n' "$left" | wc -l)):"
    printf '%s\n' "$left" | sed 's/^/  /'
    return 1
  fi
}

if [ -z "$SUMMARY_ONLY" ]; then
  while IFS=$'\t' read -r NAME PATHS; do
    DIR="$WORK/$NAME"
    [ -f "$DIR/report.txt" ] && continue
    echo "$(date -u +%H:%M:%S) $NAME" >&2
    mkdir -p "$DIR"
    # A chunk with differences exits 1; its report is kept all the same
    node "$HERE/runner.mjs" --test262 "$T262" --paths "$PATHS" --work "$DIR" "$@" > "$DIR/log.txt" 2>&1 || true
    [ -f "$DIR/report.txt" ] || echo "full.sh: $NAME gave no report (see $DIR/log.txt)" >&2
    # The minified copies are large; the report and lists are what is kept
    rm -rf "$DIR/out"
  done < <(chunks)
fi
summary
