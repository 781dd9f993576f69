package larkspan.htmlcompressor;

import java.io.File;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;

/**
 * Command-line entry of the markup compressor:
 *
 * <pre>
 *   java -jar htmlcompressor.jar [options] [-o DEST] SRC
 * </pre>
 *
 * The kind of file is taken from the source's extension: .css and .js go through the bundled
 * YUI compressor, .xml loses the white space between its tags, anything else is minified as
 * HTML. The result replaces DEST (standard output without -o) through a temporary file in
 * DEST's folder and a rename, so DEST is either the old file or the complete new one, and SRC
 * may be DEST. Exit status: 0 done, 1 the file could not be minified or written (DEST untouched,
 * reason on stderr), 2 a bad command line.
 *
 * Start-up time matters: the launcher runs once per file. Main, the HTML and XML paths keep
 * clear of the YUI and Rhino classes, which are loaded only when a style sheet or script has
 * to be minified.
 */
public final class Main {
  static final int EXIT_OK = 0;
  static final int EXIT_FAILED = 1;
  static final int EXIT_USAGE = 2;

  private Main() {}

  public static void main(String[] args) {
    int status = run(args, System.err);
    System.exit(status);
  }

  /** Runs one command line; messages go to err. Returns the exit status. */
  static int run(String[] args, PrintStream err) {
    Options options;
    try {
      options = Options.parse(args);
    } catch (UsageException e) {
      err.println("htmlcompressor: " + e.getMessage());
      err.println(Options.USAGE);
      return EXIT_USAGE;
    }
    if (options.help) {
      err.println(Options.USAGE);
      return EXIT_OK;
    }
    try {
      byte[] input = readFile(options.source);
      byte[] output = minify(options, input);
      if (options.output == null) {
        System.out.write(output, 0, output.length);
        System.out.flush();
        if (System.out.checkError()) throw new MinifyException("cannot write to standard output");
      } else {
        replaceFile(new File(options.output), output);
      }
      return EXIT_OK;
    } catch (MinifyException e) {
      err.println("htmlcompressor: " + options.source + ": " + e.getMessage());
    } catch (IOException e) {
      err.println("htmlcompressor: " + describe(e));
    } catch (RuntimeException | StackOverflowError | OutOfMemoryError e) {
      // A parser bug or a pathological input must still end as a clean failure.
      err.println("htmlcompressor: " + options.source + ": internal error: " + e);
    }
    return EXIT_FAILED;
  }

  static byte[] minify(Options options, byte[] input) throws MinifyException {
    switch (options.fileType()) {
      case CSS:
        return loadInlineMinifier().minifyCssFile(input, options.charset);
      case JS:
        return loadInlineMinifier().minifyJsFile(input, options.charset, !options.noMunge);
      case XML: {
        Text text = Text.decode(input, options.charset);
        String result = new XmlMinifier(options.preserveComments).minify(text.chars);
        return text.encode(result);
      }
      default: {
        Text text = Text.decode(input, options.charset);
        HtmlMinifier html = new HtmlMinifier(options.preserveComments, options.compressCss,
            options.compressJs, !options.noMunge, text.wide ? null : options.charset,
            System.err);
        return text.encode(html.minify(text.chars));
      }
    }
  }

  /**
   * Loads the YUI-backed minifier by name, so that neither it nor Rhino is loaded on the paths
   * that do not need them.
   */
  static InlineMinifier loadInlineMinifier() throws MinifyException {
    try {
      Class<?> c = Class.forName("larkspan.htmlcompressor.YuiMinifier");
      return (InlineMinifier) c.getDeclaredConstructor().newInstance();
    } catch (ReflectiveOperationException | LinkageError e) {
      throw new MinifyException("the YUI compressor classes are missing from the archive: " + e);
    }
  }

  static byte[] readFile(String path) throws IOException {
    File f = new File(path);
    if (f.isDirectory()) throw new IOException(path + ": is a folder");
    try (InputStream in = new FileInputStream(f)) {
      return in.readAllBytes();
    }
  }

  /**
   * Replaces target with data: writes a new file beside it and renames it over the target, so a
   * failure leaves the target as it was and no partial file behind.
   */
  static void replaceFile(File target, byte[] data) throws IOException {
    File abs = target.getAbsoluteFile();
    File dir = abs.getParentFile();
    if (dir == null || !dir.isDirectory()) {
      throw new IOException(target.getPath() + ": the destination folder does not exist");
    }
    if (abs.isDirectory()) throw new IOException(target.getPath() + ": is a folder");
    // The name only has to be new: createNewFile fails on a name taken by another writer.
    // (Asking for the process id here would start a thread pool and cost start-up time.)
    File temp = null;
    for (int attempt = 0; temp == null; attempt++) {
      File candidate = new File(dir, "." + abs.getName() + "."
          + Long.toHexString(System.nanoTime() + attempt) + ".tmp");
      if (candidate.createNewFile()) {
        temp = candidate;
      } else if (attempt > 100) {
        throw new IOException(dir.getPath() + ": cannot create a temporary file");
      }
    }
    boolean done = false;
    try {
      try (OutputStream out = new FileOutputStream(temp)) {
        out.write(data);
      }
      if (!temp.renameTo(abs)) {
        throw new IOException(target.getPath() + ": cannot replace the file");
      }
      done = true;
    } finally {
      if (!done) temp.delete();
    }
  }

  private static String describe(IOException e) {
    String m = e.getMessage();
    return m == null ? e.toString() : m;
  }
}
