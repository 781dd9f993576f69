// Serves IN (the original site) and OUT (its slimmed copy) on 127.0.0.1,
// opens a sample of pages of both in headless Chromium and compares
// getComputedStyle of every element (and its ::before/::after), every
// property, and the text as rendered (innerText). Console errors and failed
// requests seen only after slimming count as differences. Every style sheet of OUT must parse in css-tree
// without error (unless its original did not either). Prints counts and the
// first differences; exits 1 on any difference, 2 when the check cannot run.
//
//   node stylecheck.mjs [--limit N] [--timeout MS] [--chromium PATH] [--quiet] IN OUT
//
// --limit: at most N pages (default 200), spread evenly over the sorted list.
// --timeout: per page load (default 15000 ms).
import { createServer } from 'node:http';
import { readFileSync, readdirSync, statSync, mkdtempSync, rmSync, existsSync } from 'node:fs';
import { join, relative, resolve, sep, extname } from 'node:path';
import { tmpdir } from 'node:os';
import { chromium } from 'playwright-core';
import * as csstree from 'css-tree';

const args = process.argv.slice(2);
let limit = 200, timeout = 15000, exe = '/usr/bin/chromium', quiet = false;
const roots = [];
for (let i = 0; i < args.length; i++) {
  if (args[i] === '--limit') limit = Number(args[++i]);
  else if (args[i] === '--timeout') timeout = Number(args[++i]);
  else if (args[i] === '--chromium') exe = args[++i];
  else if (args[i] === '--quiet') quiet = true;
  else roots.push(resolve(args[i]));
}
if (roots.length !== 2 || !(limit > 0) || !(timeout > 0)) {
  console.error('usage: node stylecheck.mjs [--limit N] [--timeout MS] [--chromium PATH] [--quiet] IN OUT');
  process.exit(2);
}
const [inRoot, outRoot] = roots;

function* walk(dir, re) {
  for (const name of readdirSync(dir).sort()) {
    const p = join(dir, name);
    const s = statSync(p);
    if (s.isDirectory()) yield* walk(p, re);
    else if (re.test(name)) yield p;
  }
}

// No charset in Content-Type: the page's own <meta> (or the browser's
// default) decides, as on a plain static host.
const TYPES = {
  '.html': 'text/html', '.htm': 'text/html', '.css': 'text/css', '.js': 'text/javascript',
  '.mjs': 'text/javascript', '.json': 'application/json', '.svg': 'image/svg+xml',
  '.png': 'image/png', '.gif': 'image/gif', '.jpg': 'image/jpeg', '.jpeg': 'image/jpeg',
  '.webp': 'image/webp', '.ico': 'image/x-icon', '.xml': 'text/xml', '.woff': 'font/woff',
  '.woff2': 'font/woff2', '.ttf': 'font/ttf',
};

// A static server for ROOT on 127.0.0.1; never serves a path outside ROOT.
function serve(root) {
  const server = createServer((req, res) => {
    let path;
    try {
      path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    } catch {
      res.writeHead(400).end();
      return;
    }
    let file = resolve(root, '.' + path);
    if (file !== root && !file.startsWith(root + sep)) { res.writeHead(403).end(); return; }
    try {
      if (statSync(file).isDirectory()) file = join(file, 'index.html');
      const body = readFileSync(file);
      res.writeHead(200, { 'Content-Type': TYPES[extname(file).toLowerCase()] || 'application/octet-stream' });
      res.end(body);
    } catch {
      res.writeHead(404).end();
    }
  });
  return new Promise((ok) => server.listen(0, '127.0.0.1', () => ok(server)));
}

