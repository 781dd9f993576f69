package larkspan.htmlcompressor;

/**
 * Style sheet and script minification, kept behind an interface so that the HTML and XML paths
 * never load the classes that do it.
 */
interface InlineMinifier {
  /** Minifies a whole style sheet file given as bytes in charset; throws when it cannot. */
  byte[] minifyCssFile(byte[] input, String charset) throws MinifyException;

  /** Minifies a whole script file given as bytes in charset; throws when it cannot. */
  byte[] minifyJsFile(byte[] input, String charset, boolean munge) throws MinifyException;

  /** Minifies the text of a style element; throws when it cannot. */
  String minifyCss(String css) throws MinifyException;

  /** Minifies the text of a script element; throws when it cannot parse it. */
  String minifyJs(String js, boolean munge) throws MinifyException;
}
