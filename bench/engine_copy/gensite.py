#!/usr/bin/env python3
"""Generates a benchmark site: N files of about SIZE_MB in all, a fifth of
them pictures, a tenth of the pictures duplicates of other pictures (spread
over other folders). Deterministic for a given seed."""
import os
import random
import sys


def main():
    out = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    size_mb = int(sys.argv[3]) if len(sys.argv) > 3 else 500
    few_sizes = len(sys.argv) > 4 and sys.argv[4] == "few"
    rnd = random.Random(1234)
    avg = size_mb * 1024 * 1024 // files
    pictures = files // 5
    dups = pictures // 10
    exts = [".css", ".js", ".txt", ".json", ".woff", ".pdf"]
    pic_exts = [".jpg", ".gif", ".png", ".jpeg", ".bmp"]
    folders = [f"sec{a}/part{b}" for a in range(20) for b in range(10)]
    for f in folders:
        os.makedirs(os.path.join(out, f), exist_ok=True)
    originals = []
    n = 0
    for i in range(pictures - dups):
        n_bytes = max(64, int(rnd.expovariate(1 / avg)))
        if few_sizes:
            n_bytes = [avg // 2, avg, avg * 2][i % 3]
        data = rnd.randbytes(n_bytes)
        path = os.path.join(out, folders[i % len(folders)], f"p{i}{pic_exts[i % 5]}")
        with open(path, "wb") as fh:
            fh.write(data)
        originals.append(data)
        n += 1
    for i in range(dups):
        data = originals[rnd.randrange(len(originals))]
        path = os.path.join(out, folders[(i * 7 + 3) % len(folders)], f"d{i}{pic_exts[i % 5]}")
        with open(path, "wb") as fh:
            fh.write(data)
        n += 1
    i = 0
    while n < files:
        data = rnd.randbytes(max(16, int(rnd.expovariate(1 / avg))))
        path = os.path.join(out, folders[i % len(folders)], f"f{i}{exts[i % len(exts)]}")
        with open(path, "wb") as fh:
            fh.write(data)
        n += 1
        i += 1


if __name__ == "__main__":
    main()
