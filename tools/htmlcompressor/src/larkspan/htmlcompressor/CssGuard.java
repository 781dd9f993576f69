package larkspan.htmlcompressor;

import java.util.ArrayList;

/**
 * Shields the parts of a style sheet that the YUI compressor would break, and puts them back
 * after it ran. YUI removes the unit of every zero ("0%", "0s", "0deg" become "0"), which
 * breaks keyframe selectors, times and hsl() colours, and it removes the blanks around "+",
 * which calc(), min(), max() and clamp() need. Such a zero keeps its unit; such a function
 * keeps its text with white space runs made single blanks (and none just inside its
 * parentheses or after a comma).
 */
final class CssGuard {
  private final String marker;
  private final ArrayList<String> saved = new ArrayList<String>();

  private CssGuard(String marker) {
    this.marker = marker;
  }

  /** A guard whose placeholders cannot occur in css. */
  static CssGuard forText(String css) {
    String marker = "_lks";
    while (css.contains(marker)) marker += "x";
    return new CssGuard(marker);
  }

  /** css with the fragile parts replaced by placeholders (identifiers YUI leaves alone). */
  String shield(String css) {
    int n = css.length();
    StringBuilder out = new StringBuilder(n);
    int i = 0;
    while (i < n) {
      char c = css.charAt(i);
      if (c == '"' || c == '\'') {
        int e = stringEnd(css, i);
        out.append(css, i, e);
        i = e;
      } else if (c == '/' && i + 1 < n && css.charAt(i + 1) == '*') {
        int e = css.indexOf("*/", i + 2);
        e = e < 0 ? n : e + 2;
        out.append(css, i, e);
        i = e;
      } else if (startsToken(css, i) && isMathFunction(css, i)) {
        int open = css.indexOf('(', i);
        int close = closingParen(css, open);
        out.append(placeholder(css.substring(i, open + 1) + tidy(css.substring(open + 1, close))
            + (close < n ? ")" : "")));
        i = Math.min(close + 1, n);
      } else if (startsToken(css, i) && (c == '0' || c == '.')) {
        int e = zeroWithUnitEnd(css, i);
        if (e > i) {
          out.append(placeholder(css.substring(i, e)));
          i = e;
        } else {
          out.append(c);
          i++;
        }
      } else {
        out.append(c);
        i++;
      }
    }
    return out.toString();
  }

  /** The minified text with every placeholder replaced by what it stands for. */
  String restore(String css) {
    StringBuilder out = new StringBuilder(css.length() + 64);
    int i = 0;
    for (int at = css.indexOf(marker); at >= 0; at = css.indexOf(marker, i)) {
      int j = at + marker.length();
      int k = j;
      while (k < css.length() && Character.isDigit(css.charAt(k))) k++;
      if (k == j || k >= css.length() || css.charAt(k) != '_') {
        out.append(css, i, j);
        i = j;
        continue;
      }
      out.append(css, i, at).append(saved.get(Integer.parseInt(css.substring(j, k))));
      i = k + 1;
    }
    return out.append(css, i, css.length()).toString();
  }

  private String placeholder(String text) {
    saved.add(text);
    return marker + (saved.size() - 1) + "_";
  }

  private static boolean isIdentChar(char c) {
    return Ascii.isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.'
        || c > 0x7F;
  }

  private static boolean startsToken(String s, int i) {
    return i == 0 || !isIdentChar(s.charAt(i - 1));
  }

  private static final String[] MATH = {"calc(", "min(", "max(", "clamp("};

  private static boolean isMathFunction(String s, int i) {
    int j = i;
    if (Ascii.regionIs(s, j, "-webkit-")) j += 8;
    else if (Ascii.regionIs(s, j, "-moz-")) j += 5;
    for (String f : MATH) {
      if (Ascii.regionIs(s, j, f)) return true;
    }
    return false;
  }

  private static int closingParen(String s, int open) {
    int depth = 0;
    for (int i = open; i < s.length(); i++) {
      char c = s.charAt(i);
      if (c == '"' || c == '\'') {
        i = stringEnd(s, i) - 1;
      } else if (c == '(') {
        depth++;
      } else if (c == ')' && --depth == 0) {
        return i;
      }
    }
    return s.length();
  }

  private static int stringEnd(String s, int i) {
    char quote = s.charAt(i);
    for (int j = i + 1; j < s.length(); j++) {
      char c = s.charAt(j);
      if (c == '\\') {
        j++;
      } else if (c == quote || c == '\n') {
        return j + 1;
      }
    }
    return s.length();
  }

  /** White space runs become one blank; none just inside parentheses or around commas. */
  private static String tidy(String s) {
    StringBuilder out = new StringBuilder(s.length());
    for (int i = 0; i < s.length(); i++) {
      char c = s.charAt(i);
      if (c == '"' || c == '\'') {
        int e = stringEnd(s, i);
        out.append(s, i, e);
        i = e - 1;
      } else if (Ascii.isSpace(c)) {
        int j = i;
        while (j < s.length() && Ascii.isSpace(s.charAt(j))) j++;
        char before = out.length() == 0 ? '(' : out.charAt(out.length() - 1);
        char after = j < s.length() ? s.charAt(j) : ')';
        if (before != '(' && before != ',' && after != ')' && after != ',') out.append(' ');
        i = j - 1;
      } else {
        out.append(c);
      }
    }
    return out.toString();
  }

  private static final String[] KEPT_UNITS = {
      "%", "s", "ms", "deg", "grad", "rad", "turn", "hz", "khz", "dpi", "dpcm", "dppx", "x", "fr"};

  /**
   * End of a zero ("0", "0.0", ".0") followed by a unit YUI would drop but CSS needs, or i when
   * the token at i is something else.
   */
  private static int zeroWithUnitEnd(String s, int i) {
    int j = i;
    boolean zero = false;
    while (j < s.length() && (s.charAt(j) == '0' || s.charAt(j) == '.')) {
      zero |= s.charAt(j) == '0';
      j++;
    }
    if (!zero || j >= s.length() || (s.charAt(j) >= '1' && s.charAt(j) <= '9')) return i;
    int k = j;
    while (k < s.length() && (Ascii.isLetter(s.charAt(k)) || s.charAt(k) == '%')) k++;
    if (k < s.length() && isIdentChar(s.charAt(k)) && s.charAt(k) != '.') return i;
    String unit = Ascii.lower(s.substring(j, k));
    for (String u : KEPT_UNITS) {
      if (u.equals(unit)) return k;
    }
    return i;
  }
}
