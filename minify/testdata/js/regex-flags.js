const r1 = /[\p{L}--[a-z]]/v;
const r2 = /(?<year>\d{4})-(?<month>\d{2})/dgu;
const r3 = /a/gimsuy;
const r4 = /[[a-z]--[aeiou]]/v;
const r5 = /\/\*[^]*?\*\//;
const isIn = /a/ in {};
