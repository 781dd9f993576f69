// test262 by execution, before and after minifying.
//
//   node runner.mjs [options]
//     --test262 DIR     test262 checkout with test/ and harness/ (default /work/ext/test262)
//     --minify BIN      the larkspan-minify to prove (default: $MINIFY)
//     --driver JSMINIFY minify in one process with bench/jsverify's driver
//                       built from the same source (build.sh), not one
//                       larkspan-minify process a file: much quicker
//     --levels L,L      levels to minify at (default safe,smallest)
//     --paths P,P       folders (or single tests) under DIR to run
//                       (default test/language,test/built-ins)
//     --sample N        about N tests, spread evenly over the sorted list
//     --jobs N          worker processes (default 2, at most 2)
//     --timeout MS      per test run (default 10000)
//     --work DIR        work folder (default build-bench/test262)
//     --cache DIR       outcomes on the original and minifier outputs kept
//                       between runs (default build-bench/test262-cache)
//     --known FILE      differences known and reported elsewhere, one a line:
//                       "LEVEL<TAB>PATH (MODE)"; counted as known, not failed
//                       (a known one that no longer differs is named, so
//                       that the list is kept short)
//
// Each test runs once per mode (sloppy and strict, or the one its flags
// allow; a module once) on the original text and on the minifier's output at
// each level; the minifier gets the text exactly as it runs (the "use strict"
// line in front for a strict run) and a module test's fixtures minified at
// the same level. A file the minifier refuses runs as it was, as a site's
// copy would. A run differs when its outcome (pass or fail; for a negative
// test, the error's phase and type) is not the original's. Differing runs
// are counted apart, not as faults, when the output observes what minifying
// changes by nature:
//   source text  run again with Function.prototype.toString watched, the
//                output turned a function that is not built in into source text;
//   name         at smallest only (the same run passes at safe, or safe was
//                not run) and the test reads a `name` property (`.name`,
//                "name" or 'name' in its text).
// Prints one table; writes WORK/report.txt and WORK/differing.txt. Exits 1
// when a difference is left that is not counted apart.
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fork, spawn, spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import yaml from 'js-yaml';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const ROOT = path.resolve(HERE, '../..');

function parseArgs(argv) {
  const o = {
    test262: process.env.TEST262 || '/work/ext/test262',
    minify: process.env.MINIFY || path.join(ROOT, 'build/bin/larkspan-minify'),
    levels: ['safe', 'smallest'],
    paths: ['test/language', 'test/built-ins'],
    sample: 0,
    jobs: 2,
    timeout: 10000,
    work: path.join(ROOT, 'build-bench/test262'),
    cache: path.join(ROOT, 'build-bench/test262-cache'),
  };
  for (let i = 0; i < argv.length; ++i) {
    const a = argv[i];
    const v = () => {
      if (i + 1 >= argv.length) usage(`${a} needs a value`);
      return argv[++i];
    };
    if (a === '--test262') o.test262 = path.resolve(v());
    else if (a === '--minify') o.minify = path.resolve(v());
    else if (a === '--driver') o.driver = path.resolve(v());
    else if (a === '--levels') o.levels = v().split(',').filter(Boolean);
    else if (a === '--paths') o.paths = v().split(',').filter(Boolean);
    else if (a === '--sample') o.sample = Number(v());
    else if (a === '--jobs') o.jobs = Math.max(1, Math.min(2, Number(v()) || 1));
    else if (a === '--timeout') o.timeout = Number(v());
    else if (a === '--work') o.work = path.resolve(v());
    else if (a === '--known') o.known = path.resolve(v());
    else if (a === '--cache') o.cache = path.resolve(v());
    else usage(`unknown option ${a}`);
  }
  for (const l of o.levels) if (!['spaces', 'safe', 'smallest'].includes(l)) usage(`unknown level ${l}`);
  if (!Number.isInteger(o.sample) || o.sample < 0) usage('--sample takes a whole number');
  if (!(o.timeout > 0)) usage('--timeout takes milliseconds');
  return o;
}

function usage(why) {
  console.error(`runner.mjs: ${why}\n(see the head of bench/test262/runner.mjs)`);
  process.exit(2);
}

