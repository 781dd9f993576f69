const big = 1_000_000n, hex = 0xFF_FF, bin = 0b1010_0101, oct = 0o7_7, f = 1_0.5e-1_0;
const obj = { a: { b: null } };
const x = obj?.a?.b ?? "none";
const y = obj.a ? .5 : 1.5;
const call = obj.fn?.(1)?.[0];
let z = 0;
z ||= 1; z &&= 2; z ??= 3; z **= 2;
const { a, ...rest } = obj;
const arr = [...[1, 2], ...rest.b ?? []];
label: for (const k of Object.keys(obj)) { if (k) continue label; else break label }
async function* gen() { for await (const v of [1]) yield v }
const fns = [async () => {}, async x => x, async (x) => { await x }];
