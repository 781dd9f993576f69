var shown=1;var after=shown
+1;var cmp=shown-- >0;