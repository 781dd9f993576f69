// The test262 host: runs one test in a fresh realm (a node:vm context) with
// its harness and says whether it passed. Used by worker.mjs; one test at a
// time per process.
//
// runTest(job) -> Promise<{ pass: bool, why: string, toString: bool }>
//   job.text      the test's source as it is to run (a "use strict" line
//                 already in front for a strict run)
//   job.root      the tree the test's relative imports resolve in (the
//                 original test262 folder or a minified twin of it)
//   job.rel       the test's path relative to root (its imports resolve
//                 from there; a file missing in root is read from job.fallback)
//   job.fallback  the original test262 folder
//   job.harness   folder of the harness files
//   job.includes  harness files to run first (assert.js, sta.js and, for
//                 async tests, doneprintHandle.js are added unless raw)
//   job.flags     test262 flags: module, async, raw
//   job.negative  { phase, type } or null
//   job.timeout   milliseconds
//   job.watchToString  count calls of Function.prototype.toString on
//                 functions that are not built in (toString in the result)
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';

const harnessScripts = new Map();
function harnessScript(dir, name) {
  const key = path.join(dir, name);
  let s = harnessScripts.get(key);
  if (!s) {
    s = new vm.Script(fs.readFileSync(key, 'utf8'), { filename: key });
    harnessScripts.set(key, s);
  }
  return s;
}

function errorName(e) {
  try {
    if (e && typeof e === 'object') {
      if (e.constructor && typeof e.constructor.name === 'string') return e.constructor.name;
      return String(e.name);
    }
  } catch (x) {
    // a thrown object whose constructor getter throws: counted as unnamed
  }
  return typeof e;
}

function errorText(e) {
  try {
    return `${errorName(e)}: ${e && e.message !== undefined ? e.message : String(e)}`;
  } catch (x) {
    return errorName(e);
  }
}

// Phase of a failure, so that a negative test is held to the phase it names.
class PhaseError extends Error {
  constructor(phase, error) {
    super(errorText(error));
    this.phase = phase;
    this.error = error;
  }
}

function readModuleText(job, file) {
  try {
    return fs.readFileSync(file, 'utf8');
  } catch (e) {
    const rel = path.relative(job.root, file);
    return fs.readFileSync(path.join(job.fallback, rel), 'utf8');
  }
}

// A realm: a context with print and $262, its modules by path.
function makeRealm(job, state) {
  const context = vm.createContext({});
  const modules = new Map();
  const realm = { context, modules };
  const host = {
    print: (text) => state.printed.push(text),
    evalScript: (text) => {
      let s;
      try {
        s = new vm.Script(text, { importModuleDynamically: (specifier, ref) => importDynamic(job, realm, specifier, ref) });
      } catch (e) {
        return { compileError: errorName(e), message: String(e.message) };
      }
      return { value: s.runInContext(context) };
    },
    createRealm: () => {
      const r = makeRealm(job, state);
      for (const name of ['assert.js', 'sta.js']) harnessScript(job.harness, name).runInContext(r.context);
      return vm.runInContext('$262', r.context);
    },
    detach: (buffer) => structuredClone(buffer, { transfer: [buffer] }),
    gc: () => (globalThis.gc ? globalThis.gc() : undefined),
  };
  context.__host = host;
  vm.runInContext(
    `(function (h) {
      var g = globalThis;
      g.print = function () { h.print(Array.prototype.map.call(arguments, String).join(' ')); };
      g.$262 = {
        global: g,
        evalScript: function (text) {
          var r = h.evalScript(text);
          if (r.compileError) throw new (g[r.compileError] || g.SyntaxError)(r.message);
          return r.value;
        },
        createRealm: function () { return h.createRealm(); },
        detachArrayBuffer: function (b) { h.detach(b); return null; },
        gc: function () { h.gc(); },
        agent: {},
      };
      delete g.__host;
    })(__host);`,
    context,
  );
  return realm;
}

function moduleFor(job, realm, file, text) {
  let m = realm.modules.get(file);
  if (m) return m;
  if (text === undefined) text = readModuleText(job, file);
  m = new vm.SourceTextModule(text, {
    context: realm.context,
    identifier: file,
    importModuleDynamically: (specifier, ref) => importDynamic(job, realm, specifier, ref),
    initializeImportMeta: () => {},
  });
  realm.modules.set(file, m);
  return m;
}