function* walk(dir) {
  for (const e of fs.readdirSync(dir, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
    const p = path.join(dir, e.name);
    if (e.isDirectory()) yield* walk(p);
    else if (e.name.endsWith('.js')) yield p;
  }
}

// The test's front matter; null when it has none (then it is no test).
export function readMeta(text) {
  const m = /\/\*---([\s\S]*?)---\*\//.exec(text);
  if (!m) return null;
  let meta;
  try {
    meta = yaml.load(m[1]) || {};
  } catch (e) {
    return null;
  }
  return {
    includes: meta.includes || [],
    flags: meta.flags || [],
    negative: meta.negative ? { phase: meta.negative.phase, type: meta.negative.type } : null,
  };
}

// The ways a test runs, by its flags.
export function modesOf(flags) {
  if (flags.includes('module')) return ['module'];
  if (flags.includes('raw') || flags.includes('noStrict')) return ['sloppy'];
  if (flags.includes('onlyStrict')) return ['strict'];
  return ['sloppy', 'strict'];
}

// The tests chosen: all, or about N spread evenly over the sorted list.
export function pick(all, n) {
  if (!n || n >= all.length) return all;
  const out = [];
  for (let i = 0; i < n; ++i) out.push(all[Math.floor((i * all.length) / n)]);
  return out;
}

// The text a run executes: the test, behind a "use strict" line in strict mode.
function unitText(u) {
  const text = fs.readFileSync(u.file, 'utf8');
  return u.mode === 'strict' ? '"use strict";\n' + text : text;
}

function sha1(...parts) {
  const h = crypto.createHash('sha1');
  for (const p of parts) h.update(p).update('\0');
  return h.digest('hex');
}

// Runs the minifier on every item ({ text, module, out }) at once, J at a
// time; an item it refuses (or that outlives the time-out) gets its input
// as output and refused set. Results are cached by binary, level and text.
async function minifyAll(o, level, items, cacheDir) {
  if (o.driver) return minifyInDriver(o, level, items);
  const bin = fs.readFileSync(o.minify);
  const binHash = sha1(bin);
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'larkspan-test262-'));
  fs.mkdirSync(cacheDir, { recursive: true });
  let next = 0, done = 0;
  const one = (item, k) =>
    new Promise((resolve) => {
      const input = item.read();
      const key = sha1(binHash, level, item.module ? 'mjs' : 'js', input);
      const cached = path.join(cacheDir, key);
      const finish = (text, refused, why) => {
        fs.mkdirSync(path.dirname(item.out), { recursive: true });
        fs.writeFileSync(item.out, text);
        item.refused = refused;
        item.refuseWhy = why;
        resolve();
      };
      if (fs.existsSync(cached)) {
        const c = JSON.parse(fs.readFileSync(cached, 'utf8'));
        return finish(c.refused ? input : c.text, c.refused, c.why);
      }
      const src = path.join(tmp, `${k}.${item.module ? 'mjs' : 'js'}`);
      const dst = src + '.out';
      fs.writeFileSync(src, input);
      const child = spawn(o.minify, ['--level', level, '--type', item.module ? 'mjs' : 'js', '-o', dst, src], {
        stdio: ['ignore', 'ignore', 'pipe'],
      });
      let err = '';
      child.stderr.on('data', (d) => (err += d));
      const timer = setTimeout(() => child.kill('SIGKILL'), 30000);
      child.on('close', (code, signal) => {
        clearTimeout(timer);
        let c;
        if (code === 0 && fs.existsSync(dst)) c = { refused: false, text: fs.readFileSync(dst, 'utf8') };
        else c = { refused: true, why: signal ? `killed by ${signal}` : err.trim().split('\n').pop() || `exit ${code}` };
        try { fs.unlinkSync(src); fs.unlinkSync(dst); } catch (e) { /* not written */ }
        // A crash or time-out is not cached: the next run tries again
        if (!signal) fs.writeFileSync(cached, JSON.stringify(c));
        finish(c.refused ? input : c.text, c.refused, c.why);
      });
    });
  const lane = async () => {
    while (next < items.length) {
      const k = next++;
      await one(items[k], k);
      if (++done % 2000 === 0) process.stderr.write(`  minified ${done}/${items.length} at ${level}\n`);
    }
  };
  await Promise.all(Array.from({ length: o.jobs }, lane));
  fs.rmSync(tmp, { recursive: true, force: true });
}

