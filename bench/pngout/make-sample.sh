#!/usr/bin/env bash
# make-sample.sh DIR: fills DIR with a varied set of PNG pictures made by
# ImageMagick (photo-like, screenshot-like, icons with alpha, palette, grey,
# 16-bit), plus a few PNG files that Debian packages ship under /usr/share,
# when there are any, as real-world pictures written by other encoders.
set -euo pipefail
out=${1:?usage: make-sample.sh DIR}
mkdir -p "$out"
convert=${CONVERT:-/usr/bin/convert}
# ImageMagick's default font may be missing; text is drawn with whatever fontconfig offers.
font=$(fc-match -f '%{file}' sans 2>/dev/null || echo DejaVu-Sans)
c() { "$convert" -font "$font" "$@"; }

# Photo-like, full colour.
c rose: -resize 400% "$out/photo-rose.png"
c wizard: "$out/photo-wizard.png"
c -size 320x240 plasma:fractal -seed 7 "$out/photo-plasma.png"
c granite: -resize 300% "$out/texture-granite.png"
# Screenshot-like: flat colours and text.
c -size 800x500 xc:'#f3f3f3' -fill '#2b5797' -draw 'rectangle 0,0 800,40' \
  -fill white -pointsize 18 -annotate +12+27 'File  Edit  View  Help' \
  -fill black -pointsize 14 -annotate +20+80 'The quick brown fox jumps over the lazy dog. 0123456789' \
  -annotate +20+110 'Settings saved. Output folder: /srv/www/site-out' \
  -fill '#dddddd' -draw 'rectangle 20,140 780,480' -fill '#333333' \
  -annotate +30+170 'Name            Size     Saved' \
  -annotate +30+195 'index.html      14 KB    31%' \
  -annotate +30+220 'style.css        6 KB    22%' "$out/screenshot-app.png"
c logo: "$out/screenshot-logo.png"
# Icons with alpha.
c -size 64x64 xc:none -fill '#e04040' -draw 'circle 32,32 32,4' -fill white \
  -draw 'rectangle 28,14 36,40' -draw 'rectangle 28,44 36,52' "$out/icon-alert-alpha.png"
c -size 128x128 radial-gradient:'rgba(0,128,255,1)-rgba(0,128,255,0)' "$out/icon-glow-alpha.png"
c -size 16x16 xc:none -fill '#3a3' -draw 'polygon 2,8 6,12 14,3 14,6 6,15 2,11' "$out/icon-tick-16.png"
# Palette and grey pictures.
c rose: -resize 200% -colors 16 -type Palette "$out/palette-rose-16.png"
c -size 256x64 gradient:black-white -type Grayscale "$out/grey-gradient.png"
c -size 200x200 pattern:checkerboard "$out/pattern-checker.png"
# 16 bits per channel, and a wasteful RGBA encoding of an opaque picture.
c wizard: -depth 16 -resize 50% "$out/deep-wizard-16bit.png"
c rose: -resize 300% -alpha on -define png:color-type=6 "$out/rgba-opaque-rose.png"
c -size 600x400 gradient:'#ff8000-#0040ff' -define png:compression-level=1 "$out/gradient-level1.png"

# Real files from Debian packages, a few of each size class.
n=0
while IFS= read -r f; do
  cp "$f" "$out/real-$n-$(basename "$f")"
  n=$((n + 1))
  [ $n -ge ${REAL_PNGS:-12} ] && break
done < <(find /usr/share/doc /usr/share/icons /usr/share/pixmaps -name '*.png' -size +3k 2>/dev/null | sort | awk 'NR % 7 == 1')
ls "$out" | wc -l >&2
