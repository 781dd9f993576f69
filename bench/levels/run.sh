#!/usr/bin/env bash
# The proof that a level of minification changes nothing a visitor sees:
# slims each SITE with larkspan-cli (--html --css --js --xml) at each LEVEL,
# then checks every page's tree (bench/domcheck), the computed style of a
# sample of pages in headless Chromium and every style sheet's parse
# (bench/stylecheck), and prints one table: pages same/differing, elements
# with differing style, bytes out as a share of bytes in per kind, raw and
# gzip -9. With RENDER=1 the same browser run also shoots every sampled page
# before and after (full page) and compares the pixels (ImageMagick
# `compare -fuzz 2%`): pages that render differently and their pixels; the
# shots of such pages stay in LEVELS_DIR/shots.
#
#   bench/levels/run.sh [SITE] [LEVEL...]
#
# SITE: a site folder, or `all` (the default): a generated corpus,
# examples/site, bench/render/probe-site and every folder in /work/ext/sites.
# LEVEL: spaces, safe, smallest (default: spaces). When larkspan-cli has no
# --level yet, a level other than the default runs through the bench/minify
# driver (BENCH_MINIFY_LEVEL) if it knows levels, else at the default, and
# the table says so.
# Environment: LARKSPAN_CLI (default build/bin/larkspan-cli), LEVELS_DIR
# (outputs and logs; default build-bench/levels), STYLE_PAGES (pages per
# site in Chromium; default 200, 0 skips the browser), CORPUS_MB (default 5),
# SITE_CHARSET (the sites' character set for larkspan-cli --charset and the
# tree check; default GB2312, as larkspan-cli).
# Exits 1 when any check finds a difference, 2 when a check cannot run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
cli=${LARKSPAN_CLI:-$top/build/bin/larkspan-cli}
work=${LEVELS_DIR:-$top/build-bench/levels}
style_pages=${STYLE_PAGES:-200}
render=${RENDER:-0}
charset=${SITE_CHARSET:-GB2312}
[ -x "$cli" ] || { echo "build first: cmake --build build --target larkspan-cli" >&2; exit 2; }
mkdir -p "$work"

for tool in domcheck stylecheck; do
  if [ ! -d "$top/bench/$tool/node_modules" ]; then
    (cd "$top/bench/$tool" && npm ci --no-audit --no-fund --silent) || exit 2
  fi
done
if [ "$style_pages" -gt 0 ] && ! command -v chromium >/dev/null; then
  apt-get install -y -qq chromium >/dev/null || sudo apt-get install -y -qq chromium >/dev/null || true
  command -v chromium >/dev/null || { echo "chromium is not installed" >&2; exit 2; }
fi

