var pick = function (c) {
  return c ? { a: 1 } : { b: 2 }
}
var v = pick(1) ? function () { return 1 } : function () { return 2 }
var w = v ? {} : {}
/x/g.test(w)
