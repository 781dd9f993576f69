// Tree check of the native script minifier: every script acorn parses must
// parse to the same tree after minification (positions, raw texts and
// comments ignored).
//
//   node verify.js [--without-semicolons] DRIVER WORKDIR FOLDER...
//
// --without-semicolons checks copies of the files with every line-final
// semicolon removed, so that the line breaks automatic semicolons depend on
// are tried in bulk (a copy acorn rejects is skipped like any other file).
//
// A test262 file (one with a /*--- ... ---*/ header) is a module when its
// flags say so and is skipped when it must fail to parse; any other file is
// a module when it ends in .mjs or parses only as one. Prints the counts and
// writes the differing files to WORKDIR/differing.txt.
'use strict';
const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');
const acorn = require('acorn');

const args = process.argv.slice(2);
const strip = args[0] === '--without-semicolons';
if (strip) args.shift();
const [driver, work, ...folders] = args;
if (!driver || !work || folders.length === 0) {
  console.error('usage: node verify.js DRIVER WORKDIR FOLDER...');
  process.exit(2);
}

function* walk(dir) {
  for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
    const p = path.join(dir, e.name);
    if (e.isDirectory()) {
      if (e.name !== 'node_modules' || dir.includes('/ext/')) yield* walk(p);
    } else if (/\.m?js$/.test(e.name)) yield p;
  }
}

function parse(text, module) {
  return acorn.parse(text, {
    ecmaVersion: 'latest',
    sourceType: module ? 'module' : 'script',
    allowHashBang: true,
  });
}

const SKIP = new Set(['start', 'end', 'loc', 'range', 'raw']);
function same(a, b) {
  if (a === b) return true;
  if (typeof a !== typeof b) return false;
  if (typeof a === 'number') return Object.is(a, b);
  if (typeof a === 'bigint') return a === b;
  if (a === null || b === null || typeof a !== 'object') return false;
  if (a instanceof RegExp || b instanceof RegExp) return String(a) === String(b);
  if (Array.isArray(a) !== Array.isArray(b)) return false;
  const ka = Object.keys(a).filter((k) => !SKIP.has(k));
  const kb = Object.keys(b).filter((k) => !SKIP.has(k));
  if (ka.length !== kb.length) return false;
  for (const k of ka) if (!same(a[k], b[k])) return false;
  return true;
}

fs.mkdirSync(path.join(work, 'out'), { recursive: true });
const jobs = [];
let total = 0, notParsed = 0, mustFail = 0;
for (const folder of folders) {
  for (const file of walk(folder)) {
    ++total;
    const text = fs.readFileSync(file, 'latin1');
    let module = file.endsWith('.mjs');
    const meta = /\/\*---([\s\S]*?)---\*\//.exec(text);
    if (meta) {
      if (/negative:[\s\S]*phase:\s*parse/.test(meta[1])) { ++mustFail; continue; }
      const flags = /flags:\s*\[([^\]]*)\]/.exec(meta[1]);
      if (flags && /\bmodule\b/.test(flags[1])) module = true;
      if (file.includes('_FIXTURE')) module = true;
    }
    let utf8 = fs.readFileSync(file, 'utf8');
    let input = file;
    if (strip) {
      utf8 = utf8.replace(/;[ \t]*$/gm, '');
      input = path.join(work, 'in', String(jobs.length) + (module ? '.mjs' : '.js'));
    }
    let ok = false;
    try { parse(utf8, module); ok = true; } catch (e) {
      if (!meta && !module) {
        try { parse(utf8, true); module = true; ok = true; } catch (e2) { /* neither */ }
      }
    }
    if (!ok) { ++notParsed; continue; }
    const out = path.join(work, 'out', String(jobs.length) + (module ? '.mjs' : '.js'));
    try { fs.unlinkSync(out); } catch (e) { /* none yet */ }
    if (strip) {
      fs.mkdirSync(path.join(work, 'in'), { recursive: true });
      fs.writeFileSync(input, utf8);
    }
    jobs.push({ file: input, module, out });
  }
}
const list = path.join(work, 'list.txt');
fs.writeFileSync(list, jobs.map((j) => `${j.module ? 'module' : 'script'}\t${j.file}\t${j.out}`).join('\n') + '\n');
const run = spawnSync(driver, [list], { encoding: 'utf8', maxBuffer: 1 << 28 });
if (run.status !== 0) {
  console.error(run.stderr);
  process.exit(1);
}
const refused = run.stdout.split('\n').filter((l) => l.startsWith('fail '));

let sameTree = 0, inBytes = 0, outBytes = 0;
const differing = [];
for (const j of jobs) {
  if (!fs.existsSync(j.out)) continue;
  const a = fs.readFileSync(j.file, 'utf8');
  const b = fs.readFileSync(j.out, 'utf8');
  inBytes += Buffer.byteLength(a);
  outBytes += Buffer.byteLength(b);
  let why = null;
  try {
    if (!same(parse(a, j.module), parse(b, j.module))) why = 'different tree';
  } catch (e) {
    why = 'output does not parse: ' + e.message;
  }
  if (why) differing.push(`${j.file} -> ${j.out}: ${why}`);
  else ++sameTree;
}
fs.writeFileSync(path.join(work, 'differing.txt'), differing.join('\n') + (differing.length ? '\n' : ''));
fs.writeFileSync(path.join(work, 'refused.txt'), refused.join('\n') + (refused.length ? '\n' : ''));
console.log(`files: ${total}  must fail to parse (skipped): ${mustFail}  acorn rejects input: ${notParsed}`);
console.log(`parsed: ${jobs.length}  not minified (refused): ${refused.length}  same tree: ${sameTree}  differing: ${differing.length}`);
if (inBytes) console.log(`bytes of compared files: ${inBytes} -> ${outBytes} (${(100 * outBytes / inBytes).toFixed(1)}%)`);
for (const d of differing.slice(0, 20)) console.log('  ' + d);
for (const r of refused.slice(0, 10)) console.log('  ' + r);
process.exit(differing.length ? 1 : 0);