// Runs in the page: every element in document order, its path and a digest
// of its computed style (with ::before/::after where they render), so that
// a page of thousands of elements is compared without shipping every value.
// With WHICH set, returns the full values of that element instead.
function snapshot(which) {
  // The two copies are served on different ports: URLs are compared
  // without the origin.
  const origin = location.origin;
  const read = (cs) => {
    const o = {};
    for (let i = 0; i < cs.length; i++) o[cs[i]] = cs.getPropertyValue(cs[i]).split(origin).join('');
    return o;
  };
  const full = (el) => {
    const o = { style: read(getComputedStyle(el)) };
    for (const pseudo of ['::before', '::after']) {
      const cs = getComputedStyle(el, pseudo);
      if (cs.content !== 'none' && cs.content !== 'normal') o[pseudo] = read(cs);
    }
    return o;
  };
  const elements = [...document.querySelectorAll('*')];
  if (which !== undefined) return full(elements[which]);
  const pathOf = (el) => {
    const parts = [];
    for (let e = el; e && e.nodeType === 1; e = e.parentElement) {
      let n = 0;
      for (let s = e.previousElementSibling; s; s = s.previousElementSibling) n++;
      parts.unshift(`${e.localName}[${n}]`);
    }
    return '/' + parts.join('/');
  };
  const digest = (text) => {
    let h1 = 0x811c9dc5, h2 = 0x2545f491;
    for (let i = 0; i < text.length; i++) {
      const c = text.charCodeAt(i);
      h1 = Math.imul(h1 ^ c, 0x01000193);
      h2 = Math.imul(h2 ^ c, 0x5bd1e995);
    }
    return (h1 >>> 0).toString(36) + (h2 >>> 0).toString(36);
  };
  return elements.map((el) => {
    const o = full(el);
    let text = '';
    for (const part of Object.keys(o)) {
      text += '\u0002' + part;
      for (const [k, v] of Object.entries(o[part])) text += '\u0001' + k + ':' + v;
    }
    return [pathOf(el), digest(text)];
  });
}

async function load(context, url) {
  const page = await context.newPage();
  const problems = [];
  const origin = new URL(url).origin;
  const local = (u) => u.split(origin).join('');
  page.on('console', (m) => { if (m.type() === 'error') problems.push(`console: ${local(m.text())}`); });
  page.on('pageerror', (e) => problems.push(`script error: ${local(String(e.message))}`));
  page.on('requestfailed', (r) => problems.push(`request failed: ${local(r.url())}`));
  page.on('response', (r) => { if (r.status() >= 400) problems.push(`HTTP ${r.status()}: ${local(r.url())}`); });
  try {
    await page.goto(url, { waitUntil: 'load', timeout });
    await page.evaluate(() => document.fonts.ready.then(() => true));
    await page.waitForTimeout(100);
    const elements = await page.evaluate(snapshot);
    // innerText is the text as rendered: white space collapsed or kept as
    // the computed white-space says, so text set to pre by any rule counts.
    const text = await page.evaluate(() => (document.body ? document.body.innerText : ''));
    return { page, elements, text, problems };
  } catch (e) {
    await page.close();
    return { page: null, elements: null, problems, error: String(e.message).split('\n')[0] };
  }
}

// Compares two snapshots: null when equal, else how many elements differ
// and, for the first, its path and the first property that differs.
async function firstDifference(pa, a, pb, b) {
  if (a.length !== b.length) return { count: Math.max(1, Math.abs(a.length - b.length)), path: '/', what: `${a.length} elements before, ${b.length} after` };
  let count = 0, first = -1;
  for (let i = 0; i < a.length; i++) {
    if (a[i][0] !== b[i][0]) return { count: a.length - i, path: a[i][0], what: `element ${a[i][0]} became ${b[i][0]}` };
    if (a[i][1] !== b[i][1]) { count++; if (first < 0) first = i; }
  }
  if (!count) return null;
  const [x, y] = [await pa.evaluate(snapshot, first), await pb.evaluate(snapshot, first)];
  let what = 'style differs';
  outer: for (const part of new Set([...Object.keys(x), ...Object.keys(y)])) {
    const [u, v] = [x[part] || {}, y[part] || {}];
    for (const k of new Set([...Object.keys(u), ...Object.keys(v)])) {
      if (u[k] !== v[k]) {
        what = `${part === 'style' ? '' : part + ' '}${k}: ${JSON.stringify(u[k])} -> ${JSON.stringify(v[k])}`;
        break outer;
      }
    }
  }
  return { count, path: a[first][0], what };
}

