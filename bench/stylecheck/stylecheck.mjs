// Serves IN (the original site) and OUT (its slimmed copy) on 127.0.0.1,
// opens a sample of pages of both in headless Chromium and compares
// getComputedStyle of every element (and its ::before/::after), every
// property, and the text as rendered (innerText). Console errors and failed
// requests seen only after slimming count as differences. Every style sheet of OUT must parse in css-tree
// without error (unless its original did not either). Prints counts and the
// first differences; exits 1 on any difference, 2 when the check cannot run.
//
//   node stylecheck.mjs [--limit N] [--timeout MS] [--chromium PATH] [--quiet]
//                       [--render] [--shots DIR] IN OUT [OUT...]
//
// Several OUT folders (the same site slimmed in several ways) are compared
// with one load of each original page; each difference line then starts
// with [the OUT folder's name], and each gets its own summary line,
// `stylecheck [NAME]: ...`.
//
// --limit: at most N pages (default 200), spread evenly over the sorted list.
// --timeout: per page load (default 15000 ms).
// STYLECHECK_PROGRESS=1 in the environment: a line on stderr per page.
// --render: also a full-page screenshot of both copies of each page, in the
//   same browser (1024 px wide, at most 16384 px tall, animations stopped,
//   caret hidden), compared with ImageMagick `compare -metric AE -fuzz 2%`;
//   a page whose original renders differently when shot again is unstable
//   and not counted. A canvas that a script redraws by itself is hidden in
//   both shots (counted). --shots DIR keeps both shots and the difference of
//   every page that renders differently.
import { createServer } from 'node:http';
import { readFileSync, readdirSync, statSync, mkdtempSync, rmSync, existsSync, writeFileSync, mkdirSync, copyFileSync } from 'node:fs';
import { join, relative, resolve, sep, extname, basename, dirname } from 'node:path';
import { spawnSync } from 'node:child_process';
import { tmpdir } from 'node:os';
import { chromium } from 'playwright-core';
import * as csstree from 'css-tree';

const args = process.argv.slice(2);
let limit = 200, timeout = 15000, exe = '/usr/bin/chromium', quiet = false, render = false, shots = '';
const roots = [];
for (let i = 0; i < args.length; i++) {
  if (args[i] === '--limit') limit = Number(args[++i]);
  else if (args[i] === '--timeout') timeout = Number(args[++i]);
  else if (args[i] === '--chromium') exe = args[++i];
  else if (args[i] === '--quiet') quiet = true;
  else if (args[i] === '--render') render = true;
  else if (args[i] === '--shots') { shots = resolve(args[++i]); render = true; }
  else roots.push(resolve(args[i]));
}
if (roots.length < 2 || !(limit > 0) || !(timeout > 0)) {
  console.error('usage: node stylecheck.mjs [--limit N] [--timeout MS] [--chromium PATH] [--quiet] [--render] [--shots DIR] IN OUT [OUT...]');
  process.exit(2);
}
const [inRoot, ...outRoots] = roots;

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

