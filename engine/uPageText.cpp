#include "engine/uPageText.h"

#include <algorithm>
#include <cstring>

#include "minify/Charset.h"
#include "platform/Text.h"

namespace larkspan {

bool IsUtf16Page(std::string_view Bytes, const std::string& CharSet, bool& Big) {
  if (Bytes.size() >= 2) {
    const auto B0 = static_cast<unsigned char>(Bytes[0]), B1 = static_cast<unsigned char>(Bytes[1]);
    if ((B0 == 0xFF && B1 == 0xFE) || (B0 == 0xFE && B1 == 0xFF)) {
      Big = B0 == 0xFE;
      return true;
    }
  }
  const std::string Name = UpperCaseAscii(CharSet);
  if (Name.rfind("UTF-16", 0) != 0 && Name.rfind("UTF16", 0) != 0) return false;
  Big = Name.find("BE") != std::string::npos;
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
