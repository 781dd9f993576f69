#!/usr/bin/env bash
# run.sh [SITE]: the whole job, larkspan-cli --all against a peer pipeline, on a generated site
# (make-site.py) and, when given, on the real site folder SITE too.
#
# Runs, interleaved (each round runs every contender once, the order turning from round to
# round, so a change in the machine's load hits them alike):
#   larkspan-cli --all --jobs 1, and with its default number of jobs;
#   larkspan-cli --all --level LEVEL for each other level of minification it
#   knows (LEVELS), with its default number of jobs;
#   the peer pipeline, one process per file (peer-one.sh: Debian's minify, jpegoptim -m85,
#   gifsicle, zopflipng), with 1 job and with 2 jobs (xargs -P).
# Prints per contender the median wall time, CPU time (user + system, every child process
# included), bytes saved over the whole site, the largest resident size of any one process
# in the run (/usr/bin/time -v) and, for the CLI, the peak resident size of the CLI process
# itself; then per kind of file (pages, style sheets, scripts, XML, JPEG, GIF, PNG, the rest)
# the bytes saved by each contender in its last round, with the files it did not write
# (duplicates the CLI writes once) on a line of their own.
# Each round also says whether the CLI's trees with --jobs 1 and its default jobs are identical,
# and names the files that differ when they are not.
#
# Environment: BUILD (folder with bin/larkspan-cli, default ./build), ROUNDS (default 1),
# LEVELS (default "spaces safe smallest"; the CLI's default level runs as the default-jobs
# contender, the others as contenders of their own; "" for none),
# CHARSET (of the sites' text files, default UTF-8), SCALE (of the generated site, default 1),
# KEEP=1 keeps the generated site and the outputs (the folder is printed).
# Needs: a built larkspan-cli (cmake --build build --target larkspan-cli pngout
# htmlcompressor_jar), python3, imagemagick, fontconfig, and the peers: apt-get install minify
# jpegoptim gifsicle zopfli time.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${BUILD:-$here/../../build}" && pwd)
[ -x "$build/bin/larkspan-cli" ] || { echo "no $build/bin/larkspan-cli: build it first" >&2; exit 1; }
for p in minify jpegoptim gifsicle zopflipng python3 fc-match; do
  command -v $p >/dev/null || { echo "missing $p: apt-get install minify jpegoptim gifsicle zopfli python3 fontconfig" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time: apt-get install time" >&2; exit 1; }
[ -x /usr/bin/convert ] || { echo "missing ImageMagick: apt-get install imagemagick" >&2; exit 1; }
work=$(mktemp -d)
if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else trap 'rm -rf "$work"' EXIT; fi
echo "generating the site (scale ${SCALE:-1}) ..."
python3 "$here/make-site.py" "$work/generated" "${SCALE:-1}"
sites=("$work/generated")
[ $# -ge 1 ] && sites+=("$(cd "$1" && pwd)")
python3 - "$build/bin/larkspan-cli" "$here/peer-one.sh" "$work" "${ROUNDS:-1}" "${CHARSET:-UTF-8}" \
  "${LEVELS-spaces safe smallest}" "${sites[@]}" <<'PY'
import hashlib, os, re, shutil, statistics, subprocess, sys, time

cli, peer_one, work, rounds, charset, levels = sys.argv[1:7]
rounds = int(rounds)
sites = sys.argv[7:]
cli_help = subprocess.run([cli, "--help"], capture_output=True, text=True).stdout
jobs_accepted = "--jobs" in cli_help
# The level the CLI runs without --level: `NAME (default` or `"NAME" (default` in the
# option's help, which may run over several indented lines.
level_line = re.search(r"--level NAME\s+(.*(?:\n {8,}.*)*)", cli_help)
default_level = re.search(r'"?(\w+)"? \(default', level_line.group(1)) if level_line else None
default_level = default_level.group(1) if default_level else None
levels = levels.split() if level_line else []
# Every round does the whole work: results are not taken from the cache of results.
no_cache = ["--no-cache"] if "--no-cache" in cli_help else []


def tree_bytes(root):
    total, files = 0, 0
    for d, _, names in os.walk(root):
        for n in names:
            total += os.path.getsize(os.path.join(d, n))
            files += 1
    return total, files


def timed(cmd, watch_child=False):
    """Runs cmd under /usr/bin/time -v; returns wall s, CPU s, max RSS KB of the largest
    process, and (watch_child) the peak resident size of the command's own process."""
    report = os.path.join(work, "time.txt")
    t0 = time.perf_counter()
    p = subprocess.Popen(["/usr/bin/time", "-v", "-o", report, *cmd],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    own_peak = 0
    if watch_child:
        # The command is /usr/bin/time's only child; VmHWM only grows, so the last reading
        # before it ends is its peak (to within the polling interval).
        child = None
        while p.poll() is None:
            try:
                if child is None:
                    kids = open(f"/proc/{p.pid}/task/{p.pid}/children").read().split()
                    child = kids[0] if kids else None
                if child is not None:
                    for line in open(f"/proc/{child}/status"):
                        if line.startswith("VmHWM:"):
                            own_peak = max(own_peak, int(line.split()[1]))
            except (OSError, IndexError):
                pass
            time.sleep(0.02)
    err = p.communicate()[1]
    wall = time.perf_counter() - t0
    fields = {}
    for line in open(report):
        k, _, v = line.strip().rpartition(": ")
        fields[k] = v
    if p.returncode != 0:
        print(f"  {' '.join(cmd[:3])}... exited with {p.returncode}: {err.strip()[-300:]}")
    cpu = float(fields["User time (seconds)"]) + float(fields["System time (seconds)"])
    return wall, cpu, int(fields["Maximum resident set size (kbytes)"]), own_peak


KINDS = {".html": "html", ".htm": "html", ".css": "css", ".js": "js", ".xml": "xml",
         ".jpg": "jpeg", ".jpeg": "jpeg", ".gif": "gif", ".png": "png"}


def by_kind(site, out):
    """Per kind of file: files and bytes in the site, and bytes saved on the files written; a
    file missing from the output counts whole under "not written" instead."""
    sizes = {}
    for d, _, names in os.walk(site):
        for n in names:
            src = os.path.join(d, n)
            dst = os.path.join(out, os.path.relpath(src, site))
            before = os.path.getsize(src)
            row = sizes.setdefault(KINDS.get(os.path.splitext(n)[1].lower(), "other"), [0, 0, 0])
            row[0] += 1
            row[1] += before
            if os.path.exists(dst):
                row[2] += before - os.path.getsize(dst)
            else:
                gone = sizes.setdefault("not written", [0, 0, 0])
                gone[0] += 1
                gone[2] += before
    return sizes


def digests(root):
    """Each file of the tree under root, by its path there, with its SHA-1."""
    found = {}
    for d, _, names in os.walk(root):
        for n in names:
            path = os.path.join(d, n)
            with open(path, "rb") as f:
                found[os.path.relpath(path, root)] = hashlib.sha1(f.read()).hexdigest()
    return found


def run_cli(site, out, jobs, level=None):
    args = [cli, "--all", "--quiet", "--charset", charset, *no_cache]
    if jobs is not None:
        args += ["--jobs", str(jobs)]
    if level is not None:
        args += ["--level", level]
    return timed(args + [site, out], watch_child=True)


def run_peers(site, out, jobs):
    rels = []
    for d, _, names in os.walk(site):
        rel_dir = os.path.relpath(d, site)
        os.makedirs(os.path.join(out, rel_dir), exist_ok=True)
        rels += [os.path.normpath(os.path.join(rel_dir, n)) for n in names]
    listing = os.path.join(work, "files.txt")
    with open(listing, "wb") as f:
        f.write(b"\0".join(r.encode() for r in sorted(rels)) + b"\0")
    return timed(["xargs", "-0", "-n", "1", "-P", str(jobs), "-a", listing, peer_one, site, out])


contenders = []
default_name = "larkspan-cli (default jobs)" + (f", {default_level}" if default_level else "")
if jobs_accepted:
    contenders += [("larkspan-cli --jobs 1", lambda s, o: run_cli(s, o, 1)),
                   (default_name, lambda s, o: run_cli(s, o, None))]
else:
    print("note: larkspan-cli does not accept --jobs yet; it runs once, with its one worker")
    contenders += [("larkspan-cli (one worker)", lambda s, o: run_cli(s, o, None))]
# The trees of these two must be identical (the jobs never change the output).
jobs_pair = {name for name, _ in contenders}
for level in levels:
    if level != default_level:
        contenders.append((f"larkspan-cli --level {level}",
                           lambda s, o, level=level: run_cli(s, o, None, level)))
contenders += [("peers, 1 job", lambda s, o: run_peers(s, o, 1)),
               ("peers, 2 jobs (xargs -P 2)", lambda s, o: run_peers(s, o, 2))]

for site in sites:
    size, files = tree_bytes(site)
    print(f"\nsite {site}: {files} files, {size / 1e6:.1f} MB; load average at start: "
          f"{open('/proc/loadavg').read().split()[0]}")
    results = {name: [] for name, _ in contenders}
    kinds = {}
    differing = []  # per round: files of the CLI's trees that differ between its contenders
    for r in range(rounds):
        trees = {}
        order = contenders[r % len(contenders):] + contenders[:r % len(contenders)]
        for name, run in order:
            out = os.path.join(work, "out")
            shutil.rmtree(out, ignore_errors=True)
            wall, cpu, rss, own = run(site, out)
            after, written = tree_bytes(out)
            results[name].append((wall, cpu, size - after, written, rss, own))
            kinds[name] = by_kind(site, out)
            if name in jobs_pair:
                trees[name] = digests(out)
        if len(trees) == 2:
            a, b = trees.values()
            differing.append(sorted(p for p in a.keys() | b.keys() if a.get(p) != b.get(p)))
    print(f"{'contender':32} {'wall s':>7} {'CPU s':>7} {'saved MB':>9} {'saved':>7} "
          f"{'files':>6} {'max RSS':>8} {'CLI own':>8}")
    for name, rs in results.items():
        med = lambda k: statistics.median(x[k] for x in rs)
        own = f"{med(5) / 1024:6.1f}MB" if med(5) else "       -"
        print(f"{name:32} {med(0):7.1f} {med(1):7.1f} {med(2) / 1e6:9.2f} "
              f"{100 * med(2) / size:6.1f}% {int(med(3)):6d} {med(4) / 1024:6.1f}MB {own}")
    base = statistics.median(x[0] for x in results["peers, 1 job"])
    for name, rs in results.items():
        if name.startswith("larkspan"):
            print(f"{name}: {statistics.median(x[0] for x in rs) / base:.2f}x the 1-job peer "
                  "pipeline's wall time")
    for r, paths in enumerate(differing):
        print(f"round {r + 1}: the CLI's trees with --jobs 1 and with its default jobs are "
              + ("identical" if not paths else
                 f"different in {len(paths)} files: {', '.join(paths[:5])}"))
    names = list(results)
    print("\nper kind, last round: files and KB in the site, KB saved (% of the kind) by each")
    short = [n.replace("larkspan-cli", "L").replace("(default jobs)", "(jobs)")
             .replace("2 jobs (xargs -P 2)", "2 jobs") for n in names]
    print(f"{'kind':12} {'files':>5} {'KB':>8}" + "".join(f" {n[:20]:>20}" for n in short))
    order = ["html", "css", "js", "xml", "jpeg", "gif", "png", "other", "not written"]
    for k in sorted({k for v in kinds.values() for k in v}, key=order.index):
        files_in, before = max((v.get(k, [0, 0, 0])[:2] for v in kinds.values()))
        cells = []
        for n in names:
            saved = kinds[n].get(k, [0, 0, 0])[2]
            cells.append(f"{saved / 1024:9.1f} ({100 * saved / before:5.1f}%)" if before
                         else f"{saved / 1024:9.1f}        ")
        print(f"{k:12} {files_in:5d} {before / 1024:8.1f}" + "".join(f" {c:>20}" for c in cells))
    print(f"load average at end: {open('/proc/loadavg').read().split()[0]}; medians of "
          f"{rounds} round(s); files: written to the output (the CLI writes duplicates once)")
PY
