import { a as b } from "./dep.mjs";
import * as ns from "./ns.mjs";
export const value = b + 1;
export default class Thing { static of = ns }
export { value as other };
const meta = import.meta.url;
const lazy = await import("./lazy.mjs");
const cmp = value <!--b;
