package larkspan.htmlcompressor;

/** A file that cannot be minified (bad script, undecodable text); the message says why. */
final class MinifyException extends Exception {
  private static final long serialVersionUID = 1L;

  MinifyException(String message) {
    super(message);
  }
}
