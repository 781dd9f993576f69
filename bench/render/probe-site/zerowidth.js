// Writes the length of a string that holds U+200B, U+200C, U+200D and U+FEFF.
(function () {
  var s = "a​b‌c‍d﻿e";
  var out = document.getElementById("out");
  out.textContent = "length " + s.length + (s.length === 9 ? " (all kept)" : " (characters lost)");
  out.style.background = s.length === 9 ? "#3a3" : "#c33";
})();
