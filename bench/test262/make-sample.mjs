// Copies the fixed sample of test262 that ctest runs into bench/test262/sample
// (test files, the fixtures of its module tests, the harness files they
// include, test262's LICENSE).
//
//   node make-sample.mjs [TEST262_DIR]     (default /work/ext/test262)
//
// The choice is fixed by the rules below, so that running it again on the
// same test262 gives the same files: small tests spread evenly over
// test/language and test/built-ins, and a few of each kind the runner treats
// apart (modules with fixtures, async, negative, raw, strict only, source
// text, function names).
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { readMeta, pick } from './runner.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const T = path.resolve(process.argv[2] || '/work/ext/test262');
const OUT = path.join(HERE, 'sample');

function* walk(dir) {
  for (const e of fs.readdirSync(dir, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
    const p = path.join(dir, e.name);
    if (e.isDirectory()) yield* walk(p);
    else if (e.name.endsWith('.js') && !e.name.includes('_FIXTURE')) yield p;
  }
}

// Small and quick: no test over 2,000 bytes, none that needs a harness file
// over 22,000 bytes, none of the slow generated property-escape tests.
const harnessFits = (f) => {
  const m = readMeta(fs.readFileSync(f, 'utf8'));
  return m && m.includes.every((h) => fs.statSync(path.join(T, 'harness', h)).size <= 22000);
};
const small = [];
for (const top of ['test/language', 'test/built-ins']) {
  for (const f of walk(path.join(T, top))) {
    if (fs.statSync(f).size <= 2000 && !f.includes('/property-escapes/') && harnessFits(f)) small.push(f);
  }
}
const chosen = new Set(pick(small, 120));
const kinds = [
  ['module with fixture', (f, t, m) => m.flags.includes('module') && /_FIXTURE/.test(t), 4],
  ['async', (f, t, m) => m.flags.includes('async'), 3],
  ['negative parse', (f, t, m) => m.negative && m.negative.phase === 'parse', 4],
  ['negative resolution', (f, t, m) => m.negative && m.negative.phase === 'resolution', 2],
  ['negative runtime', (f, t, m) => m.negative && m.negative.phase === 'runtime', 2],
  ['raw', (f, t, m) => m.flags.includes('raw'), 2],
  ['onlyStrict', (f, t, m) => m.flags.includes('onlyStrict'), 2],
  ['source text', (f) => f.includes('/Function/prototype/toString/'), 3],
  ['function name', (f) => /\/(function|class)\/name\.js$/.test(f), 2],
  ['dynamic import', (f, t) => /\bimport\(['"]\.\/[^'"]*_FIXTURE/.test(t), 2],
];
for (const [, test, n] of kinds) {
  const hits = small.filter((f) => {
    const t = fs.readFileSync(f, 'utf8');
    const m = readMeta(t);
    return m && test(f, t, m);
  });
  for (const f of pick(hits, n)) chosen.add(f);
}

fs.rmSync(OUT, { recursive: true, force: true });
const copy = (f) => {
  const to = path.join(OUT, path.relative(T, f));
  fs.mkdirSync(path.dirname(to), { recursive: true });
  fs.copyFileSync(f, to);
};
// The files a test imports by a relative name, and theirs, in turn.
function copyImports(f, seen) {
  for (const m of fs.readFileSync(f, 'utf8').matchAll(/['"](\.\.?\/[^'"\n]+)['"]/g)) {
    const dep = path.resolve(path.dirname(f), m[1]);
    if (seen.has(dep) || !fs.existsSync(dep) || !fs.statSync(dep).isFile()) continue;
    seen.add(dep);
    copy(dep);
    if (dep.endsWith('.js')) copyImports(dep, seen);
  }
}
const harness = new Set(['assert.js', 'sta.js', 'doneprintHandle.js']);
for (const f of chosen) {
  copy(f);
  const t = fs.readFileSync(f, 'utf8');
  for (const inc of readMeta(t).includes) harness.add(inc);
  copyImports(f, new Set([f]));
}
for (const h of harness) copy(path.join(T, 'harness', h));
copy(path.join(T, 'LICENSE'));
console.log(`${chosen.size} tests, ${harness.size} harness files in ${OUT}`);
