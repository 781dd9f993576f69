package larkspan.htmlcompressor;

/** Reads attribute values from the source text of a start tag. */
final class Attributes {
  private Attributes() {}

  /**
   * The value of the attribute name (lower-case ASCII, compared ignoring ASCII case) in tag
   * ("<name attr=value ...>"), without its quotes; "" for an attribute without a value; null
   * when the tag has no such attribute.
   */
  static String value(String tag, String name) {
    int n = tag.length();
    int i = 1;
    while (i < n && !Ascii.isSpace(tag.charAt(i)) && tag.charAt(i) != '>') i++;
    while (i < n) {
      while (i < n && (Ascii.isSpace(tag.charAt(i)) || tag.charAt(i) == '/')) i++;
      if (i >= n || tag.charAt(i) == '>') return null;
      int nameStart = i;
      while (i < n && !Ascii.isSpace(tag.charAt(i)) && "=>/".indexOf(tag.charAt(i)) < 0) i++;
      boolean match = i - nameStart == name.length() && Ascii.regionIs(tag, nameStart, name);
      int j = i;
      while (j < n && Ascii.isSpace(tag.charAt(j))) j++;
      if (j >= n || tag.charAt(j) != '=') {
        if (match) return "";
        i = j;
        continue;
      }
      j++;
      while (j < n && Ascii.isSpace(tag.charAt(j))) j++;
      int valueStart;
      int valueEnd;
      if (j < n && (tag.charAt(j) == '"' || tag.charAt(j) == '\'')) {
        int e = tag.indexOf(tag.charAt(j), j + 1);
        valueStart = j + 1;
        valueEnd = e < 0 ? n : e;
        i = e < 0 ? n : e + 1;
      } else {
        valueStart = j;
        while (j < n && !Ascii.isSpace(tag.charAt(j)) && tag.charAt(j) != '>') j++;
        valueEnd = j;
        i = j;
      }
      if (match) return tag.substring(valueStart, valueEnd);
    }
    return null;
  }
}
