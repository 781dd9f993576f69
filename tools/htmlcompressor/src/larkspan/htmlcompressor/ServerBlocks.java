package larkspan.htmlcompressor;

/**
 * Finds the end of the server-side blocks a page may hold: {@code <?php ... ?>} (and the other
 * {@code <? ... ?>} forms), {@code <% ... %>}. The scanners copy such a block byte for byte.
 */
final class ServerBlocks {
  private ServerBlocks() {}

  /** True when s holds the start of a server block at i. */
  static boolean startsAt(String s, int i) {
    if (i + 1 >= s.length() || s.charAt(i) != '<') return false;
    char c = s.charAt(i + 1);
    return c == '?' || c == '%';
  }

  /**
   * Index just past the block that starts at i, or the text's end when it is not closed (a PHP
   * file may end inside its last block). In PHP code, "?>" inside a quoted string does not end
   * the block, so strings and comments are stepped over.
   */
  static int end(String s, int i) {
    int n = s.length();
    if (s.charAt(i + 1) == '%') {
      int e = s.indexOf("%>", i + 2);
      return e < 0 ? n : e + 2;
    }
    if (!isPhp(s, i)) {
      int e = s.indexOf("?>", i + 2);
      return e < 0 ? n : e + 2;
    }
    int j = i + 2;
    while (j < n) {
      char c = s.charAt(j);
      if (c == '?' && j + 1 < n && s.charAt(j + 1) == '>') return j + 2;
      if (c == '\'' || c == '"') {
        j = stringEnd(s, j);
      } else if (c == '#' || (c == '/' && j + 1 < n && s.charAt(j + 1) == '/')) {
        // A line comment ends at the line's end or at "?>", whichever comes first.
        while (j < n && s.charAt(j) != '\n' && !(s.charAt(j) == '?' && j + 1 < n
            && s.charAt(j + 1) == '>')) {
          j++;
        }
      } else if (c == '/' && j + 1 < n && s.charAt(j + 1) == '*') {
        int e = s.indexOf("*/", j + 2);
        j = e < 0 ? n : e + 2;
      } else {
        j++;
      }
    }
    return n;
  }

  /** "<?php", "<?=" and the short "<? " open PHP code; "<?xml ..." and the like do not. */
  private static boolean isPhp(String s, int i) {
    if (Ascii.regionIs(s, i, "<?php") || Ascii.regionIs(s, i, "<?=")) return true;
    return i + 2 < s.length() && Ascii.isSpace(s.charAt(i + 2));
  }

  private static int stringEnd(String s, int j) {
    char quote = s.charAt(j);
    int n = s.length();
    for (j++; j < n; j++) {
      char c = s.charAt(j);
      if (c == '\\') {
        j++;
      } else if (c == quote) {
        return j + 1;
      }
    }
    return n;
  }
}
