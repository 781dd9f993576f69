#!/usr/bin/env bash
# A whole `larkspan-cli --html --css --xml` run (the native compressor) on a generated site of
# PAGES pages against `cp -r` of the same tree and Debian's `minify -r` on it, in one run.
#   bench/site_minify/run.sh [PAGES]     (default 5000)
# Needs a built tree (larkspan-cli); installs hyperfine and minify when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
cli=${LARKSPAN_CLI:-$top/build/bin/larkspan-cli}
pages=${1:-5000}
work=${BENCH_DIR:-/tmp/larkspan-bench-minify}
[ -x "$cli" ] || { echo "build first: cmake --build build --target larkspan-cli" >&2; exit 1; }
for p in hyperfine minify; do
  command -v $p >/dev/null || { apt-get install -y -qq $p >/dev/null || sudo apt-get install -y -qq $p; }
done
# Outputs go to memory when possible, so that disk write-back does not drown the differences.
out=${OUT_DIR:-/dev/shm/larkspan-bench-minify-out}
mkdir -p "$work" "$out"
if [ ! -f "$work/site.$pages.ok" ]; then
  rm -rf "$work/site" "$work"/site.*.ok
  echo "generating $pages pages ..." >&2
  "$top/bench/compressor/gensite.sh" "$work/site" "$pages"
  touch "$work/site.$pages.ok"
fi
echo "$(find "$work/site" -type f | wc -l) files, $(du -sh "$work/site" | cut -f1)" >&2
find "$work/site" -type f -print0 | xargs -0 cat >/dev/null  # warm the page cache

runs=${RUNS:-5}
# Every run does the whole work, never takes results from the cache of results.
nocache=$("$cli" --help 2>&1 | grep -q -- --no-cache && echo --no-cache || true)
hyperfine --style basic --runs "$runs" --export-markdown "$work/times.md" \
  --prepare "rm -rf '$out/o'" \
  -n "cp -r" "cp -r '$work/site' '$out/o'" \
  -n "larkspan-cli --html --css --xml" "'$cli' --quiet $nocache --html --css --xml '$work/site' '$out/o'" \
  -n "minify -r (html, css, xml)" \
  "minify -r --sync --match '\\.(html|css|xml)\$' -o '$out/o/' '$work/site/'" >&2
cat "$work/times.md"
rm -rf "$out/o"
# What the run did, without the record of every file.
"$cli" --json --html --css --xml "$work/site" "$out/o" |
  python3 -c 'import json, sys; r = json.load(sys.stdin); r.pop("files_detail", None); print(json.dumps(r))'
rm -rf "$out/o"
