#!/usr/bin/env python3
"""Writes a site-like corpus for the minifier benchmark and the tree check.

    gencorpus.py OUTDIR [MEGABYTES]

Pages, style sheets, XML feeds and scripts in the proportions of a real
Chinese site (about 40/25/10/25 by bytes), most in UTF-8, some in GBK and
Big5 (their 0x5C trail bytes included), a few UTF-16 with a byte-order mark.
The same seed gives the same files.
"""
import os
import random
import sys

OUT = sys.argv[1]
MB = float(sys.argv[2]) if len(sys.argv) > 2 else 20.0
rng = random.Random(20261209)

WORDS = ("网站 优化 压缩 图片 样式 脚本 页面 文件 目录 发布 许功 乗俓 说明 内容 标题 "
         "新闻 产品 服务 关于 我们 联系 首页 下载 帮助 设置").split()
LATIN = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod".split()


def text(n):
    return "".join(rng.choice(WORDS) if rng.random() < 0.7 else " " + rng.choice(LATIN) + " "
                   for _ in range(n))


def css_rule(i):
    sel = rng.choice([
        ".c{0} .item > a", "#nav{0} li + li", "ul.list{0} li:nth-child( 2n + 1 )",
        ".btn{0}:hover, .btn{0}:focus", "a[href^=\"http\"].x{0}", ".说明{0} > .内容",
        "html > body .w{0}", ".grid{0} .nine.columns", ".card{0}::before"])
    decls = rng.sample([
        "width: 74.0%", "margin: 0 auto", "padding: 10px 1.0em 0 .5em", "color: #333",
        "background: #fff url( \"img/bg{0}.png\" ) no-repeat 0 0",
        "font-family: \"微软雅黑\", \"宋体\", sans-serif", "font: 12px/1.5 Arial",
        "*zoom: 1", "_height: 1px", "color: red\\9",
        "filter: progid:DXImageTransform.Microsoft.Alpha(Opacity=80)",
        "width: calc(100% - 2 * 10px)", "content: \"  \"", "--gap{0}: 1px  2px",
        "transition: opacity 0.30s ease-in-out", "border: 1px solid rgba(0, 0, 0, .1)",
        "box-shadow: 0 1px 2px #000 inset", "z-index: 10 !important"], rng.randint(2, 7))
    body = ";\n  ".join(d.format(i) for d in decls)
    rule = "%s {\n  %s;\n}\n" % (sel.format(i), body)
    if rng.random() < 0.2:
        rule = "/* 区块 %d：%s */\n" % (i, text(3)) + rule
    if rng.random() < 0.08:
        rule = "@media screen and (max-width: %dpx) {\n%s}\n" % (rng.choice([480, 768, 960]), rule)
    if rng.random() < 0.03:
        rule = "@supports (display: grid) or (display: -ms-grid) {\n%s}\n" % rule
    if rng.random() < 0.03:
        rule = "@supports not (gap: 1px) {\n%s}\n" % rule
    return rule


def css_sheet(size):
    parts, n, i = ["/*! theme %d */\n@charset \"UTF-8\";\n" % size], 0, 0
    while n < size:
        r = css_rule(i)
        parts.append(r)
        n += len(r.encode())
        i += 1
    return "".join(parts)


def page(size, title):
    body, n = [], 0
    while n < size:
        b = rng.choice([
            "<p>%s <b>%s</b> %s</p>\n" % (text(8), text(2), text(6)),
            "<ul>\n  <li><a href=\"/a/%d.html\">%s</a></li>\n  <li>%s</li>\n</ul>\n" % (
                rng.randint(1, 999), text(3), text(4)),
            "<!-- 注释 %s -->\n" % text(3),
            "<pre>\n  %s\n    %s\n</pre>\n" % (text(3), text(3)),
            "<div class=\"c%d\">\n    <span>%s</span> <em>%s</em>\n</div>\n" % (
                rng.randint(1, 99), text(3), text(2)),
            "<style>\n.x { color : red ; }\n</style>\n",
            "<script>\n  var a = 1 ;  // 计数\n  document.title = \"%s\";\n</script>\n" % text(2),
            "<!--[if lt IE 9]><script src=\"html5.js\"></script><![endif]-->\n",
        ])
        body.append(b)
        n += len(b.encode())
    return ("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%s</title>\n"
            "<link rel=\"stylesheet\" href=\"/css/site.css\">\n</head>\n<body>\n%s</body>\n</html>\n"
            % (title, "".join(body)))


