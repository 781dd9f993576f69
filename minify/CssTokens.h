// A style-sheet tokenizer after CSS Syntax Level 3, on bytes in an
// ASCII-compatible code page: multi-byte characters are name characters and
// are stepped over whole, so a GBK or Big5 trail byte 0x5C is never an
// escape. Tokens are byte ranges of the input; nothing is decoded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "minify/Charset.h"

namespace larkspan::minify {

enum class TCssTok : uint8_t {
  Space,
  Comment,      // /* ... */
  KeptComment,  // /*! ... */
  String,
  Url,  // url( unquoted ), the whole token
  Ident,
  Function,  // name and its "("
  AtKeyword,
  Hash,
  Number,  // numbers, percentages and dimensions alike
  Delim,
  Colon,
  Semicolon,
  Comma,
  LBrace,
  RBrace,
  LParen,
  RParen,
  LBracket,
  RBracket,
  Cdo,
  Cdc,
};

// Twelve bytes: a style sheet has a token for every two or three bytes, so
// the token list is what minifying one costs in memory.
struct TCssToken {
  TCssTok Type;
  uint32_t Begin;
  uint32_t End;
};

// Tokens of Text, covering it without gap or overlap. Returns false with
// Error and ErrorOffset set for what a browser would silently repair and a
// minifier must not guess at: an unterminated comment, string or url() and
// a string or url() broken by a line break, and a text of 4 GiB or more.
bool TokenizeCss(std::string_view Text, TCodePage Page, std::vector<TCssToken>& Tokens,
                 std::string& Error, size_t& ErrorOffset);

}  // namespace larkspan::minify
