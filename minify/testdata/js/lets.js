var let_ = 1;
let x = 1
let [a, b] = [1, 2]
const { c } = { c: 3 }
var let2 = [let_]
