// The test262 host and the runner's reading of a test, on tests written
// here (a small tree in a temporary folder, with the sample's harness).
//   node --experimental-vm-modules --test host_test.mjs
// (TEST262_HARNESS names the harness folder when this file is not beside
// the sample.)
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import test from 'node:test';
import { fileURLToPath } from 'node:url';
import { runTest } from './host.mjs';
import { modesOf, pick, readMeta } from './runner.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const HARNESS = process.env.TEST262_HARNESS || path.join(HERE, 'sample/harness');
const tree = fs.mkdtempSync(path.join(os.tmpdir(), 'larkspan-host-test-'));
process.on('exit', () => fs.rmSync(tree, { recursive: true, force: true }));

function write(rel, text) {
  fs.mkdirSync(path.dirname(path.join(tree, rel)), { recursive: true });
  fs.writeFileSync(path.join(tree, rel), text);
}

// Runs TEXT as test REL with the metadata its front matter gives.
function run(rel, text, extra = {}) {
  write(rel, text);
  const meta = readMeta(text);
  return runTest({
    text: extra.strict ? '"use strict";\n' + text : text,
    root: tree,
    rel,
    fallback: tree,
    harness: HARNESS,
    includes: meta.includes,
    flags: meta.flags,
    negative: meta.negative,
    timeout: extra.timeout || 2000,
    watchToString: !!extra.watchToString,
  });
}

const front = (yaml) => `/*---\n${yaml}\n---*/\n`;

test('outcomes: pass, fail, and negative tests held to their phase and type', async () => {
  const cases = [
    ['plain pass', front('description: x'), 'assert.sameValue(1 + 1, 2);', true],
    ['assertion fails', front('description: x'), 'assert.sameValue(1 + 1, 3);', false],
    ['parse error expected and thrown', front('negative:\n  phase: parse\n  type: SyntaxError'), '$DONOTEVALUATE();\nvar = 1;', true],
    ['parse error expected, none', front('negative:\n  phase: parse\n  type: SyntaxError'), 'var a = 1;', false],
    // right type, wrong phase: a runtime SyntaxError is not an early one
    ['parse error expected, thrown at runtime', front('negative:\n  phase: parse\n  type: SyntaxError'), 'throw new SyntaxError("late");', false],
    ['runtime TypeError expected and thrown', front('negative:\n  phase: runtime\n  type: TypeError'), 'null.x;', true],
    ['runtime TypeError expected, ReferenceError thrown', front('negative:\n  phase: runtime\n  type: TypeError'), 'undefinedName;', false],
    ['Test262Error expected', front('negative:\n  phase: runtime\n  type: Test262Error'), 'throw new Test262Error("x");', true],
    ['raw: no harness', front('flags: [raw]'), 'if (typeof assert !== "undefined") throw 1;', true],
    ['harness include', front('includes: [compareArray.js]'), 'assert.compareArray([1, 2], [1, 2]);', true],
  ];
  for (const [name, head, body, want] of cases) {
    const r = await run(`t/${name.replace(/\W+/g, '-')}.js`, head + body);
    assert.equal(r.pass, want, `${name}: ${r.why}`);
  }
});

test('strict mode is the "use strict" line in front of the text', async () => {
  const text = front('description: x') + 'function f() { return this; }\nif (f() !== undefined) throw new Test262Error("sloppy");';
  assert.equal((await run('t/strict.js', text, { strict: true })).pass, true);
  assert.equal((await run('t/strict.js', text)).pass, false);
});

test('async tests: $DONE decides, one that never calls it fails at its time-out', async () => {
  const head = front('flags: [async]');
  assert.equal((await run('t/a1.js', head + 'Promise.resolve().then(() => $DONE());')).pass, true);
  const failing = await run('t/a2.js', head + 'Promise.resolve().then(() => $DONE(new Test262Error("no")));');
  assert.equal(failing.pass, false);
  assert.match(failing.why, /AsyncTestFailure/);
  const t0 = Date.now();
  const silent = await run('t/a3.js', head + 'Promise.resolve();', { timeout: 300 });
  assert.equal(silent.pass, false);
  assert.ok(Date.now() - t0 < 3000, 'waited far past the time-out');
});

test('a loop that never ends is stopped by the time-out', async () => {
  const r = await run('t/loop.js', front('description: x') + 'for (;;) {}', { timeout: 200 });
  assert.equal(r.pass, false);
  assert.match(r.why, /timed out/);
});

test('modules: imports resolve in the tree, a missing export fails at resolution', async () => {
  write('m/dep_FIXTURE.js', 'export const x = 42;');
  const ok = front('flags: [module]') + 'import { x } from "./dep_FIXTURE.js";\nassert.sameValue(x, 42);';
  assert.equal((await run('m/ok.js', ok)).pass, true);
  const missing = front('flags: [module]\nnegative:\n  phase: resolution\n  type: SyntaxError') +
    '$DONOTEVALUATE();\nimport { nope } from "./dep_FIXTURE.js";';
  const r = await run('m/missing.js', missing);
  assert.equal(r.pass, true, r.why);
  // A module that imports itself gets the text it runs, not the file's
  const self = front('flags: [module]') + 'import * as me from "./self.js";\nexport const y = 1;\nassert.sameValue(me.y, 1);';
  write('m/self.js', 'export const y = 2;');
  const t = await runTest({
    text: self, root: tree, rel: 'm/self.js', fallback: tree, harness: HARNESS,
    includes: [], flags: ['module'], negative: null, timeout: 2000,
  });
  assert.equal(t.pass, true, t.why);
});

test('each test gets a fresh realm', async () => {
  const head = front('description: x');
  assert.equal((await run('t/r1.js', head + 'globalThis.leak = 1; Array.prototype.extra = 1;')).pass, true);
  assert.equal((await run('t/r2.js', head + 'assert.sameValue(typeof leak, "undefined"); assert.sameValue([].extra, undefined);')).pass, true);
});

test('the source-text watch sees a function of the test turned into text, not a built-in one', async () => {
  const head = front('description: x');
  const own = await run('t/s1.js', head + 'function f() {}\nString(f);', { watchToString: true });
  assert.equal(own.toString, true);
  const builtin = await run('t/s2.js', head + 'String(Math.max);', { watchToString: true });
  assert.equal(builtin.toString, false);
});

test('reading a test: front matter, modes, the sample spread', () => {
  const m = readMeta(front('includes:\n  - a.js\n  - b.js\nflags: [onlyStrict, async]\nnegative:\n  phase: runtime\n  type: TypeError'));
  assert.deepEqual(m, { includes: ['a.js', 'b.js'], flags: ['onlyStrict', 'async'], negative: { phase: 'runtime', type: 'TypeError' } });
  assert.equal(readMeta('var x; // no front matter'), null);
  const modes = [
    [[], ['sloppy', 'strict']],
    [['onlyStrict'], ['strict']],
    [['noStrict'], ['sloppy']],
    [['raw'], ['sloppy']],
    [['module', 'async'], ['module']],
  ];
  for (const [flags, want] of modes) assert.deepEqual(modesOf(flags), want, flags.join());
  const all = Array.from({ length: 100 }, (_, i) => i);
  assert.deepEqual(pick(all, 4), [0, 25, 50, 75]);
  assert.equal(pick(all, 0), all);
  assert.equal(pick(all, 500), all);
});
