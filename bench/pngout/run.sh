#!/usr/bin/env bash
# run.sh [BIN_DIR [PNG_DIR...]]: runs our pngout and its Debian peers on the same pictures in
# one run, interleaved (every program on a picture before the next picture, so a change in
# the machine's load hits them alike), and prints per set of pictures and program: bytes
# saved over the set, the mean saving per picture, total wall and CPU time, the slowest
# picture (wall and CPU), how many pictures took over 3 s, how many results grew, and whether
# every result kept the pixels (ImageMagick's compare, alpha included).
#   BIN_DIR  folder holding the built pngout (default: build-tools/bin)
#   PNG_DIR  a set of pictures, e.g. a real site's (any number; the generated set from
#            make-sample.sh always runs first)
# Peers: zopflipng (package zopfli), optipng -o2, advpng -z -3 (package advancecomp). Needs
# python3 and imagemagick. The load average is printed too: on a loaded machine wall times
# grow, and pngout's wall-clock cap cuts work short, so compare CPU times then.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build-tools/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for p in optipng zopflipng advpng compare fc-match python3; do
  command -v $p >/dev/null || { echo "missing $p: apt-get install optipng zopfli advancecomp imagemagick fontconfig python3" >&2; exit 1; }
done
"$here/make-sample.sh" "$work/generated" 2>/dev/null
sets=("$work/generated")
[ $# -ge 2 ] && for d in "${@:2}"; do sets+=("$(cd "$d" && pwd)"); done
python3 - "$bin/pngout" "$work" "${sets[@]}" <<'PY'
import glob, os, resource, statistics, subprocess, sys, time
pngout, work = sys.argv[1:3]
sets = sys.argv[3:]
dst = os.path.join(work, "out.png")
# Each program leaves the optimised picture at dst.
tools = {
    "pngout": lambda s: [[pngout, s, dst, "/y", "/q"]],
    "zopflipng": lambda s: [["zopflipng", "-y", s, dst]],
    "optipng -o2": lambda s: [["optipng", "-quiet", "-o2", "-out", dst, s]],
    "advpng -z -3": lambda s: [["cp", s, dst], ["advpng", "-q", "-z", "-3", dst]],
}


def load():
    return open("/proc/loadavg").read().split()[0]


for folder in sets:
    files = sorted(glob.glob(os.path.join(folder, "*.png")))
    print(f"\nset {os.path.basename(folder)}: {len(files)} pictures, "
          f"{sum(os.path.getsize(f) for f in files) // 1024} KB; load average {load()}")
    stats = {t: {"orig": 0, "after": 0, "pct": [], "wall": [], "cpu": [], "grew": 0, "bad": 0}
             for t in tools}
    for f in files:
        size = os.path.getsize(f)
        for t, make in tools.items():
            if os.path.exists(dst):
                os.remove(dst)
            r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
            t0 = time.perf_counter()
            ok = all(subprocess.run(c, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL).returncode == 0 for c in make(f))
            t1 = time.perf_counter()
            r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
            st = stats[t]
            st["wall"].append(t1 - t0)
            st["cpu"].append(r1.ru_utime + r1.ru_stime - r0.ru_utime - r0.ru_stime)
            # A program that fails or writes nothing leaves the picture as it was.
            after = os.path.getsize(dst) if ok and os.path.exists(dst) else size
            st["bad"] += not ok or not os.path.exists(dst)
            st["orig"] += size
            st["after"] += after
            st["pct"].append(100 * (size - after) / size)
            st["grew"] += after > size
            if ok and os.path.exists(dst):
                diff = subprocess.run(["compare", "-metric", "AE", f, dst, "null:"],
                                      capture_output=True, text=True)
                st["bad"] += diff.stderr.strip() != "0"
    print(f"{'program':13} {'saved':>7} {'mean':>7} {'wall s':>7} {'CPU s':>7} {'max wall':>8}"
          f" {'max CPU':>7} {'>3 s':>5} {'grew':>5}  pixels")
    for t, st in stats.items():
        print(f"{t:13} {100 * (st['orig'] - st['after']) / st['orig']:6.2f}%"
              f" {statistics.mean(st['pct']):6.2f}% {sum(st['wall']):7.1f} {sum(st['cpu']):7.1f}"
              f" {max(st['wall']):8.2f} {max(st['cpu']):7.2f}"
              f" {sum(w > 3 for w in st['wall']):5d} {st['grew']:5d}"
              f"  {'same' if not st['bad'] else str(st['bad']) + ' bad'}")
    print(f"saved: over the set; mean: per picture; wall/CPU: totals over the set, CPU with"
          f" every child process; load average at the end {load()}")
PY
