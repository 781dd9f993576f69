#!/usr/bin/env bash
# Tests of the Debian packages, run by ctest:
#   package_test.sh check|lintian|manpage BUILD VERSION "BIN_PROGRAMS" SOURCE
# check   packs the build tree into BUILD/package-test/ (larkspan-cli, and larkspan when the
#         window is built: BIN_PROGRAMS holds larkspan), checks the control fields and the
#         file lists, unpacks them into a scratch root and runs the unpacked larkspan-cli there
# lintian runs lintian -I -E --pedantic on those packages: any tag not justified below fails
# manpage checks that larkspan-cli's man page documents every option of --help and every
#         LARKSPAN_* variable the programs read
# Exit status 77 (skipped) when the tools a step needs are not installed.
set -euo pipefail
step=$1 build=$2 version=$3 bin_programs=$4 source=$5
out=$build/package-test
arch=$(dpkg --print-architecture 2>/dev/null || echo unknown)
window=false
[[ " $bin_programs " != *" larkspan "* ]] || window=true

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip_without() {
  command -v "$1" >/dev/null || { echo "skipped: $1 is not installed"; exit 77; }
}
deb_of() { echo "$out/$1_${version}_$arch.deb"; }

case $step in
manpage)
  man_page=$build/packaging/larkspan-cli.1
  options=$("$build/bin/larkspan-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
  [ -n "$options" ] || fail "no options in larkspan-cli --help"
  for o in $options; do
    grep -qF -- "${o//-/\\-}" "$man_page" || fail "$o is missing from $man_page"
  done
  # The variables the programs read (not their tests').
  variables=$(grep -rhoE 'GetEnv\("LARKSPAN_[A-Z_]+"\)' "$source" --include='*.cpp' \
    --exclude='*_test.cpp' --exclude-dir=build --exclude-dir='build-*' |
    grep -oE 'LARKSPAN_[A-Z_]+' | sort -u)
  [ -n "$variables" ] || fail "no LARKSPAN_* variables found in $source"
  environment=$(sed -n '/^\.SH ENVIRONMENT/,/^\.SH /p' "$man_page")
  for v in $variables; do
    grep -qF "$v" <<<"$environment" || fail "$v is missing from ENVIRONMENT in $man_page"
  done
  sed -n '/^\.B \\-\\-jpg/,/^\.TP/p' "$man_page" | grep -q lossy ||
    fail "--jpg does not say that JPEG reduction is lossy"
  exit 0
  ;;
lintian)
  skip_without lintian
  debs=("$(deb_of larkspan-cli)")
  ! $window || debs+=("$(deb_of larkspan)")
  for deb in "${debs[@]}"; do
    [ -f "$deb" ] || fail "no $deb (package_check makes it)"
  done
  # Every tag, down to pedantic and experimental ones, fails the test, but this one:
  #   spelling-error-in-binary: lintian reads the four bytes " wtH" of compiled machine
  #     code (in the minifiers, so in every program that links them) as a misspelt "with"
  suppressed=spelling-error-in-binary
  lintian -I -E --pedantic --fail-on error,warning,info,pedantic --tag-display-limit 0 \
    --suppress-tags "$suppressed" "${debs[@]}"
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
cli_deb=$(deb_of larkspan-cli) window_deb=$(deb_of larkspan)
[ -f "$cli_deb" ] || fail "cpack made no $(basename "$cli_deb"): $(ls "$out")"
if $window; then
  [ -f "$window_deb" ] || fail "cpack made no $(basename "$window_deb"): $(ls "$out")"
else
  [ ! -e "$window_deb" ] || fail "a window package without the window"
fi

