#!/usr/bin/env bash
# Benchmarks the HTML parser against Debian's gumbo on the same bytes.
#
#   bench/htmlparser/run.sh [BIG_MB] [SMALL_PAGES] [REPEAT]
#
# Defaults: a 50 MB page, 1000 small pages, best of 3 runs. Installs
# libgumbo-dev when it is missing. Work files go to build-bench/htmlparser/.
# Reports MB/s (10^6 bytes per second) for:
#   tags   pmTagsOnly with only OnParseImage assigned (the engine's use)
#   all    pmAll with every event assigned
#   gumbo  gumbo_parse on the same bytes
# then the linearity check (time for 10x the input over time for 1x, both on
# realistic pages and on a dense worst case) and the peak memory of one parse
# of the large page (/usr/bin/time -v), as a multiple of the page size.
set -euo pipefail

BIG_MB="${1:-50}"
SMALL="${2:-1000}"
REPEAT="${3:-3}"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/htmlparser"
OUT="$ROOT/build-bench/htmlparser"
mkdir -p "$OUT"

if ! dpkg-query -W -f='${Status}' libgumbo-dev 2>/dev/null | grep -q 'install ok installed'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "run.sh: installing libgumbo-dev" >&2
  $SUDO apt-get install -y -qq --no-install-recommends libgumbo-dev >/dev/null
fi
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is needed (apt-get install time)" >&2; exit 1; }

# Same optimisation as the product's RelWithDebInfo build.
SOURCES=(clHtmlObject clHtmlLexem clHtmlTags clHtmlTokenizer clHtmlParser)
FILES=()
for S in "${SOURCES[@]}"; do FILES+=("$ROOT/htmlparser/$S.cpp"); done
g++ -std=c++20 -O2 -g -DNDEBUG -I"$ROOT" $(pkg-config --cflags gumbo) \
  "${FILES[@]}" "$HERE/bench_htmlparser.cpp" $(pkg-config --libs gumbo) -o "$OUT/bench_htmlparser"
BENCH="$OUT/bench_htmlparser"

STAMP="$OUT/pages-$BIG_MB-$SMALL"
if [ ! -f "$STAMP" ]; then
  echo "run.sh: writing test pages (${BIG_MB} MB page, $SMALL small pages)" >&2
  rm -rf "$OUT/small" "$OUT"/pages-*
  python3 "$HERE/make_pages.py" "$OUT" "$BIG_MB" "$SMALL"
  touch "$STAMP"
fi
SMALL_FILES=("$OUT"/small/*.html)

# run MODE REPEAT FILES... -> "seconds MB/s"
run() { "$BENCH" "$@" | awk '{ printf "%s %s\n", $3, $4 }'; }

echo
echo "== Throughput (MB/s, best of $REPEAT) =="
printf "%-28s %10s %10s %10s %12s\n" "input" "tags" "all" "gumbo" "tags/gumbo"
for INPUT in big small; do
  if [ "$INPUT" = big ]; then ARGS=("$OUT/big.html"); LABEL="one page, $(du -m "$OUT/big.html" | cut -f1) MB";
  else ARGS=("${SMALL_FILES[@]}"); LABEL="${#SMALL_FILES[@]} pages, $(du -cm "${SMALL_FILES[@]}" | tail -1 | cut -f1) MB"; fi
  read -r _ T < <(run tags "$REPEAT" "${ARGS[@]}")
  read -r _ A < <(run all "$REPEAT" "${ARGS[@]}")
  read -r _ G < <(run gumbo "$REPEAT" "${ARGS[@]}")
  printf "%-28s %10s %10s %10s %11.1fx\n" "$LABEL" "$T" "$A" "$G" "$(echo "$T $G" | awk '{ print $1 / $2 }')"
done

echo
echo "== Linearity (time for 10x input / time for 1x input, scaled to exactly 10x; target <= 11) =="
echo "   (each parse in a fresh process, so both sizes start with untouched memory; best of $((REPEAT + 2)))"
# cold MODE FILE -> best seconds of REPEAT+2 single parses, each in its own process
cold() {
  local BEST=""
  for _ in $(seq $((REPEAT + 2))); do
    read -r T _ < <(run "$1" 1 "$2")
    BEST=$(echo "$T ${BEST:-$T}" | awk '{ print ($1 < $2) ? $1 : $2 }')
  done
  echo "$BEST"
}
for PAIR in "big10 big" "dense10 dense"; do
  set -- $PAIR
  S1=$(stat -c %s "$OUT/$1.html"); S10=$(stat -c %s "$OUT/$2.html")
  for MODE in tags all; do
    T1=$(cold "$MODE" "$OUT/$1.html")
    T10=$(cold "$MODE" "$OUT/$2.html")
    echo "$2 $MODE $S1 $S10 $T1 $T10" | awk '{ printf "%-8s %-5s %6.1f MB in %.3f s, %6.1f MB in %.3f s: ratio %.2f\n",
      $1, $2, $3 / 1e6, $5, $4 / 1e6, $6, ($6 / $5) * (10 * $3 / $4) }'
  done
done

echo
echo "== Peak memory of one parse of the large page (target < 8x page size) =="
PAGE=$(stat -c %s "$OUT/big.html")
for MODE in tags all gumbo; do
  KB=$( { /usr/bin/time -v "$BENCH" "$MODE" 1 "$OUT/big.html" >/dev/null; } 2>&1 |
        awk -F': ' '/Maximum resident set size/ { print $2 }')
  echo "$MODE $KB $PAGE" | awk '{ printf "%-6s %7.1f MB = %.2fx the page (%.1f MB; the process holds the page itself too)\n",
    $1, $2 * 1024 / 1e6, $2 * 1024 / $3, $3 / 1e6 }'
done
