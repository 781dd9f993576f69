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
# detection cannot decide by size alone (the harder case).
sizes=${SIZES:-random}
if [ ! -f "$work/site.$files.$size.$sizes.ok" ]; then
  rm -rf "$work/site" "$work"/site.*.ok
  echo "generating $files files, about $size MB, $sizes picture sizes ..." >&2
  python3 "$here/gensite.py" "$work/site" "$files" "$size" "$sizes"
  touch "$work/site.$files.$size.$sizes.ok"
fi
du -sh "$work/site" >&2

command -v hyperfine >/dev/null || { apt-get install -y -qq hyperfine >/dev/null || sudo apt-get install -y -qq hyperfine; }
find "$work/site" -type f -print0 | xargs -0 cat >/dev/null  # warm the page cache

# Detection alone: the engine's digest code in a small driver, same walk.
g++ -O2 -std=c++20 -I"$top" "$here/detect.cpp" "$top/engine/uPictureDigest.cpp" \
  "$top/platform/FileSystemPosix.cpp" "$top/platform/ErrorPosix.cpp" "$top/platform/Text.cpp" \
  -lcrypto -o "$work/detect"

# Wall time: mean of several runs, each on an empty output folder, never
# with results from the cache of results.
runs=${RUNS:-5}
nocache=$("$cli" --help 2>&1 | grep -q -- --no-cache && echo --no-cache || true)
hyperfine --style basic --runs "$runs" --export-markdown "$work/times.md" \
  --prepare "rm -rf '$out/o'" \
  -n "cp -r" "cp -r '$work/site' '$out/o'" \
  -n "larkspan-cli --dedupe" "'$cli' --quiet $nocache --dedupe '$work/site' '$out/o'" \
  -n "larkspan-cli copy only (--xml: nothing to minify)" "'$cli' --quiet $nocache --xml '$work/site' '$out/o'" \
  -n "jdupes -r (pictures only)" "jdupes -r -q -X onlyext:jpg,jpeg,gif,png,bmp '$work/site'" \
  -n "larkspan detection alone" "'$work/detect' '$work/site'" >&2
cat "$work/times.md"

# Peak memory of one run.
rm -rf "$out/o"
/usr/bin/time -f "%M" -o "$work/rss.txt" "$cli" --quiet --dedupe "$work/site" "$out/o" >/dev/null
echo "peak RSS of larkspan-cli --dedupe: $(cat "$work/rss.txt") KB"
rm -rf "$out/o"
echo "duplicates found by larkspan: $("$cli" --json --dedupe "$work/site" "$out/o" | sed 's/.*"duplicates":\([0-9]*\).*/\1/')"
echo "larkspan detection alone:     $("$work/detect" "$work/site")"
echo "duplicates found by jdupes:   $(jdupes -r -q -m -X onlyext:jpg,jpeg,gif,png,bmp "$work/site" | sed 's/ duplicate.*//')"
rm -rf "$out/o"
