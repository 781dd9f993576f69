#!/usr/bin/env bash
# run.sh [SITE]: how evenly the percentage larkspan-cli shows moves through a whole run.
#
# Runs `larkspan-cli --all` on SITE (default: the generated site of bench/whole-run, made
# with make-site.py) under a pseudo-terminal, so that it draws its progress line, and
# reads back every percentage it showed with the time it showed it. Prints, at each tenth
# of the run's wall time, the percentage shown then beside the share of files done then
# (what a count of files alone would show), and the largest gap between the shown
# percentage and the share of time gone: 0 would be a bar that moves perfectly evenly;
# then how far the time-left estimates put the end of the run, and whether 100% ever
# showed with files left.
#
# Environment: BUILD (folder with bin/larkspan-cli, default ./build), JOBS (passed as
# --jobs when set), CHARSET (default UTF-8). Needs python3 (and, for the generated site,
# what bench/whole-run/make-site.py needs).
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${BUILD:-$here/../../build}" && pwd)
cli=$build/bin/larkspan-cli
[ -x "$cli" ] || { echo "no $cli: build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ $# -ge 1 ]; then
  site=$(cd "$1" && pwd)
else
  echo "generating the site ..." >&2
  python3 "$here/../whole-run/make-site.py" "$work/site" 1 >&2
  site=$work/site
fi
args=(--all --charset "${CHARSET:-UTF-8}")
# The whole work, never results from the cache of results.
"$cli" --help 2>&1 | grep -q -- --no-cache && args+=(--no-cache)
[ -n "${JOBS:-}" ] && args+=(--jobs "$JOBS")
python3 - "$cli" "$site" "$work/out" "${args[@]}" <<'PY'
import os, pty, re, sys, time

cli, site, out = sys.argv[1:4]
args = sys.argv[4:]
line = re.compile(rb"\[\s*(\d+)/(\d+) files\] work\s+(\d+)%\s+(\d+):(\d+)(?: ~(\d+):(\d+) left)?")
samples = []  # (seconds, percent, files done, files)
start = time.monotonic()
pid, fd = pty.fork()
if pid == 0:
    os.execv(cli, [cli, *args, site, out])
buf = b""
while True:
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    now = time.monotonic() - start
    buf += data
    end = 0
    for m in line.finditer(buf):
        left = int(m.group(6)) * 60 + int(m.group(7)) if m.group(6) else -1
        samples.append((now, int(m.group(3)), int(m.group(1)), int(m.group(2)), left))
        end = m.end()
    buf = buf[end:][-200:]
_, status = os.waitpid(pid, 0)
wall = time.monotonic() - start
if not samples:
    sys.exit("no progress line was read (exit status %d)" % status)
print("wall time %.1f s, %d progress updates" % (wall, len(samples)))
print("%8s %10s %12s" % ("time", "shown %", "files done %"))
worst = 0.0
for tenth in range(1, 10):
    t = wall * tenth / 10
    seen = [s for s in samples if s[0] <= t]
    pct, done, total = (seen[-1][1], seen[-1][2], seen[-1][3]) if seen else (0, 0, 1)
    print("%7d%% %10d %12.0f" % (tenth * 10, pct, 100.0 * done / max(total, 1)))
for s in samples:
    worst = max(worst, abs(s[1] - 100.0 * s[0] / wall))
print("largest gap between the shown percentage and the share of time gone: %.0f points" % worst)
# The estimate of time left, read as a forecast of the whole run's wall time.
ends = [(s[0], s[0] + s[4]) for s in samples if s[4] >= 0]
if ends:
    off = max(abs(e - wall) for _, e in ends)
    print("time-left estimates: %d, the whole run forecast between %.0f s and %.0f s (%.1f s), "
          "worst %.0f s off" % (len(ends), min(e for _, e in ends), max(e for _, e in ends), wall, off))
early = [s for s in samples if s[1] >= 100 and s[2] < s[3]]
print("100%% shown with files left: %d times" % len(early))
PY
