var s = "a/b/c", n = 10, half = n / 2 / 1;
if (/\//.test(s)) half = s.split(/\//g).length / 2;
while (/'/.test(s)) s = s.replace(/'/, "");
var counts = { a: 1 } / 2, q = "/";
{
}
/[/"]/.exec(s);
var arrow = (t) => /"/.test(t);
var r = n++ / 2 / 1;
var t = typeof /x/;
var cls = /[\]/]+/g;
