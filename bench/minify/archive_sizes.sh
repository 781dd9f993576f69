#!/usr/bin/env bash
# Output sizes of our minifiers beside the Java archive's, file by file, for
# the kinds the archive handles (.css, .xml, .html/.htm, .js).
#
#   bench/minify/archive_sizes.sh FOLDER [JAR] [MAX_FILES_PER_KIND]
#
# JAR defaults to build/bin/htmlcompressor.jar. The archive runs once per
# file, as the engine runs it (--preserve-comments -c GB2312 --compress-css
# --compress-js --nomunge); a file it fails on counts at its own size.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

DIR="$1"
JAR="${2:-$ROOT/build/bin/htmlcompressor.jar}"
MAX="${3:-100}"
[ -f "$JAR" ] || { echo "archive_sizes.sh: no archive at $JAR" >&2; exit 1; }
OURS="$OUT/archive-ours"
rm -rf "$OURS"
"$BENCH" "$DIR" 1 "$OURS" > "$OUT/archive-ours.txt"
printf "%-5s %6s %12s %12s %12s %8s\n" kind files bytes_in ours archive ours/archive
for KIND in css xml page js; do
  case "$KIND" in page) RE='.*\.html?$' ;; js) RE='.*\.m?js$' ;; *) RE=".*\.$KIND\$" ;; esac
  mapfile -t LIST < <(find "$DIR" -type f -regextype posix-extended -iregex "$RE" | sort | head -n "$MAX")
  [ "${#LIST[@]}" -eq 0 ] && continue
  IN=0 A=0 O=0
  for F in "${LIST[@]}"; do
    REL="${F#"$DIR"/}"
    IN=$((IN + $(stat -c %s "$F")))
    O=$((O + $(stat -c %s "$OURS/$REL")))
    if java -jar "$JAR" --preserve-comments -c GB2312 --compress-css --compress-js --nomunge \
         --preserve-php --preserve-server-script -o "$OUT/archive-one" "$F" 2>/dev/null; then
      A=$((A + $(stat -c %s "$OUT/archive-one")))
    else
      A=$((A + $(stat -c %s "$F")))
    fi
  done
  printf "%-5s %6s %12s %12s %12s %8s\n" "$KIND" "${#LIST[@]}" "$IN" "$O" "$A" \
    "$(echo "$O $A" | awk '{ printf "%.3f", $1 / $2 }')"
done
