// Tree comparison for the script minifier's checks: acorn trees compared
// without positions, raw texts and comments, and the undoing of the rewrites
// the safe level makes.
'use strict';

const SKIP = new Set(['start', 'end', 'loc', 'range', 'raw']);
function same(a, b) {
  if (a === b) return true;
  if (typeof a !== typeof b) return false;
  if (typeof a === 'number') return Object.is(a, b);
  if (typeof a === 'bigint') return a === b;
  if (a === null || b === null || typeof a !== 'object') return false;
  if (a instanceof RegExp || b instanceof RegExp) return String(a) === String(b);
  if (Array.isArray(a) !== Array.isArray(b)) return false;
  const ka = Object.keys(a).filter((k) => !SKIP.has(k));
  const kb = Object.keys(b).filter((k) => !SKIP.has(k));
  if (ka.length !== kb.length) return false;
  for (const k of ka) if (!same(a[k], b[k])) return false;
  return true;
}

// The tree with the rewrites of safe undone, so that the original's and the
// output's can be compared: a["b"] is a.b and {"b":1} is {b:1} for identifier
// names, numbers are compared by value (raw is ignored), empty statements
// in statement lists are dropped; parentheses leave no trace in acorn's tree.
const IDENT = /^[A-Za-z_$][A-Za-z0-9_$]*$/;
function normaliseSafe(node) {
  if (Array.isArray(node)) {
    return node.filter((n) => !(n && n.type === 'EmptyStatement')).map(normaliseSafe);
  }
  if (!node || typeof node !== 'object' || node instanceof RegExp) return node;
  const out = {};
  for (const k of Object.keys(node)) out[k] = normaliseSafe(node[k]);
  const named = (lit) => lit && lit.type === 'Literal' && typeof lit.value === 'string' && IDENT.test(lit.value);
  if (out.type === 'MemberExpression' && out.computed && named(out.property)) {
    out.computed = false;
    out.property = { type: 'Identifier', name: out.property.value };
  }
  if ((out.type === 'Property' || out.type === 'MethodDefinition' || out.type === 'PropertyDefinition') &&
      !out.computed && named(out.key)) {
    out.key = { type: 'Identifier', name: out.key.value };
  }
  // {"b": b} with its key rewritten may be printed as the shorthand {b}
  // (not __proto__: the shorthand does not set the prototype)
  if (out.type === 'Property' && !(out.key && out.key.name === '__proto__')) out.shorthand = false;
  // "10" as a key is 10
  const index = (lit) => lit && lit.type === 'Literal' && typeof lit.value === 'string' && INDEX.test(lit.value);
  if (out.type === 'MemberExpression' && out.computed && index(out.property)) {
    out.property = { type: 'Literal', value: Number(out.property.value) };
  }
  if ((out.type === 'Property' || out.type === 'MethodDefinition' || out.type === 'PropertyDefinition') &&
      !out.computed && index(out.key)) {
    out.key = { type: 'Literal', value: Number(out.key.value) };
  }
  return statements(out);
}

// The statement rewrites of safe undone: every form is brought to one
// canonical form on both sides (sequences as statements, && / || / ?: as
// if, one declarator a declaration, for-initialisers as statements before
// the loop, blocks of one statement as that statement, !0 / !1 as true /
// false, a function's final bare return gone).
const INDEX = /^(0|[1-9][0-9]{0,14})$/;
const LISTS = new Set(['Program', 'BlockStatement', 'StaticBlock']);
const lexical = (s) => (s.type === 'VariableDeclaration' && s.kind !== 'var') || s.type === 'FunctionDeclaration' ||
  s.type === 'ClassDeclaration' || (s.type === 'LabeledStatement' && lexical(s.body));
const not = (e) => ({ type: 'UnaryExpression', operator: '!', prefix: true, argument: e });
const expr = (e) => ({ type: 'ExpressionStatement', expression: e });
const seq = (e) => (e && e.type === 'SequenceExpression' ? e.expressions.flatMap(seq) : [e]);

