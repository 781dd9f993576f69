// Runs QUnit test pages in Debian's headless Chromium and writes every
// test's outcome.
//
//   node qunit-pages.mjs --root DIR --out FILE.json [--chromium BIN]
//                        [--timeout MS] PAGE...
//
// DIR is served over HTTP on 127.0.0.1 only (a port of the system's
// choosing); PAGE is a path under DIR (e.g. tests/unit/core/core.html).
// Pages run one after another in one browser; a request to any other
// address is refused, so that a page never reaches the network. QUnit is
// caught when the page defines it (before any test is queued) and reports
// each test's result through QUnit.testDone, each failed assertion through
// QUnit.log.
//
// FILE.json: { pages: { PAGE: { done, error, refused, tests: [{ name,
// module, passed, failed, total, failures: [...] }] } } }. done is false
// when the page did not finish within MS (default 180000); error lists the
// page's uncaught errors, refused the outside addresses it asked for.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

function parseArgs(argv) {
  const o = { chromium: '/usr/bin/chromium', timeout: 180000, pages: [] };
  for (let i = 0; i < argv.length; ++i) {
    const a = argv[i];
    const v = () => {
      if (i + 1 >= argv.length) usage(`${a} needs a value`);
      return argv[++i];
    };
    if (a === '--root') o.root = path.resolve(v());
    else if (a === '--out') o.out = path.resolve(v());
    else if (a === '--chromium') o.chromium = v();
    else if (a === '--timeout') o.timeout = Number(v());
    else if (a.startsWith('--')) usage(`unknown option ${a}`);
    else o.pages.push(a);
  }
  if (!o.root || !o.out || !o.pages.length) usage('--root, --out and at least one page are needed');
  if (!(o.timeout > 0)) usage('--timeout takes milliseconds');
  return o;
}

function usage(why) {
  console.error(`qunit-pages.mjs: ${why}\n(see the head of bench/libsuite/browser/qunit-pages.mjs)`);
  process.exit(2);
}

const TYPES = {
  '.html': 'text/html',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.css': 'text/css',
  '.json': 'application/json',
  '.png': 'image/png',
  '.gif': 'image/gif',
  '.jpg': 'image/jpeg',
  '.svg': 'image/svg+xml',
};

// The file under root that a request names, or null when it names none
// (outside root included: "..", encoded or not).
export function fileFor(root, url) {
  let rel;
  try {
    rel = decodeURIComponent(new URL(url, 'http://127.0.0.1/').pathname);
  } catch (e) {
    return null;
  }
  const file = path.resolve(root, '.' + rel);
  if (file !== root && !file.startsWith(root + path.sep)) return null;
  try {
    return fs.statSync(file).isFile() ? file : null;
  } catch (e) {
    return null;
  }
}

// A static server for root on 127.0.0.1; resolves to the server once listening.
export function serve(root) {
  const server = http.createServer((req, res) => {
    const file = req.method === 'GET' || req.method === 'HEAD' ? fileFor(root, req.url) : null;
    if (!file) {
      res.writeHead(404, { 'content-type': 'text/plain' });
      res.end('not found');
      return;
    }
    // No type sniffing and no charset: the bytes go out as they are on disk
    res.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream', 'cache-control': 'no-store' });
    if (req.method === 'HEAD') res.end();
    else fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

// Installed before any script of the page runs.
function hookQUnit() {
  const results = [];
  const state = { done: false, errors: [] };
  window.__larkspan = { results, state };
  let failures = [];
  let q;
  Object.defineProperty(window, 'QUnit', {
    configurable: true,
    get() {
      return q;
    },
    set(v) {
      q = v;
      if (!v || !v.version || v.__larkspanHooked) return;
      v.__larkspanHooked = true;
      v.log((d) => {
        if (!d.result) failures.push(String(d.message || '') + (d.source ? ` @ ${String(d.source).split('\n')[0]}` : ''));
      });
      v.testDone((d) => {
        results.push({ module: d.module, name: d.name, passed: d.passed, failed: d.failed, total: d.total, failures });
        failures = [];
      });
      v.done(() => {
        state.done = true;
      });
    },
  });
  window.addEventListener('error', (e) => state.errors.push(String(e.message)));
}

async function runPage(browser, origin, page, timeout) {
  const tab = await browser.newPage();
  const errors = [];
  const refused = [];
  tab.on('pageerror', (e) => errors.push(String(e.message || e).split('\n')[0]));
  await tab.setRequestInterception(true);
  tab.on('request', (r) => {
    const url = r.url();
    if (url.startsWith(origin + '/') || url.startsWith('data:')) return r.continue();
    refused.push(url);
    return r.abort();
  });
  await tab.evaluateOnNewDocument(hookQUnit);
  await tab.setViewport({ width: 1280, height: 1024 });
  let done = false;
  try {
    await tab.goto(`${origin}/${page}`, { waitUntil: 'load', timeout });
    await tab.bringToFront();
    await tab.waitForFunction(() => window.__larkspan && window.__larkspan.state.done, { timeout, polling: 250 });
    done = true;
  } catch (e) {
    errors.push(`not finished: ${String(e.message || e).split('\n')[0]}`);
  }
  let tests = [];
  try {
    tests = await tab.evaluate(() => (window.__larkspan ? window.__larkspan.results : []));
  } catch (e) {
    errors.push(`results lost: ${String(e.message || e).split('\n')[0]}`);
  }
  await tab.close();
  return { done, error: errors, refused, tests };
}

// Runs pages (paths under root) one after another; resolves to
// { origin, pages: { PAGE: { done, error, tests } } }.
export async function runPages({ root, pages, chromium = '/usr/bin/chromium', timeout = 180000, log = () => {} }) {
  const server = await serve(root);
  const origin = `http://127.0.0.1:${server.address().port}`;
  let browser;
  const out = { origin, pages: {} };
  try {
    browser = await puppeteer.launch({
      executablePath: chromium,
      headless: true,
      // --no-sandbox: the sandbox needs a user namespace, which a container
      // run as root does not give
      args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--disable-extensions'],
    });
    for (const page of pages) {
      const t0 = Date.now();
      const r = (out.pages[page] = await runPage(browser, origin, page, timeout));
      const failed = r.tests.filter((t) => t.failed).length;
      log(`  ${page}: ${r.tests.length} tests, ${failed} failed${r.done ? '' : ' (not finished)'}, ${((Date.now() - t0) / 1000).toFixed(1)} s`);
    }
  } finally {
    if (browser) await browser.close();
    server.close();
  }
  return out;
}

async function main() {
  const o = parseArgs(process.argv.slice(2));
  const out = await runPages({ ...o, log: (l) => process.stderr.write(l + '\n') });
  fs.writeFileSync(o.out, JSON.stringify(out, null, 1));
}

if (process.argv[1] && import.meta.url === `file://${path.resolve(process.argv[1])}`) {
  main().catch((e) => {
    console.error(e);
    process.exit(2);
  });
}
