package larkspan.htmlcompressor;

/** A command line this program cannot run; the message says what is wrong. */
final class UsageException extends Exception {
  private static final long serialVersionUID = 1L;

  UsageException(String message) {
    super(message);
  }
}
