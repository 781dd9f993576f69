#!/usr/bin/env bash
# run.sh [BIN_DIR]: benchmarks htmlcompressor.jar (from BIN_DIR, default build/bin, where
# larkspan-minify must sit beside it).
#  1. Start-up: median wall and CPU time per file of `java -jar htmlcompressor.jar` (the
#     engine's options) on a small HTML, CSS and JS file against a trivial `java -cp . Hello`
#     and against larkspan-minify run directly, in one interleaved run. The archive is a front
#     end: it runs the native minifier in its JVM through liblarkspan-minify-jni.so beside it,
#     or else starts larkspan-minify ("html, program": a copy of the archive without the
#     library).
#  2. Output quality: bytes saved per file type on a generated site and on examples/site,
#     side by side with Debian's minify (package minify) in the same run.
# Needs: default-jdk-headless, python3, minify.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=$(cd "${1:-$root/build/bin}" && pwd)
jar=$bin/htmlcompressor.jar
for p in java javac python3 minify; do
  command -v $p >/dev/null || { echo "missing $p: apt-get install default-jdk-headless python3 minify" >&2; exit 1; }
done
[ -f "$jar" ] || { echo "no $jar: build the targets htmlcompressor_jar and larkspan-minify first" >&2; exit 1; }
[ -x "$bin/larkspan-minify" ] || { echo "no $bin/larkspan-minify: build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
RUNS=${RUNS:-30}

# --- 1. start-up ------------------------------------------------------------------------
"$here/gensite.sh" "$work/site" 3
cd "$work"
printf 'public class Hello { public static void main(String[] a) {} }\n' > Hello.java
javac Hello.java
mkdir -p program
cp "$jar" "$bin/larkspan-minify" program/
cp site/page1.html small.html
head -n 61 site/css/style1.css > small.css  # six whole rules
head -n 21 site/js/app1.js > small.js   # two whole functions
opts="--preserve-comments -c UTF-8 --compress-css --compress-js --nomunge --preserve-php --preserve-server-script"

# The runs are interleaved (every command once per round), so that a change in the machine's
# load hits all of them alike; the median per command is reported.
python3 - "$RUNS" "$jar" "$work" "$opts" "$bin/larkspan-minify" <<'PY'
import resource, statistics, subprocess, sys, time
runs, jar, work, opts, native = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4].split(), sys.argv[5]
base = ["--preserve-comments", "-c", "UTF-8", "--preserve-php", "--preserve-server-script"]
commands = {
    "hello": ["java", "-cp", work, "Hello"],
    "html": ["java", "-jar", jar] + base + ["-o", "out.html", "small.html"],
    "html+inline": ["java", "-jar", jar] + opts + ["-o", "out.html", "small.html"],
    "css": ["java", "-jar", jar] + opts + ["-o", "out.css", "small.css"],
    "js": ["java", "-jar", jar] + opts + ["-o", "out.js", "small.js"],
    "html,program": ["java", "-jar", work + "/program/htmlcompressor.jar"] + base + ["-o", "out.html", "small.html"],
    "native html": [native] + opts + ["-o", "out.html", "small.html"],
}
times = {c: [] for c in commands}
cpu = {c: [] for c in commands}
for round in range(runs + 3):
    for c, argv in commands.items():
        r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        # An exit status of 1 (a file the minifier refused) still measures the start-up.
        rc = subprocess.run(argv, cwd=work, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL).returncode
        t1 = time.perf_counter()
        r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
        if rc not in (0, 1):
            sys.exit(f"{c}: exit {rc}")
        if round >= 3:  # the first rounds warm the file cache
            times[c].append((t1 - t0) * 1000)
            cpu[c].append((r1.ru_utime + r1.ru_stime - r0.ru_utime - r0.ru_stime) * 1000)
print("   html: engine options without --compress-css/--compress-js; html+inline: with both;")
print("   html,program: through larkspan-minify instead of the library; native html: larkspan-minify")
print("   itself, without Java")
print(f"== start-up, median over {runs} interleaved runs")
print(f"{'file':12}{'wall ms':>18}{'CPU ms':>18}")
hw, hc = statistics.median(times["hello"]), statistics.median(cpu["hello"])
for c in commands:
    w, u = statistics.median(times[c]), statistics.median(cpu[c])
    print(f"{c:12}{w:10.1f} ({w / hw:4.2f}x){u:10.1f} ({u / hc:4.2f}x)")
print("(x) = times the bare JVM start (hello)")
PY

# --- 2. output quality ------------------------------------------------------------------
quality() {
  local site=$1 label=$2
  local out_ours=$work/ours out_peer=$work/peer
  rm -rf "$out_ours" "$out_peer"
  echo "== output quality: $label"
  printf '%-6s %6s %10s %12s %8s %12s %8s\n' type files orig_bytes ours_bytes saved minify_bytes saved
  for ext in html css js xml; do
    local n=0 orig=0 ours=0 peer=0 fails=0 pfails=0
    while IFS= read -r -d '' f; do
      local s; s=$(stat -c %s "$f")
      mkdir -p "$out_ours" "$out_peer"
      if java -jar "$jar" $opts -o "$out_ours/x.$ext" "$f" 2>/dev/null; then
        ours=$((ours + $(stat -c %s "$out_ours/x.$ext")))
      else
        ours=$((ours + s)); fails=$((fails + 1))
      fi
      if minify -o "$out_peer/x.$ext" "$f" 2>/dev/null; then
        peer=$((peer + $(stat -c %s "$out_peer/x.$ext")))
      else
        peer=$((peer + s)); pfails=$((pfails + 1))
      fi
      n=$((n + 1)); orig=$((orig + s))
    done < <(find "$site" -type f -iname "*.$ext" -print0)
    [ $n -eq 0 ] && continue
    awk -v t=$ext -v n=$n -v o=$orig -v a=$ours -v b=$peer -v f=$fails -v g=$pfails 'BEGIN {
      printf "%-6s %6d %10d %12d %7.1f%% %12d %7.1f%%%s\n", t, n, o, a, (o-a)*100/o, b, (o-b)*100/o,
        (f || g) ? sprintf("  (failed: ours %d, minify %d: counted unminified)", f, g) : "" }'
  done
}
"$here/gensite.sh" "$work/gen" 20
quality "$work/gen" "generated site (20 pages)"
[ -d "$root/examples/site" ] && quality "$root/examples/site" "examples/site"
echo "(minify also drops comments, optional tags and attribute quotes and renames local script"
echo " variables; ours keeps comments and names, as --preserve-comments and --nomunge ask)"
