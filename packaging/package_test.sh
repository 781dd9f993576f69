#!/usr/bin/env bash
# Tests of the Debian package, run by ctest:
#   package_test.sh check|lintian|manpage BUILD VERSION "BIN_PROGRAMS" SOURCE
# check   packs the build tree into BUILD/package-test/, checks the control fields and the
#         file list, unpacks it into a scratch root and runs the unpacked larkspan-cli there
# lintian runs lintian on that package: no error allowed
# manpage checks that every option of larkspan-cli --help is in its man page
# Exit status 77 (skipped) when the tools a step needs are not installed.
set -euo pipefail
step=$1 build=$2 version=$3 bin_programs=$4 source=$5
out=$build/package-test

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip_without() {
  command -v "$1" >/dev/null || { echo "skipped: $1 is not installed"; exit 77; }
}

case $step in
manpage)
  man_page=$build/packaging/larkspan-cli.1
  options=$("$build/bin/larkspan-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
  [ -n "$options" ] || fail "no options in larkspan-cli --help"
  for o in $options; do
    grep -qF -- "${o//-/\\-}" "$man_page" || fail "$o is missing from $man_page"
  done
  exit 0
  ;;
lintian)
  skip_without lintian
  deb=$(echo "$out"/larkspan_*.deb)
  [ -f "$deb" ] || fail "no package in $out (package_check makes it)"
  # Errors fail the test; warnings are shown.
  lintian --fail-on error --tag-display-limit 0 "$deb"
  exit 0
  ;;
check) ;;
*) fail "unknown step $step" ;;
esac

skip_without dpkg-deb
rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; fail "cpack"; }
deb=$(echo "$out"/larkspan_*.deb)
[ -f "$deb" ] || fail "cpack made no larkspan_*.deb"

# Control fields: what must be there, and Java only as a recommendation.
info=$(dpkg-deb --field "$deb" Package Version Depends Recommends Architecture)
field() { sed -n "s/^$1: //p" <<<"$info"; }
[ "$(field Package)" = larkspan ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
depends=", $(field Depends),"
for p in jpegoptim gifsicle fonts-noto-cjk libc6 libstdc++6; do
  [[ $depends == *", $p"[\ ,]* ]] || fail "Depends lacks $p: $depends"
done
[[ $depends != *jre* && $depends != *java* ]] || fail "Java is a dependency: $depends"
[[ $(field Recommends) == *default-jre-headless* ]] || fail "Recommends: $(field Recommends)"
# pngout links zopfli's library.
[[ $depends == *", libzopfli1"[\ ,]* ]] || fail "Depends lacks libzopfli1: $depends"

# The file list: every program, helper and data file where the FHS wants it.
contents=$(dpkg-deb --contents "$deb")
files=$(awk '{print $NF}' <<<"$contents" | sed 's|^\./|/|')
expected=(/usr/lib/larkspan/pngout /usr/lib/larkspan/htmlcompressor.jar
  /usr/share/man/man1/larkspan-cli.1.gz /usr/share/man/man1/htmldump.1.gz
  /usr/share/doc/larkspan/copyright /usr/share/doc/larkspan/changelog.gz)
for p in $bin_programs; do expected+=("/usr/bin/$p"); done
if [[ " $bin_programs " == *" larkspan "* ]]; then
  expected+=(/usr/lib/larkspan/Skins/Mint/skin.qss /usr/lib/larkspan/Skins/Mint/palette.ini
    /usr/share/applications/larkspan.desktop /usr/share/man/man1/larkspan.1.gz
    /usr/share/icons/hicolor/scalable/apps/larkspan.svg
    /usr/share/icons/hicolor/48x48/apps/larkspan.png
    /usr/share/icons/hicolor/128x128/apps/larkspan.png)
fi
for f in "${expected[@]}"; do
  grep -qxF "$f" <<<"$files" || fail "$f is not in the package"
done
# Nothing else in /usr/bin, nothing outside /usr, everything owned by root.
extra=$(grep '^/usr/bin/.' <<<"$files" | sed 's|^/usr/bin/||' | grep -vxF -f <(tr ' ' '\n' <<<"$bin_programs") || true)
[ -z "$extra" ] || fail "unexpected in /usr/bin: $extra"
outside=$(grep -v '^/usr/' <<<"$files" | grep -vx '/' || true)
[ -z "$outside" ] || fail "outside /usr: $outside"
owners=$(awk '{print $2}' <<<"$contents" | sort -u)
[ "$owners" = root/root ] || fail "owners: $owners"

# Unpacked into a scratch root, the programs find their helpers in <root>/usr/lib/larkspan
# and nowhere else: PATH holds only the system's folders, not the build tree.
root=$out/root
dpkg -x "$deb" "$root"
cli=$root/usr/bin/larkspan-cli
export PATH=/usr/bin:/bin
unset LANG LC_ALL
[ "$("$cli" --version)" = "larkspan-cli $version" ] || fail "--version: $("$cli" --version)"

site=$out/site
mkdir -p "$site"
cp "$source/tools/testdata/interlaced.png" "$site/picture.png"
printf '<html>\r\n  <body>\r\n\r\n    <p>  larkspan  </p>\r\n  </body>\r\n</html>\r\n' >"$site/index.html"
kinds=(--png --html)
# The engine asks for a Java runtime before every run.
skip_without java
slim() {
  rm -rf "$out/$1"
  "$cli" --quiet "${kinds[@]}" "$site" "$out/$1" >"$out/$1.log" 2>&1 ||
    { cat "$out/$1.log"; fail "larkspan-cli run into $1"; }
}
size() { stat -c %s "$1"; }
slim installed
[ "$(size "$out/installed/picture.png")" -lt "$(size "$site/picture.png")" ] ||
  fail "the picture was not optimised: pngout not found in $root/usr/lib/larkspan"
[ "$(size "$out/installed/index.html")" -lt "$(size "$site/index.html")" ] ||
  fail "the page was not minified: htmlcompressor.jar not found in $root/usr/lib/larkspan"
# Without the installed pngout the picture is copied as it is: the run above did use it.
rm "$root/usr/lib/larkspan/pngout"
slim without-pngout
cmp -s "$out/without-pngout/picture.png" "$site/picture.png" ||
  fail "a pngout other than the installed one was used"
echo "package $(basename "$deb"): $(size "$deb") bytes, $(wc -l <<<"$files") entries"
