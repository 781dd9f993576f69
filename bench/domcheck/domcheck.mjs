// Parses every page below IN and its slimmed twin below OUT with parse5 and
// compares the two trees as a browser builds them: element names, attributes
// (names and values, in order; a boolean attribute by its presence, the
// default type of script, style and style-sheet links as none), text with
// white-space runs collapsed to one blank (kept as is inside pre, textarea,
// listing, plaintext and elements
// whose style attribute sets white-space: pre*). Pages are decoded in their
// own charset (a byte-order mark, then <meta charset> or http-equiv in the
// first 1024 bytes, else --charset). Prints counts and, per differing page,
// the first difference with its path in the tree; exits 1 on any difference.
//
//   node domcheck.mjs [--charset NAME] [--drop-comments] [--quiet] IN OUT
//
// --drop-comments: the level removes page comments, so comments are left out
// of both trees, except the ones such a level keeps (isKeptComment).
import { readFileSync, readdirSync, statSync, existsSync } from 'node:fs';
import { join, relative } from 'node:path';
import { pathToFileURL } from 'node:url';
import { parse } from 'parse5';
import iconv from 'iconv-lite';

function* walk(dir) {
  for (const name of readdirSync(dir).sort()) {
    const p = join(dir, name);
    const s = statSync(p);
    if (s.isDirectory()) yield* walk(p);
    else if (/\.html?$/i.test(name)) yield p;
  }
}

// The label as a browser maps it: GB2312 and GBK are read as GBK (GB18030
// is its superset), latin1 as windows-1252.
function encodingOf(label) {
  const l = label.trim().toLowerCase();
  if (['gb2312', 'gbk', 'x-gbk', 'gb_2312-80', 'chinese', 'csgb2312', 'iso-ir-58'].includes(l)) return 'gbk';
  if (['iso-8859-1', 'latin1', 'us-ascii', 'ascii'].includes(l)) return 'windows-1252';
  if (['big5', 'big5-hkscs', 'cn-big5', 'x-x-big5'].includes(l)) return 'big5';
  if (l === 'utf8' || l === 'unicode-1-1-utf-8') return 'utf-8';
  return iconv.encodingExists(l) ? l : null;
}

export function decode(bytes, fallback) {
  if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) return iconv.decode(bytes.subarray(3), 'utf-8');
  if (bytes[0] === 0xff && bytes[1] === 0xfe) return iconv.decode(bytes.subarray(2), 'utf-16le');
  if (bytes[0] === 0xfe && bytes[1] === 0xff) return iconv.decode(bytes.subarray(2), 'utf-16be');
  const head = bytes.subarray(0, 1024).toString('latin1');
  const m = /<meta[^>]+charset\s*=\s*["']?\s*([A-Za-z0-9_:.-]+)/i.exec(head);
  const enc = (m && encodingOf(m[1])) || encodingOf(fallback) || 'gbk';
  return iconv.decode(bytes, enc);
}

// Where the parser keeps white-space-only text that no browser renders: in
// html and head, between table parts and list options.
const INERT_WS = new Set(['#document', 'html', 'head', 'table', 'thead', 'tbody', 'tfoot', 'tr',
  'colgroup', 'select', 'optgroup', 'frameset']);
const RAW_WS = new Set(['pre', 'textarea', 'listing', 'plaintext']);
const PRE_STYLE = /white-space\s*:\s*(pre|break-spaces)/i;

// Attributes whose presence alone counts: disabled="disabled" is disabled.
// hidden is not here: hidden="until-found" means something else.
const BOOLEAN = new Set(['allowfullscreen', 'async', 'autofocus', 'autoplay', 'checked', 'compact',
  'controls', 'declare', 'default', 'defer', 'disabled', 'formnovalidate', 'inert', 'ismap', 'itemscope',
  'loop', 'multiple', 'muted', 'nohref', 'nomodule', 'noresize', 'noshade', 'novalidate', 'nowrap', 'open',
  'playsinline', 'readonly', 'required', 'reversed', 'selected']);
