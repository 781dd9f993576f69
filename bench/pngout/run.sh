#!/usr/bin/env bash
# run.sh [BIN_DIR [PNG_DIR...]]: runs our pngout and its Debian peers on the same pictures in
# one run, interleaved (every program on a picture before the next picture, so a change in
# the machine's load hits them alike), and prints per set of pictures and program: bytes
# saved over the set, the mean saving per picture, total wall and CPU time, the slowest
# picture (wall, CPU, and which), how many pictures took over 3 s, how many results grew,
# and whether every result kept the pixels (ImageMagick's compare, alpha included); then per
# kind of picture (colour type and size) the saving and CPU time of each program.
#   BIN_DIR  folder holding the built pngout (default: build/bin)
#   PNG_DIR  a set of pictures, e.g. a real site's (any number; the generated set from
#            make-sample.sh always runs first; files are found in subfolders too)
# Peers: zopflipng (package zopfli), optipng -o2, advpng -z -3 (package advancecomp). Needs
# python3 and imagemagick. The load average is printed too: on a loaded machine wall times
# grow (pngout's bytes do not: its work is planned from the picture alone), so compare CPU
# times then.
# Environment:
#   OLD_PNGOUT=PATH  also run another pngout build (e.g. one from before a change), as "old"
#   PEERS="zopflipng optipng"  run only these peers (names as in the table's first word;
#                    default: all)
#   CACHE=DIR        keep the peers' and the old build's results per picture (by the file's
#                    SHA-1) in DIR and reuse them on the next run; our pngout always runs.
#                    Times then come from the run that made them: say so when comparing.
#   LIST=FILE        write one line per picture and program (tab-separated: set, file, kind,
#                    program, bytes in, bytes out, wall s, CPU s)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for p in optipng zopflipng advpng compare fc-match python3; do
  command -v $p >/dev/null || { echo "missing $p: apt-get install optipng zopfli advancecomp imagemagick fontconfig python3" >&2; exit 1; }
