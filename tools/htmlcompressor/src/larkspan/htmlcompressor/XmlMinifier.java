package larkspan.htmlcompressor;

import java.util.ArrayList;

/**
 * Minifies an XML document: text between tags that is only white space goes, unless an
 * enclosing element says xml:space="preserve"; white space inside tags is reduced to single
 * blanks outside attribute values. Text with other characters, attribute values, comments
 * (unless told to drop them), CDATA sections, processing instructions, server blocks and the
 * document type declaration stay byte for byte. Like the HTML scanner it never fails: what it
 * does not understand is copied.
 */
final class XmlMinifier {
  private final boolean keepComments;

  XmlMinifier(boolean keepComments) {
    this.keepComments = keepComments;
  }

  String minify(String s) {
    int n = s.length();
    StringBuilder out = new StringBuilder(n);
    // One entry per open element: whether white space in it must be kept.
    ArrayList<Boolean> preserve = new ArrayList<Boolean>();
    int i = 0;
    while (i < n) {
      char c = s.charAt(i);
      if (c != '<') {
        int e = s.indexOf('<', i);
        if (e < 0) e = n;
        boolean keep = !preserve.isEmpty() && preserve.get(preserve.size() - 1);
        if (keep || !isBlank(s, i, e)) out.append(s, i, e);
        i = e;
      } else if (s.startsWith("<!--", i)) {
        int e = s.indexOf("-->", i + 4);
        int end = e < 0 ? n : e + 3;
        if (keepComments || e < 0) out.append(s, i, end);
        i = end;
      } else if (s.startsWith("<![CDATA[", i)) {
        int e = s.indexOf("]]>", i + 9);
        i = copy(s, i, e < 0 ? n : e + 3, out);
      } else if (ServerBlocks.startsAt(s, i)) {
        i = copy(s, i, ServerBlocks.end(s, i), out);
      } else if (s.startsWith("<!", i)) {
        i = copy(s, i, declarationEnd(s, i), out);
      } else if (i + 1 < n && s.charAt(i + 1) == '/') {
        i = tag(s, i, out);
        if (!preserve.isEmpty()) preserve.remove(preserve.size() - 1);
      } else {
        int start = out.length();
        i = tag(s, i, out);
        String tag = out.substring(start);
        if (!tag.endsWith("/>") && tag.endsWith(">")) {
          String space = Attributes.value(tag, "xml:space");
          boolean inherited = !preserve.isEmpty() && preserve.get(preserve.size() - 1);
          preserve.add(space == null ? inherited : space.equals("preserve"));
        }
      }
    }
    return out.toString();
  }

  private static int copy(String s, int from, int to, StringBuilder out) {
    out.append(s, from, to);
    return to;
  }

  private static boolean isBlank(String s, int from, int to) {
    for (int k = from; k < to; k++) {
      char c = s.charAt(k);
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
    }
    return true;
  }

  /** End of "<!DOCTYPE ... [ internal subset ]>" and other declarations, quotes respected. */
  private static int declarationEnd(String s, int i) {
    int n = s.length();
    int depth = 0;
    for (int j = i + 2; j < n; j++) {
      char c = s.charAt(j);
      if (c == '"' || c == '\'') {
        int e = s.indexOf(c, j + 1);
        if (e < 0) return n;
        j = e;
      } else if (c == '[') {
        depth++;
      } else if (c == ']') {
        depth--;
      } else if (c == '>' && depth <= 0) {
        return j + 1;
      }
    }
    return n;
  }

  /**
   * Copies the tag at i through its '>' with white space runs made single blanks and dropped
   * before '>' and "/>"; quoted values are copied. Returns the index after the tag; an unclosed
   * tag is copied to the end unchanged.
   */
  private static int tag(String s, int i, StringBuilder out) {
    int n = s.length();
    int start = out.length();
    int j = i;
    while (j < n) {
      char c = s.charAt(j);
      if (c == '>') {
        out.append('>');
        return j + 1;
      }
      if (c == '"' || c == '\'') {
        int e = s.indexOf(c, j + 1);
        if (e < 0) break;
        j = copy(s, j, e + 1, out);
      } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        int k = j + 1;
        while (k < n && isBlank(s, k, k + 1)) k++;
        boolean beforeEnd = k < n && (s.charAt(k) == '>' || s.startsWith("/>", k));
        boolean aroundEquals = (k < n && s.charAt(k) == '=') || out.charAt(out.length() - 1) == '=';
        if (!beforeEnd && !aroundEquals) out.append(' ');
        j = k;
      } else {
        out.append(c);
        j++;
      }
    }
    out.setLength(start);
    out.append(s, i, n);
    return n;
  }
}
