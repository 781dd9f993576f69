// A page's character set as the reference rewriting and check read it.
#pragma once

#include <string>
#include <string_view>

namespace larkspan {

// Whether a page's bytes are UTF-16: a byte-order mark, or, when there is
// none, the character set CharSet names. Big is set to the byte order.
bool IsUtf16Page(std::string_view Bytes, const std::string& CharSet, bool& Big);

// UTF-16 bytes as UTF-8 (the byte-order mark dropped), for finding the
// references a page holds. Text that is not UTF-16 throughout (an unpaired
// surrogate, an odd last byte) keeps its ASCII characters and reads every
// other unit as "?".
std::string Utf16AsUtf8(std::string_view Bytes, bool Big);

}  // namespace larkspan
