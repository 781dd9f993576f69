#!/usr/bin/env bash
# run.sh [BIN_DIR [PNG_DIR]]: runs our pngout and its Debian peers on the same
# pictures in one run and prints, per program, the bytes saved over the whole
# sample, the mean saving per picture, the median and total wall time per
# picture, how many results grew, and whether every result kept the pixels.
#   BIN_DIR  folder holding the built pngout (default: build-tools/bin)
#   PNG_DIR  pictures to use (default: a fresh sample from make-sample.sh)
# Peers: optipng, zopflipng (package zopfli), advpng (package advancecomp).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build-tools/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ $# -ge 2 ]; then sample=$2; else sample=$work/sample; "$here/make-sample.sh" "$sample" 2>/dev/null; fi
for p in optipng zopflipng advpng compare; do
  command -v $p >/dev/null || { echo "missing $p: apt-get install optipng zopfli advancecomp imagemagick" >&2; exit 1; }
done
ONLY=${ONLY:-}

# Each runner gets SRC and DST and leaves the optimised picture at DST.
run_pngout()    { "$bin/pngout" "$1" "$2" /y /q; }
run_optipng()   { optipng -quiet -out "$2" "$1"; }
run_zopflipng() { zopflipng -y "$1" "$2" >/dev/null; }
run_advpng3()   { cp "$1" "$2" && advpng -q -z -3 "$2"; }
run_advpng4()   { cp "$1" "$2" && advpng -q -z -4 "$2"; }

now_ns() { date +%s%N; }
printf '%-14s %9s %8s %8s %9s %9s %6s %7s\n' program orig_KB saved% mean% median_ms total_ms grew pixels
for tool in pngout optipng zopflipng advpng3 advpng4; do
  [ -n "$ONLY" ] && [[ " $ONLY " != *" $tool "* ]] && continue
  orig=0; after=0; grew=0; bad=0; sumpct=0; n=0
  : > "$work/times"
  for f in "$sample"/*.png; do
    dst=$work/out.png; rm -f "$dst"
    t0=$(now_ns)
    if ! run_$tool "$f" "$dst" 2>/dev/null; then bad=$((bad + 1)); continue; fi
    t1=$(now_ns)
    echo $(( (t1 - t0) / 1000 )) >> "$work/times"
    s=$(stat -c %s "$f"); d=$(stat -c %s "$dst")
    orig=$((orig + s)); after=$((after + d)); n=$((n + 1))
    [ "$d" -gt "$s" ] && grew=$((grew + 1))
    sumpct=$(awk -v s=$s -v d=$d -v a=$sumpct 'BEGIN{print a + (s-d)*100/s}')
    # Lossless means the same pixels (alpha included): zero differing pixels.
    diff=$(compare -metric AE "$f" "$dst" null: 2>&1 || true)
    [ "$diff" = "0" ] || bad=$((bad + 1))
  done
  sort -n "$work/times" | awk -v tool=$tool -v orig=$orig -v after=$after -v grew=$grew -v bad=$bad -v sp=$sumpct -v n=$n '
    { t[NR] = $1; tot += $1 }
    END { med = (NR % 2) ? t[(NR+1)/2] : (t[NR/2] + t[NR/2+1]) / 2;
          printf "%-14s %9.1f %7.1f%% %7.1f%% %9.1f %9.0f %6d %7s\n", tool, orig/1024, (orig-after)*100/orig, sp/n,
                 med/1000, tot/1000, grew, bad ? bad " bad" : "same" }'
done
echo "pictures: $(ls "$sample"/*.png | wc -l)"
