const add = (a, b) => a + b
const obj = () => ({ k: 1 })
const body = () => {
  return 1
}
const nestedArrow = a => b => c => a + b + c
const ifRegex = (s) => { if (s) /x/.exec(s) }
