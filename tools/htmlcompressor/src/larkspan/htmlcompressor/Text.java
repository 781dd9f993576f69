package larkspan.htmlcompressor;

import java.nio.ByteBuffer;
import java.nio.CharBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.Charset;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.IllegalCharsetNameException;
import java.nio.charset.StandardCharsets;

/**
 * A file's text for the markup scanners. Single-byte and multi-byte charsets whose multi-byte
 * sequences never contain ASCII markup or white space bytes (UTF-8, GB2312/GBK, Big5,
 * Shift_JIS, EUC-*, ...) are handled on bytes: each byte becomes one char (ISO-8859-1), so every
 * byte the scanners do not mean to change goes back out unchanged, valid in the charset or not.
 * Only UTF-16 and UTF-32 text, where a blank is not a byte of its own, is really decoded; a byte
 * order mark decides its byte order and is kept.
 */
final class Text {
  /** The text: one char per byte, or the decoded UTF-16/UTF-32 text. */
  final String chars;
  /** True when chars is real decoded text rather than bytes. */
  final boolean wide;
  private final Charset wideCharset;

  private Text(String chars, Charset wideCharset) {
    this.chars = chars;
    this.wide = wideCharset != null;
    this.wideCharset = wideCharset;
  }

  static Text decode(byte[] bytes, String charsetName) throws MinifyException {
    Charset wideCharset = wideCharsetOf(bytes, charsetName);
    if (wideCharset == null) return new Text(new String(bytes, StandardCharsets.ISO_8859_1), null);
    try {
      String s = wideCharset.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
          .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(bytes))
          .toString();
      return new Text(s, wideCharset);
    } catch (CharacterCodingException e) {
      throw new MinifyException("the file is not valid " + wideCharset.name() + " text");
    }
  }

  byte[] encode(String s) throws MinifyException {
    if (!wide) return s.getBytes(StandardCharsets.ISO_8859_1);
    return encodeStrict(s, wideCharset);
  }

  static byte[] encodeStrict(String s, Charset charset) throws MinifyException {
    try {
      ByteBuffer b = charset.newEncoder().onMalformedInput(CodingErrorAction.REPORT)
          .onUnmappableCharacter(CodingErrorAction.REPORT).encode(CharBuffer.wrap(s));
      byte[] out = new byte[b.remaining()];
      b.get(out);
      return out;
    } catch (CharacterCodingException e) {
      throw new MinifyException("the result cannot be written in " + charset.name());
    }
  }

  /** Decodes bytes in charset, or returns null when they are not valid in it. */
  static String decodeStrictOrNull(byte[] bytes, Charset charset) {
    try {
      return charset.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
          .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(bytes))
          .toString();
    } catch (CharacterCodingException e) {
      return null;
    }
  }

  /**
   * Tells whether the name is usable. The common names are answered without asking the charset
   * registry, whose first lookup costs start-up time on every page.
   */
  static boolean isKnownCharset(String name) {
    switch (Ascii.lower(name)) {
      case "utf-8":
      case "utf8":
      case "iso-8859-1":
      case "us-ascii":
        return true;
      default:
        try {
          return Charset.isSupported(name);
        } catch (IllegalCharsetNameException e) {
          return false;
        }
    }
  }

  /**
   * The UTF-16 or UTF-32 variant the bytes are in, or null for byte-wise text. A byte order mark
   * wins over the named charset (a page says best what it is); without one a wide charset name
   * decides, its big-endian form when the name gives no order.
   */
  private static Charset wideCharsetOf(byte[] b, String charsetName) {
    int n = b.length;
    if (n >= 4 && b[0] == (byte) 0xFF && b[1] == (byte) 0xFE && b[2] == 0 && b[3] == 0) {
      return Charset.forName("UTF-32LE");
    }
    if (n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == (byte) 0xFE && b[3] == (byte) 0xFF) {
      return Charset.forName("UTF-32BE");
    }
    if (n >= 2 && b[0] == (byte) 0xFF && b[1] == (byte) 0xFE) return StandardCharsets.UTF_16LE;
    if (n >= 2 && b[0] == (byte) 0xFE && b[1] == (byte) 0xFF) return StandardCharsets.UTF_16BE;
    String name = Ascii.lower(charsetName).replace("_", "-");
    if (name.equals("utf-16le") || name.equals("unicodelittleunmarked")) {
      return StandardCharsets.UTF_16LE;
    }
    if (name.startsWith("utf-16") || name.equals("utf16") || name.equals("unicode")
        || name.equals("unicodebigunmarked")) {
      return StandardCharsets.UTF_16BE;
    }
    if (name.equals("utf-32le")) return Charset.forName("UTF-32LE");
    if (name.startsWith("utf-32") || name.equals("utf32")) return Charset.forName("UTF-32BE");
    return null;
  }
}
