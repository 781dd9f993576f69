#!/usr/bin/env python3
"""make-site.py DIR [SCALE]: writes a generated web site for the whole-run benchmark.

What a small company site holds, deterministic for a given SCALE (default 1):
  - pages in five sections (about 100 at scale 1, UTF-8, indented, with comments,
    inline style and script, Chinese and English text), each showing pictures;
    some pictures are byte copies of others under other names and folders, so the
    pages that show them are rewritten;
  - style sheets, ES5 scripts (plugin style) and ES2015+ modules (classes, arrows,
    template literals, destructuring, async functions);
  - JPEG photos, PNG screenshots (flat colours and text) and icons with alpha,
    palette PNGs, GIFs (still and animated);
  - a sitemap and a feed (XML), robots.txt and a favicon.
Pictures are drawn by ImageMagick (convert); needs python3 and imagemagick."""
import os
import random
import shutil
import subprocess
import sys

CONVERT = os.environ.get("CONVERT", "/usr/bin/convert")
# ImageMagick's default font may be missing; text is drawn with whatever fontconfig offers.
FONT = subprocess.run(["fc-match", "-f", "%{file}", "sans"], capture_output=True,
                      text=True).stdout or "DejaVu-Sans"
SECTIONS = ["news", "products", "gallery", "docs", "about"]
WORDS = ("garden water light soil seed leaf root stem flower summer winter grow harvest green "
         "tall small plant orchid basil thyme mint meadow river stone valley morning").split()
HANZI = "兰花是单子叶植物多为附生花形奇特香气清雅四季常青适合室内种植光照充足水分适中"


def convert(*args):
    subprocess.run([CONVERT, "-font", FONT, *map(str, args)], check=True,
                   stdout=subprocess.DEVNULL)


def sentence(rnd, n):
    return " ".join(rnd.choice(WORDS) for _ in range(n)).capitalize() + "."


def hanzi(rnd, n):
    return "".join(rnd.choice(HANZI) for _ in range(n)) + "。"


# --- pictures --------------------------------------------------------------------------------

def make_photo(path, rnd, w, h):
    # Smooth fractal colour with a little grain: compresses like a photograph, not like noise.
    convert("-size", f"{w}x{h}", "-seed", rnd.randrange(1 << 30), "plasma:fractal",
            "-blur", "0x2", "-attenuate", "0.3", "+noise", "Gaussian",
            "-quality", rnd.choice([88, 92, 95]), path)


def make_screenshot(path, rnd, w, h):
    bar = rnd.choice(["#2b5797", "#1e7145", "#603cba", "#b91d47"])
    draw = ["-size", f"{w}x{h}", "xc:#f3f3f3", "-fill", bar, "-draw", f"rectangle 0,0 {w},36",
            "-fill", "white", "-pointsize", "16", "-annotate", "+12+24", "File  Edit  View  Help",
            "-fill", "#dddddd", "-draw", f"rectangle 16,60 {w // 4},{h - 16}"]
    y = 90
    while y < h - 30:
        draw += ["-fill", "#222222", "-pointsize", "13", "-annotate", f"+{w // 4 + 24}+{y}",
                 sentence(rnd, 9)]
        if rnd.random() < 0.2:
            draw += ["-fill", rnd.choice(["#e8f0fe", "#fde8e8", "#e8fde8"]), "-draw",
                     f"rectangle {w // 4 + 20},{y + 8} {w - 20},{y + 40}"]
            y += 40
        y += 22
    convert(*draw, path)


def make_icon(path, rnd, size):
    colour = "#%02x%02x%02x" % (rnd.randrange(256), rnd.randrange(256), rnd.randrange(256))
    r = size // 2
    convert("-size", f"{size}x{size}", "xc:none", "-fill", colour, "-draw",
            f"circle {r},{r} {r},{max(1, size // 10)}", "-fill", "white", "-draw",
            f"rectangle {r - size // 10},{size // 4} {r + size // 10},{size * 3 // 4}",
            "-channel", "A", "-blur", "0x1", "+channel", path)


def make_palette_png(path, rnd, w, h):
    convert("-size", f"{w}x{h}", "-seed", rnd.randrange(1 << 30), "plasma:fractal",
            "-colors", rnd.choice([16, 64, 200]), "-type", "Palette", path)


def make_gif(path, rnd, animated):
    if animated:
        frames = []
        colour = "#%06x" % rnd.randrange(1 << 24)
        for k in range(6):
            frames += ["-size", "120x40", "xc:white", "-fill", colour, "-draw",
                       f"circle {10 + k * 20},20 {10 + k * 20},8"]
        convert("-delay", "10", *frames, "-loop", "0", path)
    else:
        convert("-size", "300x120", "gradient:#ffcc00-#cc3300", "-fill", "black",
                "-pointsize", "22", "-annotate", "+20+70", sentence(rnd, 3), path)


