// For every style sheet below IN that has a minified twin below OUT, parses
// both with css-tree and compares the trees, printed back without white
// space and comments. Prints one line per difference and a summary; exits 1
// when a tree differs.
//
//   node csscheck.mjs IN OUT
import { readFileSync, readdirSync, statSync, existsSync } from 'node:fs';
import { join, relative } from 'node:path';
import * as csstree from 'css-tree';

const [inRoot, outRoot] = process.argv.slice(2);

function* walk(dir) {
  for (const name of readdirSync(dir)) {
    const p = join(dir, name);
    const s = statSync(p);
    if (s.isDirectory()) yield* walk(p);
    else if (/\.css$/i.test(name)) yield p;
  }
}

// The text of a sheet as a browser reads it: a byte-order mark wins, valid
// UTF-8 is UTF-8, anything else the site's setting (GBK).
function decode(bytes) {
  if (bytes[0] === 0xff && bytes[1] === 0xfe) return new TextDecoder('utf-16le').decode(bytes);
  if (bytes[0] === 0xfe && bytes[1] === 0xff) return new TextDecoder('utf-16be').decode(bytes);
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch {
    return new TextDecoder('gbk').decode(bytes);
  }
}

function tree(text) {
  let errors = 0;
  const ast = csstree.parse(text, {
    parseValue: true,
    parseAtrulePrelude: true,
    parseRulePrelude: true,
    onParseError: () => { errors++; },
  });
  // Comments are not part of the sheet's meaning. What css-tree keeps as
  // raw text (custom properties, var() fallbacks, nesting it does not know)
  // gets its white space normalised: none beside punctuation, one blank
  // elsewhere ("and (" and "a b" stay apart), no ";" before "}".
  csstree.walk(ast, {
    enter(node, item, list) {
      if (node.type === 'Comment' && list) list.remove(item);
      if (node.type === 'Raw') {
        node.value = node.value.replace(/\/\*[^]*?\*\//g, ' ').replace(/\s+/g, ' ')
          .replace(/ ?([{}();:,]) ?/g, '$1').replace(/;}/g, '}').trim();
      }
    },
  });
  return { text: csstree.generate(ast), errors };
}

let sheets = 0, same = 0, differ = 0, skipped = 0, parseErrors = 0;
for (const p of walk(inRoot)) {
  const rel = relative(inRoot, p);
  const q = join(outRoot, rel);
  if (!existsSync(q)) { skipped++; continue; }
  sheets++;
  const a = tree(decode(readFileSync(p)));
  const b = tree(decode(readFileSync(q)));
  if (a.errors) parseErrors++;
  if (a.text === b.text) { same++; continue; }
  differ++;
  let i = 0;
  while (i < a.text.length && a.text[i] === b.text[i]) i++;
  console.log(`DIFFERS ${rel} at ${i}:\n  in : ${a.text.slice(Math.max(0, i - 60), i + 60)}\n  out: ${b.text.slice(Math.max(0, i - 60), i + 60)}`);
}
console.log(`csscheck: ${sheets} sheets, ${same} same tree, ${differ} different` +
            (skipped ? `, ${skipped} without output` : '') +
            (parseErrors ? ` (${parseErrors} inputs css-tree itself reports errors in)` : ''));
process.exit(differ ? 1 : 0);