# field DEB NAME: one control field.
field() { dpkg-deb --field "$1" "$2"; }
# has LIST NAME: whether the comma-separated LIST names the package NAME.
has() { [[ ", $1," == *", $2"[\ ,]* ]]; }
check_common() {
  local deb=$1 package=$2
  [ "$(field "$deb" Package)" = "$package" ] || fail "Package: $(field "$deb" Package)"
  [ "$(field "$deb" Version)" = "$version" ] || fail "$package Version: $(field "$deb" Version)"
  [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$package Architecture: $(field "$deb" Architecture)"
  [[ "$(field "$deb" Maintainer)" != *example.* ]] || fail "$package Maintainer: $(field "$deb" Maintainer)"
  local depends
  depends=$(field "$deb" Depends)
  # Libraries with the versions dpkg-shlibdeps computes, where it is installed.
  has "$depends" libc6 || fail "$package Depends lacks libc6: $depends"
  if command -v dpkg-shlibdeps >/dev/null; then
    [[ $depends == *"libc6 (>= "* ]] || fail "$package Depends: libc6 without a version: $depends"
  fi
  [[ "$depends $(field "$deb" Recommends)" != *jre* && $depends != *java* ]] ||
    fail "$package: Java is more than suggested"
}

# The command line: no toolkit, no fonts; Java only suggested.
check_common "$cli_deb" larkspan-cli
depends=$(field "$cli_deb" Depends)
for p in jpegoptim gifsicle libstdc++6 libssl3 libpng16-16 libdeflate0 libzopfli1; do
  has "$depends" "$p" || fail "larkspan-cli Depends lacks $p: $depends"
done
[[ $depends != *qt6* && $depends != *fonts* ]] || fail "larkspan-cli needs a window system: $depends"
has "$(field "$cli_deb" Suggests)" default-jre-headless || fail "Suggests: $(field "$cli_deb" Suggests)"
if $window; then
  check_common "$window_deb" larkspan
  depends=$(field "$window_deb" Depends)
  for p in "larkspan-cli (= $version)" fonts-noto-cjk libqt6widgets6 libqt6svg6 qt6-qpa-plugins; do
    has "$depends" "$p" || fail "larkspan Depends lacks $p: $depends"
  done
fi

# The file lists: every program, helper and data file where the FHS wants it, in its package.
files_of() { dpkg-deb --contents "$1" | awk '{print $NF}' | sed 's|^\./|/|'; }
expect_files() {
  local deb=$1 files f
  shift
  files=$(files_of "$deb")
  for f in "$@"; do
    grep -qxF "$f" <<<"$files" || fail "$f is not in $(basename "$deb")"
  done
  # Nothing outside /usr, everything owned by root.
  local outside owners
  outside=$(grep -v '^/usr/' <<<"$files" | grep -vx '/' || true)
  [ -z "$outside" ] || fail "outside /usr in $(basename "$deb"): $outside"
  owners=$(dpkg-deb --contents "$deb" | awk '{print $2}' | sort -u)
  [ "$owners" = root/root ] || fail "owners: $owners"
}
expect_files "$cli_deb" /usr/bin/larkspan-cli /usr/libexec/larkspan/pngout \
  /usr/libexec/larkspan/larkspan-minify /usr/libexec/larkspan/htmldump \
  /usr/share/larkspan/htmlcompressor.jar /usr/share/man/man1/larkspan-cli.1.gz \
  /usr/share/doc/larkspan-cli/copyright /usr/share/doc/larkspan-cli/changelog.gz
cli_files=$(files_of "$cli_deb")
extra=$(grep -E '^/usr/bin/.|/usr/lib/larkspan|Skins|/applications/|/icons/' <<<"$cli_files" |
  grep -vx /usr/bin/larkspan-cli || true)
[ -z "$extra" ] || fail "in larkspan-cli: $extra"
if $window; then
  expect_files "$window_deb" /usr/bin/larkspan /usr/share/larkspan/Skins/Mint/skin.qss \
    /usr/share/larkspan/Skins/Mint/palette.ini /usr/share/applications/larkspan.desktop \
    /usr/share/man/man1/larkspan.1.gz /usr/share/icons/hicolor/scalable/apps/larkspan.svg \
    /usr/share/icons/hicolor/48x48/apps/larkspan.png \
    /usr/share/icons/hicolor/128x128/apps/larkspan.png \
    /usr/share/doc/larkspan/copyright /usr/share/doc/larkspan/changelog.gz
  # The two packages share no file (they would refuse to be installed together).
  shared=$(comm -12 <(grep -v '/$' <<<"$cli_files" | sort) \
    <(files_of "$window_deb" | grep -v '/$' | sort) || true)
  [ -z "$shared" ] || fail "in both packages: $shared"
fi

# Unpacked into a scratch root, the programs find their helpers in <root>/usr/libexec/larkspan
# and <root>/usr/share/larkspan and nowhere else: PATH holds only the system's folders.
root=$out/root
dpkg -x "$cli_deb" "$root"
cli=$root/usr/bin/larkspan-cli
export PATH=/usr/bin:/bin
unset LANG LC_ALL
[ "$("$cli" --version)" = "larkspan-cli $version" ] || fail "--version: $("$cli" --version)"

site=$out/site
mkdir -p "$site"
cp "$source/tools/testdata/interlaced.png" "$site/picture.png"
printf '<html>\r\n  <body>\r\n\r\n    <p>  larkspan  </p>\r\n  </body>\r\n</html>\r\n' >"$site/index.html"
slim() {
  local name=$1
  shift
  rm -rf "${out:?}/$name"
  "$cli" --quiet --png --html "$@" "$site" "$out/$name" >"$out/$name.log" 2>&1 ||
    { cat "$out/$name.log"; fail "larkspan-cli run into $name"; }
}
size() { stat -c %s "$1"; }
slim installed
[ "$(size "$out/installed/picture.png")" -lt "$(size "$site/picture.png")" ] ||
  fail "the picture was not optimised: pngout not found in $root/usr/libexec/larkspan"
[ "$(size "$out/installed/index.html")" -lt "$(size "$site/index.html")" ] ||
  fail "the page was not minified"
# The archive, in /usr/share/larkspan, finds its native minifier in /usr/libexec/larkspan.
if command -v java >/dev/null; then
  slim archive --compressor archive
  cmp -s "$out/archive/index.html" "$out/installed/index.html" ||
    fail "the installed archive wrote other bytes than the native compressor"
fi
# Without the installed pngout the picture is copied as it is: the run above did use it.
rm "$root/usr/libexec/larkspan/pngout"
slim without-pngout
cmp -s "$out/without-pngout/picture.png" "$site/picture.png" ||
  fail "a pngout other than the installed one was used"
for deb in "$cli_deb" $($window && echo "$window_deb"); do
  echo "package $(basename "$deb"): $(size "$deb") bytes, $(files_of "$deb" | wc -l) entries"
done
