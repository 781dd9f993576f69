#!/usr/bin/env bash
# A fake larkspan-cli that shows the check catches the five faults: it runs the real one,
# then breaks its output the way a faulty minifier would (N.0 units lost, `or(`/`not(`,
# the "use strict" directive dropped, zero-width characters dropped, white space collapsed
# in the class-styled <code> block).
#   LARKSPAN_CLI=bench/render/fake-broken-cli.sh bench/render/run.sh   (must exit 1)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
real=${LARKSPAN_REAL_CLI:-$here/../../build/bin/larkspan-cli}
[ -x "$real" ] || real=/work/main/build/bin/larkspan-cli
"$real" "$@"
out=${!#}
for f in "$out"/*.css; do sed -i -E 's/([0-9])\.0(%|px)/\1.0/g; s/ or \(/ or(/g; s/not \(/not(/g' "$f"; done
for f in "$out"/*.js; do
  sed -i 's/"use strict";//' "$f"
  # U+200B, U+200C, U+200D, U+FEFF as UTF-8 bytes (the locale may not be UTF-8)
  sed -i 's/\xe2\x80\x8b//g; s/\xe2\x80\x8c//g; s/\xe2\x80\x8d//g; s/\xef\xbb\xbf//g' "$f"
done
[ -f "$out/pre-class.html" ] && python3 - "$out/pre-class.html" <<'PY'
import re, sys
p = sys.argv[1]
s = open(p, encoding="utf-8").read()
s = re.sub(r'(<code class="x">)(.*?)(</code>)', lambda m: m[1] + re.sub(r"\s+", " ", m[2]) + m[3], s, flags=re.S)
open(p, "w", encoding="utf-8").write(s)
PY
exit 0
