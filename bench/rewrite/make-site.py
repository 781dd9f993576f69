#!/usr/bin/env python3
"""make-site.py DIR [--dupes] [--dup-from K] [--pages N]: writes a generated
site for the rewriting benchmark.

50 sections, each with its pages (5,000 in all by default, about 40 KB each)
and 40 pictures (2,000 in all). Every page refers to 20 pictures of its own
section: 18 through img tags and a link, 2 through img tags to pictures 36..39.
With --dupes, pictures 36..39 of every section are copies of pictures of the
section before it, so a tenth of the references point at duplicates and the
run rewrites every page (--dup-from 20 makes pictures 20..39 the duplicates:
half of all pictures); without it every picture is distinct and the pages
are copied. Picture sizes repeat, so both runs read every picture for its
digest. A style sheet and a script refer to pictures as well."""
import os
import random
import sys

SECTIONS = 50
PICS = 40


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    root = args[0]
    dupes = "--dupes" in args
    pages = int(args[args.index("--pages") + 1]) if "--pages" in args else 5000
    dup_from = int(args[args.index("--dup-from") + 1]) if "--dup-from" in args else 36
    per_section = max(1, pages // SECTIONS)
    rnd = random.Random(5)
    words = ("mint basil thyme garden water light soil seed leaf root stem flower "
             "summer winter grow harvest green tall small plant").split()

    def picture(section, n):
        if dupes and n >= dup_from:
            section, n = (section - 1) % SECTIONS, n - dup_from
        r = random.Random(section * 1000 + n)
        size = 6000 + 500 * (n % 8)
        return b"\xff\xd8\xff\xe0" + r.randbytes(size)

    for s in range(SECTIONS):
        img = os.path.join(root, "sec%02d" % s, "img")
        os.makedirs(img, exist_ok=True)
        for n in range(PICS):
            with open(os.path.join(img, "pic%02d.jpg" % n), "wb") as f:
                f.write(picture(s, n))

    def paragraph():
        return " ".join(rnd.choice(words) for _ in range(rnd.randint(30, 72)))

    for s in range(SECTIONS):
        folder = os.path.join(root, "sec%02d" % s)
        for p in range(per_section):
            refs = rnd.sample(range(20), 18) + rnd.sample(range(36, PICS), 2)
            rnd.shuffle(refs)
            out = ['<!DOCTYPE html>\n<html>\n<head>\n<meta charset="gb2312">\n'
                   '<title>Section %d page %d</title>\n'
                   '<link rel="stylesheet" href="../site.css">\n'
                   '<script src="../site.js"></script>\n</head>\n<body>\n' % (s, p)]
            out.append('<div class="nav">\n')
            for q in range(20):
                out.append('  <a href="page%03d.html" class="n">Page %d</a>\n' % ((p + q) % per_section, q))
            out.append('</div>\n')
            for i, n in enumerate(refs):
                out.append('<div class="item"><h3>Plant %d</h3>\n' % i)
                if i % 6 == 5:
                    out.append('<a href="img/pic%02d.jpg" title="full size"><img src="img/pic%02d.jpg" '
                               'alt="plant %d" width="120" height="90"></a>\n' % (n, n, i))
                else:
                    out.append('<img src="img/pic%02d.jpg" alt="plant %d" width="120" height="90">\n' % (n, i))
                for _ in range(3):
                    out.append('<p>%s <b>%s</b> %s.</p>\n' % (paragraph(), rnd.choice(words), paragraph()))
                out.append('</div>\n')
            out.append('<!-- footer -->\n<p class="foot">Mint Garden &copy; 2026</p>\n</body>\n</html>\n')
            with open(os.path.join(folder, "page%03d.html" % p), "w") as f:
                f.write("".join(out))

    with open(os.path.join(root, "site.css"), "w") as f:
        for s in range(0, SECTIONS, 5):
            f.write(".s%d { background: url(sec%02d/img/pic%02d.jpg) }\n" % (s, s, s % PICS))
    with open(os.path.join(root, "site.js"), "w") as f:
        f.write("var banners = [%s];\n" % ", ".join(
            "'sec%02d/img/pic%02d.jpg'" % (s, 1) for s in range(SECTIONS)))


if __name__ == "__main__":
    main()
