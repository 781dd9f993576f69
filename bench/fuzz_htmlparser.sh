#!/usr/bin/env bash
# Fuzzes the HTML parser with libFuzzer (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer, LeakSanitizer) for SECONDS seconds (default 60).
#
#   bench/fuzz_htmlparser.sh [SECONDS] [extra libFuzzer options...]
#
# Builds in build-fuzz/ beside this script's project. The corpus grows in
# build-fuzz/fuzz-corpus/; a crashing input is written to build-fuzz/fuzz-artifacts/
# and the script exits non-zero. Keep such inputs as regression tests by copying
# them to htmlparser/testdata/ (the unit tests parse every file there).
set -euo pipefail

SECONDS_TO_RUN="${1:-60}"
shift || true
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-fuzz"

if ! command -v clang++ >/dev/null; then
  echo "fuzz_htmlparser: clang++ is needed (apt-get install clang)" >&2
  exit 1
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPAN_FUZZ=ON \
  -DLARKSPAN_BUILD_TESTS=OFF -DLARKSPAN_BUILD_UI=OFF >/dev/null
cmake --build "$BUILD" -j2 --target fuzz_htmlparser

CORPUS="$BUILD/fuzz-corpus"
ARTIFACTS="$BUILD/fuzz-artifacts"
mkdir -p "$CORPUS" "$ARTIFACTS"
# Seeds: the regression inputs and the sample pages of the test data.
cp -n "$ROOT"/htmlparser/testdata/* "$CORPUS"/ 2>/dev/null || true

exec "$BUILD/bin/fuzz_htmlparser" "$CORPUS" \
  -dict="$ROOT/htmlparser/fuzz_htmlparser.dict" \
  -max_total_time="$SECONDS_TO_RUN" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$ARTIFACTS/" "$@"
