#!/usr/bin/env bash
# test262 by execution before and after minifying (see runner.mjs for the
# options and what is compared and counted apart).
#
#   bench/test262/run.sh [--sample N] [--levels safe,smallest] [options...]
#
# test262 is read from $TEST262 (default /work/ext/test262: test/ and
# harness/ of tc39/test262, taken out of a clone with `git archive`); the
# minifier is $MINIFY (default: build/bin/larkspan-minify). js-yaml comes
# from the lock file (npm ci); work files go to build-bench/test262/.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
[ -d "$HERE/node_modules/js-yaml" ] || npm ci --prefix "$HERE" --no-audit --no-fund --prefer-offline >&2
exec node "$HERE/runner.mjs" "$@"
