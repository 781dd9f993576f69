#!/usr/bin/env bash
# run.sh [BIN_DIR [PNG_DIR]]: runs our pngout and its Debian peers on the same pictures in one
# run, interleaved (every program on a picture before the next picture, so a change in the
# machine's load hits them alike), and prints per program: bytes saved over the whole sample,
# the mean saving per picture, median wall and CPU time per picture, how many results grew,
# and whether every result kept the pixels (ImageMagick's compare, alpha included).
#   BIN_DIR  folder holding the built pngout (default: build-tools/bin)
#   PNG_DIR  pictures to use (default: a fresh sample from make-sample.sh)
# Peers: optipng, zopflipng (package zopfli), advpng (package advancecomp); needs python3 and
# imagemagick.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build-tools/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ $# -ge 2 ]; then sample=$2; else sample=$work/sample; "$here/make-sample.sh" "$sample" 2>/dev/null; fi
for p in optipng zopflipng advpng compare python3; do
  command -v $p >/dev/null || { echo "missing $p: apt-get install optipng zopfli advancecomp imagemagick python3" >&2; exit 1; }
done
python3 - "$bin/pngout" "$sample" "$work" <<'PY'
import glob, os, resource, shutil, statistics, subprocess, sys, time
pngout, sample, work = sys.argv[1:4]
dst = os.path.join(work, "out.png")
# Each program leaves the optimised picture at dst.
tools = {
    "pngout": lambda s: [[pngout, s, dst, "/y", "/q"]],
    "optipng": lambda s: [["optipng", "-quiet", "-out", dst, s]],
    "zopflipng": lambda s: [["zopflipng", "-y", s, dst]],
    "advpng -z -3": lambda s: [["cp", s, dst], ["advpng", "-q", "-z", "-3", dst]],
    "advpng -z -4": lambda s: [["cp", s, dst], ["advpng", "-q", "-z", "-4", dst]],
}
stats = {t: {"orig": 0, "after": 0, "pct": [], "wall": [], "cpu": [], "grew": 0, "bad": 0} for t in tools}
files = sorted(glob.glob(os.path.join(sample, "*.png")))
for f in files:
    size = os.path.getsize(f)
    for t, make in tools.items():
        if os.path.exists(dst):
            os.remove(dst)
        r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        ok = all(subprocess.run(c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
                 for c in make(f))
        t1 = time.perf_counter()
        r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
        st = stats[t]
        if not ok or not os.path.exists(dst):
            st["bad"] += 1
            continue
        after = os.path.getsize(dst)
        st["orig"] += size
        st["after"] += after
        st["pct"].append(100 * (size - after) / size)
        st["wall"].append((t1 - t0) * 1000)
        st["cpu"].append((r1.ru_utime + r1.ru_stime - r0.ru_utime - r0.ru_stime) * 1000)
        st["grew"] += after > size
        diff = subprocess.run(["compare", "-metric", "AE", f, dst, "null:"], capture_output=True, text=True)
        if diff.stderr.strip() != "0":
            st["bad"] += 1
print(f"{'program':14} {'saved':>7} {'mean':>7} {'wall ms':>8} {'CPU ms':>7} {'CPU total':>10} {'grew':>5}  pixels")
for t, st in stats.items():
    print(f"{t:14} {100 * (st['orig'] - st['after']) / st['orig']:6.2f}% {statistics.mean(st['pct']):6.2f}%"
          f" {statistics.median(st['wall']):8.1f} {statistics.median(st['cpu']):7.1f} {sum(st['cpu']):10.0f}"
          f" {st['grew']:5d}  {'same' if not st['bad'] else str(st['bad']) + ' bad'}")
print(f"pictures: {len(files)}, {sum(os.path.getsize(f) for f in files) // 1024} KB;"
      " saved: over the whole sample; mean: per picture; wall/CPU: medians per picture")
PY
