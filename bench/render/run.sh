#!/usr/bin/env bash
# Rendering check: slims SITE with `larkspan-cli --html --css --js --xml`, serves the original
# and the slimmed copy on 127.0.0.1, screenshots every .html page of both in headless Chromium
# and compares each pair pixel for pixel.
#   bench/render/run.sh [SITE...]   (default: bench/render/probe-site, then examples/site)
# Prints one line per page (same / DIFFERENT with the count of differing pixels) and a summary
# per site; exits 1 when any page differs, 2 when the check itself could not run.
# Needs larkspan-cli (LARKSPAN_CLI, else build/bin, else /work/main/build/bin); installs
# chromium when missing. Screenshots are kept in $RENDER_DIR (default: a fresh temp folder).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
cli=${LARKSPAN_CLI:-$top/build/bin/larkspan-cli}
[ -x "$cli" ] || cli=/work/main/build/bin/larkspan-cli
[ -x "$cli" ] || { echo "build first: cmake --build build --target larkspan-cli" >&2; exit 2; }
if ! command -v chromium >/dev/null; then
  apt-get install -y -qq chromium >/dev/null || sudo apt-get install -y -qq chromium >/dev/null
fi
command -v chromium >/dev/null || { echo "chromium is not installed" >&2; exit 2; }
if [ $# -eq 0 ]; then set -- "$here/probe-site" "$top/examples/site"; fi

work=${RENDER_DIR:-$(mktemp -d /tmp/larkspan-render.XXXXXX)}
mkdir -p "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
}
trap cleanup EXIT
trap 'exit 2' INT TERM

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# serve DIR: starts a static server on 127.0.0.1 and sets $port once it answers.
serve() {
  local dir=$1
  port=$(free_port)
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$dir" \
    >"$work/server.$port.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    if python3 -c "import urllib.request as u; u.urlopen('http://127.0.0.1:$port/', timeout=1)" \
      2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  echo "server for $dir did not start" >&2
  return 1
}

shot() {  # shot URL FILE
  local prof
  prof=$(mktemp -d "$work/profile.XXXXXX")
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$prof" --hide-scrollbars --window-size=1024,1400 \
    --virtual-time-budget=3000 --screenshot="$2" "$1" >"$2.log" 2>&1 || true
  rm -rf "$prof"
  [ -s "$2" ]
}

# diff_pixels A B: prints how many pixels differ (the whole picture when the sizes differ).
diff_pixels() {
  if command -v compare >/dev/null; then
    local n
    n=$(compare -metric AE "$1" "$2" null: 2>&1 >/dev/null || true)
    if [[ $n =~ ^[0-9]+$ ]]; then
      echo "$n"
      return
    fi
  fi
  python3 - "$1" "$2" <<'EOF'
import struct, sys, zlib

def decode(path):
    """Pixels of an 8-bit, non-interlaced PNG as (width, height, rows of bytes per pixel)."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path + ": not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and interlace == 0, path + ": unsupported PNG"
            bpp = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw, stride, prev, rows = zlib.decompress(idat), w * bpp, bytearray(w * bpp), []
    for y in range(h):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return w, h, bpp, rows

(w1, h1, p1, r1), (w2, h2, p2, r2) = decode(sys.argv[1]), decode(sys.argv[2])
if (w1, h1, p1) != (w2, h2, p2):
    print(max(w1 * h1, w2 * h2))
else:
    print(sum(1 for a, b in zip(r1, r2) if a != b for x in range(w1)
              if a[x * p1:(x + 1) * p1] != b[x * p1:(x + 1) * p1]))
EOF
}

status=0
for site in "$@"; do
  site=$(cd "$site" && pwd)
  name=$(basename "$site")
  out="$work/$name.slim"
  rm -rf "$out"
  if ! env -u LANG -u LC_ALL "$cli" --quiet --html --css --js --xml "$site" "$out"; then
    echo "$name: larkspan-cli failed" >&2
    status=2
    continue
  fi
  serve "$site" || { status=2; continue; }
  p_orig=$port
  serve "$out" || { status=2; continue; }
  p_slim=$port
  same=0 different=0 failed=0
  while IFS= read -r page; do
    key=${page//\//_}
    a="$work/$name.orig.$key.png" b="$work/$name.slim.$key.png"
    if ! shot "http://127.0.0.1:$p_orig/$page" "$a" || ! shot "http://127.0.0.1:$p_slim/$page" "$b"
    then
      echo "$name/$page: NO SCREENSHOT (see $a.log, $b.log)"
      failed=$((failed + 1))
      continue
    fi
    n=$(diff_pixels "$a" "$b")
    if [ "$n" = 0 ]; then
      echo "$name/$page: same"
      same=$((same + 1))
    else
      echo "$name/$page: DIFFERENT ($n pixels; $a vs $b)"
      different=$((different + 1))
    fi
  done < <(cd "$site" && find . -name '*.html' -type f | sed 's|^\./||' | LC_ALL=C sort)
  echo "$name: $((same + different + failed)) pages, $same same, $different different, $failed without screenshot"
  [ $different -eq 0 ] || [ $status -ne 0 ] || status=1
  [ $failed -eq 0 ] || status=2
done
exit $status
