package larkspan.htmlcompressor;

import java.io.File;
import java.io.IOException;
import java.io.UnsupportedEncodingException;
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
 * The work is done by the native minifier, with the same arguments: the library {@code
 * liblarkspan-minify-jni.so}, loaded into this JVM, or else the program {@code larkspan-minify},
 * started with our standard streams and working folder. Both are looked for in the native
 * folder: beside this archive (the build tree), or else {@code ../../libexec/larkspan} from it
 * (installed, the archive is in {@code /usr/share/larkspan}); the program then on PATH. Both run the same code. The exit status is theirs: 0
 * done, 1 the file could not be minified or written (DEST untouched, the reason on stderr), 2 a
 * bad command line. A program that cannot be started is status 1, with the reason on stderr.
 * DEST is written through a temporary file and a rename, so it is either the old file or the
 * complete new one.
 *
 * Start-up time matters: the launcher runs once per file. Starting a process costs the JDK
 * some sixty classes and lambda forms (about as much again as the JVM's own start), so the
 * library comes first, and this class uses no lambdas, reflection or URI classes.
 */
public final class Main {
  static final String PROGRAM = "larkspan-minify";
  static final String LIBRARY = "liblarkspan-minify-jni.so";
  /** The minifiers' own stack: their parsers recurse, and a JVM thread's default is small. */
  static final long NATIVE_STACK = 64L << 20;

  private Main() {}

  public static void main(String[] args) {
    System.exit(run(args));
  }

  static native int runNative(byte[][] args);

  static int run(String[] args) {
    File folder = nativeFolder(archiveFolder());
    if (folder != null && loadLibrary(new File(folder, LIBRARY))) return runInProcess(args);
    return runProgram(folder, args);
  }

  private static boolean loadLibrary(File library) {
    if (!library.isFile()) return false;
    try {
      System.load(library.getPath());
      return true;
    } catch (UnsatisfiedLinkError e) {
      return false;  // a broken or foreign library: the program does the same work
    }
  }

  /** Runs the native method on a thread with a stack of the size a native program gets. */
  private static int runInProcess(String[] args) {
    final byte[][] words = new byte[args.length][];
    String encoding = System.getProperty("sun.jnu.encoding", "UTF-8");
    for (int i = 0; i < args.length; i++) {
      try {
        words[i] = args[i].getBytes(encoding);
      } catch (UnsupportedEncodingException e) {
        words[i] = args[i].getBytes();
      }
    }
    final int[] status = {1};
    Thread worker = new Thread(null, new Runnable() {
      @Override
      public void run() {
        status[0] = runNative(words);
      }
    }, "larkspan-minify", NATIVE_STACK);
    worker.start();
    for (;;) {
      try {
        worker.join();
        return status[0];
      } catch (InterruptedException e) {
        // Nobody interrupts this thread on purpose; keep waiting for the work's own end.
      }
    }
  }

  private static int runProgram(File folder, String[] args) {
    List<String> command = new ArrayList<>(args.length + 1);
    File beside = folder == null ? null : new File(folder, PROGRAM);
    command.add(beside != null && beside.isFile() && beside.canExecute() ? beside.getPath() : PROGRAM);
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
        // As above.
      }
    }
  }

  /**
   * Where the native minifier is: the archive's own folder when it holds the library or the
   * program, else the installed helper folder when that exists, else the archive's folder.
   */
  static File nativeFolder(File archive) {
    if (archive == null || holdsNative(archive)) return archive;
    File installed = new File(archive, ".." + File.separator + ".." + File.separator + "libexec"
        + File.separator + "larkspan");
    return installed.isDirectory() ? installed : archive;
  }

  private static boolean holdsNative(File folder) {
    return new File(folder, LIBRARY).isFile() || new File(folder, PROGRAM).isFile();
  }

  /**
   * The archive's folder: {@code java -jar} puts the archive's path, and nothing else, on the
   * class path. Null when the class path says otherwise.
   */
  static File archiveFolder() {
    String classPath = System.getProperty("java.class.path", "");
    if (classPath.isEmpty() || classPath.indexOf(File.pathSeparatorChar) >= 0) return null;
    return new File(classPath).getAbsoluteFile().getParentFile();
  }
}
