#!/usr/bin/env python3
"""Bytes per kind of text file, before and after slimming, raw and gzip -9.

    sizes.py IN OUT

Prints one line per kind (pages, sheets, scripts, xml) that has files:
    kind files raw_in raw_out gz_in gz_out
counting only files present in both folders.
"""
import os
import subprocess
import sys

KINDS = {".html": "pages", ".htm": "pages", ".css": "sheets", ".js": "scripts",
         ".mjs": "scripts", ".xml": "xml"}


def gz(path):
    with open(path, "rb") as f:
        return len(subprocess.run(["gzip", "-9", "-c", "-n"], stdin=f, check=True,
                                  stdout=subprocess.PIPE).stdout)


def main():
    src, dst = sys.argv[1], sys.argv[2]
    totals = {}
    for base, _, names in os.walk(src):
        for name in names:
            kind = KINDS.get(os.path.splitext(name)[1].lower())
            a = os.path.join(base, name)
            b = os.path.join(dst, os.path.relpath(a, src))
            if not kind or not os.path.isfile(b):
                continue
            t = totals.setdefault(kind, [0, 0, 0, 0, 0])
            t[0] += 1
            t[1] += os.path.getsize(a)
            t[2] += os.path.getsize(b)
            t[3] += gz(a)
            t[4] += gz(b)
    for kind in ("pages", "sheets", "scripts", "xml"):
        if kind in totals:
            print(kind, *totals[kind])


if __name__ == "__main__":
    main()
