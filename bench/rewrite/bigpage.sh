#!/usr/bin/env bash
# bigpage.sh [BIN_DIR...]: the cost of rewriting one large page that refers to
# many duplicates whose references all differ in length. A site holds one
# master picture and 300 duplicates named d1.gif, dx1.gif, dxx1.gif... in two
# folders (300 distinct reference lengths) and one page of SIZE MB (default: 1, 2 and 4)
# of image and link tags between paragraphs of text that refer to other pictures,
# and at its end one reference to a duplicate.
# Prints, per larkspan-cli given (default: build/bin), the median CPU time
# (user + system) of RUNS runs of `larkspan-cli --dedupe` per page size, and
# the CPU time per MB: linear rewriting keeps that flat.
# Environment: RUNS (default 3), SIZES (default "1 2 4").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bins=("$@")
[ ${#bins[@]} -gt 0 ] || bins=("$here/../../build/bin")
RUNS=${RUNS:-3}
SIZES=${SIZES:-1 2 4}
work=$(mktemp -d "${TMPDIR:-/tmp}/larkspan-bigpage.XXXXXX")
trap 'rm -rf "$work"' EXIT

for mb in $SIZES; do
  python3 - "$work/site$mb" "$mb" <<'PY'
import os, sys
root, mb = sys.argv[1], float(sys.argv[2])
os.makedirs(root + "/img")
picture = b"GIF89a the same picture for every copy"
open(root + "/img/a.gif", "wb").write(picture)
# 300 reference lengths: two folders, 150 name lengths in each.
names = [("s" * 150 + "/" if i >= 150 else "") + "d" + "x" * (i % 150) + "1.gif" for i in range(300)]
os.makedirs(root + "/img/" + "s" * 150)
for n in names:
    open(root + "/img/" + n, "wb").write(picture)
parts, size, i = [], 0, 0
filler = "<p>" + "\u6587\u5b57 text, more text. " * 6 + "</p>\n"
while size < mb * 1e6:
    # The references name pictures that are no duplicates (the page must be
    # read to its end to know), then the last one names a duplicate.
    n = f"photo{i % 997}.gif"
    chunk = f'<img src="img/{n}" alt="{i}"><a href="img/{n}">{i}</a>\n' + filler
    parts.append(chunk)
    size += len(chunk.encode())
    i += 1
parts.append(f'<img src="img/{names[-1]}">\n')
open(root + "/index.html", "w", encoding="utf-8").write("".join(parts))
PY
done

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
printf '%-40s %6s %8s %10s\n' larkspan-cli page_MB cpu_s cpu_s/MB
for bin in "${bins[@]}"; do
  for mb in $SIZES; do
    : > "$work/times"
    for run in $(seq "$RUNS"); do
      rm -rf "$work/out"
      nocache=$("$bin/larkspan-cli" --help 2>&1 | grep -q -- --no-cache && echo --no-cache || true)
      /usr/bin/time -f "%U %S" -o "$work/t" "$bin/larkspan-cli" -q $nocache --dedupe "$work/site$mb" "$work/out"
      awk '{print $1 + $2}' "$work/t" >> "$work/times"
    done
    cpu=$(median < "$work/times")
    printf '%-40s %6s %8.2f %10.3f\n' "$bin" "$mb" "$cpu" "$(awk -v c="$cpu" -v m="$mb" 'BEGIN {print c / m}')"
  done
done
