// Writes whether a function's directive prologue turned strict mode on.
(function () {
  var strict = (function () {
    "use strict";
    return this === undefined;
  })();
  var out = document.getElementById("out");
  out.textContent = strict ? "strict mode: ON" : "strict mode: OFF (directive lost)";
  out.style.background = strict ? "#3a3" : "#c33";
})();
