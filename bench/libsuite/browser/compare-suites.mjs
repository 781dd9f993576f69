// A library's QUnit pages in headless Chromium on the original tree and on
// minified copies of it, compared test by test.
//
//   node compare-suites.mjs --original DIR --version NAME=DIR [--version ...]
//                           --work DIR [--retries N] [--timeout MS] PAGE...
//
// Each tree is served on 127.0.0.1 (qunit-pages.mjs) and every PAGE run in
// it. A test is lost at a version when it passes on the original and fails
// (or never runs) there; gained the other way. Timing tests can fail on a
// busy machine: a page with a lost test is run again at that version, and a
// page with a failing test again on the original, up to N times (default
// 2); a test passes when it passed in any attempt, and a lost test that
// passed again is counted as flaky, not lost.
// Prints one table; writes WORK/NAME.json (every attempt) and
// WORK/differing.txt (each lost or gained test with its failed assertions).
// Exits 1 when a test is lost.
import fs from 'node:fs';
import path from 'node:path';
import { runPages } from './qunit-pages.mjs';

function parseArgs(argv) {
  const o = { versions: [], retries: 2, timeout: 180000, pages: [] };
  for (let i = 0; i < argv.length; ++i) {
    const a = argv[i];
    const v = () => {
      if (i + 1 >= argv.length) usage(`${a} needs a value`);
      return argv[++i];
    };
    if (a === '--original') o.original = path.resolve(v());
    else if (a === '--version') {
      const m = /^([^=]+)=(.+)$/.exec(v());
      if (!m) usage('--version takes NAME=DIR');
      o.versions.push({ name: m[1], dir: path.resolve(m[2]) });
    } else if (a === '--work') o.work = path.resolve(v());
    else if (a === '--retries') o.retries = Number(v());
    else if (a === '--timeout') o.timeout = Number(v());
    else if (a.startsWith('--')) usage(`unknown option ${a}`);
    else o.pages.push(a);
  }
  if (!o.original || !o.work || !o.pages.length) usage('--original, --work and at least one page are needed');
  if (!Number.isInteger(o.retries) || o.retries < 0) usage('--retries takes a whole number');
  return o;
}

function usage(why) {
  console.error(`compare-suites.mjs: ${why}\n(see the head of bench/libsuite/browser/compare-suites.mjs)`);
  process.exit(2);
}

// Every test of a run by a key that is the same in every run of the page:
// "PAGE<TAB>MODULE :: NAME", with " #2", " #3"... on repeated names.
export function testsByKey(run) {
  const out = new Map();
  for (const [page, r] of Object.entries(run.pages)) {
    const seen = new Map();
    for (const t of r.tests) {
      const base = `${page}\t${t.module} :: ${t.name}`;
      const n = (seen.get(base) || 0) + 1;
      seen.set(base, n);
      out.set(n === 1 ? base : `${base} #${n}`, t);
    }
  }
  return out;
}

// Outcomes of several attempts merged: a test passes when it passed once.
export function merge(attempts) {
  const out = new Map();
  for (const run of attempts) {
    for (const [k, t] of testsByKey(run)) {
      const pass = t.failed === 0;
      const had = out.get(k);
      if (!had) out.set(k, { pass, tries: 1, passes: pass ? 1 : 0, failures: pass ? [] : t.failures });
      else {
        had.tries += 1;
        if (pass) {
          had.pass = true;
          had.passes += 1;
        }
      }
    }
  }
  return out;
}

function pageOf(key) {
  return key.split('\t')[0];
}

function jsBytes(dir) {
  let n = 0;
  const walk = (d) => {
    for (const e of fs.readdirSync(d, { withFileTypes: true })) {
      const p = path.join(d, e.name);
      if (e.isDirectory()) {
        if (e.name !== 'node_modules') walk(p);
      } else if (e.name.endsWith('.js')) n += fs.statSync(p).size;
    }
  };
  walk(dir);
  return n;
}

