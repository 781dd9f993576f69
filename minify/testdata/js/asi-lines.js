// Statements without semicolons: the line breaks carry them.
var a = 1
var b = a
++b
var c = b
(function () { return c })
let d = [1, 2]
[0].forEach(function (x) { d.push(x) })
function f() {
  return
  a + b
}
a
--b