def feed(size):
    items, n = [], 0
    while n < size:
        it = ("  <item>\n    <title>%s</title>\n    <link>http://example.cn/%d.html</link>\n"
              "    <description><![CDATA[<p>%s</p>]]></description>\n"
              "    <pubDate>Mon, 01 Jan 2024 00:00:00 +0800</pubDate>\n  </item>\n"
              % (text(3), rng.randint(1, 9999), text(10)))
        items.append(it)
        n += len(it.encode())
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
            "  <title>%s</title>\n%s</channel>\n</rss>\n" % (text(2), "".join(items)))


def script(size):
    parts, n = ["/*! lib */\n(function (window) {\n  \"use strict\";\n"], 0
    while n < size:
        f = ("  // 函数 %d\n  function f%d(a, b) {\n    var s = \"%s\";\n"
             "    if (a > b) { return a + b ; }\n    return s.length * 2;\n  }\n"
             % (n, n, text(2)))
        parts.append(f)
        n += len(f.encode())
    parts.append("})(this);\n")
    return "".join(parts)


TRADITIONAL = {
    "说明": "說明", "内容": "內容", "网站": "網站", "优化": "優化", "压缩": "壓縮", "图片": "圖片",
    "样式": "樣式", "脚本": "腳本", "页面": "頁面", "目录": "目錄", "发布": "發佈", "乗俓": "許功", "许功": "許功",
    "标题": "標題", "新闻": "新聞", "产品": "產品", "服务": "服務", "关于": "關於", "我们": "我們",
    "联系": "聯繫", "首页": "首頁", "下载": "下載", "帮助": "幫助", "设置": "設置", "区块": "區塊",
    "微软雅黑": "微軟正黑體", "宋体": "細明體", "注释": "註釋", "计数": "計數", "函数": "函數",
}


def write(rel, s, enc):
    p = os.path.join(OUT, rel)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    if enc == "utf-16":
        data = b"\xff\xfe" + s.encode("utf-16-le")
    elif enc in ("gbk", "big5"):
        s = s.replace("charset=\"utf-8\"", "charset=\"%s\"" % enc)
        if enc == "big5":
            for simplified, traditional in TRADITIONAL.items():
                s = s.replace(simplified, traditional)
        data = s.encode(enc)
    else:
        data = s.encode()
    with open(p, "wb") as f:
        f.write(data)
    return len(data)


def encoding():
    r = rng.random()
    return "gbk" if r < 0.25 else "big5" if r < 0.30 else "utf-16" if r < 0.32 else "utf-8"


total, limit, k = 0, MB * 1e6, 0
while total < limit:
    k += 1
    kind = rng.random()
    if kind < 0.40:
        total += write("p%d/index%d.html" % (k % 50, k), page(rng.randint(2000, 40000), text(2)),
                       encoding())
    elif kind < 0.65:
        total += write("css/s%d.css" % k, css_sheet(rng.randint(1000, 60000)), encoding())
    elif kind < 0.75:
        total += write("feed/f%d.xml" % k, feed(rng.randint(1000, 50000)), "utf-8")
    else:
        total += write("js/j%d.js" % k, script(rng.randint(1000, 60000)), encoding())
print("gencorpus: %d files, %.1f MB in %s" % (k, total / 1e6, OUT), file=sys.stderr)
