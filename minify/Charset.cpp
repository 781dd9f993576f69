#include "minify/Charset.h"

namespace larkspan::minify {

TCodePage CodePageByName(std::string_view Name, bool* Known) {
  if (Known) *Known = false;
  return TCodePage::Gbk;
}

TCodePage DetectCodePage(std::string_view, TCodePage Setting) { return Setting; }

size_t CharLength(TCodePage, std::string_view, size_t) { return 1; }

bool Utf16ToUtf8(std::string_view, bool, std::string&) { return false; }

std::string Utf8ToUtf16(std::string_view, bool, bool) { return {}; }

}  // namespace larkspan::minify
