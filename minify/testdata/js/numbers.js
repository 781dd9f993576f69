var a = 1 .toString(), b = 1.5.toFixed(1), c = 0x10.toString(), d = 1e3.toString();
var e = 1..toString(), f = .5 + .5, g = 5 - -5 + +5 - - 5, h = a+ +b, i = a- -b;
var j = 010, k = 08.5, l = 0.1e+10, m = 2e-3;