# --- text files ------------------------------------------------------------------------------

def page(rnd, section, n, pictures, depth, styles, scripts):
    up = "../" * depth
    lines = ["<!DOCTYPE html>", '<html lang="zh-CN">', "  <head>", '    <meta charset="utf-8">',
             f"    <title>  {section} {n} - {hanzi(rnd, 6)}  </title>"]
    for s in styles:
        lines.append(f'    <link rel="stylesheet"   href="{up}css/{s}"   type="text/css">')
    lines += [f"    <!-- {section} page {n}: generated for the benchmark -->",
              '    <style type="text/css">',
              f"      .card-{n}   {{  margin : 0px 0px 10px 0px ;  color : #333333 ; }}",
              "    </style>", "  </head>", f'  <body   class="{section}"  >',
              '    <div id="header">', f"      <h1>   {hanzi(rnd, 8)}   </h1>",
              '      <ul class="menu">']
    for s in SECTIONS:
        lines.append(f'        <li><a href="{up}{s}/index.html">  {s.title()}  </a></li>')
    lines += ["      </ul>", "    </div>"]
    for k, pic in enumerate(pictures):
        lines += [f'    <div class="card-{n}">',
                  f"      <h2>   {sentence(rnd, 4)}   </h2>",
                  f'      <img   src="{up}{pic}"   alt="{sentence(rnd, 3)}"  >',
                  "      <p>", f"        {hanzi(rnd, 30)}", f"        {sentence(rnd, 25)}",
                  f"        {sentence(rnd, 18)}", "      </p>"]
        if k % 3 == 0:
            lines += ['      <table   border="0"   cellpadding="2">',
                      f"        <tr>  <td>   Height  </td>   <td>  {k}0 cm  </td>  </tr>",
                      "        <tr>  <td>   Light   </td>   <td>  partial shade  </td>  </tr>",
                      "      </table>"]
        lines.append("    </div>")
    lines += ['    <script type="text/javascript">', "      // mark the current menu entry",
              "      var items = document.querySelectorAll( '.menu a' );",
              "      for ( var i = 0 ; i < items.length ; i++ ) {",
              "        if ( items[ i ].href === location.href ) { items[ i ].className = 'on'; }",
              "      }", "    </script>"]
    for s in scripts:
        lines.append(f'    <script src="{up}js/{s}"></script>')
    lines += ['    <div id="footer">   &copy; 2024   Larkspan   </div>', "  </body>", "</html>"]
    return "\n".join(lines) + "\n"


def style_sheet(rnd, n, blocks):
    out = [f"/* Style sheet {n}: layout and colours */"]
    for r in range(blocks):
        out.append(f"""
/* block {r} */
.block-{n}-{r}  {{
    margin : 0px  auto ;
    padding : {rnd.randrange(20)}px 20px 10px 20px ;
    color : #{rnd.randrange(1 << 24):06x} ;
    background : url( "../img/icons/icon-{r % 20}.png" )  no-repeat ;
    font-family : "Microsoft YaHei" , "PingFang SC" , sans-serif ;
}}
.block-{n}-{r}:hover , .block-{n}-{r}:focus  {{ color : #00ff00 ; border-bottom : 1px solid #cccccc ; }}
@media ( max-width : 600px ) {{ .block-{n}-{r} {{ padding : 0px ; }} }}""")
    return "\n".join(out) + "\n"


def script_es5(rnd, n, functions):
    out = [f"/* Script {n}: menu and table helpers (ES5) */", "(function ( window , undefined ) {",
           "    'use strict';", "    var helpers = {};"]
    for r in range(functions):
        out.append(f"""
    // Toggles the rows of table {r}.
    helpers.toggleRows{r} = function ( tableElement , visibleFlag ) {{
        var rowList = tableElement.getElementsByTagName( "tr" );
        for ( var rowIndex = 0 ; rowIndex < rowList.length ; rowIndex++ ) {{
            var currentRow = rowList[ rowIndex ];
            currentRow.style.display = visibleFlag ? "" : "none";   // hide or show
        }}
        return rowList.length + {rnd.randrange(100)};
    }};""")
    out += ["    window.siteHelpers = helpers;", "})( window );"]
    return "\n".join(out) + "\n"