// One statement in its canonical form.
function one(s) {
  if (s.type === 'ExpressionStatement') {
    const e = s.expression;
    if (e.type === 'LogicalExpression' && (e.operator === '&&' || e.operator === '||')) {
      const test = e.operator === '&&' ? e.left : not(e.left);
      return one({ type: 'IfStatement', test, consequent: expr(e.right), alternate: null });
    }
    if (e.type === 'ConditionalExpression') {
      return one({ type: 'IfStatement', test: e.test, consequent: expr(e.consequent), alternate: expr(e.alternate) });
    }
    return s;
  }
  if (s.type === 'ReturnStatement' && s.argument) {
    const a = s.argument;
    if (a.type === 'ConditionalExpression') {
      return one({ type: 'IfStatement', test: a.test, consequent: { type: 'ReturnStatement', argument: a.consequent },
        alternate: { type: 'ReturnStatement', argument: a.alternate } });
    }
    if (a.type === 'UnaryExpression' && a.operator === 'void' && a.argument.type === 'Literal' &&
        typeof a.argument.value === 'number') return { type: 'ReturnStatement', argument: null };
    return s;
  }
  if (s.type === 'IfStatement') {
    let test = s.test;
    let consequent = asOne(s.consequent);
    let alternate = s.alternate ? asOne(s.alternate) : null;
    if (alternate && alternate.type === 'EmptyStatement') alternate = null;
    if (consequent.type === 'EmptyStatement') {
      if (!alternate) return expr(test);
      test = not(test);
      consequent = alternate;
      alternate = null;
    }
    if (alternate && test.type === 'UnaryExpression' && test.operator === '!') {
      [consequent, alternate] = [alternate, consequent];
      test = test.argument;
    }
    return { type: 'IfStatement', test, consequent, alternate };
  }
  if (/^(For|ForIn|ForOf|While|DoWhile|With|Labeled)Statement$/.test(s.type)) return { ...s, body: asOne(s.body) };
  return s;
}

// Whether statement s always leaves by return or throw.
function jumps(s) {
  if (s.type === 'ReturnStatement' || s.type === 'ThrowStatement') return true;
  if (s.type === 'IfStatement') return !!s.alternate && jumps(s.consequent) && jumps(s.alternate);
  if (s.type === 'BlockStatement') return s.body.length > 0 && jumps(s.body[s.body.length - 1]);
  return false;
}

// A statement as the list of statements it stands for.
function asList(s) {
  if (!s || s.type === 'EmptyStatement') return [];
  if (s.type === 'BlockStatement' && !s.body.some(lexical)) return s.body.flatMap(asList);
  if (s.type === 'ExpressionStatement' && s.expression.type === 'SequenceExpression') {
    return seq(s.expression).flatMap((x) => asList(expr(x)));
  }
  if ((s.type === 'ReturnStatement' || s.type === 'ThrowStatement') && s.argument &&
      s.argument.type === 'SequenceExpression') {
    const parts = seq(s.argument);
    const last = parts.pop();
    return parts.flatMap((x) => asList(expr(x))).concat(asList({ ...s, argument: last }));
  }
  if (s.type === 'VariableDeclaration' && s.declarations.length > 1) {
    return s.declarations.map((d) => ({ ...s, declarations: [d] }));
  }
  if (s.type === 'ForStatement' && s.init && !(s.init.type === 'VariableDeclaration' && s.init.kind !== 'var')) {
    const init = s.init.type === 'VariableDeclaration' ? s.init : expr(s.init);
    return asList(init).concat(asList({ ...s, init: null }));
  }
  return [one(s)];
}

function asOne(s) {
  const list = fold(asList(s));
  if (list.length === 0) return { type: 'EmptyStatement' };
  if (list.length === 1 && !lexical(list[0])) return list[0];
  return { type: 'BlockStatement', body: list };
}

// if (a) return b; c  is  if (a) return b; else c
function fold(list) {
  let tail = [];
  for (let i = list.length - 1; i >= 0; --i) {
    const s = list[i];
    if (tail.length && s.type === 'IfStatement' && !s.alternate && jumps(s.consequent)) {
      const alternate = tail.length === 1 && !lexical(tail[0]) ? tail[0] : { type: 'BlockStatement', body: tail };
      tail = [one({ ...s, alternate })];
    } else {
      tail.unshift(s);
    }
  }
  return tail;
}

function statements(node) {
  if (node.type === 'UnaryExpression' && node.operator === '!' && node.argument && node.argument.type === 'Literal' &&
      (node.argument.value === 0 || node.argument.value === 1)) {
    return { type: 'Literal', value: node.argument.value === 0 };
  }
  if (LISTS.has(node.type)) node.body = fold(node.body.flatMap(asList));
  if (node.type === 'SwitchCase') node.consequent = fold(node.consequent.flatMap(asList));
  if (/Function/.test(node.type) && node.body && node.body.type === 'BlockStatement') {
    const b = node.body.body;
    if (b.length && b[b.length - 1].type === 'ReturnStatement' && !b[b.length - 1].argument) b.pop();
  }
  return node;
}

module.exports = { same, normaliseSafe };
