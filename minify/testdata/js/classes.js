class Counter extends EventTarget {
  #count = 0;
  static instances = 0
  static {
    Counter.ready = true
  }
  label = "counter"
  ['computed' + 1] = 2
  get count() { return this.#count; }
  set count(v) { this.#count = v; }
  *ids() { yield 1; yield 2 }
  async load() { await null; return #count in this }
  static create() { Counter.instances++; return new Counter(); }
}
const Anon = class {
  in
  of
}
