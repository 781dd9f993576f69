// One peer minifier over a site folder: writes the peer's output for every
// file of the kinds it handles under OUT (same relative paths), and prints a
// line a kind:  peer KIND files failed cpu_seconds (CPU time of this process;
// esbuild's work runs in its own service process and is not counted: "-")
//
//   node peers.mjs PEER IN OUT
//
// PEER: gominify (pages, style sheets, scripts; Go minify through its Node
// binding, default options), hmt (pages; html-minifier-terser with the
// options in HMT_OPTIONS below), csso (style sheets; csso.minify, default
// options, structure optimisation on), esbuild (style sheets and scripts;
// transform with minify: true).
//
// With PEERS_OK_LIST=FILE, the relative paths of the files the peer
// minified (each ended by a NUL byte) are written to FILE.
//
// A file the peer refuses or throws on, or whose rules or markup it loses,
// is written as it was and counted as failed, as a slimming tool would copy
// it. The peers read text: a file that
// is valid UTF-8 is read as UTF-8; any other (GBK, Big5...) is read byte for
// byte as Latin-1, and written back the same way, so its sizes stay in its
// own bytes (a character the peer makes that does not fit one byte, such as
// a decoded `&mdash;`, is written as UTF-8).
import { readFileSync, writeFileSync, mkdirSync, readdirSync, lstatSync } from 'node:fs';
import { join, relative, dirname, extname } from 'node:path';
import { TextDecoder } from 'node:util';

// html-minifier-terser: the options its documentation marks as keeping the
// page's meaning (no optional-tag removal, no empty-attribute or
// empty-element removal, no entity decoding, no attribute sorting), with
// inline style sheets and scripts minified as Larkspan does.
export const HMT_OPTIONS = {
  collapseWhitespace: true,
  conservativeCollapse: false,
  removeComments: true,
  collapseBooleanAttributes: true,
  removeAttributeQuotes: true,
  removeRedundantAttributes: true,
  removeScriptTypeAttributes: true,
  removeStyleLinkTypeAttributes: true,
  useShortDoctype: true,
  minifyCSS: true,
  minifyJS: true,
  continueOnParseError: true,
};

const KIND = { '.html': 'pages', '.htm': 'pages', '.css': 'sheets', '.js': 'scripts', '.mjs': 'scripts' };

const PEERS = {
  gominify: {
    kinds: ['pages', 'sheets', 'scripts'],
    async load() {
      const { minify } = await import('@tdewolff/minify');
      const type = { pages: 'text/html', sheets: 'text/css', scripts: 'application/javascript' };
      return (kind, text) => minify(type[kind], text);
    },
  },
  hmt: {
    kinds: ['pages'],
    async load() {
      const { minify } = await import('html-minifier-terser');
      return (kind, text) => minify(text, HMT_OPTIONS);
    },
  },
  csso: {
    kinds: ['sheets'],
    async load() {
      const { minify } = await import('csso');
      return (kind, text) => minify(text).css;
    },
  },
  esbuild: {
    kinds: ['sheets', 'scripts'],
    async load() {
      const esbuild = (await import('esbuild')).default;
      return (kind, text) => esbuild.transformSync(text, {
        loader: kind === 'sheets' ? 'css' : 'js', minify: true, charset: 'utf8', logLevel: 'silent',
      }).code;
    },
  },
};

function* walk(dir) {
  for (const name of readdirSync(dir).sort()) {
    const p = join(dir, name);
    const s = lstatSync(p);
    if (s.isDirectory()) yield* walk(p);
    else if (s.isFile()) yield p;
  }
}

const utf8 = new TextDecoder('utf-8', { fatal: true });

function decode(bytes) {
  try {
    return { text: utf8.decode(bytes), latin1: false };
  } catch {
    return { text: bytes.toString('latin1'), latin1: true };
  }
}

function encode(text, latin1) {
  if (!latin1) return Buffer.from(text, 'utf8');
  // Only characters above U+00FF (made by the peer) need more than a byte.
  if (!/[^\u0000-\u00ff]/.test(text)) return Buffer.from(text, 'latin1');
  const parts = [];
  for (const ch of text) parts.push(Buffer.from(ch, ch.codePointAt(0) > 0xff ? 'utf8' : 'latin1'));
  return Buffer.concat(parts);
}

function cpuSeconds() {
  const u = process.cpuUsage();
  return (u.user + u.system) / 1e6;
}

async function main() {
  const [name, inRoot, outRoot] = process.argv.slice(2);
  const peer = PEERS[name];
  if (!peer || !inRoot || !outRoot) {
    console.error(`usage: node peers.mjs ${Object.keys(PEERS).join('|')} IN OUT`);
    return 2;
  }
  const run = await peer.load();
  const stats = {};
  const done = [];
  for (const path of walk(inRoot)) {
    const kind = KIND[extname(path).toLowerCase()];
    if (!peer.kinds.includes(kind)) continue;
    const rel = relative(inRoot, path);
    const bytes = readFileSync(path);
    const { text, latin1 } = decode(bytes);
    const s = (stats[kind] ??= { files: 0, failed: 0, cpu: 0 });
    s.files++;
    let out = bytes;
    const t0 = cpuSeconds();
    try {
      const made = await run(kind, text);
      // A sheet with declarations out of which no rule comes, or a page with
      // markup out of which no tag comes, is a file lost (csso and Go minify
      // on a UTF-16 sheet read as Latin-1), not a small one.
      const mark = kind === 'sheets' ? /\{[^}]*:/ : kind === 'pages' ? /<[a-z!]/i : null;
      if (mark && mark.test(text) && !mark.test(made)) throw new Error('output lost the content');
      out = encode(made, latin1);
      done.push(rel);
    } catch (e) {
      s.failed++;
      if (process.env.PEERS_VERBOSE) console.error(`${name}: ${rel}: ${String(e.message).split('\n')[0]}`);
    }
    s.cpu += cpuSeconds() - t0;
    mkdirSync(dirname(join(outRoot, rel)), { recursive: true });
    writeFileSync(join(outRoot, rel), out);
  }
  if (process.env.PEERS_OK_LIST) writeFileSync(process.env.PEERS_OK_LIST, done.map((r) => r + '\0').join(''));
  for (const kind of peer.kinds) {
    const s = stats[kind];
    if (s) console.log(`${name} ${kind} ${s.files} ${s.failed} ${name === 'esbuild' ? '-' : s.cpu.toFixed(3)}`);
  }
  return 0;
}

main().then((code) => process.exit(code), (e) => { console.error(`peers: ${e.stack || e}`); process.exit(2); });
