#include "engine/uPageText.h"

#include <algorithm>
#include <cstring>

#include "minify/Charset.h"
#include "platform/Text.h"

namespace larkspan {

std::string PageTextOf(std::string_view Bytes) {
  std::string Text;
  const char* P = Bytes.data();
  const size_t N = Bytes.size();
  Text.reserve(N + N / 32 + 2);
  // The next CR and LF at or after I, each searched again only once passed.
  size_t NextCr = 0, NextLf = 0;
  bool CrKnown = false, LfKnown = false;
  auto Find = [&](char C, size_t From) {
    const void* Hit = std::memchr(P + From, C, N - From);
    return Hit ? size_t(static_cast<const char*>(Hit) - P) : N;
  };
  size_t Start = 0;
  while (Start < N) {
    if (!CrKnown || NextCr < Start) NextCr = Find('\r', Start), CrKnown = true;
    if (!LfKnown || NextLf < Start) NextLf = Find('\n', Start), LfKnown = true;
    const size_t Break = std::min(NextCr, NextLf);
    if (Break == N) break;
    Text.append(P + Start, Break - Start);
    Text += "\r\n";
    Start = Break + (P[Break] == '\r' && Break + 1 < N && P[Break + 1] == '\n' ? 2 : 1);
  }
  if (Start < N) {
    Text.append(P + Start, N - Start);
    Text += "\r\n";
  }
  return Text;
}

bool IsUtf16Page(std::string_view Bytes, TCodePage Setting, bool& Big) {
  const TCodePage Page = minify::DetectCodePage(Bytes, Setting);
  if (Page != TCodePage::Utf16LE && Page != TCodePage::Utf16BE) return false;
  Big = Page == TCodePage::Utf16BE;
  return true;
}

std::string Utf16AsUtf8(std::string_view Bytes, bool Big) {
  std::string Out;
  if (minify::Utf16ToUtf8(Bytes, Big, Out)) return Out;
  // Broken text: the references, which are ASCII, are what matters.
  Out.clear();
  size_t I = 0;
  auto Unit = [&](size_t At) {
    const auto A = static_cast<unsigned char>(Bytes[At]),
               B = static_cast<unsigned char>(Bytes[At + 1]);
    return Big ? unsigned(A) << 8 | B : unsigned(B) << 8 | A;
  };
  if (Bytes.size() >= 2 && Unit(0) == 0xFEFF) I = 2;
  for (; I + 1 < Bytes.size(); I += 2) {
    const unsigned C = Unit(I);
    Out += C < 0x80 ? char(C) : '?';
  }
  if (I < Bytes.size()) Out += '?';
  return Out;
}

}  // namespace larkspan