// The types a browser runs a script of (matched whole: with parameters the
// script is not run, so such a type is not a default).
const JS_TYPES = new Set(['', 'application/ecmascript', 'application/javascript', 'application/x-ecmascript',
  'application/x-javascript', 'text/ecmascript', 'text/javascript', 'text/javascript1.0', 'text/javascript1.1',
  'text/javascript1.2', 'text/javascript1.3', 'text/javascript1.4', 'text/javascript1.5', 'text/jscript',
  'text/livescript', 'text/x-ecmascript', 'text/x-javascript']);
const trimLower = (v) => v.replace(/^[ \t\n\f\r]+|[ \t\n\f\r]+$/g, '').toLowerCase();

// Whether a <link>'s rel names "stylesheet".
function sheetLink(el) {
  const rel = (el.attrs || []).find((a) => !a.prefix && a.name === 'rel');
  return !!rel && rel.value.toLowerCase().split(/[ \t\n\f\r]+/).includes('stylesheet');
}

// The attributes as compared: a boolean attribute's value, when it is empty
// or its own name, does not count; the default type of a script or style
// element, or of a style-sheet link, is the same as none.
function attrsOf(el) {
  const html = el.namespaceURI === 'http://www.w3.org/1999/xhtml';
  return (el.attrs || []).filter((a) => {
    if (!html || a.prefix || a.name !== 'type') return true;
    if (el.tagName === 'script') return !JS_TYPES.has(trimLower(a.value));
    if (el.tagName === 'style') return !['', 'text/css'].includes(trimLower(a.value));
    if (el.tagName === 'link' && sheetLink(el)) return trimLower(a.value) !== 'text/css';
    return true;
  }).map((a) => {
    const plain = html && !a.prefix && BOOLEAN.has(a.name) && ['', a.name].includes(trimLower(a.value));
    return `${a.prefix ? a.prefix + ':' : ''}${a.name}${plain ? '' : '=' + JSON.stringify(a.value)}`;
  });
}

function keepsSpace(el) {
  if (RAW_WS.has(el.tagName)) return 'tag';
  const style = el.attrs && el.attrs.find((a) => a.name === 'style');
  return style && PRE_STYLE.test(style.value) ? 'style' : null;
}

