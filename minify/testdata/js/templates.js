const name = "world";
const nested = `outer ${`inner ${name.toUpperCase()} ${ `${1 + 1}` }`} end`;
const multi = `line one
  line two ${ { a: 1 }.a } \` tick \${not} $`;
function tag(parts, ...values) { return parts.raw.join("|") + values.length; }
const tagged = tag`a${1}b${ () => { return `c` } }d`;