site_arg=${1:-all}
[ $# -gt 0 ] && shift
levels=("$@")
[ ${#levels[@]} -gt 0 ] || levels=(spaces)

sites=()
if [ "$site_arg" = all ]; then
  corpus="$work/corpus-${CORPUS_MB:-5}"
  if [ ! -f "$corpus/.done" ]; then
    rm -rf "$corpus"
    python3 "$top/bench/minify/gencorpus.py" "$corpus" "${CORPUS_MB:-5}"
    touch "$corpus/.done"
  fi
  sites=("$corpus" "$top/examples/site" "$top/bench/render/probe-site")
  for d in /work/ext/sites/*/; do [ -d "$d" ] && sites+=("${d%/}"); done
else
  [ -d "$site_arg" ] || { echo "no such site folder: $site_arg" >&2; exit 2; }
  sites=("$(cd "$site_arg" && pwd)")
fi

cli_has_level=0
# Read whole: with pipefail, `grep -q` closing the pipe early could make the
# help's SIGPIPE count as "no --level" and run every level at the default.
case $("$cli" --help 2>&1) in *--level*) cli_has_level=1 ;; esac
bench_has_level=0
grep -q BENCH_MINIFY_LEVEL "$top/bench/minify/bench_minify.cpp" && bench_has_level=1

# slim SITE OUT LEVEL: writes the slimmed copy; prints how the level was reached.
slim() {
  local site=$1 out=$2 level=$3
  rm -rf "$out"
  if [ $cli_has_level = 1 ]; then
    "$cli" -q --html --css --js --xml --charset "$charset" --level "$level" "$site" "$out" >&2
    echo cli
  elif [ "$level" = spaces ]; then
    "$cli" -q --html --css --js --xml --charset "$charset" "$site" "$out" >&2
    echo "cli default"
  elif [ $bench_has_level = 1 ]; then
    # The bench driver writes the text files only: the rest is copied first.
    (. "$top/bench/minify/common.sh" >&2
     cp -r "$site" "$out"
     BENCH_MINIFY_LEVEL=$level "$BENCH" "$site" 1 "$out" >/dev/null)
    echo bench_minify
  else
    "$cli" -q --html --css --js --xml --charset "$charset" "$site" "$out" >&2
    echo "DEFAULT (no --level)"
  fi
}

pct() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0) printf "%.1f", 100 * b / a; else printf "-" }'; }

status=0
rows=()
for site in "${sites[@]}"; do
  name=$(basename "$site")
  outs=() hows=()
  for level in "${levels[@]}"; do
    out="$work/out/$name-$level"
    hows+=("$(slim "$site" "$out" "$level")")
    outs+=("$out")
  done
  # One browser run for all levels: each original page is loaded once.
  style_log="$work/$name-style.log"
  if [ "$style_pages" -gt 0 ]; then
    rc=0
    render_flags=()
    [ "$render" = 1 ] && render_flags=(--render --shots "$work/shots/$name")
    node "$top/bench/stylecheck/stylecheck.mjs" --limit "$style_pages" "${render_flags[@]}" \
      "$site" "${outs[@]}" >"$style_log" 2>&1 || rc=$?
    [ $rc -le 1 ] || { echo "stylecheck could not run on $name (see $style_log)" >&2; status=2; }
    [ $rc = 1 ] && status=$((status > 1 ? status : 1))
  fi
  for i in "${!levels[@]}"; do
    level=${levels[$i]} out=${outs[$i]} how=${hows[$i]}
    log="$work/$name-$level.log"
    flags=(--charset "$charset")
    [ "$level" = smallest ] && flags+=(--drop-comments)
    rc=0
    node "$top/bench/domcheck/domcheck.mjs" "${flags[@]}" "$site" "$out" >"$log" 2>&1 || rc=$?
    [ $rc -le 1 ] || { echo "domcheck could not run on $name (see $log)" >&2; status=2; }
    [ $rc = 1 ] && status=$((status > 1 ? status : 1))
    dom=$(sed -n 's/^domcheck: \([0-9]*\) pages, \([0-9]*\) same, \([0-9]*\) differing.*/\1 \2 \3/p' "$log" | tail -n 1)
    style="- - - -" pixels="- -"
    if [ "$style_pages" -gt 0 ]; then
      # Each level's lines of the shared browser run ("[NAME-LEVEL] ..." when
      # there are several levels).
      tag=""
      [ ${#levels[@]} -gt 1 ] && tag="[$name-$level]"
      if [ -n "$tag" ]; then
        awk -v tag="$tag" '
          /^\[/ { keep = index($0, tag " ") == 1; if (keep) { sub(/^\[[^]]*\] /, ""); print }; next }
          /^stylecheck \[/ { keep = 0; if (index($0, "stylecheck " tag ":") == 1) { sub(/ \[[^]]*\]/, ""); print }; next }
          /^  / { if (keep) print; next }
          { print }' "$style_log" >>"$log"
      else
        cat "$style_log" >>"$log"
      fi
      style=$(sed -n 's/^stylecheck: \([0-9]*\) pages, [0-9]* same, \([0-9]*\) differing (\([0-9]*\) elements.*, \([0-9]*\) no longer parse$/\1 \2 \3 \4/p' "$log" | tail -n 1)
      [ -n "$style" ] || style="? ? ? ?"
      if [ "$render" = 1 ]; then
        pixels=$(sed -n 's/^stylecheck: .*, \([0-9]*\) of [0-9]* render differently (\([0-9]*\) pixels).*/\1 \2/p' "$log" | tail -n 1)
        [ -n "$pixels" ] || pixels="? ?"
      fi
    fi
    sizes=""
    while read -r kind files a b ga gb; do
      sizes+=$(printf ' %s %s/%s' "$kind" "$(pct "$a" "$b")" "$(pct "$ga" "$gb")")
    done < <(python3 "$here/sizes.py" "$site" "$out")
    rows+=("$(printf '%-14.14s %-8s %5s %5s %5s | %5s %5s %6s %6s %5s %9s |%s  [%s]' \
      "$name" "$level" ${dom:-? ? ?} $style $pixels "$sizes" "$how")")
    grep -m 12 -A3 -E '^(DIFFERS|NEW ERRORS|FAILED|CSS PARSE ERROR|RENDERS DIFFERENTLY)' "$log" | sed "s|^|  $name/$level: |" >&2 || true
  done
done

printf '\n%-14s %-8s %5s %5s %5s | %5s %5s %6s %6s %5s %9s | %s\n' site level pages same diff \
  paged diff elems badcss shotd pixels "bytes out/in %, raw/gzip -9, per kind  [how the level was reached]"
printf '%s\n' "${rows[@]}"
echo "(logs and outputs in $work)"
exit $status
