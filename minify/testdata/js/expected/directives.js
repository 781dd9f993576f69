"use strict"
function strictCheck(){"use strict"
'another directive';return this===undefined}var g=function(){'use strict';[1,2].forEach(function(){})}