#!/usr/bin/env bash
# Throughput and output size of the native script minifier beside esbuild
# --minify-whitespace (npm, from the lock file) and Debian's minify, on the
# same files, one core each.
#
#   bench/jsverify/speed.sh [FOLDER...]
#
# Takes every .js/.mjs file under the folders that is not already minified
# (*.min.js) and that acorn parses; default: $SITES (default /work/ext/sites). Prints for each tool
# MB/s (10^6 input bytes per second, best of 3 rounds) and output bytes.
# esbuild keeps the same comments as ours (--legal-comments=inline) and
# writes non-ASCII text as is (--charset=utf8); Debian's minify keeps names
# (--js-keep-var-names) but does more than white space. The Go tools run with
# GOMAXPROCS=1 and all three under taskset on one core.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/jsverify"
OUT="$ROOT/build-bench/jsverify/speed"
rm -rf "$OUT"
mkdir -p "$OUT/ours" "$OUT/esbuild" "$OUT/minify"

[ -d "$HERE/node_modules/esbuild" ] || npm ci --prefix "$HERE" --no-audit --no-fund --prefer-offline >&2
command -v minify >/dev/null || { echo "speed.sh: Debian's minify is needed (apt-get install minify)" >&2; exit 1; }
"$HERE/build.sh" "$ROOT/build-bench/jsverify/jsminify"

FOLDERS=("$@")
[ ${#FOLDERS[@]} -gt 0 ] || FOLDERS=("${SITES:-/work/ext/sites}")
# Files as paths relative to the first folder's parent, copied into one tree
# so that every tool reads the same bytes from the same place.
SRC="$OUT/src"
mkdir -p "$SRC"
N=0
for F in "${FOLDERS[@]}"; do
  while IFS= read -r -d '' P; do
    N=$((N + 1))
    case "$P" in *.mjs) EXT=mjs ;; *) EXT=js ;; esac
    cp "$P" "$SRC/$N.$EXT"
  done < <(find "$F" -type f \( -name '*.js' -o -name '*.mjs' \) ! -name '*.min.js' ! -path '*/node_modules/*' -print0)
done
# Only valid scripts: esbuild stops at the first it cannot parse.
(cd "$HERE" && node -e '
  const acorn = require("acorn"), fs = require("fs");
  for (const f of fs.readdirSync(process.argv[1])) {
    const p = process.argv[1] + "/" + f, t = fs.readFileSync(p, "utf8");
    const ok = (m) => { try { acorn.parse(t, { ecmaVersion: "latest", sourceType: m, allowHashBang: true }); return true; } catch (e) { return false; } };
    if (!ok(f.endsWith(".mjs") ? "module" : "script") && !ok("module")) fs.unlinkSync(p);
  }' "$SRC")
FILES=("$SRC"/*)
: > "$OUT/list.txt"
for P in "${FILES[@]}"; do
  case "$P" in *.mjs) K=module ;; *) K=script ;; esac
  printf '%s\t%s\t%s\n' "$K" "$P" "$OUT/ours/$(basename "$P")" >> "$OUT/list.txt"
done
BYTES=$(cat "${FILES[@]}" | wc -c)
echo "files: ${#FILES[@]}, input bytes: $BYTES"

best() {  # best wall time of 3 runs of "$@", in seconds
  local B=999999 S E T
  for _ in 1 2 3; do
    S=$(date +%s.%N)
    "$@" >/dev/null 2>"$OUT/last.err" || [ -n "${TOLERATE:-}" ] || { cat "$OUT/last.err" >&2; return 1; }
    E=$(date +%s.%N)
    T=$(echo "$E - $S" | bc -l)
    if (( $(echo "$T < $B" | bc -l) )); then B=$T; fi
  done
  echo "$B"
}
size() { find "$1" -type f -printf '%s\n' | awk '{s+=$1} END {print s+0}'; }
report() {  # name seconds outbytes
  printf '%-28s %8.1f MB/s  output %10d bytes (%5.1f%% of input)\n' "$1" \
    "$(echo "$BYTES / $2 / 1000000" | bc -l)" "$3" "$(echo "100 * $3 / $BYTES" | bc -l)"
}

# Ours, in process: the driver's own timer (best of 3 rounds), then the files.
read -r _ SECONDS_OURS OUTB < <(taskset -c 0 "$ROOT/build-bench/jsverify/jsminify" --time 3 "$OUT/list.txt")
"$ROOT/build-bench/jsverify/jsminify" "$OUT/list.txt" > "$OUT/ours.log" 2>&1
report "larkspan (in process)" "$SECONDS_OURS" "$(size "$OUT/ours")"
T=$(best taskset -c 0 "$ROOT/build-bench/jsverify/jsminify" "$OUT/list.txt")
report "larkspan (process, files)" "$T" "$(size "$OUT/ours")"

ESBUILD="$HERE/node_modules/.bin/esbuild"
T=$(best env GOMAXPROCS=1 taskset -c 0 "$ESBUILD" --minify-whitespace --legal-comments=inline \
  --charset=utf8 --log-level=error --outdir="$OUT/esbuild" --outbase="$SRC" "${FILES[@]}")
report "esbuild --minify-whitespace" "$T" "$(size "$OUT/esbuild")"

# Debian's minify refuses some valid scripts (it reports them and goes on).
T=$(TOLERATE=1 best env GOMAXPROCS=1 taskset -c 0 minify --js-keep-var-names -o "$OUT/minify/" "${FILES[@]}")
REFUSED=$(grep -c '^ERROR' "$OUT/last.err" || true)
report "minify (Debian)" "$T" "$(size "$OUT/minify")"
[ "$REFUSED" = 0 ] || echo "  (minify refused $REFUSED files; output bytes count only the others)"
