// Byte scanning that steps over whole characters of a code page, shared by
// every minifier (pages, XML, style sheets, scripts): a search for "}" or
// "]]>" in GBK or Big5 text never stops on the trail byte of a double-byte
// character (GBK 81 5C is "乗", not "\"). In UTF-8 and single-byte code
// pages every syntax byte is ASCII and never part of a longer character, so
// the searches there run at memchr speed.
#pragma once

#include <cstring>
#include <string_view>

#include "minify/Charset.h"

namespace larkspan::minify {

// True for the code pages whose multi-byte characters may hold ASCII bytes.
inline bool HasAsciiTrails(TCodePage Page) {
  return Page == TCodePage::Gbk || Page == TCodePage::Big5;
}

// Blank, tab, line feed, carriage return, form feed.
inline bool IsSpaceByte(char C) {
  return C == ' ' || C == '\n' || C == '\r' || C == '\t' || C == '\f';
}

// Index just past the character at I (I < Text.size()).
inline size_t NextChar(TCodePage Page, std::string_view Text, size_t I) {
  if (static_cast<unsigned char>(Text[I]) < 0x80) return I + 1;
  return I + CharLength(Page, Text, I);
}

// First index >= From where the ASCII byte C starts a character, or npos.
inline size_t FindByte(TCodePage Page, std::string_view Text, size_t From, char C) {
  if (!HasAsciiTrails(Page)) {
    if (From >= Text.size()) return std::string_view::npos;
    const void* P = std::memchr(Text.data() + From, C, Text.size() - From);
    return P ? static_cast<const char*>(P) - Text.data() : std::string_view::npos;
  }
  for (size_t I = From; I < Text.size();) {
    const unsigned char B = static_cast<unsigned char>(Text[I]);
    if (B < 0x80) {
      if (Text[I] == C) return I;
      ++I;
    } else {
      I += CharLength(Page, Text, I);
    }
  }
  return std::string_view::npos;
}

// First index >= From where Needle (ASCII, not empty) starts at a character
// boundary, or npos.
inline size_t FindText(TCodePage Page, std::string_view Text, size_t From,
                       std::string_view Needle) {
  for (size_t I = From;; ++I) {
    I = FindByte(Page, Text, I, Needle[0]);
    if (I == std::string_view::npos) return I;
    if (Text.compare(I, Needle.size(), Needle) == 0) return I;
  }
}

// Index of the first byte >= From that is not a space byte (Text.size() if none).
inline size_t SkipSpace(std::string_view Text, size_t From) {
  while (From < Text.size() && IsSpaceByte(Text[From])) ++From;
  return From;
}

}  // namespace larkspan::minify
