#!/bin/sh
# peer-one.sh SITE OUT REL: the peer pipeline's work on one file, one optimiser process:
# Debian's minify for pages, style sheets, scripts and XML, jpegoptim -m85, gifsicle with the
# engine's flags, zopflipng; every other file is copied. A result that is missing or larger
# than the source is replaced by a copy of the source, as the engine does. OUT's folders
# must exist.
site=$1 out=$2 rel=$3
src=$site/$rel dst=$out/$rel
case $rel in
  *.html | *.htm) minify --type html -o "$dst" "$src" 2>/dev/null ;;
  *.css) minify --type css -o "$dst" "$src" 2>/dev/null ;;
  *.js) minify --type js -o "$dst" "$src" 2>/dev/null ;;
  *.xml) minify --type xml -o "$dst" "$src" 2>/dev/null ;;
  *.jpg | *.jpeg | *.JPG | *.JPEG)
    jpegoptim --strip-com --strip-exif --strip-iptc -q -o -m85 "$src" "-d${dst%/*}/" >/dev/null 2>&1 ;;
  *.gif | *.GIF) gifsicle --no-warnings -o "$dst" "$src" 2>/dev/null ;;
  *.png | *.PNG) zopflipng -y "$src" "$dst" >/dev/null 2>&1 ;;
esac
if [ ! -s "$dst" ] || [ "$(stat -c %s "$dst")" -gt "$(stat -c %s "$src")" ]; then
  cp "$src" "$dst"
fi