async function main() {
  const o = parseArgs(process.argv.slice(2));
  fs.mkdirSync(o.work, { recursive: true });
  const log = (l) => process.stderr.write(l + '\n');
  const run = (dir, pages) => runPages({ root: dir, pages, timeout: o.timeout, log });

  log(`original: ${o.original}`);
  const origAttempts = [await run(o.original, o.pages)];
  const verAttempts = [];
  for (const v of o.versions) {
    log(`${v.name}: ${v.dir}`);
    verAttempts.push([await run(v.dir, o.pages)]);
  }
  // Again: failing pages of the original, then pages with lost tests
  for (let k = 0; k < o.retries; ++k) {
    const orig = merge(origAttempts);
    const failing = [...new Set([...orig].filter(([, t]) => !t.pass).map(([key]) => pageOf(key)))];
    if (failing.length) {
      log(`original again (${k + 1}): ${failing.length} pages`);
      origAttempts.push(await run(o.original, failing));
    }
  }
  const orig = merge(origAttempts);
  for (let i = 0; i < o.versions.length; ++i) {
    for (let k = 0; k < o.retries; ++k) {
      const ver = merge(verAttempts[i]);
      const lostPages = new Set();
      for (const [key, t] of orig) if (t.pass && !(ver.get(key) || {}).pass) lostPages.add(pageOf(key));
      if (!lostPages.size) break;
      log(`${o.versions[i].name} again (${k + 1}): ${lostPages.size} pages`);
      verAttempts[i].push(await run(o.versions[i].dir, [...lostPages]));
    }
  }

  const lines = [];
  const differing = [];
  let anyLost = false;
  const unfinished = (attempts) => o.pages.filter((p) => attempts.every((a) => !a.pages[p] || !a.pages[p].done)).length;
  lines.push('version        js bytes   tests  passed  failed  unfinished pages  lost  gained  flaky');
  const row = (name, dir, m, attempts, lost, gained, flaky) => {
    const passed = [...m.values()].filter((t) => t.pass).length;
    lines.push(
      `${name.padEnd(10)} ${String(jsBytes(dir)).padStart(12)} ${String(m.size).padStart(7)} ${String(passed).padStart(7)}` +
        ` ${String(m.size - passed).padStart(7)} ${String(unfinished(attempts)).padStart(17)} ${String(lost).padStart(5)}` +
        ` ${String(gained).padStart(7)} ${String(flaky).padStart(6)}`,
    );
  };
  row('original', o.original, orig, origAttempts, '', '', [...orig.values()].filter((t) => t.pass && t.passes < t.tries).length);
  for (let i = 0; i < o.versions.length; ++i) {
    const v = o.versions[i];
    const ver = merge(verAttempts[i]);
    let lost = 0, gained = 0, flaky = 0;
    for (const [key, t] of orig) {
      const u = ver.get(key);
      if (t.pass && !(u && u.pass)) {
        ++lost;
        differing.push(`${v.name}\tlost\t${key}\t${u ? `failed ${u.tries} times: ${u.failures.slice(0, 3).join(' | ')}` : 'never ran'}`);
      } else if (!t.pass && u && u.pass) {
        ++gained;
        differing.push(`${v.name}\tgained\t${key}`);
      }
      if (t.pass && u && u.pass && u.passes < u.tries) ++flaky;
    }
    for (const key of ver.keys()) {
      if (!orig.has(key)) differing.push(`${v.name}\tnew test (not on the original)\t${key}`);
    }
    if (lost) anyLost = true;
    row(v.name, v.dir, ver, verAttempts[i], lost, gained, flaky);
  }
  lines.push(`pages: ${o.pages.length}; a page is run again up to ${o.retries} times where a test failed (flaky: passed on a later attempt only)`);
  fs.writeFileSync(path.join(o.work, 'original.json'), JSON.stringify(origAttempts));
  o.versions.forEach((v, i) => fs.writeFileSync(path.join(o.work, `${v.name}.json`), JSON.stringify(verAttempts[i])));
  fs.writeFileSync(path.join(o.work, 'differing.txt'), differing.join('\n') + (differing.length ? '\n' : ''));
  process.stdout.write(lines.join('\n') + '\n');
  for (const d of differing.slice(0, 40)) console.log('  ' + d);
  if (differing.length > 40) console.log(`  (all ${differing.length} in ${path.join(o.work, 'differing.txt')})`);
  process.exit(anyLost ? 1 : 0);
}

if (process.argv[1] && import.meta.url === `file://${path.resolve(process.argv[1])}`) {
  main().catch((e) => {
    console.error(e);
    process.exit(2);
  });
}
