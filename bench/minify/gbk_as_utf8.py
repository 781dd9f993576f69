#!/usr/bin/env python3
"""How often GBK text passes as valid UTF-8 (and would be read as UTF-8).

    gbk_as_utf8.py FOLDER...

Takes every .html/.htm/.txt/.md/.css/.js/.xml file below the folders that is
UTF-8 with Chinese in it, turns it into GBK with iconv (characters GBK lacks
dropped), and counts, for whole files and for every line that holds a
non-ASCII byte, how many of the GBK versions are valid UTF-8.
"""
import os
import subprocess
import sys


def valid_utf8(b):
    try:
        b.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


files = passed_files = lines = passed_lines = 0
short = passed_short = 0
passed_examples = []
for root in sys.argv[1:]:
    for dirpath, _, names in os.walk(root):
        for name in names:
            if not name.lower().endswith((".html", ".htm", ".txt", ".md", ".css", ".js", ".xml")):
                continue
            data = open(os.path.join(dirpath, name), "rb").read()
            if not valid_utf8(data) or all(c < 0x80 for c in data):
                continue
            gbk = subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", "GBK"], input=data,
                                 capture_output=True).stdout
            if all(c < 0x80 for c in gbk):
                continue
            files += 1
            passed_files += valid_utf8(gbk)
            for line in gbk.split(b"\n"):
                if any(c >= 0x80 for c in line):
                    lines += 1
                    ok = valid_utf8(line)
                    passed_lines += ok
                    if sum(c >= 0x80 for c in line) <= 4:
                        short += 1
                        passed_short += ok
                    if ok and len(passed_examples) < 5:
                        passed_examples.append(line.strip()[:60])

pct = lambda a, b: 100.0 * a / b if b else 0.0
print("files with Chinese: %d, GBK version valid UTF-8: %d (%.3f%%)" % (
    files, passed_files, pct(passed_files, files)))
print("lines with non-ASCII: %d, valid UTF-8 in GBK: %d (%.3f%%)" % (
    lines, passed_lines, pct(passed_lines, lines)))
print("  of which short (<= 2 Chinese characters): %d, valid UTF-8: %d (%.2f%%)" % (
    short, passed_short, pct(passed_short, short)))
for e in passed_examples:
    print("  passes:", e.decode("gbk", "replace"))
