#!/usr/bin/env bash
# Sizes beside the peers, in the same run: each SITE is slimmed by
# larkspan-cli (--html --css --js) at each level and by the peers (Go minify
# through its Node binding, html-minifier-terser, csso, esbuild --minify;
# bench/peers/peers.mjs says which options), and one table gives bytes out
# as a share of bytes in per kind of file, raw and gzip -9, per site and for
# the real sites together. Then the throughput on one core: the native
# minifiers at each level (bench/minify's driver, CPU time, in process)
# against one esbuild --minify process (GOMAXPROCS=1, CPU time) on the same
# files: the style sheets and scripts esbuild accepts.
#
#   bench/peers/run.sh [SITE...]
#
# SITE: site folders (default: a generated corpus, bench/minify/gencorpus.py,
# and every folder in /work/ext/sites).
# Environment: LARKSPAN_CLI (default build/bin/larkspan-cli), PEERS_DIR
# (outputs; default build-bench/peers), LEVELS (default "spaces safe
# smallest"), CHARSET (of the given or real sites, default UTF-8; the
# generated corpus is read as GB2312, its own default), CORPUS_MB (default 5),
# SIZES=0 skips the sizes, SPEED=0 the throughput, REPEAT (best of; default 3).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
cli=${LARKSPAN_CLI:-$top/build/bin/larkspan-cli}
work=${PEERS_DIR:-$top/build-bench/peers}
read -r -a levels <<<"${LEVELS:-spaces safe smallest}"
charset=${CHARSET:-UTF-8}
repeat=${REPEAT:-3}
peers=(gominify hmt csso esbuild)
[ -x "$cli" ] || { echo "build first: cmake --build build --target larkspan-cli" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 2; }
if [ ! -d "$here/node_modules/html-minifier-terser" ]; then
  (cd "$here" && npm ci --no-audit --no-fund --silent) || exit 2
fi
mkdir -p "$work"

