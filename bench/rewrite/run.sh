#!/usr/bin/env bash
# run.sh [BIN_DIR]: times larkspan-cli --dedupe on a generated site of 5,000
# pages (about 200 MB of HTML, 20 picture references each) and 2,000 pictures,
# side by side in one run:
#   plain  every picture distinct: pages are copied, nothing is rewritten
#   dupes  a tenth of the references point at duplicates (200 of them): every
#          page is rewritten and the reference check runs
#   many   the same pages with half of all pictures duplicates (1,000): the
#          check's cost must not grow with pages x duplicates
# Prints, per site, the median wall time and CPU time (user + system) of RUNS
# runs, the ratio to the plain run, and the run's own report line.
#   BIN_DIR  folder holding larkspan-cli (default: build/bin)
# Environment: RUNS (default 5), PAGES (default 5000), WORK (default /dev/shm
# when it exists, so that disk write-back does not drown what is measured).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
cli=$bin/larkspan-cli
[ -x "$cli" ] || { echo "no $cli: build it first (ninja -C build larkspan-cli)" >&2; exit 1; }
RUNS=${RUNS:-5}
PAGES=${PAGES:-5000}
base=${WORK:-$( [ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}" )}
work=$(mktemp -d "$base/larkspan-rewrite.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "generating sites in $work ..." >&2
python3 "$here/make-site.py" "$work/plain" --pages "$PAGES"
python3 "$here/make-site.py" "$work/dupes" --dupes --pages "$PAGES"
python3 "$here/make-site.py" "$work/many" --dupes --dup-from 20 --pages "$PAGES"
html_mb=$(find "$work/plain" -name '*.html' -printf '%s\n' | awk '{s += $1} END {printf "%.0f", s / 1e6}')
echo "$PAGES pages, $html_mb MB of HTML, $(find "$work/plain" -name '*.jpg' | wc -l) pictures; $RUNS runs each, interleaved" >&2

# Every run does the whole work, never takes results from the cache of results.
nocache=$("$cli" --help 2>&1 | grep -q -- --no-cache && echo --no-cache || true)
sites="plain dupes many"
for site in $sites; do : > "$work/times.$site"; done
for run in $(seq "$RUNS"); do
  for site in $sites; do
    rm -rf "$work/out"
    /usr/bin/time -f "%e %U %S" -o "$work/t" "$cli" $nocache --dedupe "$work/$site" "$work/out" > "$work/report.$site"
    cat "$work/t" >> "$work/times.$site"
  done
done

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
plain_wall=$(awk '{print $1}' "$work/times.plain" | median)
plain_cpu=$(awk '{print $2 + $3}' "$work/times.plain" | median)
printf '%-6s %9s %8s %9s %8s  %s\n' site wall_s x_plain cpu_s x_plain report
for site in $sites; do
  wall=$(awk '{print $1}' "$work/times.$site" | median)
  cpu=$(awk '{print $2 + $3}' "$work/times.$site" | median)
  printf '%-6s %9.2f %8.2f %9.2f %8.2f  %s\n' "$site" "$wall" "$(awk -v a="$wall" -v b="$plain_wall" 'BEGIN {print a / b}')" \
    "$cpu" "$(awk -v a="$cpu" -v b="$plain_cpu" 'BEGIN {print a / b}')" "$(tr -d '\n' < "$work/report.$site")"
done
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
