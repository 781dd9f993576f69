#include "engine/uPageText.h"

#include <algorithm>
#include <cstring>

#include "minify/Charset.h"
#include "platform/Text.h"

namespace larkspan {

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
