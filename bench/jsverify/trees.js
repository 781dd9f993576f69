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
  return out;
}

module.exports = { same, normaliseSafe };
