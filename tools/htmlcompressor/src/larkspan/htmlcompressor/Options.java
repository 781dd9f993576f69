package larkspan.htmlcompressor;

/** The parsed command line. */
final class Options {
  enum FileType { HTML, XML, CSS, JS }

  static final String USAGE = String.join("\n",
      "usage: java -jar htmlcompressor.jar [options] [-o DEST] SRC",
      "  -c, --charset NAME         character set of SRC (default UTF-8)",
      "  -o, --output DEST          write the result to DEST (may be SRC); default: stdout",
      "  --type html|xml|css|js     kind of SRC (default: from its extension)",
      "  --preserve-comments        keep HTML and XML comments",
      "  --compress-css             minify inline <style> elements of a page",
      "  --compress-js              minify inline <script> elements of a page",
      "  --nomunge                  keep the names of local script variables",
      "  --preserve-php             accepted; <?php ?> blocks are always kept",
      "  --preserve-server-script   accepted; <% %> and <!--# --> blocks are always kept",
      "  -h, --help                 show this text");

  String charset = "UTF-8";
  String output;
  String source;
  String type;
  boolean preserveComments;
  boolean compressCss;
  boolean compressJs;
  boolean noMunge;
  boolean help;

  static Options parse(String[] args) throws UsageException {
    Options o = new Options();
    boolean optionsEnded = false;
    for (int i = 0; i < args.length; i++) {
      String a = args[i];
      if (optionsEnded || a.equals("-") || !a.startsWith("-")) {
        if (o.source != null) {
          throw new UsageException("more than one input file: " + o.source + ", " + a);
        }
        o.source = a;
        continue;
      }
      String value = null;
      int eq = a.indexOf('=');
      if (a.startsWith("--") && eq > 0) {
        value = a.substring(eq + 1);
        a = a.substring(0, eq);
      }
      switch (a) {
        case "--":
          optionsEnded = true;
          break;
        case "-c":
        case "--charset":
          // An empty name, given as "" or left out before the next option, means the default:
          // the markup is handled on bytes anyway, and style sheets and scripts fall back to
          // one char per byte when their bytes are not valid UTF-8.
          if (value == null && i + 1 < args.length && args[i + 1].startsWith("--")) break;
          o.charset = value != null ? value : next(args, ++i, a);
          if (o.charset.isEmpty()) o.charset = "UTF-8";
          break;
        case "-o":
        case "--output":
          o.output = value != null ? value : next(args, ++i, a);
          break;
        case "--type":
          o.type = value != null ? value : next(args, ++i, a);
          break;
        case "--preserve-comments":
          o.preserveComments = true;
          break;
        case "--compress-css":
          o.compressCss = true;
          break;
        case "--compress-js":
          o.compressJs = true;
          break;
        case "--nomunge":
          o.noMunge = true;
          break;
        case "--preserve-php":
        case "--preserve-server-script":
          break;
        case "-h":
        case "--help":
          o.help = true;
          break;
        default:
          throw new UsageException("unknown option " + a);
      }
      if (value != null && !takesValue(a)) {
        throw new UsageException("option " + a + " takes no value");
      }
    }
    if (o.help) return o;
    if (o.source == null) throw new UsageException("no input file");
    if (o.source.equals("-")) throw new UsageException("reading standard input is not supported");
    if (o.output != null && o.output.isEmpty()) throw new UsageException("empty output path");
    if (!Text.isKnownCharset(o.charset)) {
      throw new UsageException("unknown character set " + o.charset);
    }
    if (o.type != null) o.fileTypeFromName(o.type);
    return o;
  }

  private static boolean takesValue(String option) {
    return option.equals("--charset") || option.equals("--output") || option.equals("--type");
  }

  private static String next(String[] args, int i, String option) throws UsageException {
    if (i >= args.length) throw new UsageException("option " + option + " needs a value");
    return args[i];
  }

  FileType fileType() {
    try {
      if (type != null) return fileTypeFromName(type);
    } catch (UsageException e) {
      throw new IllegalStateException(e);
    }
    String name = source;
    int slash = name.lastIndexOf('/');
    int dot = name.lastIndexOf('.');
    String ext = dot > slash ? Ascii.lower(name.substring(dot + 1)) : "";
    switch (ext) {
      case "css":
        return FileType.CSS;
      case "js":
        return FileType.JS;
      case "xml":
        return FileType.XML;
      default:
        return FileType.HTML;
    }
  }

  private FileType fileTypeFromName(String name) throws UsageException {
    switch (Ascii.lower(name)) {
      case "html":
        return FileType.HTML;
      case "xml":
        return FileType.XML;
      case "css":
        return FileType.CSS;
      case "js":
        return FileType.JS;
      default:
        throw new UsageException("unknown type " + name + " (html, xml, css or js)");
    }
  }
}
