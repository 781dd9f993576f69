// Tree check of the native script minifier: every script acorn parses must
// parse to the same tree after minification (positions, raw texts and
// comments ignored).
//
//   node verify.js [--without-semicolons] [--level L] [--minify] DRIVER WORKDIR FOLDER...
//
// --level L minifies at level L (spaces by default). At spaces the trees
// must be equal; at safe they must be equal once the rewrites that level
// makes are undone on the original's tree (a["b"] is a.b and {"b":1} is
// {b:1} for identifier names, numbers are compared by value, empty
// statements in statement lists are dropped; parentheses leave no trace in
// acorn's tree); at smallest, which renames, the output must parse with the
// same sourceType.
// --minify: DRIVER is a larkspan-minify program, run once per file (two at a
// time), not the jsminify driver.
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
const { same, normaliseSafe } = require('./trees');

const args = process.argv.slice(2);
let strip = false, level = 'spaces', perFile = false;
for (;;) {
  if (args[0] === '--without-semicolons') strip = !!args.shift();
  else if (args[0] === '--minify') perFile = !!args.shift();
  else if (args[0] === '--level' && args.length > 1) {
    args.shift();
    level = args.shift();
  } else break;
}
if (!['spaces', 'safe', 'smallest'].includes(level)) {
  console.error(`verify.js: unknown level ${level}`);
  process.exit(2);
}
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

function compareTrees(a, b) {
  if (level === 'smallest') return true;
  if (level === 'safe') return same(normaliseSafe(a), normaliseSafe(b));
  return same(a, b);
}

async function runPerFile(jobs) {
  const { spawn } = require('child_process');
  const refused = [];
  let next = 0;
  const lane = async () => {
    while (next < jobs.length) {
      const j = jobs[next++];
      await new Promise((resolve) => {
        const c = spawn(driver, ['--level', level, '--type', j.module ? 'mjs' : 'js', '-o', j.out, j.file],
          { stdio: ['ignore', 'ignore', 'pipe'] });
        let err = '';
        c.stderr.on('data', (d) => (err += d));
        c.on('close', (code) => {
          if (code !== 0) refused.push(`fail ${j.file}: ${err.trim().split('\n').pop()}`);
          resolve();
        });
      });
    }
  };
  await Promise.all([lane(), lane()]);
  return refused;
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
(async () => {
  let refused;
  if (perFile) {
    refused = await runPerFile(jobs);
  } else {
    const run = spawnSync(driver, ['--level', level, list], { encoding: 'utf8', maxBuffer: 1 << 28 });
    if (run.status !== 0) {
      console.error(run.stderr);
      process.exit(1);
    }
    refused = run.stdout.split('\n').filter((l) => l.startsWith('fail '));
  }

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
      if (!compareTrees(parse(a, j.module), parse(b, j.module))) why = 'different tree';
    } catch (e) {
      why = 'output does not parse: ' + e.message;
    }
    if (why) differing.push(`${j.file} -> ${j.out}: ${why}`);
    else ++sameTree;
  }
  fs.writeFileSync(path.join(work, 'differing.txt'), differing.join('\n') + (differing.length ? '\n' : ''));
  fs.writeFileSync(path.join(work, 'refused.txt'), refused.join('\n') + (refused.length ? '\n' : ''));
  console.log(`level: ${level}  files: ${total}  must fail to parse (skipped): ${mustFail}  acorn rejects input: ${notParsed}`);
  const sameLabel = level === 'smallest' ? 'output parses' : 'same tree';
  console.log(`parsed: ${jobs.length}  not minified (refused): ${refused.length}  ${sameLabel}: ${sameTree}  differing: ${differing.length}`);
  if (inBytes) console.log(`bytes of compared files: ${inBytes} -> ${outBytes} (${(100 * outBytes / inBytes).toFixed(1)}%)`);
  for (const d of differing.slice(0, 20)) console.log('  ' + d);
  for (const r of refused.slice(0, 10)) console.log('  ' + r);
  process.exit(differing.length ? 1 : 0);
})();