sites=()
if [ $# -eq 0 ]; then
  corpus="$work/corpus-${CORPUS_MB:-5}"
  if [ ! -f "$corpus/.done" ]; then
    rm -rf "$corpus"
    python3 "$top/bench/minify/gencorpus.py" "$corpus" "${CORPUS_MB:-5}"
    touch "$corpus/.done"
  fi
  sites=("$corpus")
  for d in /work/ext/sites/*/; do [ -d "$d" ] && sites+=("${d%/}"); done
else
  for s in "$@"; do
    [ -d "$s" ] || { echo "no such site folder: $s" >&2; exit 2; }
    sites+=("$(cd "$s" && pwd)")
  done
fi

# Sizes: every contender's tree under $work/out/SITE/CONTENDER.
[ "${SIZES:-1}" = 0 ] || for site in "${sites[@]}"; do
  name=$(basename "$site")
  cs=$charset
  [ "$site" = "${corpus:-}" ] && cs=GB2312
  for level in "${levels[@]}"; do
    out="$work/out/$name/larkspan-$level"
    rm -rf "$out"
    "$cli" -q --html --css --js --charset "$cs" --level "$level" "$site" "$out" ||
      echo "larkspan-cli --level $level failed on $name" >&2
  done
  for peer in "${peers[@]}"; do
    out="$work/out/$name/$peer"
    rm -rf "$out"
    node "$here/peers.mjs" "$peer" "$site" "$out" >"$work/$name-$peer.txt" ||
      echo "$peer could not run on $name" >&2
  done
done
[ "${SIZES:-1}" = 0 ] || python3 "$here/table.py" "$work" "${levels[@]/#/larkspan-}" "${peers[@]}" -- "${sites[@]}"

[ "${SPEED:-1}" = 0 ] && exit 0

# Throughput on one core, on the files esbuild accepts (hard links).
. "$top/bench/minify/common.sh" >&2
# The platform's own binary: node_modules/.bin/esbuild may be the Node
# wrapper that starts it (when npm ran no install scripts), whose start-up
# would be counted as esbuild's work.
esbuild=$(ls "$here"/node_modules/@esbuild/*/bin/esbuild 2>/dev/null | head -n 1)
[ -x "$esbuild" ] || esbuild=$here/node_modules/.bin/esbuild
best_cpu() {  # best user+sys seconds of $repeat runs of CMD...
  local best="" t
  for _ in $(seq "$repeat"); do
    GOMAXPROCS=1 /usr/bin/time -f '%U %S' -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
    t=$(tail -1 "$work/time.txt" | awk '{ print $1 + $2 }')
    best=$(echo "$t ${best:-$t}" | awk '{ print ($1 < $2) ? $1 : $2 }')
  done
  echo "$best"
}
echo
echo "throughput, MB per CPU second on one core, best of $repeat (load average $(cut -d' ' -f1-3 /proc/loadavg)):"
printf '%-16s %-7s %5s %8s %9s' site kind files MB esbuild
for level in "${levels[@]}"; do printf ' %9s %6s' "$level" "x"; done
echo
for site in "${sites[@]}"; do
  name=$(basename "$site")
  speed="$work/speed/$name"
  rm -rf "$speed"
  mkdir -p "$speed"
  PEERS_OK_LIST="$work/$name-esbuild.ok" node "$here/peers.mjs" esbuild "$site" "$work/speed-esbuild-out" >/dev/null
  rm -rf "$work/speed-esbuild-out"
  (cd "$site" && xargs -0 -r cp -l --parents -t "$speed" <"$work/$name-esbuild.ok")
  declare -A ours=()
  for level in "${levels[@]}"; do
    while read -r kind _ _ _ _ _ _ mbs; do ours[$level/$kind]=$mbs; done \
      < <(BENCH_MINIFY_LEVEL=$level "$BENCH" "$speed" "$repeat")
  done
  all_files=0 all_bytes=0 all_secs=0
  for kind in css js; do
    mapfile -t files < <(find "$speed" -type f -regextype posix-extended -iregex ".*\\.$kind\$" | sort)
    [ ${#files[@]} -gt 0 ] || continue
    bytes=$(cat "${files[@]}" | wc -c)
    rm -rf "$work/esb"
    secs=$(best_cpu "$esbuild" --minify --charset=utf8 --log-level=silent --outdir="$work/esb" \
      --outbase="$speed" --allow-overwrite "${files[@]}")
    all_files=$((all_files + ${#files[@]})) all_bytes=$((all_bytes + bytes))
    all_secs=$(awk -v a="$all_secs" -v b="$secs" 'BEGIN { print a + b }')
    esb=$(awk -v b="$bytes" -v s="$secs" 'BEGIN { printf "%.1f", (s > 0) ? b / 1e6 / s : 0 }')
    printf '%-16.16s %-7s %5d %8.2f %9s' "$name" "$kind" ${#files[@]} "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$esb"
    for level in "${levels[@]}"; do
      o=${ours[$level/$kind]:-0}
      printf ' %9s %5sx' "$o" "$(awk -v a="$o" -v b="$esb" 'BEGIN { printf "%.1f", (b > 0) ? a / b : 0 }')"
    done
    echo
  done
  # Whole processes: ours reading the files and minifying each once, beside
  # esbuild's two runs (style sheets, scripts) above.
  if [ "$all_files" -gt 0 ]; then
    esb=$(awk -v b="$all_bytes" -v s="$all_secs" 'BEGIN { printf "%.1f", (s > 0) ? b / 1e6 / s : 0 }')
    printf '%-16.16s %-7s %5d %8.2f %9s' "$name" "process" "$all_files" "$(awk -v b="$all_bytes" 'BEGIN { print b / 1e6 }')" "$esb"
    for level in "${levels[@]}"; do
      secs=$(BENCH_MINIFY_LEVEL=$level best_cpu "$BENCH" "$speed" 1)
      o=$(awk -v b="$all_bytes" -v s="$secs" 'BEGIN { printf "%.1f", (s > 0) ? b / 1e6 / s : 0 }')
      printf ' %9s %5sx' "$o" "$(awk -v a="$o" -v b="$esb" 'BEGIN { printf "%.1f", (b > 0) ? a / b : 0 }')"
    done
    echo
  fi
  unset ours
done
echo "(x: the level's throughput over esbuild's. css, js: ours in process, files in memory, beside"
echo " one esbuild process a kind; process: whole processes, reading and writing included;"
echo " outputs in $work)"
