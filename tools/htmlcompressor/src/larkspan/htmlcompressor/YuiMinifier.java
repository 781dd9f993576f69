package larkspan.htmlcompressor;

import com.yahoo.platform.yui.compressor.CssCompressor;
import com.yahoo.platform.yui.compressor.JavaScriptCompressor;
import java.io.IOException;
import java.io.StringReader;
import java.io.StringWriter;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.util.MissingResourceException;
import org.mozilla.javascript.ErrorReporter;
import org.mozilla.javascript.EvaluatorException;

/**
 * Style sheets and scripts through the YUI compressor. Loaded by name only when one of them has
 * to be minified (see Main), since loading YUI and Rhino costs start-up time.
 */
final class YuiMinifier implements InlineMinifier {
  /** Keep YUI from breaking lines: the output is one line. */
  private static final int NO_LINE_BREAKS = -1;

  public YuiMinifier() {}

  @Override
  public byte[] minifyCssFile(byte[] input, String charset) throws MinifyException {
    return minifyFile(input, charset, true, false);
  }

  @Override
  public byte[] minifyJsFile(byte[] input, String charset, boolean munge)
      throws MinifyException {
    return minifyFile(input, charset, false, munge);
  }

  /**
   * Decodes the file in its charset (or, when its bytes are not valid there, one char per byte
   * so that they come back unchanged), minifies it and encodes the result the same way. A
   * leading byte order mark is kept.
   */
  private byte[] minifyFile(byte[] input, String charsetName, boolean isCss, boolean munge)
      throws MinifyException {
    Charset charset = Charset.forName(charsetName);
    String text = Text.decodeStrictOrNull(input, charset);
    boolean byteWise = text == null;
    if (byteWise) text = new String(input, StandardCharsets.ISO_8859_1);
    String bom = "";
    if (text.startsWith("\uFEFF")) {
      bom = "\uFEFF";
      text = text.substring(1);
    } else if (byteWise && text.startsWith("\u00EF\u00BB\u00BF")) {
      bom = text.substring(0, 3);
      text = text.substring(3);
    }
    String result = bom + (isCss ? minifyCss(text) : minifyJs(text, munge));
    if (byteWise) {
      for (int k = 0; k < result.length(); k++) {
        if (result.charAt(k) > 0xFF) {
          throw new MinifyException("the result cannot be written in " + charsetName);
        }
      }
      return result.getBytes(StandardCharsets.ISO_8859_1);
    }
    return Text.encodeStrict(result, charset);
  }

  @Override
  public String minifyCss(String css) throws MinifyException {
    try {
      CssGuard guard = CssGuard.forText(css);
      StringWriter out = new StringWriter(css.length());
      new CssCompressor(new StringReader(guard.shield(css))).compress(out, NO_LINE_BREAKS);
      return guard.restore(out.toString());
    } catch (IOException | RuntimeException e) {
      throw new MinifyException("style sheet error: " + e);
    }
  }

  @Override
  public String minifyJs(String js, boolean munge) throws MinifyException {
    Reporter reporter = new Reporter();
    try {
      JavaScriptCompressor compressor = new JavaScriptCompressor(new StringReader(js), reporter);
      StringWriter out = new StringWriter(js.length());
      compressor.compress(out, NO_LINE_BREAKS, munge, false, false, false);
      // The parser may report an error and still hand back a (broken) result.
      if (reporter.firstError != null) {
        throw new MinifyException("script error: " + reporter.firstError);
      }
      return out.toString();
    } catch (EvaluatorException e) {
      throw new MinifyException("script error: "
          + (reporter.firstError != null ? reporter.firstError : e.getMessage()));
    } catch (MissingResourceException e) {
      // Debian's archive lacks the parser's message texts, so a syntax error surfaces as a
      // missing text rather than as a report.
      throw new MinifyException(
          "script error: the script cannot be parsed (a syntax error, or syntax newer than ES5)");
    } catch (IOException | RuntimeException e) {
      throw new MinifyException("script error: "
          + (reporter.firstError != null ? reporter.firstError : e.toString()));
    }
  }

  /** Keeps the first error for the message; warnings are of no use to the caller. */
  private static final class Reporter implements ErrorReporter {
    String firstError;

    @Override
    public void warning(String message, String source, int line, String lineSource,
        int lineOffset) {}

    @Override
    public void error(String message, String source, int line, String lineSource,
        int lineOffset) {
      if (firstError == null) firstError = "line " + line + ": " + message;
    }

    @Override
    public EvaluatorException runtimeError(String message, String source, int line,
        String lineSource, int lineOffset) {
      error(message, source, line, lineSource, lineOffset);
      return new EvaluatorException(message, source, line, lineSource, lineOffset);
    }
  }
}