// Runs in the page: finishes the finite CSS animations and transitions, then
// waits until the document has not changed for 300 ms (a script that fades
// blocks in), at most MS: so that two loads of one page compare at rest.
const SETTLE_MS = 3000;
function settle(ms) {
  return new Promise((done) => {
    for (const a of document.getAnimations()) {
      try {
        if (a.effect && a.effect.getComputedTiming().iterations !== Infinity) a.finish();
      } catch { /* an animation that cannot finish stays as it is */ }
    }
    const start = performance.now();
    let last = start;
    const seen = new MutationObserver(() => { last = performance.now(); });
    seen.observe(document, { subtree: true, attributes: true, childList: true, characterData: true });
    const tick = () => {
      const now = performance.now();
      if (now - last >= 300 || now - start >= ms) {
        seen.disconnect();
        done(true);
      } else {
        setTimeout(tick, 50);
      }
    };
    setTimeout(tick, 50);
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
    await page.evaluate(settle, SETTLE_MS);
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
  // Looked at again, the first element no longer differs: the difference
  // was a moment of a script's animation (gone says so).
  return { count, path: a[first][0], what, gone: what === 'style differs' };
}

// Chromium cannot shoot a taller page in one piece.
const SHOT_MAX_HEIGHT = 16384;

async function shoot(page, file) {
  const height = await page.evaluate((max) => Math.min(max, Math.max(1,
    document.documentElement.scrollHeight, document.body ? document.body.scrollHeight : 0)), SHOT_MAX_HEIGHT);
  const width = page.viewportSize().width;
  writeFileSync(file, await page.screenshot({
    fullPage: true, animations: 'disabled', caret: 'hide', timeout,
    clip: { x: 0, y: 0, width, height },
  }));
}

// Runs in the page: the indexes of the canvases whose pixels change by
// themselves (a script drawing every frame): no two shots of them agree.
function animatedCanvases() {
  const canvases = [...document.querySelectorAll('canvas')];
  const read = () => canvases.map((c) => { try { return c.toDataURL(); } catch { return ''; } });
  const before = read();
  return new Promise((done) => setTimeout(() => {
    const after = read();
    done(canvases.map((_, i) => i).filter((i) => before[i] !== after[i]));
  }, 200));
}

// Runs in the page: hides the canvases of INDEXES (as animatedCanvases found
// them in the original), the same in both copies.
function hideCanvases(indexes) {
  const canvases = document.querySelectorAll('canvas');
  for (const i of indexes) if (canvases[i]) canvases[i].style.setProperty('visibility', 'hidden', 'important');
}

function pngSize(file) {
  const b = readFileSync(file);
  return `${b.readUInt32BE(16)}x${b.readUInt32BE(20)}`;
}

// Pixels that differ by more than 2% between two shots: 0 when equal; a
// difference of size counts as every pixel of the larger shot.
function pixelsDiffering(a, b, diff) {
  const [sa, sb] = [pngSize(a), pngSize(b)];
  if (sa !== sb) {
    const [w, h] = (sa > sb ? sa : sb).split('x').map(Number);
    return { pixels: Math.max(w * h, 1), what: `size ${sa} -> ${sb}` };
  }
  // On a loaded machine ImageMagick now and then fails to read a tall shot
  // that is whole: a second try decides.
  let r, pixels;
  for (let attempt = 0; attempt < 2; attempt++) {
    r = spawnSync('compare', ['-metric', 'AE', '-fuzz', '2%', a, b, diff], { encoding: 'utf8', timeout: 120000 });
    pixels = Number.parseFloat(r.stderr);
    if (!r.error && r.status <= 1 && Number.isFinite(pixels)) break;
  }
  if (r.error || r.status > 1 || !Number.isFinite(pixels)) {
    throw new Error(`compare failed on ${a}: ${r.error ? r.error.message : r.stderr.trim()}`);
  }
  return { pixels: Math.round(pixels), what: `${Math.round(pixels)} pixels of ${sa}` };
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

// Per OUT folder: what was found.
function tally(root) {
  return {
    root, label: roots.length > 2 ? `[${basename(root)}] ` : '', checked: 0, same: 0, differing: 0,
    unstable: 0, failed: 0, elementsDiffering: 0, newProblems: 0, rendered: 0, renderDiffering: 0,
    pixelsTotal: 0, renderUnstable: 0, canvasesHidden: 0, sheets: 0, sheetsBroken: 0,
  };
}

// Compares the loaded original A with the loaded copy B of page REL.
async function compareStyle(t, rel, a, b) {
  let d = await firstDifference(a.page, a.elements, b.page, b.elements), shaky = false;
  if (d && d.gone) {
    // Both copies once more, now that the moment has passed.
    [a.elements, b.elements] = [await a.page.evaluate(snapshot), await b.page.evaluate(snapshot)];
    d = await firstDifference(a.page, a.elements, b.page, b.elements);
  }
  if (d) {
    // Animations and late scripts move styles on their own: a page
    // whose original differs from itself a moment later is unstable.
    if (a.again === undefined) a.again = await a.page.evaluate(snapshot);
    if (await firstDifference(a.page, a.elements, a.page, a.again)) {
      t.unstable++;
      d = null;
      shaky = true;
      if (!quiet) console.log(`${t.label}UNSTABLE ${rel} (its original changes by itself)`);
    }
  }
  if (!d && a.text !== b.text) {
    let i = 0;
    while (a.text[i] === b.text[i]) i++;
    d = { count: 0, path: 'rendered text', what: `at ${i}: ${JSON.stringify(a.text.slice(Math.max(0, i - 30), i + 30))} -> ${JSON.stringify(b.text.slice(Math.max(0, i - 30), i + 30))}` };
  }
  const fresh = b.problems.filter((p) => !a.problems.includes(p));
  if (d) {
    t.differing++;
    t.elementsDiffering += d.count;
    if (!quiet) console.log(`${t.label}DIFFERS ${rel}: ${d.count} elements\n  at : ${d.path}\n  ${d.what}`);
  }
  if (fresh.length) {
    t.newProblems += fresh.length;
    if (!quiet) console.log(`${t.label}NEW ERRORS ${rel}:\n  ${fresh.slice(0, 5).join('\n  ')}`);
  }
  return { d, fresh, shaky };
}

// Shoots the original A once and every copy in BS, and compares; called
// after the style comparison: stopping animations moves styles.
async function compareRendering(tallies, rel, a, bs, shotDir) {
  const sa = join(shotDir, 'a.png');
  // A page in the background gets no animation frames: each is shot in front.
  await a.page.bringToFront();
  const moving = await a.page.evaluate(animatedCanvases);
  if (moving.length) {
    for (const pg of [a, ...bs]) await pg.page.evaluate(hideCanvases, moving);
  }
  await shoot(a.page, sa);
  let stable;  // whether the original shoots the same twice, asked once
  const results = [];
  for (const [k, b] of bs.entries()) {
    const t = tallies[k];
    const [sb, sd] = [join(shotDir, `b${k}.png`), join(shotDir, `d${k}.png`)];
    t.canvasesHidden += moving.length;
    await b.page.bringToFront();
    await shoot(b.page, sb);
    t.rendered++;
    let r = pixelsDiffering(sa, sb, sd);
    if (r.pixels && stable === undefined) {
      await a.page.bringToFront();
      await shoot(a.page, join(shotDir, 'a2.png'));
      stable = !pixelsDiffering(sa, join(shotDir, 'a2.png'), join(shotDir, 'a2d.png')).pixels;
    }
    if (r.pixels && !stable) {
      t.renderUnstable++;
      if (!quiet) console.log(`${t.label}UNSTABLE RENDERING ${rel} (its original renders differently when shot again)`);
    }
    if (!r.pixels || !stable) r = null;
    if (r) {
      t.renderDiffering++;
      t.pixelsTotal += r.pixels;
      if (!quiet) console.log(`${t.label}RENDERS DIFFERENTLY ${rel}: ${r.what}`);
      if (shots) {
        const keep = join(shots, t.label.replace(/[[\] ]/g, ''), rel.split(sep).join('__'));
        mkdirSync(dirname(keep), { recursive: true });
        for (const [from, to] of [[sa, '.before.png'], [sb, '.after.png'], [sd, '.diff.png']]) {
          if (existsSync(from)) copyFileSync(from, keep + to);
        }
      }
    }
    rmSync(sd, { force: true });
    results.push(r);
  }
  return results;
}

async function main() {
  if (!existsSync(exe)) { console.error(`stylecheck: no browser at ${exe}`); return 2; }
  if (render && spawnSync('compare', ['-version']).status !== 0) {
    console.error('stylecheck: --render needs ImageMagick (apt-get install imagemagick)');
    return 2;
  }
  const pages = sample([...walk(inRoot, /\.html?$/i)].map((p) => relative(inRoot, p))
    .filter((rel) => outRoots.every((o) => existsSync(join(o, rel)))));
  const servers = [];
  for (const root of roots) servers.push(await serve(root));
  const base = servers.map((s) => `http://127.0.0.1:${s.address().port}/`);
  const profile = mkdtempSync(join(tmpdir(), 'larkspan-stylecheck.'));
  const shotDir = mkdtempSync(join(tmpdir(), 'larkspan-shots.'));
  const tallies = outRoots.map(tally);
  let context;
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: exe, headless: true, viewport: { width: 1024, height: 1400 },
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync',
        // Nothing but the local servers is ever reached: a page's fonts
        // and scripts from other hosts fail alike before and after.
        '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1'],
    });
    await context.route('**/*', (route) => {
      const u = new URL(route.request().url());
      return /^(https?|wss?):$/.test(u.protocol) && u.hostname !== '127.0.0.1' ? route.abort('addressunreachable') : route.continue();
    });
    for (const [n, rel] of pages.entries()) {
      if (process.env.STYLECHECK_PROGRESS) console.error(`stylecheck: page ${n + 1}/${pages.length} ${rel} ${new Date().toISOString()}`);
      const url = encodeURI(rel.split(sep).join('/'));
      const a = await load(context, base[0] + url);
      const bs = [];
      for (let k = 0; k < outRoots.length; k++) bs.push(await load(context, base[k + 1] + url));
      const found = [];
      for (const [k, b] of bs.entries()) {
        const t = tallies[k];
        t.checked++;
        if (a.error || b.error) {
          t.failed++;
          console.log(`${t.label}FAILED ${rel}: ${a.error || b.error}`);
          found.push(null);
        } else {
          found.push(await compareStyle(t, rel, a, b));
        }
      }
      const ok = bs.filter((b, k) => found[k]);
      const rendering = render && ok.length && !a.error
        ? await compareRendering(tallies.filter((_, k) => found[k]), rel, a, ok, shotDir) : [];
      for (const [k, f] of found.entries()) {
        if (!f) continue;
        const r = rendering.length ? rendering[ok.indexOf(bs[k])] : null;
        const t = tallies[k];
        if (!f.d && !f.fresh.length && !f.shaky && !r) t.same++;
        else if (!f.d && (f.fresh.length || r)) t.differing++;
      }
      await a.page?.close();
      for (const b of bs) await b.page?.close();
    }
  } finally {
    await context?.close();
    servers.forEach((s) => s.close());
    rmSync(profile, { recursive: true, force: true });
    rmSync(shotDir, { recursive: true, force: true });
  }

  let status = 0;
  for (const t of tallies) {
    for (const p of walk(t.root, /\.css$/i)) {
      const orig = join(inRoot, relative(t.root, p));
      t.sheets++;
      if (sheetErrors(readFileSync(p, 'latin1')) && !(existsSync(orig) && sheetErrors(readFileSync(orig, 'latin1')))) {
        t.sheetsBroken++;
        console.log(`${t.label}CSS PARSE ERROR ${relative(t.root, p)}`);
      }
    }
    console.log(`stylecheck${t.label ? ' ' + t.label.trim() : ''}: ${t.checked} pages, ${t.same} same, ${t.differing} differing` +
      ` (${t.elementsDiffering} elements with differing style, ${t.newProblems} new errors or failed requests)` +
      (t.unstable ? `, ${t.unstable} unstable` : '') + (t.failed ? `, ${t.failed} failed to load` : '') +
      (render ? `, ${t.renderDiffering} of ${t.rendered} render differently (${t.pixelsTotal} pixels)` +
        (t.renderUnstable ? `, ${t.renderUnstable} render unstably` : '') +
        (t.canvasesHidden ? `, ${t.canvasesHidden} animated canvases hidden` : '') : '') +
      `; ${t.sheets} style sheets, ${t.sheetsBroken} no longer parse`);
    if (t.differing || t.sheetsBroken || t.failed) status = 1;
  }
  return status;
}

main().then((code) => process.exit(code), (e) => { console.error(`stylecheck: ${e.stack || e}`); process.exit(2); });
