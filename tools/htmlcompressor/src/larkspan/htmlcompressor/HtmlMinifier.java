package larkspan.htmlcompressor;

import java.io.PrintStream;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;

/**
 * Minifies a page: every run of white space outside tags becomes one blank, tags lose the
 * white space they do not need (never inside an attribute value), and everything else stays
 * byte for byte. Kept as they are: the content of pre, textarea, script, style, xmp, listing and
 * plaintext; server blocks ({@code <?php ?>}, {@code <% %>}, {@code <!--# -->}); conditional
 * comments; other comments when asked to keep them; CDATA sections. The content of style and
 * script elements is minified when asked for; a script or style sheet the
 * minifier cannot handle stays as it was, with a warning, so one odd script does not cost the
 * whole page its minification.
 *
 * The scanner never fails: markup it does not understand is copied. It works on the chars of a
 * {@link Text}, so it does not care whether the bytes are valid in the page's charset.
 */
final class HtmlMinifier {
  private final boolean keepComments;
  private final boolean minifyCss;
  private final boolean minifyJs;
  /** Loaded on the first style or script element to minify, not before. */
  private InlineMinifier minifier;
  private final boolean munge;
  /** The charset of a byte-wise page, to decode inline code for the minifier; null: chars. */
  private final String byteCharset;
  private final PrintStream warnings;
  private Charset charset;

  HtmlMinifier(boolean keepComments, boolean minifyCss, boolean minifyJs, boolean munge,
      String byteCharset, PrintStream warnings) {
    this.keepComments = keepComments;
    this.minifyCss = minifyCss;
    this.minifyJs = minifyJs;
    this.munge = munge;
    this.byteCharset = byteCharset;
    this.warnings = warnings;
  }

  String minify(String s) {
    // Array reads rather than charAt calls: most pages are minified by the interpreter.
    char[] cs = s.toCharArray();
    int n = cs.length;
    StringBuilder out = new StringBuilder(n);
    int i = 0;
    while (i < n) {
      char c = cs[i];
      if (Ascii.isSpace(c)) {
        int j = i + 1;
        while (j < n && Ascii.isSpace(cs[j])) j++;
        out.append(' ');
        i = j;
        continue;
      }
      if (c != '<' || i + 1 >= n) {
        // Copy the whole run up to the next blank or '<' at once: the JVM runs this code
        // interpreted for most pages, where a call per char is what costs.
        int j = i + 1;
        while (j < n) {
          char d = cs[j];
          if (d == '<' || d <= ' ') break;
          j++;
        }
        out.append(s, i, j);
        i = j;
        continue;
      }
      char d = cs[i + 1];
      if (d == '?' || d == '%') {
        i = copy(s, i, ServerBlocks.end(s, i), out);
      } else if (s.startsWith("<!--", i)) {
        i = comment(s, i, out);
      } else if (s.startsWith("<![CDATA[", i)) {
        int e = s.indexOf("]]>", i + 9);
        i = copy(s, i, e < 0 ? n : e + 3, out);
      } else if (d == '!' || (d == '/' && i + 2 < n && Ascii.isLetter(cs[i + 2]))) {
        i = tag(s, cs, i, out);
      } else if (Ascii.isLetter(d)) {
        int after = tag(s, cs, i, out);
        String name = tagName(s, i + 1);
        i = after < n ? element(s, i, after, name, out) : after;
      } else {
        out.append(c);
        i++;
      }
    }
    return out.toString();
  }

  private static int copy(String s, int from, int to, StringBuilder out) {
    out.append(s, from, to);
    return to;
  }

  private int comment(String s, int i, StringBuilder out) {
    int e = s.indexOf("-->", i + 4);
    int end = e < 0 ? s.length() : e + 3;
    // Server-side includes and conditional comments are code, not remarks.
    if (keepComments || e < 0 || s.startsWith("<!--#", i) || s.startsWith("<!--[if", i)
        || s.startsWith("<!--<![endif]", i) || s.startsWith("<![endif]", i)) {
      out.append(s, i, end);
    }
    return end;
  }

  /**
   * Copies the tag at i through its closing '>' and returns the index after it (the text's end
   * when the tag is not closed: the rest is copied unchanged). White space runs become one
   * blank, and go before '>' and around '='; attribute values and server blocks are copied.
   */
  static int tag(String s, char[] cs, int i, StringBuilder out) {
    int n = s.length();
    int j = i;
    int start = out.length();
    while (j < n) {
      char c = cs[j];
      if (c == '>') {
        out.append('>');
        return j + 1;
      }
      if (Ascii.isSpace(c)) {
        int k = j + 1;
        while (k < n && Ascii.isSpace(cs[k])) k++;
        if (k < n && cs[k] != '>' && cs[k] != '='
            && out.charAt(out.length() - 1) != '=') {
          out.append(' ');
        }
        j = k;
      } else if ((c == '"' || c == '\'') && cs[i + 1] == '!') {
        j = quoted(s, cs, j, out);
      } else if (c == '=' && j > i + 1) {
        out.append('=');
        j++;
        while (j < n && Ascii.isSpace(cs[j])) j++;
        if (j < n && (cs[j] == '"' || cs[j] == '\'')) j = quoted(s, cs, j, out);
      } else if (ServerBlocks.startsAt(s, j) && j > i) {
        j = copy(s, j, ServerBlocks.end(s, j), out);
      } else {
        out.append(c);
        j++;
      }
    }
    // Not closed: give back the rest exactly as it was.
    out.setLength(start);
    out.append(s, i, n);
    return n;
  }

