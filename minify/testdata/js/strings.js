var persian = "ژانویه‌فوریه", zw = "a​b‌c‍d﻿e";
var khmer = 'មករា';
var html = "</script><!-- not a comment -->";
var esc = 'it\'s \\ "q" \x41 \u0041 \u{1F600}';
var cont = "one \
two";
var ls = "a b c";
