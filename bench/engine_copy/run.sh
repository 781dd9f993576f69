#!/usr/bin/env bash
# Whole-run cost of the engine against a plain copy, and its duplicate
# detection against jdupes, on one generated site, in one run.
#   bench/engine_copy/run.sh [FILES] [SIZE_MB]      (defaults 20000 500)
# Needs a built tree (make build); installs jdupes when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
cli=${LARKSPAN_CLI:-$top/build/bin/larkspan-cli}
files=${1:-20000}
size=${2:-500}
work=${BENCH_DIR:-/tmp/larkspan-bench-copy}
command -v jdupes >/dev/null || { apt-get install -y -qq jdupes >/dev/null || sudo apt-get install -y -qq jdupes; }
[ -x "$cli" ] || { echo "build first: make build" >&2; exit 1; }

# Outputs go to memory when possible, so that disk write-back (shared with
# whatever else the machine does) does not drown the differences.
out=${OUT_DIR:-/dev/shm/larkspan-bench-out}
mkdir -p "$work" "$out"
# SIZES=few makes every picture share its size with many others, so that
# both tools must read every picture (the worst case for detection).
sizes=${SIZES:-random}
if [ ! -f "$work/site.$files.$size.$sizes.ok" ]; then
  rm -rf "$work/site" "$work"/site.*.ok
  echo "generating $files files, about $size MB, $sizes picture sizes ..." >&2
  python3 "$here/gensite.py" "$work/site" "$files" "$size" "$sizes"
  touch "$work/site.$files.$size.$sizes.ok"
fi
du -sh "$work/site" >&2

measure() {  # name, command...: prints wall seconds and peak RSS (KB)
  local name=$1; shift
  sync
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt" >&2; }
  read -r secs rss <"$work/time.txt"
  printf '%-28s %8.2f s  %8d KB peak\n' "$name" "$secs" "$rss"
}

find "$work/site" -type f -print0 | xargs -0 cat >/dev/null  # warm the page cache
for round in 1 2 3; do
  echo "round $round"
  rm -rf "$out/cp-out" "$out/lk-out" "$out/lk-copy-out"
  measure "cp -r" cp -r "$work/site" "$out/cp-out"
  rm -rf "$out/cp-out"
  measure "larkspan-cli --dedupe" "$cli" --quiet --dedupe "$work/site" "$out/lk-out"
  rm -rf "$out/lk-out"
  # --xml: no XML in the site, so every file is a plain copy.
  measure "larkspan-cli (copy only)" "$cli" --quiet --xml "$work/site" "$out/lk-copy-out"
  rm -rf "$out/lk-copy-out"
  measure "jdupes -r (pictures)" jdupes -r -q -X onlyext:jpg,jpeg,gif,png,bmp "$work/site"
done
echo "duplicates found by larkspan: $("$cli" --json --dedupe "$work/site" "$out/lk-out" | sed 's/.*"duplicates":\([0-9]*\).*/\1/')"
rm -rf "$out/lk-out"
