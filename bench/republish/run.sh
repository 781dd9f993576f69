#!/usr/bin/env bash
# run.sh [SITE...]: publishing a site again, on a generated site (../whole-run/make-site.py)
# and on real sites: each SITE given, or by default one made of the real sites under
# /work/ext/sites (jetictors and song, copied into one folder; never committed).
#
# For each site, with a cache of results of its own (XDG_CACHE_HOME in the work folder):
#   copy      cp -r of the site into a fresh folder (what a copy-only publish costs);
#   first     larkspan-cli --all into a fresh output, the cache empty;
#   touched   one page's time changed (same bytes), --all again into the same output;
#   edited    one page changed, --all again into the same output;
#   reverted  the page as it was, --all again;
#   nothing   nothing changed, --all again.
# Prints each wall time, its share of the first run and of the copy, the results that came
# from the cache, and how many output files were written again (a new inode or time): in
# the runs after "first" only the edited page should be. Then checks that the trees of
# "touched", "reverted" and "nothing" equal the first run's, byte for byte, and (CHECK=1)
# that a run with --no-cache into a fresh folder writes that same tree.
# Targets: touched <= 5% of first; nothing <= 1.2x copy.
#
# Environment: BUILD (folder with bin/larkspan-cli, default ./build), CHARSET (default
# UTF-8), SCALE (of the generated site, default 1), CHECK=1, KEEP=1 keeps the work folder.
# Needs: a built larkspan-cli and pngout (cmake --build build --target larkspan-cli pngout),
# python3, imagemagick, fontconfig, jpegoptim, gifsicle.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${BUILD:-$here/../../build}" && pwd)
[ -x "$build/bin/larkspan-cli" ] || { echo "no $build/bin/larkspan-cli: build it first" >&2; exit 1; }
for p in python3 fc-match jpegoptim gifsicle; do
  command -v $p >/dev/null || { echo "missing $p" >&2; exit 1; }
done
work=$(mktemp -d)
if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else trap 'rm -rf "$work"' EXIT; fi
echo "generating the site (scale ${SCALE:-1}) ..."
python3 "$here/../whole-run/make-site.py" "$work/generated" "${SCALE:-1}"
sites=("$work/generated")
if [ $# -ge 1 ]; then
  for s in "$@"; do sites+=("$(cd "$s" && pwd)"); done
else
  real=()
  for s in /work/ext/sites/jetictors /work/ext/sites/song; do [ -d "$s" ] && real+=("$s"); done
  if [ ${#real[@]} -gt 0 ]; then
    mkdir -p "$work/real"
    for s in "${real[@]}"; do cp -r "$s" "$work/real/"; done
    sites+=("$work/real")
  fi
fi
python3 - "$build/bin/larkspan-cli" "$work" "${CHARSET:-UTF-8}" "${CHECK:-0}" "${sites[@]}" <<'PY'
import hashlib, json, os, resource, shutil, subprocess, sys, time

cli, work, charset, check = sys.argv[1:5]
sites = sys.argv[5:]


def tree(root):
    """Relative path -> (sha256, inode, mtime_ns) of every regular file."""
    out = {}
    for d, _, names in os.walk(root):
        for n in names:
            p = os.path.join(d, n)
            st = os.lstat(p)
            with open(p, "rb") as f:
                out[os.path.relpath(p, root)] = (hashlib.sha256(f.read()).hexdigest(),
                                                 st.st_ino, st.st_mtime_ns)
    return out


def same_bytes(a, b):
    return {k: v[0] for k, v in a.items()} == {k: v[0] for k, v in b.items()}


def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run(args, env):
    t0, c0 = time.perf_counter(), cpu()
    p = subprocess.run([cli, "--all", "--json", "--charset", charset, *args], env=env,
                       capture_output=True, text=True)
    wall = time.perf_counter() - t0
    if p.returncode != 0:
        sys.exit(f"larkspan-cli failed ({p.returncode}): {p.stderr[-2000:]}")
    j = json.loads(p.stdout)
    j["cpu"] = cpu() - c0
    return wall, j


def bench(site):
    name = os.path.basename(site)
    base = os.path.join(work, "run-" + name)
    os.makedirs(base)
    src = os.path.join(base, "site")
    shutil.copytree(site, src, symlinks=True)  # the runs edit a page of their own copy
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(base, "cache"))
    pages = sorted(os.path.join(d, n) for d, _, ns in os.walk(src) for n in ns
                   if n.endswith((".html", ".htm")))
    page = pages[len(pages) // 2]
    files = sum(len(ns) for _, _, ns in os.walk(src))
    size = sum(os.path.getsize(os.path.join(d, n)) for d, _, ns in os.walk(src) for n in ns)
    print(f"\n== {name}: {files} files, {size / 1e6:.1f} MB; the page: {os.path.relpath(page, src)}")

    t0, c0 = time.perf_counter(), cpu()
    subprocess.run(["cp", "-r", src, os.path.join(base, "copy")], check=True)
    copy, copy_cpu = time.perf_counter() - t0, cpu() - c0

    out = os.path.join(base, "out")
    rows = []
    first, j = run([src, out], env)
    first_tree = tree(out)
    rows.append(("first", first, j, None))
    original = open(page, "rb").read()

    def again(label, prepare):
        prepare()
        before = tree(out)
        wall, j = run([src, out], env)
        after = tree(out)
        rewritten = sorted(k for k in after if k not in before or after[k][1:] != before[k][1:])
        rows.append((label, wall, j, rewritten))
        return after

    t = again("touched", lambda: os.utime(page, (time.time() + 100, time.time() + 100)))
    ok_touched = same_bytes(t, first_tree)
    def edit():
        with open(page, "ab") as f:
            f.write(b"\n<p>edited</p>\n")
    again("edited", edit)
    def revert():
        with open(page, "wb") as f:
            f.write(original)
    r = again("reverted", revert)
    ok_reverted = same_bytes(r, first_tree)
    n = again("nothing", lambda: None)
    ok_nothing = same_bytes(n, first_tree)

    print(f"{'run':<10}{'wall s':>9}{'/first':>9}{'/copy':>8}{'CPU s':>8}{'cached':>8}  written again")
    print(f"{'copy':<10}{copy:>9.2f}{copy / first:>9.1%}{1:>7.2f}x{copy_cpu:>8.2f}")
    for label, wall, j, rewritten in rows:
        again_text = "all" if rewritten is None else (
            str(len(rewritten)) + (" (" + ", ".join(rewritten[:3]) + ")" if rewritten else ""))
        print(f"{label:<10}{wall:>9.2f}{wall / first:>9.1%}{wall / copy:>7.2f}x{j['cpu']:>8.2f}"
              f"{j.get('cache_hits', 0):>8}  {again_text}")
    print(f"trees equal to the first run's: touched {ok_touched}, reverted {ok_reverted}, "
          f"nothing {ok_nothing}")
    if check == "1":
        wall, _ = run(["--no-cache", src, os.path.join(base, "plain")], env)
        print(f"--no-cache into a fresh folder ({wall:.2f} s) writes the same tree: "
              f"{same_bytes(tree(os.path.join(base, 'plain')), first_tree)}")
    if not (ok_touched and ok_reverted and ok_nothing):
        sys.exit("a tree differs from the first run's")


print(f"load average at the start: {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")
for s in sites:
    bench(s)
print(f"load average at the end: {os.getloadavg()[0]:.1f}")
PY
