#!/usr/bin/env bash
# The style and rendering check must tell a faithful copy from a broken one
# on pages that move by themselves:
#   moving.html  a canvas a script redraws every frame, a block a script
#                fades in, a CSS animation that finishes, a blinking caret;
#   plain.html   a static page.
# The same copy (hard links) must come out "same" with no unstable page;
# each broken copy must be caught where its fault shows:
#   style   a rule's colour changed (style and pixels differ);
#   hidden  text moved out of sight by a style sheet (pixels differ);
#   error   a script that throws (a new console error).
#
#   bench/stylecheck/selftest.sh     (exits 0 when every case holds)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$here/node_modules/playwright-core" ] || (cd "$here" && npm ci --no-audit --no-fund --silent)
command -v chromium >/dev/null || { echo "SKIPPED: chromium is not installed"; exit 77; }
command -v compare >/dev/null || { echo "SKIPPED: ImageMagick is not installed"; exit 77; }
work=$(mktemp -d /tmp/larkspan-stylecheck-selftest.XXXXXX)
trap 'rm -rf "$work"' EXIT

site=$work/site
mkdir -p "$site"
cat >"$site/moving.html" <<'EOF'
<!doctype html><html><head><meta charset="utf-8"><link rel="stylesheet" href="s.css">
<style>@keyframes grow { from { width: 10px } to { width: 300px } }
.bar { height: 20px; background: #36c; animation: grow 400ms ease-out forwards }</style></head>
<body><h1 class="t">移动的页面</h1><div class="bar"></div><div id="fade" style="opacity:0">淡入</div>
<input value="caret" autofocus><canvas id="c" width="200" height="100"></canvas>
<script>
const c = document.getElementById('c').getContext('2d');
(function draw() { c.clearRect(0, 0, 200, 100); c.fillRect(Math.random() * 180, Math.random() * 80, 20, 20); requestAnimationFrame(draw); })();
let o = 0; const f = document.getElementById('fade');
const step = () => { o += 0.1; f.style.opacity = Math.min(o, 1); if (o < 1) setTimeout(step, 30); };
step();
</script></body></html>
EOF
cat >"$site/plain.html" <<'EOF'
<!doctype html><html><head><meta charset="utf-8"><link rel="stylesheet" href="s.css"></head>
<body><h1 class="t">静态页面</h1><p>一段文字 text</p><script src="a.js"></script></body></html>
EOF
printf '.t { color: #336699; font-size: 24px }\n' >"$site/s.css"
printf 'document.title = "plain";\n' >"$site/a.js"

cp -al "$site" "$work/same"
cp -r "$site" "$work/style" && printf '.t { color: #996633; font-size: 24px }\n' >"$work/style/s.css"
cp -r "$site" "$work/hidden" && printf '.t { color: #336699; font-size: 24px }\np { text-indent: -9999px }\n' >"$work/hidden/s.css"
cp -r "$site" "$work/error" && printf 'document.title = "plain"; null.x;\n' >"$work/error/a.js"

rc=0
node "$here/stylecheck.mjs" --render "$site" "$work/same" "$work/style" "$work/hidden" "$work/error" \
  >"$work/log" 2>&1 || rc=$?
fail=0
expect() {  # expect PATTERN WHAT: a line of the log must match PATTERN
  if grep -Eq -- "$1" "$work/log"; then echo "ok: $2"; else echo "FAIL: $2"; fail=1; fi
}
if [ $rc = 1 ]; then echo "ok: exit status 1"; else echo "FAIL: exit status $rc, not 1"; fail=1; fi
expect '^stylecheck \[same\]: 2 pages, 2 same, 0 differing .* 0 of 2 render differently \(0 pixels\), 1 animated canvases hidden;' \
  "the same copy is same, its moving page at rest"
if grep -q 'UNSTABLE' "$work/log"; then echo "FAIL: a page counted unstable"; fail=1; else echo "ok: no unstable page"; fi
expect '^\[style\] DIFFERS (moving|plain)\.html' "a changed colour differs in style"
expect '^\[style\] RENDERS DIFFERENTLY plain\.html: [1-9][0-9]* pixels' "a changed colour differs in pixels"
expect '^stylecheck \[hidden\]: 2 pages, 1 same, 1 differing .* 1 of 2 render differently' "hidden text differs in pixels"
expect '^\[error\] NEW ERRORS plain\.html' "a new script error is caught"
if [ $fail = 1 ]; then cat "$work/log"; exit 1; fi
echo "selftest: all cases hold"
