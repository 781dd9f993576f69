#!/usr/bin/env bash
# Builds the jsminify driver (optimised as the product's RelWithDebInfo build).
#   bench/jsverify/build.sh OUTPUT
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
SOURCES=()
for S in "$ROOT"/minify/*.cpp; do
  case "$S" in *_test.cpp) ;; *) SOURCES+=("$S") ;; esac
done
g++ -std=c++20 -O2 -g -DNDEBUG -I"$ROOT" "${SOURCES[@]}" "$ROOT/bench/jsverify/jsminify.cpp" -o "$1"
