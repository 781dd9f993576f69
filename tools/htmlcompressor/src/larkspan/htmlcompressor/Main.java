package larkspan.htmlcompressor;

import java.io.File;
import java.io.IOException;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * Command-line entry of the markup compressor:
 *
 * <pre>
 *   java -jar htmlcompressor.jar [options] [-o DEST] SRC
 * </pre>
 *
 * The work is done by the native minifier program {@code larkspan-minify}, looked up beside this
 * archive first and then on PATH, which gets the same arguments, our standard streams and our
 * working folder; its exit status is ours: 0 done, 1 the file could not be minified or written
 * (DEST untouched, the reason on stderr), 2 a bad command line. A program that cannot be started
 * is status 1, with the reason on stderr. The program writes DEST through a temporary file and a
 * rename, so DEST is either the old file or the complete new one.
 *
 * Start-up time matters: the launcher runs once per file, so this class loads as little as it
 * can (no reflection, no security or URI classes).
 */
public final class Main {
  static final String PROGRAM = "larkspan-minify";

  private Main() {}

  public static void main(String[] args) {
    System.exit(run(args));
  }

  static int run(String[] args) {
    List<String> command = new ArrayList<>(args.length + 1);
    command.add(program());
    Collections.addAll(command, args);
    Process process;
    try {
      process = new ProcessBuilder(command).inheritIO().start();
    } catch (IOException e) {
      System.err.println("htmlcompressor: cannot run " + command.get(0) + ": " + e.getMessage());
      return 1;
    }
    for (;;) {
      try {
        return process.waitFor();
      } catch (InterruptedException e) {
        // Nobody interrupts this thread on purpose; keep waiting for the program's own end.
      }
    }
  }

  /**
   * The program beside the archive: {@code java -jar} puts the archive's path, and nothing else,
   * on the class path. Without an executable there, the name alone (PATH decides).
   */
  static String program() {
    String classPath = System.getProperty("java.class.path", "");
    if (!classPath.isEmpty() && classPath.indexOf(File.pathSeparatorChar) < 0) {
      File folder = new File(classPath).getAbsoluteFile().getParentFile();
      if (folder != null) {
        File beside = new File(folder, PROGRAM);
        if (beside.isFile() && beside.canExecute()) return beside.getPath();
      }
    }
    return PROGRAM;
  }
}
