// The promise every minifier keeps, as a test can check it on any input and
// output: the output is the input with white-space runs shortened (to fewer
// white-space bytes or none) and comments removed, every other byte
// unchanged and in order. Linked into test binaries only; pages and scripts
// use it as style sheets and XML do.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "minify/Charset.h"

namespace larkspan::minify::test {

struct TByteRules {
  TCodePage Page = TCodePage::Utf8;
  // Opener and closer of each kind of comment; a comment either stands in
  // the output byte for byte or is gone (and may leave one blank behind,
  // where tokens would otherwise run together).
  std::vector<std::pair<std::string, std::string>> Comments;
  // Quote bytes whose strings (backslash escapes) must come out whole; a
  // comment opener inside one is not a comment.
  std::string Quotes;
  // A backslash outside strings takes the next character with it (style
  // sheets: "\"" is an escaped quote, not a string).
  bool Escapes = false;
  // A byte of the input that the minifier may leave out (a style sheet's
  // last ";" in a block). Empty: none.
  std::function<bool(std::string_view In, size_t I)> MayDrop;
};

// Rules of each kind. Pages: <!-- -->; scripts: // and /* */ with quotes
// "'`; style sheets: /* */ with quotes "' and a block's last ";".
TByteRules CssRules(TCodePage Page);
TByteRules XmlRules(TCodePage Page);
TByteRules PageRules(TCodePage Page);
TByteRules ScriptRules(TCodePage Page);

// Success when Out keeps the promise for In; otherwise a message with the
// first offending offsets in both and a few bytes around them.
::testing::AssertionResult KeepsBytes(std::string_view In, std::string_view Out,
                                      const TByteRules& Rules);

// Relative path -> content of every file below Folder whose name ends with
// one of Extensions (ASCII case ignored), for corpus tests.
std::vector<std::pair<std::string, std::string>> CorpusFiles(
    const std::string& Folder, const std::vector<std::string>& Extensions);

}  // namespace larkspan::minify::test
