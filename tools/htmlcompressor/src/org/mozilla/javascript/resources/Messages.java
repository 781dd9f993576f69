package org.mozilla.javascript.resources;

import java.util.Collections;
import java.util.Enumeration;
import java.util.ResourceBundle;

/**
 * Message texts for the script parser bundled in htmlcompressor.jar. Debian's YUI archive
 * carries the parser's classes without their message texts, and the parser looks a text up
 * for every warning as well as every error: without one, a harmless warning (a repeated
 * parameter name, say) would stop a valid script. Every key gets a text made from itself
 * ("msg.missing.semi" becomes "missing semi"), which is enough for a failure message.
 */
public final class Messages extends ResourceBundle {
  @Override
  protected Object handleGetObject(String key) {
    String text = key.startsWith("msg.") ? key.substring(4) : key;
    // MessageFormat reads quotes and braces; the texts carry neither.
    return text.replace('.', ' ').replace('\'', ' ').replace('{', ' ').replace('}', ' ');
  }

  @Override
  public Enumeration<String> getKeys() {
    return Collections.emptyEnumeration();
  }
}
