// The tree check's own cases: pairs of pages (original, slimmed copy) that
// must compare the same or differ. Each pair is written to two temporary
// folders and checked as the benchmark checks a site.
//
//   node cases.mjs        (exits 1 when a case is judged wrongly)
import { mkdtempSync, writeFileSync, rmSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { tmpdir } from 'node:os';
import iconv from 'iconv-lite';
import { checkFolders } from './domcheck.mjs';

const page = (body, head = '') => `<!DOCTYPE html>\n<html>\n<head>\n${head}<title>t</title>\n</head>\n<body>\n${body}\n</body>\n</html>\n`;
const gbk = (s) => iconv.encode(page(s, '<meta charset="gbk">\n'), 'gbk');
const big5 = (s) => iconv.encode(page(s, '<meta http-equiv="Content-Type" content="text/html; charset=big5">\n'), 'big5');
// What a minifier that takes a trail byte for a backslash escape writes.
const dropBackslash = (bytes) => Buffer.from(bytes.filter((b) => b !== 0x5c));

// [name, original, slimmed, same?, extra flags]
const CASES = [
  ['white-space runs collapse', page('<p>a  \n\t b</p>'), page('<p>a b</p>'), true],
  ['blanks in head and between head and body', page('<p>a</p>'),
    '<!DOCTYPE html><html><head><title>t</title></head><body>\n<p>a</p>\n</body></html>', true],
  ['a blank removed between words', page('<p>a b</p>'), page('<p>ab</p>'), false],
  ['a blank removed between inline elements', page('<b>a</b> <b>b</b>'), page('<b>a</b><b>b</b>'), false],
  ['blank kept in pre', page('<pre>a  b</pre>'), page('<pre>a b</pre>'), false],
  ['blank kept in textarea', page('<textarea>a\n\nb</textarea>'), page('<textarea>a\nb</textarea>'), false],
  ['blank kept under style white-space:pre-wrap', page('<div style="white-space: pre-wrap"><span>a  b</span></div>'),
    page('<div style="white-space: pre-wrap"><span>a b</span></div>'), false],
  ['attribute quotes dropped', page('<a href="x" class="c">a</a>'), page('<a href=x class=c>a</a>'), true],
  ['attribute value changed', page('<a title="a  b">a</a>'), page('<a title="a b">a</a>'), false],
  ['empty value is not a bare attribute', page('<input value="">'), page('<input value>'), true],
  ['attribute dropped', page('<input disabled value="">'), page('<input disabled>'), false],
  ['boolean attribute by presence', page('<input disabled="disabled" checked="">'), page('<input disabled checked>'), true],
  ['a boolean attribute with another value', page('<input disabled="no">'), page('<input disabled>'), false],
  ['hidden="until-found" is not plain hidden', page('<div hidden="until-found">a</div>'), page('<div hidden>a</div>'), false],
  ['value="value" is a value', page('<input value="value">'), page('<input value>'), false],
  ['default script and style types', page('<script type="text/javascript">a()</script><style type="TEXT/CSS">p{}</style>'),
    page('<script>a()</script><style>p{}</style>'), true],
  ['the type of a style-sheet link', page('<link rel="Alternate stylesheet" type="text/css" href="a.css">'),
    page('<link rel="Alternate stylesheet" href="a.css">'), true],
  ['the type of an icon link', page('<link rel="icon" type="text/css" href="a.css">'),
    page('<link rel="icon" href="a.css">'), false],
  ['a style-sheet link of another type', page('<link rel="stylesheet" type="text/less" href="a.css">'),
    page('<link rel="stylesheet" href="a.css">'), false],
  ['a script type with parameters is not the default', page('<script type="text/javascript; x=1">a()</script>'),
    page('<script>a()</script>'), false],
  ['a template script keeps its type', page('<script type="text/template"><p>a</p></script>'),
    page('<script><p>a</p></script>'), false],
  ['optional end tags', page('<ul><li>a</li><li>b</li></ul><p>c</p><div>d</div>'),
    page('<ul><li>a<li>b</ul><p>c<div>d</div>'), true],
  ['p end tag before span is not optional', page('<p>a</p><span>b</span>'), page('<p>a<span>b</span>'), false],
  ['comment kept', page('<!-- x --><p>a</p>'), page('<p>a</p>'), false],
  ['comment dropped at a level that drops them', page('<!-- x --><p>a</p>'), page('<p>a</p>'), true, ['--drop-comments']],
  ['SSI comment is never dropped', page('<!--#include file="a.html" --><p>a</p>'), page('<p>a</p>'), false, ['--drop-comments']],
  ['conditional comment is never dropped', page('<!--[if IE]><p>old</p><![endif]--><p>a</p>'), page('<p>a</p>'),
    false, ['--drop-comments']],
  ['script text is checked elsewhere', page('<script>var  a = 1;\n</script>'), page('<script>var a=1</script>'), true],
  ['GBK text with a 0x5C trail byte kept', gbk('<p>乗俓</p>'), gbk('<p>乗俓</p>'), true],
  ['GBK 0x5C trail byte lost', gbk('<p>乗俓</p>'), dropBackslash(gbk('<p>乗俓</p>')), false],
  ['Big5 0x5C trail byte lost', big5('<p>許功</p>'), dropBackslash(big5('<p>許功</p>')), false],
  ['noscript content compared as markup', page('<noscript><p class="a">x</p></noscript>'),
    page('<noscript><p class=a>x</p></noscript>'), true],
  ['noscript content changed', page('<noscript><p class="a">x</p></noscript>'),
    page('<noscript><p class="b">x</p></noscript>'), false],
  ['element renamed', page('<b>a</b>'), page('<strong>a</strong>'), false],
];

const dir = mkdtempSync(join(tmpdir(), 'domcheck-cases.'));
let wrong = 0;
try {
  CASES.forEach(([name, a, b, same, flags = []], i) => {
    const [inDir, outDir] = [join(dir, `in${i}`), join(dir, `out${i}`)];
    mkdirSync(inDir);
    mkdirSync(outDir);
    writeFileSync(join(inDir, 'p.html'), a);
    writeFileSync(join(outDir, 'p.html'), b);
    const r = checkFolders(inDir, outDir, { dropComments: flags.includes('--drop-comments') });
    const got = r.pages === 1 && r.same === 1;
    if (r.pages !== 1 || got !== same) {
      wrong++;
      console.log(`WRONG: ${name}: expected ${same ? 'same' : 'differing'}: ${JSON.stringify(r)}`);
    }
  });
} finally {
  rmSync(dir, { recursive: true, force: true });
}
console.log(`domcheck cases: ${CASES.length - wrong} of ${CASES.length} judged right`);
process.exit(wrong ? 1 : 0);
