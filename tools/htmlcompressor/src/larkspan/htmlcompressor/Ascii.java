package larkspan.htmlcompressor;

/** Byte-text helpers that fold ASCII letters only, whatever the text's encoding. */
final class Ascii {
  private Ascii() {}

  static char lower(char c) {
    return c >= 'A' && c <= 'Z' ? (char) (c + 32) : c;
  }

  static String lower(String s) {
    char[] cs = s.toCharArray();
    for (int i = 0; i < cs.length; i++) cs[i] = lower(cs[i]);
    return new String(cs);
  }

  /** HTML white space: blank, tab, line feed, form feed, carriage return. */
  static boolean isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
  }

  static boolean isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  }

  /** True when s holds word (lower-case ASCII) at index i, ignoring the case of ASCII letters. */
  static boolean regionIs(String s, int i, String word) {
    if (i < 0 || i + word.length() > s.length()) return false;
    for (int k = 0; k < word.length(); k++) {
      if (lower(s.charAt(i + k)) != word.charAt(k)) return false;
    }
    return true;
  }

  /** Index of the first occurrence of word (lower-case ASCII) at or after from, or -1. */
  static int indexOfIgnoreCase(String s, String word, int from) {
    int last = s.length() - word.length();
    char first = word.charAt(0);
    for (int i = Math.max(from, 0); i <= last; i++) {
      if (lower(s.charAt(i)) == first && regionIs(s, i, word)) return i;
    }
    return -1;
  }
}
