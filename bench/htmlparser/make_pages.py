#!/usr/bin/env python3
"""Writes realistic web pages for the parser benchmark.

  make_pages.py OUT_DIR [BIG_MB] [SMALL_COUNT]

OUT_DIR/big.html      about BIG_MB megabytes: many pages concatenated
OUT_DIR/big10.html    the first tenth of those pages (for the linearity check)
OUT_DIR/small/*.html  SMALL_COUNT separate pages of 2 to 40 KB
OUT_DIR/dense.html, dense10.html  a tag every few bytes among double-byte
                      characters and lead bytes before "/" and ">", 1/10 of
                      BIG_MB and BIG_MB (worst case for the linearity check)

Pages mix what real sites carry: doctype, head with meta tags, inline style
and script (with "<" comparisons), comments, navigation lists of links,
tables of links, images and text, forms, iframes, English and GBK text.
Deterministic (fixed seed).
"""
import os
import random
import sys

R = random.Random(20261209)
WORDS = ("the site page photo gallery news about contact price order product "
         "service travel hotel garden river mountain index update archive "
         "download member login search help report season spring autumn").split()
# GBK bytes of common Chinese characters (lead 0xB0-0xF7, trail 0xA1-0xFE).
def gbk(n):
    return bytes(b for _ in range(n) for b in (R.randint(0xB0, 0xF7), R.randint(0xA1, 0xFE)))

def words(n):
    return " ".join(R.choice(WORDS) for _ in range(n)).encode()

def text(n):
    return gbk(n) if R.random() < 0.4 else words(n)

def href():
    return ("%s/%s_%d.html" % (R.choice(WORDS), R.choice(WORDS), R.randint(1, 999))).encode()

def img():
    return ('<img src="images/%s_%d.%s" alt="' % (R.choice(WORDS), R.randint(1, 500),
            R.choice(["jpg", "gif", "png"]))).encode() + text(2) + \
           ('" width="%d" height="%d" border="0">' % (R.randint(16, 800), R.randint(16, 600))).encode()

def link(inner):
    return b'<a href="' + href() + b'" title="' + words(2) + b'" class="nav">' + inner + b"</a>"

def script():
    body = []
    for _ in range(R.randint(3, 12)):
        body.append(b"  for (var i = 0; i < n; i++) { if (a[i] < b && c > d) x += a[i]; }\n"
                    if R.random() < 0.5 else
                    b"  document.getElementById('m" + str(R.randint(1, 99)).encode() +
                    b"').style.display = 'none'; // " + words(4) + b"\n")
    return b'<script type="text/javascript">\n' + b"".join(body) + b"</script>\n"

def style():
    rules = b"".join(b"." + R.choice(WORDS).encode() + b" { margin: 0 auto; color: #3a3a3a; "
                     b"font: 12px/1.5 Arial, sans-serif; }\n" for _ in range(R.randint(4, 20)))
    return b'<style type="text/css">\n' + rules + b"</style>\n"

def table():
    rows = []
    for _ in range(R.randint(2, 12)):
        cells = []
        for _ in range(R.randint(2, 6)):
            c = R.random()
            inner = link(img()) if c < 0.3 else link(text(R.randint(2, 8))) if c < 0.6 else text(R.randint(3, 30))
            cells.append(b'<td class="c" valign="top">' + inner + b"</td>")
        rows.append(b"<tr>" + b"".join(cells) + b"</tr>\n")
    return b'<table width="100%" border="0" cellspacing="0" cellpadding="4">\n' + b"".join(rows) + b"</table>\n"

def nav():
    return b'<ul id="nav">\n' + b"".join(b"  <li>" + link(text(R.randint(1, 3))) + b"</li>\n"
                                         for _ in range(R.randint(5, 15))) + b"</ul>\n"

def paragraph():
    parts = [text(R.randint(10, 60))]
    for _ in range(R.randint(0, 4)):
        parts.append(R.choice([link(text(3)), b"<b>" + text(4) + b"</b>", b"<br>", b"<br />",
                               b"<span style=\"color:red\">" + text(5) + b"</span>", img()]))
        parts.append(text(R.randint(5, 40)))
    return b"<p>" + b" ".join(parts) + b"</p>\n"

def form():
    return (b'<form action="/search.php" method="get"><input type="text" name="q" value="">'
            b'<select name="s"><option value="1">' + text(2) + b"</option><option>" + text(2) +
            b'</option></select><textarea name="t" rows="3"></textarea>'
            b'<input type="submit" value="' + text(1) + b'"></form>\n')

def page():
    head = (b'<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN">\n<html>\n<head>\n'
            b'<meta http-equiv="Content-Type" content="text/html; charset=gb2312">\n'
            b"<title>" + text(4) + b"</title>\n"
            b'<meta name="keywords" content="' + words(5) + b'">\n'
            b'<meta name="description" content="' + text(10) + b'">\n'
            b'<link rel="stylesheet" href="css/site.css" type="text/css">\n' + style() + script() +
            b"</head>\n")
    body = [b'<body bgcolor="#ffffff">\n<!-- header -->\n<div id="top">' + link(img()) + b"</div>\n", nav()]
    for _ in range(R.randint(4, 16)):
        c = R.random()
        if c < 0.35:
            body.append(paragraph())
        elif c < 0.65:
            body.append(table())
        elif c < 0.75:
            body.append(script())
        elif c < 0.82:
            body.append(form())
        elif c < 0.88:
            body.append(b"<!-- " + words(8) + b" -->\n")
        elif c < 0.92:
            body.append(b'<iframe src="' + href() + b'" width="300" height="200"></iframe>\n')
        else:
            body.append(b'<div class="box">' + paragraph() + b"</div>\n")
    body.append(b'<!-- footer --><div id="foot">' + text(12) + b"</div>\n</body>\n</html>\n")
    return head + b"".join(body)

def main():
    out = sys.argv[1]
    big_mb = float(sys.argv[2]) if len(sys.argv) > 2 else 50
    small = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
    os.makedirs(os.path.join(out, "small"), exist_ok=True)
    pages, size = [], 0
    while size < big_mb * 1e6:
        p = page()
        pages.append(p)
        size += len(p)
    with open(os.path.join(out, "big.html"), "wb") as f:
        f.write(b"".join(pages))
    tenth, s = [], 0
    for p in pages:
        if s >= size / 10:
            break
        tenth.append(p)
        s += len(p)
    with open(os.path.join(out, "big10.html"), "wb") as f:
        f.write(b"".join(tenth))
    unit = (b'<p class=x>\xb0\xa1<a href="a.html">\xc4\xe3/\x81/><br/>\x81></a>'
            b'<img src=b.gif>\xd6\xd0<!-- \xb0 --></p>\r\n')
    for name, mb in (("dense10.html", big_mb / 10), ("dense.html", big_mb)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(unit * int(mb * 1e6 / len(unit)))
    for i in range(small):
        with open(os.path.join(out, "small", "page%05d.html" % i), "wb") as f:
            f.write(pages[i % len(pages)])

if __name__ == "__main__":
    main()
