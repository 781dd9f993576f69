/** Documentation comment: removed. */
// line comment: removed
var a = 1; /* inline, removed */ var b = 2;
/* @license MIT: kept */
var c = 3 /* multi
line comment acts as a line break */
var d = 4
/*@cc_on
  @if (@_jscript) var ie = true; @end
@*/
var e = a /*x*/ + /*y*/ +b;
