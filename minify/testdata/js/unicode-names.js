var \u0061bc = 1, \u{62}cd = 2;
var 变量 = \u0061bc + \u{62}cd;
var café = 变量 in {} ? 1 : 2;
var ℮ = typeof 变量;
