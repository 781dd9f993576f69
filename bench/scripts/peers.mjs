// Script sizes and speed of larkspan-minify beside terser and esbuild, same
// run, same files. Started by run.sh (read its head for the options).
//
//   node peers.mjs --work DIR --minify BIN --driver JSMINIFY SITE...
//
// Prints one table: per tool, the output's raw bytes and gzip -9 bytes as a
// share of the original, per site and for all; throughput on one core; peak
// memory. Writes DIR/table.txt.
import fs from 'node:fs';
import path from 'node:path';
import { spawn, spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(import.meta.url);
const acorn = require('acorn');

function parseArgs(argv) {
  const o = { sites: [], rounds: 3 };
  for (let i = 0; i < argv.length; ++i) {
    const a = argv[i];
    if (a === '--work') o.work = path.resolve(argv[++i]);
    else if (a === '--minify') o.minify = path.resolve(argv[++i]);
    else if (a === '--driver') o.driver = path.resolve(argv[++i]);
    else if (a === '--rounds') o.rounds = Number(argv[++i]);
    else o.sites.push(path.resolve(a));
  }
  if (!o.work || !o.minify || !o.driver || !o.sites.length) {
    console.error('usage: node peers.mjs --work DIR --minify BIN --driver JSMINIFY SITE...');
    process.exit(2);
  }
  return o;
}

function* walk(dir) {
  for (const e of fs.readdirSync(dir, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
    const p = path.join(dir, e.name);
    if (e.isDirectory()) {
      if (e.name !== 'node_modules' && e.name !== '.git') yield* walk(p);
    } else if (/\.m?js$/.test(e.name)) yield p;
  }
}

function sourceType(text, ext) {
  const ok = (t) => {
    try {
      acorn.parse(text, { ecmaVersion: 'latest', sourceType: t, allowHashBang: true });
      return true;
    } catch (e) {
      return false;
    }
  };
  if (ext === '.mjs') return ok('module') ? 'module' : null;
  return ok('script') ? 'script' : ok('module') ? 'module' : null;
}

const gzip9 = (file) => spawnSync('gzip', ['-9', '-n', '-c', file], { maxBuffer: 1 << 30 }).stdout.length;

// Runs a command under /usr/bin/time -v on core 0; { ms, rss, stdout, status }.
function timed(cmd, args, env = {}) {
  const t0 = process.hrtime.bigint();
  const r = spawnSync('/usr/bin/time', ['-v', 'taskset', '-c', '0', cmd, ...args], {
    env: { ...process.env, ...env },
    encoding: 'utf8',
    maxBuffer: 1 << 28,
  });
  const ms = Number(process.hrtime.bigint() - t0) / 1e6;
  const field = (re) => Number((re.exec(r.stderr || '') || [0, 0])[1]);
  const cpu = field(/User time \(seconds\): ([\d.]+)/) + field(/System time \(seconds\): ([\d.]+)/);
  const rss = field(/Maximum resident set size \(kbytes\): (\d+)/) * 1024;
  return { ms, cpu, rss, stdout: r.stdout, stderr: r.stderr, status: r.status };
}

function best(n, f) {
  let b = null;
  for (let i = 0; i < n; ++i) {
    const r = f();
    if (!b || r.cpu < b.cpu) b = { ...r, rss: Math.max(r.rss, b ? b.rss : 0) };
    else b.rss = Math.max(b.rss, r.rss);
  }
  return b;
}

async function oursPerFile(o, files, level, outDir) {
  let next = 0, refused = 0;
  const lane = async () => {
    while (next < files.length) {
      const f = files[next++];
      const out = path.join(outDir, f.name);
      await new Promise((resolve) => {
        const c = spawn(o.minify, ['--level', level, '--type', f.module ? 'mjs' : 'js', '-o', out, f.copy], {
          stdio: 'ignore',
        });
        c.on('close', (code) => {
          // A refused file is published as it was
          if (code !== 0 || !fs.existsSync(out)) {
            ++refused;
            fs.copyFileSync(f.copy, out);
          }
          resolve();
        });
      });
    }
  };
  await Promise.all([lane(), lane()]);
  return refused;
}

const mb = (bytes) => (bytes / 1e6).toFixed(2);
const pct = (a, b) => (b ? ((100 * a) / b).toFixed(1) + '%' : '-');

async function main() {
  const o = parseArgs(process.argv.slice(2));
  fs.rmSync(o.work, { recursive: true, force: true });
  const src = path.join(o.work, 'src');
  fs.mkdirSync(src, { recursive: true });

  // Every script of the sites that acorn parses, copied under one folder.
  const files = [];
  const skipped = [];
  for (const [k, site] of o.sites.entries()) {
    for (const p of walk(site)) {
      const text = fs.readFileSync(p, 'utf8');
      const type = sourceType(text, path.extname(p));
      if (!type) {
        skipped.push(p);
        continue;
      }
      const name = `${k}-${files.length}${type === 'module' ? '.mjs' : '.js'}`;
      const copy = path.join(src, name);
      fs.copyFileSync(p, copy);
      files.push({ site: k, path: p, name, copy, module: type === 'module', bytes: fs.statSync(p).size });
    }
  }
  for (const f of files) f.gz = gzip9(f.copy);
  const list = path.join(o.work, 'list.txt');
  fs.writeFileSync(list, files.map((f) => `${f.module ? 'module' : 'script'}\t${f.copy}\t/dev/null`).join('\n') + '\n');
  const inBytes = files.reduce((s, f) => s + f.bytes, 0);

  const tools = [];
  // Ours: sizes from the program under test, speed from the driver in process.
  for (const level of ['spaces', 'safe', 'smallest']) {
    const out = path.join(o.work, `larkspan-${level}`);
    fs.mkdirSync(out);
    const refused = await oursPerFile(o, files, level, out);
    const run = best(1, () => timed(o.driver, ['--level', level, '--time', String(o.rounds), list]));
    const [bytes, , , seconds] = run.stdout.trim().split(/\s+/).map(Number);
    tools.push({ name: `larkspan ${level}`, out, seconds, rss: run.rss, note: refused ? `${refused} refused` : '' });
    if (bytes !== inBytes) tools[tools.length - 1].note += ` (driver read ${bytes} bytes)`;
  }

  const bin = path.join(HERE, 'node_modules/.bin');
  // The package's own program, not the node launcher npm puts in .bin when
  // install scripts do not run (its node start would count as esbuild's time)
  const native = path.join(HERE, `node_modules/@esbuild/${process.platform}-${process.arch}/bin/esbuild`);
  const esbuild = fs.existsSync(native) ? native : path.join(bin, 'esbuild');
  const rel = files.map((f) => f.copy);
  for (const [name, flags] of [
    ['esbuild --minify', ['--minify']],
    ['esbuild --minify-whitespace --minify-syntax', ['--minify-whitespace', '--minify-syntax']],
  ]) {
    const out = path.join(o.work, name.replace(/[^a-z]+/g, '-'));
    const run = best(o.rounds, () =>
      timed(esbuild, [...flags, '--charset=utf8', '--log-level=error', `--outdir=${out}`, `--outbase=${src}`, ...rel], {
        GOMAXPROCS: '1',
      }),
    );
    if (run.status !== 0) throw new Error(`${name} failed: ${run.stderr}`);
    tools.push({ name, out, seconds: run.cpu, rss: run.rss, note: 'process, files' });
  }
  {
    const out = path.join(o.work, 'terser');
    fs.mkdirSync(out);
    const run = timed(process.execPath, [path.join(HERE, 'terser-run.mjs'), list, out]);
    if (run.status !== 0) throw new Error(`terser failed: ${run.stderr}`);
    tools.push({ name: 'terser -c -m', out, seconds: Number(run.stdout.trim()), rss: run.rss, note: 'in process (node)' });
  }

  // Sizes per site and for all.
  const sites = o.sites.map((s, k) => ({ name: path.basename(s), k }));
  const total = (fs_, key) => fs_.reduce((s, f) => s + f[key], 0);
  const lines = [];
  lines.push(`scripts that acorn parses: ${files.length} (${skipped.length} other files skipped), ${mb(inBytes)} MB`);
  for (const s of sites) {
    const fsx = files.filter((f) => f.site === s.k);
    lines.push(`  ${s.name}: ${fsx.length} files, ${mb(total(fsx, 'bytes'))} MB, gzip -9 ${mb(total(fsx, 'gz'))} MB`);
  }
  lines.push(`minifier under test: ${o.minify}; in-process speed: ${o.driver}`);
  lines.push('');
  const head = ['tool'.padEnd(44)];
  for (const s of [...sites.map((x) => x.name), 'all']) head.push(` ${s} raw`.padStart(14), 'gzip'.padStart(7));
  head.push('MB/cpu-s'.padStart(10), 'peak RSS'.padStart(10), '  note');
  lines.push(head.join(''));
  for (const t of tools) {
    for (const f of files) {
      const p = path.join(t.out, f.name);
      f.outBytes = fs.statSync(p).size;
      f.outGz = gzip9(p);
    }
    const row = [t.name.padEnd(44)];
    for (const group of [...sites.map((s) => files.filter((f) => f.site === s.k)), files]) {
      row.push(pct(total(group, 'outBytes'), total(group, 'bytes')).padStart(14), pct(total(group, 'outGz'), total(group, 'gz')).padStart(7));
    }
    row.push((inBytes / t.seconds / 1e6).toFixed(1).padStart(10), `${mb(t.rss)} MB`.padStart(10), `  ${t.note}`);
    lines.push(row.join(''));
  }

  // Memory on the largest file alone, against a run on no file.
  const largest = files.reduce((a, f) => (f.bytes > a.bytes ? f : a), files[0]);
  const one = path.join(o.work, 'largest.txt');
  const none = path.join(o.work, 'none.txt');
  fs.writeFileSync(one, `${largest.module ? 'module' : 'script'}\t${largest.copy}\t${path.join(o.work, 'largest.out')}\n`);
  fs.writeFileSync(none, '');
  lines.push('');
  for (const level of ['safe', 'smallest']) {
    const a = timed(o.driver, ['--level', level, one]);
    const b = timed(o.driver, ['--level', level, none]);
    lines.push(
      `memory at ${level}, largest file (${(largest.bytes / 1e3).toFixed(0)} KB, ${path.relative(path.dirname(o.sites[largest.site]), largest.path)}): ` +
        `peak RSS ${mb(a.rss)} MB, ${mb(a.rss - b.rss)} MB over an empty run = ${((a.rss - b.rss) / largest.bytes).toFixed(1)}x the file`,
    );
  }
  lines.push('');
  lines.push('Sizes: share of the original bytes; gzip -9 per file. Speed: input MB per second of processor time (user +');
  lines.push(`system, so that load on the machine does not count), on core 0 (taskset), best of ${o.rounds}: larkspan in`);
  lines.push('process (jsminify driver, files read first), esbuild one process for all files (GOMAXPROCS=1, start, reading');
  lines.push('and writing included), terser in one node process (its minify calls only). Peak RSS of that run (/usr/bin/time -v).');
  const table = lines.join('\n') + '\n';
  fs.writeFileSync(path.join(o.work, 'table.txt'), table);
  process.stdout.write(table);
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