// Comments a level that drops comments still keeps: conditional comments
// (both halves of a downlevel-revealed one), SSI `<!--#...-->` and `<!--!...-->`.
function isKeptComment(text) {
  return /^\s*\[if\b/i.test(text) || /^\s*<!\[endif\]/i.test(text) || /^[#!]/.test(text);
}

// Flattens a tree into a list of [path, what] entries: what is compared,
// path says where. Adjacent text nodes are merged (a dropped comment
// between two text nodes joins them); white-space-only text is left out
// where it is inert (INERT_WS). The text of script and style elements
// is not compared here (the script and style-sheet checks prove it).
function flatten(doc, dropComments, styleKept) {
  const out = [];
  const visit = (node, path, ws, opaque) => {
    const kids = node.childNodes || (node.content && node.content.childNodes) || [];
    let text = null, textPath = null;
    const flush = () => {
      if (text === null) return;
      const t = ws ? text : text.replace(/[ \t\n\f\r]+/g, ' ');
      const inert = !ws && t === ' ' && INERT_WS.has(node.tagName || node.nodeName);
      if (!opaque && !inert) out.push([textPath, `#text ${JSON.stringify(t)}`]);
      text = null;
    };
    let n = 0;
    for (const kid of kids) {
      const name = kid.nodeName;
      if (name === '#text') {
        if (text === null) { text = ''; textPath = `${path}/#text[${n}]`; }
        text += kid.value;
        continue;
      }
      if (name === '#comment') {
        if (dropComments && !isKeptComment(kid.data)) continue;
        flush();
        out.push([`${path}/#comment[${n++}]`, `#comment ${JSON.stringify(kid.data)}`]);
        continue;
      }
      if (name === '#documentType') {
        flush();
        out.push([`${path}/!doctype`, `!doctype ${kid.name} ${kid.publicId || ''} ${kid.systemId || ''}`]);
        continue;
      }
      flush();
      const p = `${path}/${kid.tagName}[${n++}]`;
      const attrs = attrsOf(kid);
      out.push([p, `<${kid.tagName}${kid.namespaceURI !== 'http://www.w3.org/1999/xhtml' ? ' ns=' + kid.namespaceURI : ''} ${attrs.join(' ')}>`]);
      const keep = keepsSpace(kid);
      if (keep === 'style') styleKept.add(p);
      visit(kid.content || kid, p, ws || keep !== null, kid.tagName === 'script' || kid.tagName === 'style');
      out.push([p, `</${kid.tagName}>`]);
    }
    flush();
  };
  visit(doc, '', false, false);
  return out;
}

export function compare(a, b) {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; i++) {
    if (a[i][1] !== b[i][1]) return { path: a[i][0], in: a[i][1], out: b[i][1] };
  }
  if (a.length !== b.length) {
    const i = n;
    return { path: (a[i] || b[i])[0], in: a[i] ? a[i][1] : '(end)', out: b[i] ? b[i][1] : '(end)' };
  }
  return null;
}

const clip = (s) => (s.length > 160 ? s.slice(0, 160) + '…' : s);

// Compares every page below inRoot with its twin below outRoot. Returns
// { pages, same, missing, differing: [{ rel, path, in, out, styled }] };
// styled is set when the difference lies inside an element whose style
// attribute sets white-space: pre*.
export function checkFolders(inRoot, outRoot, { charset = 'gb2312', dropComments = false } = {}) {
  const result = { pages: 0, same: 0, missing: 0, differing: [] };
  for (const p of walk(inRoot)) {
    const rel = relative(inRoot, p);
    const q = join(outRoot, rel);
    if (!existsSync(q)) { result.missing++; continue; }
    result.pages++;
    const styled = new Set();
    // Parsed as with scripting off, so <noscript> holds markup (with
    // scripting on it is raw text that is never shown).
    const opts = { scriptingEnabled: false };
    const a = flatten(parse(decode(readFileSync(p), charset), opts), dropComments, styled);
    const b = flatten(parse(decode(readFileSync(q), charset), opts), dropComments, new Set());
    const d = compare(a, b);
    if (!d) { result.same++; continue; }
    d.rel = rel;
    d.styled = [...styled].some((s) => d.path === s || d.path.startsWith(s + '/'));
    result.differing.push(d);
  }
  return result;
}

function main(args) {
  let charset = 'gb2312', dropComments = false, quiet = false;
  const roots = [];
  for (let i = 0; i < args.length; i++) {
    if (args[i] === '--charset') charset = args[++i];
    else if (args[i] === '--drop-comments') dropComments = true;
    else if (args[i] === '--quiet') quiet = true;
    else roots.push(args[i]);
  }
  if (roots.length !== 2 || !charset) {
    console.error('usage: node domcheck.mjs [--charset NAME] [--drop-comments] [--quiet] IN OUT');
    return 2;
  }
  const r = checkFolders(roots[0], roots[1], { charset, dropComments });
  if (!quiet) {
    for (const d of r.differing) {
      const why = d.styled ? ' [inside a style="white-space: pre*" element]' : '';
      console.log(`DIFFERS ${d.rel}${why}\n  at : ${d.path}\n  in : ${clip(d.in)}\n  out: ${clip(d.out)}`);
    }
  }
  console.log(`domcheck: ${r.pages} pages, ${r.same} same, ${r.differing.length} differing` +
              (r.missing ? `, ${r.missing} without output` : ''));
  return r.differing.length ? 1 : 0;
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) process.exit(main(process.argv.slice(2)));