def script_modern(rnd, n, classes):
    out = [f"// Module {n}: widgets (ES2015 and later)", "const registry = new Map();"]
    for r in range(classes):
        out.append(f"""
/** A card that loads its text on demand ({r}). */
export class Card{r} extends HTMLElement {{
  static get observedAttributes() {{ return ['src', 'open']; }}
  #loaded = false;
  constructor({{ delay = {rnd.randrange(500)}, retries = 3 }} = {{}}) {{
    super();
    this.options = {{ delay, retries, ...this.dataset }};
  }}
  async load(url = this.getAttribute('src')) {{
    for (let attempt = 0; attempt < this.options.retries; attempt++) {{
      try {{
        const response = await fetch(`${{url}}?attempt=${{attempt}}&card={r}`);
        const {{ title, body = '' }} = await response.json();
        this.innerHTML = `<h3>${{title}}</h3><p>${{body}}</p>`;
        this.#loaded = true;
        return true;
      }} catch (error) {{
        await new Promise((resolve) => setTimeout(resolve, this.options.delay * 2 ** attempt));
      }}
    }}
    return false;
  }}
  get loaded() {{ return this.#loaded; }}
}}
registry.set('card-{r}', Card{r});""")
    out.append("for (const [name, type] of registry) customElements.define(name, type);")
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    root = sys.argv[1]
    scale = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
    rnd = random.Random(2024)
    count = lambda n: max(1, int(n * scale))
    for d in ["css", "js", "img/photos", "img/shots", "img/icons", "img/art", "img/anim",
              *SECTIONS]:
        os.makedirs(os.path.join(root, d), exist_ok=True)

    pictures = []
    for k in range(count(24)):
        w, h = rnd.choice([(1024, 683), (800, 600), (1600, 1067), (640, 480)])
        pictures.append(f"img/photos/photo-{k}.jpg")
        make_photo(os.path.join(root, pictures[-1]), rnd, w, h)
    for k in range(count(8)):
        w, h = rnd.choice([(1280, 800), (960, 600), (800, 500)])
        pictures.append(f"img/shots/shot-{k}.png")
        make_screenshot(os.path.join(root, pictures[-1]), rnd, w, h)
    for k in range(count(20)):
        pictures.append(f"img/icons/icon-{k}.png")
        make_icon(os.path.join(root, pictures[-1]), rnd, rnd.choice([16, 32, 48, 64, 128]))
    for k in range(count(4)):
        pictures.append(f"img/art/palette-{k}.png")
        make_palette_png(os.path.join(root, pictures[-1]), rnd, 400, 300)
    for k in range(count(6)):
        pictures.append(f"img/anim/banner-{k}.gif")
        make_gif(os.path.join(root, pictures[-1]), rnd, animated=k % 2 == 0)
    # Copies under other names in the sections' own folders: one picture in eight.
    for k, src in enumerate(pictures[::8]):
        section = SECTIONS[k % len(SECTIONS)]
        copy = f"{section}/copy-{k}{os.path.splitext(src)[1]}"
        shutil.copyfile(os.path.join(root, src), os.path.join(root, copy))
        pictures.append(copy)

    styles = [f"site-{k}.css" for k in range(count(6))]
    for k, name in enumerate(styles):
        with open(os.path.join(root, "css", name), "w") as f:
            f.write(style_sheet(rnd, k, 40 + 60 * k))
    scripts = []
    for k in range(count(4)):
        scripts.append(f"legacy-{k}.js")
        with open(os.path.join(root, "js", scripts[-1]), "w") as f:
            f.write(script_es5(rnd, k, 30 + 30 * k))
    for k in range(count(4)):
        scripts.append(f"widgets-{k}.js")
        with open(os.path.join(root, "js", scripts[-1]), "w") as f:
            f.write(script_modern(rnd, k, 10 + 10 * k))

    urls = []
    for s in SECTIONS:
        for n in range(count(20)):
            name = "index.html" if n == 0 else f"page-{n}.html"
            shown = rnd.sample(pictures, 6)
            with open(os.path.join(root, s, name), "w", encoding="utf-8") as f:
                f.write(page(rnd, s, n, shown, 1, rnd.sample(styles, 2), rnd.sample(scripts, 2)))
            urls.append(f"{s}/{name}")
    with open(os.path.join(root, "index.html"), "w", encoding="utf-8") as f:
        f.write(page(rnd, "home", 0, pictures[:8], 0, styles[:2], scripts[:2]))

    with open(os.path.join(root, "sitemap.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">\n')
        for u in urls:
            f.write(f"  <url>\n    <loc>https://example.org/{u}</loc>\n"
                    f"    <changefreq>  weekly  </changefreq>\n  </url>\n")
        f.write("</urlset>\n")
    with open(os.path.join(root, "feed.xml"), "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0">\n  <channel>\n')
        for u in urls[:40]:
            f.write(f"    <item>\n      <title>   {hanzi(rnd, 8)}   </title>\n"
                    f"      <link>https://example.org/{u}</link>\n"
                    f"      <description>   {sentence(rnd, 12)}   </description>\n    </item>\n")
        f.write("  </channel>\n</rss>\n")
    with open(os.path.join(root, "robots.txt"), "w") as f:
        f.write("User-agent: *\nAllow: /\nSitemap: https://example.org/sitemap.xml\n")
    convert("-size", "32x32", "xc:#2b5797", os.path.join(root, "favicon.ico"))


if __name__ == "__main__":
    main()
