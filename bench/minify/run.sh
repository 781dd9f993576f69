#!/usr/bin/env bash
# Throughput of our minifiers beside Debian's minify and esbuild, per kind
# of file, on a generated corpus and (when given) a real site folder.
#
#   bench/minify/run.sh [SITE_FOLDER] [MEGABYTES] [REPEAT]
#
# Defaults: a 20 MB generated corpus, best of 5. Installs Debian's minify
# when it is missing and the npm peers from package-lock.json. Work files go
# to build-bench/minify/. Figures are MB (10^6 bytes) per CPU second, so a
# busy machine distorts them less:
#   ours     the native minifiers in one process, files already in memory
#   minify   the sum of minify's own per-file times (its -v output: the
#            minification alone, like ours), GOMAXPROCS=1; ratio = ours/minify
#   minify_p the whole minify process (start, reading, writing), CPU time
#   esbuild_p one esbuild process for all files of the kind (style sheets
#            and scripts only), GOMAXPROCS=1, CPU time
# Sizes: bytes out per kind; a file our minifier refuses is counted at its
# own size, because the engine copies it. esbuild refuses GBK scripts (a
# trail byte 0x5C reads as an escape) and fails a whole run for one file, so
# it runs on the files it accepts alone ("/Nf": how many) and its MB/s and
# size count those.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

SITE="${1:-}"
MB="${2:-20}"
REPEAT="${3:-5}"

if ! command -v minify >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "run.sh: installing minify" >&2
  $SUDO apt-get install -y -qq --no-install-recommends minify >/dev/null
fi
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is needed (apt-get install time)" >&2; exit 1; }
ESBUILD="$HERE/node_modules/.bin/esbuild"

regex() {
  case "$1" in page) echo '\.html?$' ;; css) echo '\.css$' ;; xml) echo '\.xml$' ;; js) echo '\.m?js$' ;; esac
}

# minify_core DIR KIND -> "seconds bytes_out" (best of REPEAT runs)
minify_core() {
  local BEST="" BYTES=0
  for _ in $(seq "$REPEAT"); do
    rm -rf "$OUT/peer"
    local T
    T=$( (GOMAXPROCS=1 minify -v -r --match="$(regex "$2")" -o "$OUT/peer/" "$1" 2>&1 || true) |
        awk 'match($0, /^\( *[0-9.]+[a-zµ]+,/) {
               v = substr($0, 2, RLENGTH - 2); gsub(/ /, "", v); n = v + 0; u = v; sub(/^[0-9.]+/, "", u)
               s += (u == "ns") ? n / 1e9 : (u == "µs") ? n / 1e6 : (u == "ms") ? n / 1e3 : n }
             END { printf "%.6f", s }')
    BEST=$(echo "$T ${BEST:-$T}" | awk '{ print ($1 < $2) ? $1 : $2 }')
  done
  BYTES=$(find "$OUT/peer" -type f -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')
  echo "$BEST $BYTES"
}

# cpu_of CMD... -> best user+sys seconds of REPEAT runs
cpu_of() {
  local BEST=""
  for _ in $(seq "$REPEAT"); do
    local T
    /usr/bin/time -f '%U %S' -o "$OUT/time.txt" "$@" >/dev/null 2>&1 || true
    T=$(tail -1 "$OUT/time.txt" | awk '{ print $1 + $2 }')
    BEST=$(echo "$T ${BEST:-$T}" | awk '{ print ($1 < $2) ? $1 : $2 }')
  done
  echo "$BEST"
}

bench() {
  local DIR="$1" LABEL="$2"
  echo
  echo "== $LABEL ($DIR)"
  "$BENCH" "$DIR" "$REPEAT" > "$OUT/ours.txt"
  # The driver's whole process, reading the files included.
  local OURS_WALL
  OURS_WALL=$(cpu_of "$BENCH" "$DIR" 1)
  printf "%-5s %6s %8s %9s %9s %9s %9s %9s | %10s %10s %14s | %s\n" kind files MB_in \
    ours minify ratio minify_p esbuild_p out_ours out_minify out_esbuild "ours refused"
  for KIND in page css xml js; do
    local LINE
    LINE=$(awk -v k="$KIND" '$1 == k' "$OUT/ours.txt")
    [ -z "$LINE" ] && continue
    read -r _ NFILES IN OK REFUSED OUTB SECS MBS <<<"$LINE"
    read -r MSECS MBYTES < <(minify_core "$DIR" "$KIND")
    local MCPU
    MCPU=$(GOMAXPROCS=1 cpu_of minify -r --match="$(regex "$KIND")" -o "$OUT/peer/" "$DIR")
    MCPU=$(echo "$IN $MCPU" | awk '{ printf "%.1f", ($2 > 0) ? $1 / 1e6 / $2 : 0 }')
    local ESB="-" EBYTES="-"
    if [ "$KIND" = css ] || [ "$KIND" = js ]; then
      # Only the files esbuild accepts one by one (it refuses a whole run
      # for one bad file); its MB/s counts those files' bytes.
      mapfile -t ALL < <(find "$DIR" -type f -regextype posix-extended -iregex ".*$(regex "$KIND")")
      local LIST=() EIN=0
      for F in "${ALL[@]}"; do
        if "$ESBUILD" --minify --charset=utf8 --log-level=error "$F" >/dev/null 2>&1; then
          LIST+=("$F")
          EIN=$((EIN + $(stat -c %s "$F")))
        fi
      done
      local ET
      ET=$(GOMAXPROCS=1 cpu_of "$ESBUILD" --minify --charset=utf8 --log-level=silent \
             --outdir="$OUT/esb" --outbase="$DIR" --allow-overwrite "${LIST[@]}")
      rm -rf "$OUT/esb"
      GOMAXPROCS=1 "$ESBUILD" --minify --charset=utf8 --log-level=silent --outdir="$OUT/esb" \
        --outbase="$DIR" "${LIST[@]}" >/dev/null 2>&1 || true
      EBYTES="$(find "$OUT/esb" -type f -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')/${#LIST[@]}f"
      ESB=$(echo "$EIN $ET" | awk '{ printf "%.1f", ($2 > 0) ? $1 / 1e6 / $2 : 0 }')
    fi
    local MMBS
    MMBS=$(echo "$IN $MSECS" | awk '{ printf "%.1f", ($2 > 0) ? $1 / 1e6 / $2 : 0 }')
    # A kind whose minifier refuses every file has no throughput to compare.
    [ "$OK" = 0 ] && MBS="refused"
    printf "%-5s %6s %8.2f %9s %9s %8.1fx %9s %9s | %10s %10s %14s | %s of %s\n" "$KIND" "$NFILES" \
      "$(echo "$IN" | awk '{ print $1 / 1e6 }')" "$MBS" "$MMBS" \
      "$(echo "$MBS $MMBS" | awk '{ print ($1 + 0 > 0 && $2 > 0) ? $1 / $2 : 0 }')" "$MCPU" "$ESB" "$OUTB" "$MBYTES" \
      "$EBYTES" "$REFUSED" "$NFILES"
  done
  echo "ours, whole process (read + all kinds, one run): $OURS_WALL CPU s for" \
    "$(awk '{ s += $3 } END { printf "%.1f MB", s / 1e6 }' "$OUT/ours.txt")"
}

echo "MB per CPU second, best of $REPEAT; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
bench "$(corpus "$MB")" "generated corpus, $MB MB"
[ -n "$SITE" ] && bench "$SITE" "site"
exit 0
