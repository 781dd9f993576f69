<!-- old browsers hide this script
var shown = 1;
--> and this line is a comment too
var after = shown <!-- here the rest of the line is a comment
+ 1;
var cmp = shown-- > 0;