function linker(job, realm) {
  return (specifier, referencing) => moduleFor(job, realm, path.resolve(path.dirname(referencing.identifier), specifier));
}

async function importDynamic(job, realm, specifier, referencing) {
  const from = referencing && referencing.identifier ? referencing.identifier : path.join(job.root, job.rel);
  let m;
  try {
    m = moduleFor(job, realm, path.resolve(path.dirname(from), String(specifier)));
  } catch (e) {
    throw rethrowInRealm(realm, e);
  }
  if (m.status === 'unlinked') await m.link(linker(job, realm));
  if (m.status === 'linked') await m.evaluate();
  if (m.status === 'errored') throw m.error;
  return m;
}

// Errors node makes (a parse error of an imported file) belong to the outer
// realm; a test that checks the type sees the realm's own constructor.
function rethrowInRealm(realm, e) {
  const name = /^[A-Za-z]+Error$/.test(errorName(e)) ? errorName(e) : 'Error';
  const ctor = vm.runInContext(`typeof ${name} === 'function' ? ${name} : Error`, realm.context);
  return new ctor(e && e.message);
}

function watchToString(realm, state) {
  const fpToString = vm.runInContext('Function.prototype.toString', realm.context);
  const proxy = new Proxy(fpToString, {
    apply(target, self, args) {
      const text = Reflect.apply(target, self, args);
      if (typeof text === 'string' && !/\{\s*\[native code\]\s*\}$/.test(text)) state.toString = true;
      return text;
    },
  });
  vm.runInContext('Function.prototype', realm.context).toString = proxy;
}

async function runBody(job, realm, state) {
  const file = path.join(job.root, job.rel);
  if (job.flags.includes('module')) {
    let m;
    try {
      m = moduleFor(job, realm, file, job.text);
    } catch (e) {
      throw new PhaseError('parse', e);
    }
    try {
      await m.link(linker(job, realm));
    } catch (e) {
      // A parse error of an imported file is a resolution failure here
      throw new PhaseError('resolution', e);
    }
    try {
      await m.evaluate({ timeout: job.timeout });
    } catch (e) {
      throw new PhaseError('runtime', e);
    }
    return;
  }
  let script;
  try {
    script = new vm.Script(job.text, {
      filename: file,
      importModuleDynamically: (specifier, ref) => importDynamic(job, realm, specifier, ref),
    });
  } catch (e) {
    throw new PhaseError('parse', e);
  }
  try {
    script.runInContext(realm.context, { timeout: job.timeout });
  } catch (e) {
    throw new PhaseError('runtime', e);
  }
}

function waitForDone(state, ms) {
  return new Promise((resolve) => {
    const started = Date.now();
    const look = () => {
      const done = state.printed.find((t) => t.startsWith('Test262:AsyncTest'));
      if (done || Date.now() - started > ms) resolve(done);
      else setTimeout(look, 2);
    };
    setImmediate(look);
  });
}

export async function runTest(job) {
  const state = { printed: [], toString: false };
  const realm = makeRealm(job, state);
  const raw = job.flags.includes('raw');
  const includes = raw ? [] : ['assert.js', 'sta.js', ...(job.flags.includes('async') ? ['doneprintHandle.js'] : []), ...job.includes];
  const result = (pass, why) => ({ pass, why, toString: state.toString });
  try {
    for (const name of [...new Set(includes)]) harnessScript(job.harness, name).runInContext(realm.context);
  } catch (e) {
    return result(false, `harness: ${errorText(e)}`);
  }
  if (job.watchToString) watchToString(realm, state);
  let failure = null;
  try {
    await runBody(job, realm, state);
  } catch (e) {
    failure = e instanceof PhaseError ? e : new PhaseError('runtime', e);
  }
  if (job.negative) {
    if (!failure) return result(false, `expected ${job.negative.phase} ${job.negative.type}, got none`);
    const name = errorName(failure.error);
    if (failure.phase === job.negative.phase && name === job.negative.type) return result(true, '');
    return result(false, `expected ${job.negative.phase} ${job.negative.type}, got ${failure.phase} ${failure.message}`);
  }
  if (failure) return result(false, `${failure.phase}: ${failure.message}`);
  if (job.flags.includes('async')) {
    const done = await waitForDone(state, job.timeout);
    if (done === 'Test262:AsyncTestComplete') return result(true, '');
    return result(false, done || 'async test never called $DONE');
  }
  return result(true, '');
}