done
"$here/make-sample.sh" "$work/generated" 2>/dev/null
sets=("$work/generated")
[ $# -ge 2 ] && for d in "${@:2}"; do sets+=("$(cd "$d" && pwd)"); done
python3 - "$bin/pngout" "$work" "${sets[@]}" <<'PY'
import hashlib, os, resource, statistics, struct, subprocess, sys, time
pngout, work = sys.argv[1:3]
sets = sys.argv[3:]
dst = os.path.join(work, "out.png")
old = os.environ.get("OLD_PNGOUT")
cache = os.environ.get("CACHE")
listing = open(os.environ["LIST"], "w") if os.environ.get("LIST") else None
# Each program leaves the optimised picture at dst.
tools = {"pngout": lambda s: [[pngout, s, dst, "/y", "/q"]]}
if old:
    tools["old pngout"] = lambda s: [[old, s, dst, "/y", "/q"]]
peers = {
    "zopflipng": lambda s: [["zopflipng", "-y", s, dst]],
    "optipng -o2": lambda s: [["optipng", "-quiet", "-o2", "-out", dst, s]],
    "advpng -z -3": lambda s: [["cp", s, dst], ["advpng", "-q", "-z", "-3", dst]],
}
wanted = os.environ.get("PEERS", "zopflipng optipng advpng").split()
tools.update({t: make for t, make in peers.items() if t.split()[0] in wanted})
if cache:
    os.makedirs(cache, exist_ok=True)


def load():
    return open("/proc/loadavg").read().split()[0]


def kind(path):
    """Colour type and size class from IHDR: what decides where an optimiser's time pays."""
    with open(path, "rb") as f:
        head = f.read(29)
    if len(head) < 29 or head[12:16] != b"IHDR":
        return "other"
    w, h, depth, ctype = struct.unpack(">IIBB", head[16:26])
    name = {0: "grey", 2: "rgb", 3: "palette", 4: "grey+alpha", 6: "rgba"}.get(ctype, "other")
    px = w * h
    size = "<0.1 Mpx" if px < 100_000 else "0.1-1 Mpx" if px < 1_000_000 else ">=1 Mpx"
    return f"{name} {size}"


def run(tool, make, f):
    """Runs tool on f; returns bytes out (f's size when it failed), wall s, CPU s, ok."""
    size = os.path.getsize(f)
    key = None
    if cache and tool != "pngout":
        digest = hashlib.sha1(open(f, "rb").read()).hexdigest()
        key = os.path.join(cache, f"{tool.replace(' ', '_')}-{digest}")
        if os.path.exists(key):
            after, wall, cpu, ok = open(key).read().split()
            return int(after), float(wall), float(cpu), ok == "1"
    if os.path.exists(dst):
        os.remove(dst)
    r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
    t0 = time.perf_counter()
    ok = all(subprocess.run(c, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL).returncode == 0 for c in make(f))
    t1 = time.perf_counter()
    r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = r1.ru_utime + r1.ru_stime - r0.ru_utime - r0.ru_stime
    # A program that fails or writes nothing leaves the picture as it was.
    ok = ok and os.path.exists(dst)
    after = os.path.getsize(dst) if ok else size
    if ok:
        diff = subprocess.run(["compare", "-metric", "AE", f, dst, "null:"],
                              capture_output=True, text=True)
        ok = diff.stderr.strip() == "0"
    if key:
        with open(key, "w") as out:
            out.write(f"{after} {t1 - t0:.3f} {cpu:.3f} {int(ok)}\n")
    return after, t1 - t0, cpu, ok


for folder in sets:
    files = sorted(os.path.join(d, n) for d, _, names in os.walk(folder) for n in names
                   if n.lower().endswith(".png"))
    name = os.path.basename(folder)
    print(f"\nset {name}: {len(files)} pictures, "
          f"{sum(os.path.getsize(f) for f in files) // 1024} KB; load average {load()}",
          flush=True)
    stats = {t: {"orig": 0, "after": 0, "pct": [], "wall": [], "cpu": [], "grew": 0, "bad": 0,
                 "slowest": ("", 0.0)} for t in tools}
    kinds = {}
    for f in files:
        size = os.path.getsize(f)
        k = kind(f)
        for t, make in tools.items():
            after, wall, cpu, ok = run(t, make, f)
            st = stats[t]
            st["wall"].append(wall)
            st["cpu"].append(cpu)
            st["bad"] += not ok
            st["orig"] += size
            st["after"] += after
            st["pct"].append(100 * (size - after) / size)
            st["grew"] += after > size
            if wall > st["slowest"][1]:
                st["slowest"] = (os.path.relpath(f, folder), wall)
            by = kinds.setdefault(k, {}).setdefault(t, [0, 0, 0.0, 0])
            by[0] += size
            by[1] += after
            by[2] += cpu
            by[3] += 1
            if listing:
                listing.write(f"{name}\t{os.path.relpath(f, folder)}\t{k}\t{t}\t{size}\t{after}"
                              f"\t{wall:.3f}\t{cpu:.3f}\n")
    print(f"{'program':13} {'saved':>7} {'mean':>7} {'wall s':>7} {'CPU s':>7} {'max wall':>8}"
          f" {'max CPU':>7} {'>3 s':>5} {'grew':>5}  pixels  slowest picture")
    for t, st in stats.items():
        print(f"{t:13} {100 * (st['orig'] - st['after']) / st['orig']:6.2f}%"
              f" {statistics.mean(st['pct']):6.2f}% {sum(st['wall']):7.1f} {sum(st['cpu']):7.1f}"
              f" {max(st['wall']):8.2f} {max(st['cpu']):7.2f}"
              f" {sum(w > 3 for w in st['wall']):5d} {st['grew']:5d}"
              f"  {'same' if not st['bad'] else str(st['bad']) + ' bad':6}  {st['slowest'][0]}")
    print(f"\nper kind: saved over the kind's pictures / CPU s")
    print(f"{'kind':22} {'n':>4} {'KB':>7}" + "".join(f" {t:>17}" for t in tools))
    for k in sorted(kinds):
        row = kinds[k]
        first = next(iter(row.values()))
        print(f"{k:22} {first[3]:4d} {first[0] // 1024:7d}" +
              "".join(f" {100 * (v[0] - v[1]) / v[0]:7.2f}% {v[2]:7.1f}s"
                      for v in (row[t] for t in tools)))
    print(f"saved: over the set; mean: per picture; wall/CPU: totals over the set, CPU with"
          f" every child process; load average at the end {load()}"
          + ("; peers' and old figures may come from CACHE" if cache else ""), flush=True)
PY
