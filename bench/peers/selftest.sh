#!/usr/bin/env bash
# The peers' driver and the size table must count what the peers really
# wrote:
#   - a GBK file (not UTF-8, a trail byte 0x5C in a string) reaches the peer
#     and comes back in its own bytes (csso and esbuild keep strings);
#   - a file the peer refuses, or whose rules it loses, is written as it
#     was and counted as refused;
#   - the table gives a peer's share per kind and "-" for a kind it leaves.
#
#   bench/peers/selftest.sh     (exits 0 when every case holds)
set -euo pipefail
export LC_ALL=C  # grep compares bytes, GBK ones included
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$here/node_modules/html-minifier-terser" ] || (cd "$here" && npm ci --no-audit --no-fund --silent)
work=$(mktemp -d /tmp/larkspan-peers-selftest.XXXXXX)
trap 'rm -rf "$work"' EXIT
site=$work/site
mkdir -p "$site"
# 许 in GBK is D0 ED, 功 is B9 A6, 乗 is 81 5C: the last one's trail byte is a backslash.
printf '.a  {  content : "\xd0\xed\x81\x5c" ;  color : #ffffff ; }\n' >"$site/gbk.css"
printf 'var  x = 1 ;\nvar = ;\n' >"$site/broken.js"
printf 'var  greeting = "\xb9\xa6" ;\n' >"$site/gbk.js"
printf '<!doctype html>\n<p  class="x">  text  </p>\n' >"$site/a.html"
# A UTF-16 sheet, read as Latin-1: a peer that turns it into nothing lost it.
printf '\xff\xfe.\0a\0{\0c\0o\0l\0o\0r\0:\0r\0e\0d\0}\0' >"$site/utf16.css"

fail=0
check() {  # check WHAT CMD...: CMD must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; fail=1; fi
}
for peer in csso esbuild; do
  node "$here/peers.mjs" "$peer" "$site" "$work/$peer" >"$work/$peer.txt"
  check "$peer keeps the GBK string's bytes" grep -qF "$(printf '"\xd0\xed\x81\x5c"')" "$work/$peer/gbk.css"
  check "$peer shrinks the sheet" test "$(stat -c %s "$work/$peer/gbk.css")" -lt "$(stat -c %s "$site/gbk.css")"
done
check "esbuild keeps the script's GBK bytes" grep -qF "$(printf '\xb9\xa6')" "$work/esbuild/gbk.js"
check "a refused script is written as it was" cmp -s "$site/broken.js" "$work/esbuild/broken.js"
check "and counted as refused" grep -qx 'esbuild scripts 2 1 -' "$work/esbuild.txt"
check "a sheet csso empties is written as it was" cmp -s "$site/utf16.css" "$work/csso/utf16.css"
check "and counted as refused" grep -qx 'csso sheets 2 1 [0-9.]*' "$work/csso.txt"
node "$here/peers.mjs" gominify "$site" "$work/gominify" >"$work/gominify.txt"
check "a sheet Go minify strips of its rules is written as it was" \
  cmp -s "$site/utf16.css" "$work/gominify/utf16.css"
check "csso writes no page or script" test ! -e "$work/csso/a.html" -a ! -e "$work/csso/gbk.js"

mkdir -p "$work/out/site"
mv "$work/csso" "$work/esbuild" "$work/out/site/"
mv "$work/csso.txt" "$work/site-csso.txt"
mv "$work/esbuild.txt" "$work/site-esbuild.txt"
python3 "$here/table.py" "$work" csso esbuild -- "$site" >"$work/table.txt"
# The refused script counts at its own size: esbuild's scripts are between
# the shrunk share of gbk.js alone and 100%.
check "the table has csso's sheet share and no scripts for csso" \
  grep -Eq '^site +scripts +2 +0\.00 +- +[0-9.]+/[0-9.]+$' "$work/table.txt"
check "the table names the refusal" grep -q '^site: esbuild refused 1 of 2 scripts' "$work/table.txt"
if [ $fail = 1 ]; then cat "$work/table.txt"; exit 1; fi
echo "selftest: all cases hold"
