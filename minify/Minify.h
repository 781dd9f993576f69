// The native minifiers: pages, XML, style sheets and scripts, bytes in and
// bytes out in the file's own code page. No I/O, no Qt, no process start;
// every function may be called from any thread at once (no shared state).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "minify/Charset.h"
#include "platform/MinifyLevel.h"

namespace larkspan::minify {

struct TPreRules;

// The options of the markup compressor's command line.
struct TMinifyOptions {
  bool PreserveComments = false;              // --preserve-comments: page comments stay
  bool CompressCss = false;                   // --compress-css: inline style sheets too
  bool CompressJs = false;                    // --compress-js: inline scripts too
  bool NoMunge = true;                        // --nomunge: nothing is renamed (always, today)
  bool PreservePhp = false;                   // --preserve-php: <?php ... ?> byte for byte
  bool PreserveServerScript = false;          // --preserve-server-script: <% %>, <!--# -->
  TMinifyLevel Level = TMinifyLevel::Spaces;  // --level
  // Adds to Rules the white-space rules of the style sheets the page Page
  // links to (PagePreRules.h), which only the caller can find and read;
  // empty: only the page's own <style> blocks and style attributes count.
  // Called once per page, on the minifier's thread.
  std::function<void(std::string_view Page, TPreRules& Rules)> LinkedPreRules;
};

enum class TMinifyKind { Page, Xml, Css, Js, JsModule };

// What a minifier gives: the output, or the reason it gave none and where.
// When Ok is false, Output is empty and must not be written anywhere: the
// caller copies the file as it was.
struct TMinifyResult {
  bool Ok = false;
  std::string Output;
  std::string Error;  // a sentence, e.g. "unterminated string"
  size_t Offset = 0;  // byte offset of the fault in the input
  int Line = 0;       // 1-based line of the fault (0 when Ok)
  int Column = 0;     // 1-based byte column of the fault
  // Ok, yet a part the minifier was asked to minify was kept as it was (a
  // page's inline script or style sheet its minifier refused): where and
  // why, for the first such part; "" when none was.
  std::string Note;
};

// One file: finds its code page (DetectCodePage with the run's Setting),
// converts UTF-16 to UTF-8 and back, and runs the kind's minifier. The
// output keeps the input's byte-order mark, if any. When not Ok, Offset
// counts the file's own bytes (mark included) and Line and Column are set;
// a UTF-16 file that is not valid UTF-16 is not Ok.
TMinifyResult MinifyFile(TMinifyKind Kind, std::string_view Bytes, TCodePage Setting,
                         const TMinifyOptions& Options);

// The kinds, on text already in an ASCII-compatible code page (Page is
// never Utf16LE/Utf16BE here).
TMinifyResult MinifyPage(std::string_view Text, TCodePage Page, const TMinifyOptions& Options);
TMinifyResult MinifyXml(std::string_view Text, TCodePage Page, const TMinifyOptions& Options);
TMinifyResult MinifyCss(std::string_view Text, TCodePage Page, const TMinifyOptions& Options);
// Module is true for ES modules (.mjs, <script type="module">).
TMinifyResult MinifyJs(std::string_view Text, TCodePage Page, const TMinifyOptions& Options,
                       bool Module = false);

// Kind of a file by its extension, ASCII case ignored (".htm", ".html",
// ".xml", ".css", ".js", ".mjs"); false for any other.
bool KindOfFile(std::string_view FileName, TMinifyKind& Kind);

// Helper for the kinds: fills Line and Column of R from R.Offset in Text.
void SetPosition(TMinifyResult& R, std::string_view Text);

}  // namespace larkspan::minify