// minifyAll through the jsminify driver: one process for all items.
function minifyInDriver(o, level, items) {
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'larkspan-test262-'));
  const lines = items.map((item, k) => {
    item.input = path.join(tmp, `${k}.${item.module ? 'mjs' : 'js'}`);
    fs.writeFileSync(item.input, item.read());
    fs.mkdirSync(path.dirname(item.out), { recursive: true });
    try { fs.unlinkSync(item.out); } catch (e) { /* none yet */ }
    return `${item.module ? 'module' : 'script'}\t${item.input}\t${item.out}`;
  });
  const list = path.join(tmp, 'list.txt');
  fs.writeFileSync(list, lines.join('\n') + '\n');
  const r = spawnSync(o.driver, ['--level', level, list], { encoding: 'utf8', maxBuffer: 1 << 28 });
  if (r.status !== 0) throw new Error(`${o.driver} failed: ${r.stderr}`);
  const why = new Map();
  for (const m of r.stdout.matchAll(/^fail (.*?): (.*)$/gm)) why.set(m[1], m[2]);
  // "note INPUT: reason": minified at a lower level only (a fallback)
  const notes = new Map();
  for (const m of r.stdout.matchAll(/^note (.*?): (.*)$/gm)) notes.set(m[1], m[2]);
  for (const item of items) {
    // A refused file is run as it was, as a site's copy would be
    item.refused = !fs.existsSync(item.out);
    if (item.refused) {
      fs.copyFileSync(item.input, item.out);
      item.refuseWhy = why.get(item.input) || 'no output';
    }
    item.note = notes.get(item.input);
  }
  fs.rmSync(tmp, { recursive: true, force: true });
}

// A pool of worker processes; run(job) resolves to the worker's answer, or
// to a failure when the worker outlives the time-out or dies.
class Pool {
  constructor(n, timeout) {
    this.timeout = timeout;
    this.idle = [];
    this.waiting = [];
    this.nextId = 0;
    for (let i = 0; i < n; ++i) this.idle.push(this.spawn());
  }
  spawn() {
    const w = fork(path.join(HERE, 'worker.mjs'), [], {
      execArgv: ['--experimental-vm-modules', '--expose-gc', '--no-warnings', '--stack-size=4000'],
      stdio: ['ignore', 'ignore', 'ignore', 'ipc'],
    });
    w.jobsRun = 0;
    return w;
  }
  run(job) {
    return new Promise((resolve) => {
      this.waiting.push({ job, resolve });
      this.pump();
    });
  }
  pump() {
    while (this.idle.length && this.waiting.length) {
      let w = this.idle.pop();
      const { job, resolve } = this.waiting.shift();
      const id = ++this.nextId;
      let settled = false;
      const settle = (r, replace) => {
        if (settled) return;
        settled = true;
        clearTimeout(timer);
        w.removeAllListeners('message');
        w.removeAllListeners('exit');
        // A worker that hung or died is replaced; a long-lived one now and
        // then, so that no realm's leftovers pile up.
        if (replace || ++w.jobsRun >= 3000) {
          w.kill('SIGKILL');
          w = this.spawn();
        }
        this.idle.push(w);
        if (process.env.SLOW && Date.now() - t0 > 500) process.stderr.write(`slow ${Date.now() - t0} ms: ${job.rel}\n`);
        resolve(r);
        this.pump();
      };
      const t0 = Date.now();
      const timer = setTimeout(() => settle({ pass: false, why: 'timed out', toString: false }, true), (job.timeout || this.timeout) + 5000);
      w.on('message', (m) => m.id === id && settle(m, false));
      w.on('exit', (code, sig) => settle({ pass: false, why: `worker died (${sig || code})`, toString: false }, true));
      w.send({ ...job, id });
    }
  }
  close() {
    for (const w of this.idle) w.kill();
  }
}

