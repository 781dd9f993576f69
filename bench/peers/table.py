#!/usr/bin/env python3
"""The size table of bench/peers/run.sh.

    table.py WORK CONTENDER... -- SITE...

Reads WORK/out/SITE_NAME/CONTENDER (a tree of the site's files as that
contender wrote them) and prints, per site and kind of file (pages, style
sheets, scripts), the bytes out as a share of the bytes in, raw and gzip -9,
for every contender that wrote files of that kind; then the same for every
site but the generated corpus (corpus-*) together. A peer's files that it
refused were written as they were: WORK/SITE_NAME-PEER.txt counts them.
"""
import os
import subprocess
import sys

KINDS = {".html": "pages", ".htm": "pages", ".css": "sheets", ".js": "scripts", ".mjs": "scripts"}
ORDER = ("pages", "sheets", "scripts")


def gz(path):
    with open(path, "rb") as f:
        return len(subprocess.run(["gzip", "-9", "-c", "-n"], stdin=f, check=True,
                                  stdout=subprocess.PIPE).stdout)


def originals(site):
    """kind -> {relative path: (bytes, gzip bytes)} of the site's text files."""
    found = {}
    for base, _, names in os.walk(site):
        for name in names:
            kind = KINDS.get(os.path.splitext(name)[1].lower())
            path = os.path.join(base, name)
            if kind and os.path.isfile(path) and not os.path.islink(path):
                found.setdefault(kind, {})[os.path.relpath(path, site)] = (
                    os.path.getsize(path), gz(path))
    return found


def measure(files, out):
    """(raw in, raw out, gz in, gz out) over FILES as written under OUT, or
    None when OUT has none of them; a missing file counts at its own size."""
    totals, seen = [0, 0, 0, 0], False
    for rel, (size, gsize) in files.items():
        path = os.path.join(out, rel)
        if os.path.isfile(path):
            seen = True
            totals[1] += os.path.getsize(path)
            totals[3] += gz(path)
        else:
            totals[1] += size
            totals[3] += gsize
        totals[0] += size
        totals[2] += gsize
    return totals if seen else None


def cell(t):
    if not t or not t[0]:
        return "-"
    return f"{100 * t[1] / t[0]:.1f}/{100 * t[3] / t[2]:.1f}"


def main():
    split = sys.argv.index("--")
    work, contenders, sites = sys.argv[1], sys.argv[2:split], sys.argv[split + 1:]
    rows, together = [], {}
    for site in sites:
        name = os.path.basename(site)
        for kind, files in sorted(originals(site).items(), key=lambda kv: ORDER.index(kv[0])):
            cells = []
            for c in contenders:
                t = measure(files, os.path.join(work, "out", name, c))
                cells.append(t)
                if t and not name.startswith("corpus-"):
                    acc = together.setdefault((kind, c), [0, 0, 0, 0, 0])
                    for i in range(4):
                        acc[i] += t[i]
            rows.append((name, kind, len(files), sum(s for s, _ in files.values()), cells))
            if not name.startswith("corpus-"):
                acc = together.setdefault((kind, None), [0, 0])
                acc[0] += len(files)
                acc[1] += sum(s for s, _ in files.values())
    for kind in ORDER:
        if (kind, None) in together:
            n, size = together[(kind, None)]
            rows.append(("real sites", kind, n, size,
                         [together.get((kind, c)) for c in contenders]))

    width = max(11, *(len(c) for c in contenders))
    print("bytes out / bytes in, %, raw/gzip -9 (\"-\": the contender does not handle the kind)")
    print(f"{'site':16} {'kind':7} {'files':>6} {'MB in':>7}" + "".join(f" {c:>{width}}" for c in contenders))
    for name, kind, n, size, cells in rows:
        print(f"{name[:16]:16} {kind:7} {n:6d} {size / 1e6:7.2f}"
              + "".join(f" {cell(t):>{width}}" for t in cells))

    notes = []
    for site in sites:
        name = os.path.basename(site)
        for c in contenders:
            try:
                with open(os.path.join(work, f"{name}-{c}.txt")) as f:
                    for line in f:
                        _, kind, files, failed, _ = line.split()
                        if failed != "0":
                            notes.append(f"{name}: {c} refused {failed} of {files} {kind} (counted as written unchanged)")
            except OSError:
                pass
    for n in notes:
        print(n)


if __name__ == "__main__":
    main()
