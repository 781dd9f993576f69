// The safe tree comparison accepts exactly the rewrites safe may make:
//   node trees_test.js      (exit 1 on the first case that goes wrong)
'use strict';
const acorn = require('acorn');
const { same, normaliseSafe } = require('./trees');

const parse = (t) => acorn.parse(t, { ecmaVersion: 'latest', sourceType: 'script' });
const sameSafe = (a, b) => same(normaliseSafe(parse(a)), normaliseSafe(parse(b)));

// [original, output, same at safe?]
const CASES = [
  ['a["b"]', 'a.b', true],
  ['a["default"]', 'a.default', true],
  ['a["b-c"]', 'a["b-c"]', true],
  ['a["1"]', 'a[1]', true],
  ['a["01"]', 'a[1]', false],
  ['a["b"]', 'a.c', false],
  ['x={"b":1}', 'x={b:1}', true],
  ['x={"b":b}', 'x={b}', true],
  ['x={"__proto__":__proto__}', 'x={__proto__}', false],  // the shorthand sets no prototype
  ['class A{"m"(){}}', 'class A{m(){}}', true],
  ['x=1.0+0.5+1000', 'x=1+.5+1e3', true],
  ['x=0.1', 'x=.2', false],
  ['x=(a+b)*c', 'x=(a+b)*c', true],
  ['x=a+b*c', 'x=(a+b)*c', false],  // parentheses that matter
  [';;a;;', 'a', true],
  ['if(a);b', 'if(a){}b', true],
  ['if(a)b()', 'a&&b()', true],
  ['if(!a)b()', 'a||b()', true],
  ['if(a)b()', 'a||b()', false],
  ['if(a)b();else c()', 'a?b():c()', true],
  ['if(!a)b();else c()', 'a?c():b()', true],
  ['if(!a)b();else c()', 'a?b():c()', false],
  ['if(a){b();c()}', 'a&&(b(),c())', true],
  ['a();b();var x=1;var y', 'a(),b();var x=1,y', true],
  ['let x;let y', 'let x,y', true],
  ['var x=0;for(;;);', 'for(var x=0;;);', true],
  ['let x=0;for(;;);', 'for(let x=0;;);', false],
  ['function f(){a();return b}', 'function f(){return a(),b}', true],
  ['function f(){if(a)return b;return c}', 'function f(){return a?b:c}', true],
  ['function f(){if(!a)return b;return c}', 'function f(){return a?c:b}', true],
  ['function f(){if(a)return b;return c}', 'function f(){return a?c:b}', false],
  ['function f(){a();return}', 'function f(){a()}', true],
  ['if(a){if(b)c()}else d()', 'if(a)if(b)c();else d()', false],
  ['if(a){let x}', 'if(a){let x;x}', false],
  ['x=true;y=false', 'x=!0,y=!1', true],
  ['x=true', 'x=!1', false],
  ['while(a){b()}', 'while(a)b()', true],
  ['"use strict";a', 'a', false],   // the directive stays
  ['x=/a/g', 'x=/a/i', false],
];
let failed = 0;
for (const [a, b, want] of CASES) {
  const got = sameSafe(a, b);
  if (got !== want) {
    console.log(`FAIL: ${a} vs ${b}: ${got ? 'same' : 'different'}, expected ${want ? 'same' : 'different'}`);
    ++failed;
  }
}
console.log(`safe tree comparison: ${CASES.length - failed}/${CASES.length} cases right`);
process.exit(failed ? 1 : 0);