  /** Copies the quoted value at j, server blocks inside it included, and returns its end. */
  private static int quoted(String s, char[] cs, int j, StringBuilder out) {
    char quote = cs[j];
    int n = s.length();
    int k = j + 1;
    while (k < n && cs[k] != quote) {
      k = ServerBlocks.startsAt(s, k) ? ServerBlocks.end(s, k) : k + 1;
    }
    int end = Math.min(k + 1, n);
    out.append(s, j, end);
    return end;
  }

  /** The lower-case ASCII name of the tag whose name starts at i. */
  private static String tagName(String s, int i) {
    int j = i;
    while (j < s.length() && (Ascii.isLetter(s.charAt(j)) || Character.isDigit(s.charAt(j)))) {
      j++;
    }
    return Ascii.lower(s.substring(i, j));
  }

  /**
   * After the start tag [tagStart, after) of name: copies the content of the elements whose
   * content is kept and returns where the scan goes on (at their end tag).
   */
  private int element(String s, int tagStart, int after, String name, StringBuilder out) {
    int n = s.length();
    int close;
    switch (name) {
      case "plaintext":
        return copy(s, after, n, out);
      case "pre":
      case "listing":
        close = nestedEnd(s, after, name);
        break;
      case "script":
      case "style":
      case "textarea":
      case "xmp":
        close = endTag(s, after, name);
        break;
      default:
        return after;
    }
    String body = s.substring(after, close);
    String minified = null;
    if (name.equals("script") && minifyJs && isJavaScript(s.substring(tagStart, after))) {
      minified = inline(body, false);
    } else if (name.equals("style") && minifyCss && isCss(s.substring(tagStart, after))) {
      minified = inline(body, true);
    }
    out.append(minified != null ? minified : body);
    return close;
  }

  /** Start of the first end tag of name at or after from, or the text's end. */
  private static int endTag(String s, int from, String name) {
    String open = "</" + name;
    for (int i = Ascii.indexOfIgnoreCase(s, open, from); i >= 0;
        i = Ascii.indexOfIgnoreCase(s, open, i + 1)) {
      if (endsName(s, i + open.length())) return i;
    }
    return s.length();
  }

  /** Like endTag, but counts nested start tags of the same name. */
  private static int nestedEnd(String s, int from, String name) {
    String open = "<" + name;
    String close = "</" + name;
    int depth = 1;
    int n = s.length();
    for (int i = from; i < n; i++) {
      if (s.charAt(i) != '<') continue;
      if (Ascii.regionIs(s, i, close) && endsName(s, i + close.length())) {
        if (--depth == 0) return i;
      } else if (Ascii.regionIs(s, i, open) && endsName(s, i + open.length())) {
        depth++;
      }
    }
    return n;
  }

  private static boolean endsName(String s, int i) {
    if (i >= s.length()) return true;
    char c = s.charAt(i);
    return Ascii.isSpace(c) || c == '>' || c == '/';
  }

  private static boolean isJavaScript(String tag) {
    String type = Attributes.value(tag, "type");
    if (type == null) return true;
    switch (Ascii.lower(type.trim())) {
      case "":
      case "text/javascript":
      case "application/javascript":
      case "application/x-javascript":
      case "text/ecmascript":
      case "application/ecmascript":
      case "text/jscript":
        return true;
      default:
        return false;
    }
  }

  private static boolean isCss(String tag) {
    String type = Attributes.value(tag, "type");
    return type == null || type.trim().isEmpty() || Ascii.lower(type.trim()).equals("text/css");
  }

  /**
   * The minified content of a style or script element, or null to keep it as it is: blank
   * content, content with server blocks, content the minifier rejects, and results that would
   * end the element early.
   */
  private String inline(String body, boolean isCss) {
    if (body.trim().isEmpty() || body.contains("<?") || body.contains("<%")) return null;
    // The minifier wants real text: a byte-wise page's bytes are decoded in its charset when
    // they are valid in it, and otherwise handed over one char per byte, as they came.
    String code = body;
    boolean recode = false;
    if (byteCharset != null) {
      if (charset == null) charset = Charset.forName(byteCharset);
      String decoded =
          Text.decodeStrictOrNull(body.getBytes(StandardCharsets.ISO_8859_1), charset);
      if (decoded != null) {
        code = decoded;
        recode = true;
      }
    }
    String result;
    try {
      if (minifier == null) minifier = Main.loadInlineMinifier();
      result = isCss ? minifier.minifyCss(code) : minifier.minifyJs(code, munge);
    } catch (MinifyException e) {
      warnings.println("htmlcompressor: warning: inline " + (isCss ? "style" : "script")
          + " kept as it is: " + e.getMessage());
      return null;
    }
    if (recode) {
      try {
        result = new String(Text.encodeStrict(result, charset), StandardCharsets.ISO_8859_1);
      } catch (MinifyException e) {
        return null;
      }
    } else if (byteCharset != null) {
      for (int k = 0; k < result.length(); k++) {
        if (result.charAt(k) > 0xFF) return null;
      }
    }
    String closer = isCss ? "</style" : "</script";
    if (Ascii.indexOfIgnoreCase(result, closer, 0) >= 0
        || (result.contains("<!--") && !body.contains("<!--"))) {
      return null;
    }
    return result;
  }
}
