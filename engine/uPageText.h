// A page's text as the reference rewriting reads and writes it.
#pragma once

#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace larkspan {

// The page text: Bytes split into lines at CR LF, lone CR and lone LF, every
// line followed by CR LF (the last one too). Empty for empty bytes.
std::string PageTextOf(std::string_view Bytes);

// Whether a page's bytes are UTF-16 when the run's code page is Setting, by
// the minifiers' rules (minify::DetectCodePage): a byte-order mark, zero
// bytes on one side of every pair, or a UTF-16 setting for bytes that are
// not valid UTF-8. Big is set to the byte order when true.
bool IsUtf16Page(std::string_view Bytes, TCodePage Setting, bool& Big);

// UTF-16 bytes as UTF-8 (the byte-order mark dropped), for finding the
// references a page holds. Text that is not UTF-16 throughout (an unpaired
// surrogate, an odd last byte) keeps its ASCII characters and reads every
// other unit as "?".
std::string Utf16AsUtf8(std::string_view Bytes, bool Big);

}  // namespace larkspan
