var a=1;var b=2;
/* @license MIT: kept */
var c=3
var d=4
/*@cc_on
  @if (@_jscript) var ie = true; @end
@*/
var e=a+ +b;