function sample(list) {
  if (list.length <= limit) return list;
  const step = list.length / limit;
  return Array.from({ length: limit }, (_, i) => list[Math.floor(i * step)]);
}

function sheetErrors(text) {
  let errors = 0;
  csstree.parse(text, { parseValue: true, parseAtrulePrelude: true, parseRulePrelude: true, onParseError: () => { errors++; } });
  return errors;
}

async function main() {
  if (!existsSync(exe)) { console.error(`stylecheck: no browser at ${exe}`); return 2; }
  const pages = sample([...walk(inRoot, /\.html?$/i)].map((p) => relative(inRoot, p))
    .filter((rel) => existsSync(join(outRoot, rel))));
  const servers = [await serve(inRoot), await serve(outRoot)];
  const base = servers.map((s) => `http://127.0.0.1:${s.address().port}/`);
  const profile = mkdtempSync(join(tmpdir(), 'larkspan-stylecheck.'));
  let context;
  let checked = 0, same = 0, differing = 0, unstable = 0, failed = 0, elementsDiffering = 0, newProblems = 0;
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: exe, headless: true, viewport: { width: 1024, height: 1400 },
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    for (const rel of pages) {
      const url = encodeURI(rel.split(sep).join('/'));
      const a = await load(context, base[0] + url);
      const b = await load(context, base[1] + url);
      checked++;
      if (a.error || b.error) {
        failed++;
        console.log(`FAILED ${rel}: ${a.error || b.error}`);
      } else {
        let d = await firstDifference(a.page, a.elements, b.page, b.elements), shaky = false;
        if (d) {
          // Animations and late scripts move styles on their own: a page
          // whose original differs from itself a moment later is unstable.
          const again = await a.page.evaluate(snapshot);
          if (await firstDifference(a.page, a.elements, a.page, again)) {
            unstable++;
            d = null;
            shaky = true;
            if (!quiet) console.log(`UNSTABLE ${rel} (its original changes by itself)`);
          }
        }
        if (!d && a.text !== b.text) {
          let i = 0;
          while (a.text[i] === b.text[i]) i++;
          d = { count: 0, path: 'rendered text', what: `at ${i}: ${JSON.stringify(a.text.slice(Math.max(0, i - 30), i + 30))} -> ${JSON.stringify(b.text.slice(Math.max(0, i - 30), i + 30))}` };
        }
        const fresh = b.problems.filter((p) => !a.problems.includes(p));
        if (d) {
          differing++;
          elementsDiffering += d.count;
          if (!quiet) console.log(`DIFFERS ${rel}: ${d.count} elements\n  at : ${d.path}\n  ${d.what}`);
        }
        if (fresh.length) {
          newProblems += fresh.length;
          if (!quiet) console.log(`NEW ERRORS ${rel}:\n  ${fresh.slice(0, 5).join('\n  ')}`);
        }
        if (!d && !fresh.length && !shaky) same++;
        else if (!d && fresh.length) differing++;
      }
      await a.page?.close();
      await b.page?.close();
    }
  } finally {
    await context?.close();
    servers.forEach((s) => s.close());
    rmSync(profile, { recursive: true, force: true });
  }

  let sheets = 0, sheetsBroken = 0;
  for (const p of walk(outRoot, /\.css$/i)) {
    const orig = join(inRoot, relative(outRoot, p));
    sheets++;
    if (sheetErrors(readFileSync(p, 'latin1')) && !(existsSync(orig) && sheetErrors(readFileSync(orig, 'latin1')))) {
      sheetsBroken++;
      console.log(`CSS PARSE ERROR ${relative(outRoot, p)}`);
    }
  }
  console.log(`stylecheck: ${checked} pages, ${same} same, ${differing} differing` +
    ` (${elementsDiffering} elements with differing style, ${newProblems} new errors or failed requests)` +
    (unstable ? `, ${unstable} unstable` : '') + (failed ? `, ${failed} failed to load` : '') +
    `; ${sheets} style sheets, ${sheetsBroken} no longer parse`);
  return differing || sheetsBroken || failed ? 1 : 0;
}

main().then((code) => process.exit(code), (e) => { console.error(`stylecheck: ${e.stack || e}`); process.exit(2); });