async function main() {
  const o = parseArgs(process.argv.slice(2));
  if (!fs.existsSync(path.join(o.test262, 'harness/assert.js'))) usage(`no test262 at ${o.test262}`);
  if (!o.driver && !fs.existsSync(o.minify)) usage(`no minifier at ${o.minify} (set MINIFY or --minify)`);
  const started = Date.now();
  const all = [];
  for (const p of o.paths) {
    const dir = path.join(o.test262, p);
    if (!fs.existsSync(dir)) usage(`no folder ${dir}`);
    // A file names one test (a chunk of a folder that is run in parts)
    const files = fs.statSync(dir).isDirectory() ? walk(dir) : [dir];
    for (const f of files) if (!f.includes('_FIXTURE')) all.push(f);
  }
  const tests = pick(all, o.sample);
  fs.rmSync(path.join(o.work, 'out'), { recursive: true, force: true });

  // Runs: one per test and mode.
  const units = [];
  const fixtureDirs = new Set();
  for (const file of tests) {
    const text = fs.readFileSync(file, 'utf8');
    const meta = readMeta(text);
    if (!meta) continue;
    const rel = path.relative(o.test262, file);
    for (const mode of modesOf(meta.flags)) {
      units.push({ rel, mode, meta, file, source: /\.name\b|["']name["']/.test(text) });
    }
    if (meta.flags.includes('module') || /\bimport\s*\(|_FIXTURE/.test(text)) fixtureDirs.add(path.dirname(file));
  }
  const fixtures = [];
  for (const d of fixtureDirs) {
    for (const e of fs.readdirSync(d)) if (e.endsWith('_FIXTURE.js')) fixtures.push(path.join(d, e));
  }

  // Minify every run's text (and the fixtures) at each level.
  const outputs = {};
  const refused = {};
  const fellBack = {};
  for (const level of o.levels) {
    const tree = path.join(o.work, 'out', level);
    const items = units.map((u) => ({
      read: () => unitText(u),
      module: u.mode === 'module',
      out: path.join(tree, u.rel + (u.mode === 'strict' ? '.strict.js' : '')),
    }));
    for (const f of fixtures) {
      items.push({ read: () => fs.readFileSync(f, 'utf8'), module: true, out: path.join(tree, path.relative(o.test262, f)) });
    }
    process.stderr.write(`minifying ${items.length} files at ${level}\n`);
    await minifyAll(o, level, items, path.join(o.cache, 'minified'));
    outputs[level] = items.slice(0, units.length).map((it) => it.out);
    refused[level] = items.filter((it) => it.refused).map((it) => `${path.relative(tree, it.out)}: ${it.refuseWhy}`);
    fellBack[level] = items.filter((it) => it.note).map((it) => `${path.relative(tree, it.out)}: ${it.note}`);
  }

  // Run the original and each output.
  const pool = new Pool(o.jobs, o.timeout);
  const job = (u, root, text, extra = {}) => ({
    text,
    root,
    rel: u.rel,
    fallback: o.test262,
    harness: path.join(o.test262, 'harness'),
    includes: u.meta.includes,
    flags: u.meta.flags,
    negative: u.meta.negative,
    timeout: o.timeout,
    ...extra,
  });
  // The original's outcome depends on nothing this run changes: it is kept
  // between runs (not a time-out or a dead worker, which may be load).
  const runCache = path.join(o.cache, 'original');
  fs.mkdirSync(runCache, { recursive: true });
  const runOriginal = async (j) => {
    const file = path.join(runCache, sha1(process.version, JSON.stringify({ ...j, text: sha1(j.text) })));
    if (fs.existsSync(file)) return JSON.parse(fs.readFileSync(file, 'utf8'));
    const r = await pool.run(j);
    if (!/timed out|worker died/.test(r.why)) fs.writeFileSync(file, JSON.stringify(r));
    return r;
  };
  let finished = 0;
  const total = units.length * (1 + o.levels.length);
  const tick = () => {
    if (++finished % 5000 === 0) process.stderr.write(`  ran ${finished}/${total}\n`);
  };
  process.stderr.write(`running ${total} runs of ${units.length} tests and modes\n`);
  await Promise.all(
    units.map(async (u, k) => {
      u.orig = await runOriginal(job(u, o.test262, unitText(u)));
      tick();
      u.out = {};
      for (const level of o.levels) {
        u.out[level] = await pool.run(job(u, path.join(o.work, 'out', level), fs.readFileSync(outputs[level][k], 'utf8')));
        tick();
      }
    }),
  );

  // Classify each difference.
  const known = new Set();
  if (o.known) {
    for (const l of fs.readFileSync(o.known, 'utf8').split('\n')) if (l.trim() && !l.startsWith('#')) known.add(l.trim());
  }
  const knownSeen = new Set();
  const rows = [];
  const differing = [];
  let faults = 0;
  for (const level of o.levels) {
    const row = { level, runs: units.length, passOrig: 0, passOut: 0, lost: 0, gained: 0, sourceText: 0, name: 0, known: 0, refused: refused[level].length };
    for (let k = 0; k < units.length; ++k) {
      const u = units[k];
      let a = u.orig, b = u.out[level];
      // A slow test that ran out of time on one side only is a matter of
      // load: both run again with four times the time.
      if (a.pass !== b.pass && /timed out/.test(a.why + b.why)) {
        const long = { timeout: o.timeout * 4 };
        u.orig = a = await pool.run(job(u, o.test262, unitText(u), long));
        u.out[level] = b = await pool.run(job(u, path.join(o.work, 'out', level), fs.readFileSync(outputs[level][k], 'utf8'), long));
      }
      if (a.pass) ++row.passOrig;
      if (b.pass) ++row.passOut;
      if (a.pass === b.pass) continue;
      let apart = '';
      if (a.pass && !b.pass) {
        const again = await pool.run(
          job(u, path.join(o.work, 'out', level), fs.readFileSync(outputs[level][k], 'utf8'), { watchToString: true }),
        );
        const safeToo = u.out.safe ? u.out.safe.pass : true;
        if (again.toString) apart = 'source text';
        else if (level === 'smallest' && safeToo && u.source) apart = 'name';
      }
      const key = `${level}\t${u.rel} (${u.mode})`;
      if (!apart && known.has(key)) {
        apart = 'known';
        knownSeen.add(key);
      }
      if (apart === 'known') ++row.known;
      else if (apart === 'source text') ++row.sourceText;
      else if (apart === 'name') ++row.name;
      else if (a.pass) ++row.lost;
      else ++row.gained;
      if (!apart) ++faults;
      differing.push(
        `${level}\t${u.rel} (${u.mode})\t${a.pass ? 'pass' : 'fail'} -> ${b.pass ? 'pass' : 'fail'}` +
          `${apart ? `\tcounted apart: ${apart}` : ''}\t${b.pass ? a.why : b.why}`,
      );
    }
    rows.push(row);
  }
  pool.close();
  // A known difference of a test this run ran that no longer differs
  const ranKeys = new Set(units.flatMap((u) => o.levels.map((l) => `${l}\t${u.rel} (${u.mode})`)));
  const gone = [...known].filter((k) => ranKeys.has(k) && !knownSeen.has(k));

  const lines = [];
  lines.push(`test262 by execution: ${tests.length} tests, ${units.length} runs a version (mode: sloppy/strict/module), node ${process.version}`);
  lines.push(`minifier: ${o.driver ? `${o.driver} (in one process)` : o.minify}`);
  lines.push('');
  lines.push('level     runs    pass orig  pass output  lost  gained  apart:source-text  apart:name  known  refused');
  for (const r of rows) {
    lines.push(
      `${r.level.padEnd(8)} ${String(r.runs).padStart(6)} ${String(r.passOrig).padStart(10)} ${String(r.passOut).padStart(12)}` +
        ` ${String(r.lost).padStart(5)} ${String(r.gained).padStart(7)} ${String(r.sourceText).padStart(18)} ${String(r.name).padStart(11)}` +
        ` ${String(r.known).padStart(6)} ${String(r.refused).padStart(8)}`,
    );
  }
  lines.push('');
  lines.push(`lost: passes on the original, fails on the output; gained: the other way; known: listed in ${o.known || '(no --known)'}.`);
  for (const g of gone) lines.push(`known difference no longer differs, take it off the list: ${g.replace('\t', ' ')}`);
  for (const l of o.levels) {
    if (fellBack[l].length) lines.push(`${l}: ${fellBack[l].length} files minified at a lower level only (the minifier's note; ${path.join(o.work, 'fell-back.txt')})`);
  }
  lines.push(`Time: ${((Date.now() - started) / 1000).toFixed(0)} s`);
  const report = lines.join('\n') + '\n';
  fs.mkdirSync(o.work, { recursive: true });
  fs.writeFileSync(path.join(o.work, 'report.txt'), report);
  fs.writeFileSync(path.join(o.work, 'differing.txt'), differing.join('\n') + (differing.length ? '\n' : ''));
  fs.writeFileSync(
    path.join(o.work, 'fell-back.txt'),
    o.levels.map((l) => fellBack[l].map((r) => `${l}\t${r}`).join('\n')).filter(Boolean).join('\n') + '\n',
  );
  fs.writeFileSync(
    path.join(o.work, 'refused.txt'),
    o.levels.map((l) => refused[l].map((r) => `${l}\t${r}`).join('\n')).filter(Boolean).join('\n') + '\n',
  );
  process.stdout.write(report);
  for (const d of differing.filter((x) => !x.includes('counted apart')).slice(0, 30)) console.log('  ' + d);
  if (differing.length) console.log(`(all ${differing.length} differing runs in ${path.join(o.work, 'differing.txt')})`);
  process.exit(faults ? 1 : 0);
}

if (process.argv[1] && fileURLToPath(import.meta.url) === path.resolve(process.argv[1])) {
  main().catch((e) => {
    console.error(e);
    process.exit(2);
  });
}
