#!/usr/bin/env bash
# Builds the jsminify driver (optimised as the product's RelWithDebInfo build).
#   bench/jsverify/build.sh OUTPUT [SOURCE_TREE]
# SOURCE_TREE (default: this checkout) gives minify/ and platform/MinifyLevel
# to build against, e.g. an export of another branch; the driver is this one.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TREE="${2:-$ROOT}"
SOURCES=()
for S in "$TREE"/minify/*.cpp; do
  case "$S" in *_test.cpp | */MinifyTestUtil.cpp) ;; *) SOURCES+=("$S") ;; esac
done
CXX=(g++)
command -v ccache >/dev/null && CXX=(ccache g++)
"${CXX[@]}" -std=c++20 -O2 -g -DNDEBUG -I"$TREE" "${SOURCES[@]}" "$TREE/platform/MinifyLevel.cpp" \
  "$TREE/platform/Text.cpp" "$ROOT/bench/jsverify/jsminify.cpp" -o "$1"
