# Shared by run.sh and csscheck.sh: paths, the peers, the bench driver.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
HERE="$ROOT/bench/minify"
OUT="$ROOT/build-bench/minify"
mkdir -p "$OUT"

# npm tools from the lock file, in this folder only.
if [ ! -x "$HERE/node_modules/.bin/esbuild" ] || [ ! -d "$HERE/node_modules/css-tree" ]; then
  echo "bench/minify: npm ci" >&2
  (cd "$HERE" && npm ci --no-audit --no-fund --silent)
fi

# The driver, with the product's own optimisation (RelWithDebInfo).
BENCH="$OUT/bench_minify"
SOURCES=("$ROOT"/minify/*.cpp)
FILES=()
for S in "${SOURCES[@]}"; do
  case "$S" in *_test.cpp|*TestUtil.cpp) ;; *) FILES+=("$S") ;; esac
done
if [ ! -x "$BENCH" ] || [ -n "$(find "$ROOT/minify" "$HERE/bench_minify.cpp" -newer "$BENCH" -name '*.[ch]*' | head -1)" ]; then
  echo "bench/minify: building bench_minify" >&2
  g++ -std=c++20 -O2 -g -DNDEBUG -I"$ROOT" "${FILES[@]}" "$ROOT/platform/Text.cpp" "$ROOT/platform/CodePage.cpp" \
    "$ROOT/platform/MinifyLevel.cpp" \
    "$HERE/bench_minify.cpp" -o "$BENCH"
fi

# corpus MEGABYTES -> folder of a generated corpus (written once per size).
corpus() {
  local DIR="$OUT/corpus-$1"
  if [ ! -f "$DIR/.done" ]; then
    rm -rf "$DIR"
    python3 "$HERE/gencorpus.py" "$DIR" "$1"
    touch "$DIR/.done"
  fi
  echo "$DIR"
}
