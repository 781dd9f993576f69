// Writes a parsed script back with the least white space, semicolons and
// parentheses that keep its meaning. Names, strings, templates and regular
// expressions are copied from the source bytes (a renamed symbol's new name
// aside), so text stays byte for byte in the file's code page.
#pragma once

#include <string>
#include <string_view>

#include "minify/JsParser.h"

namespace larkspan::minify {

// Rewrite: also the rewrites that keep the meaning (`a["b"]` -> `a.b`,
// `{"b":1}` -> `{b:1}`, shorter number literals). Text is the source the
// program was parsed from. Kept comments come out before the statement they
// stood in or before.
std::string PrintJs(const TJsProgram& Program, std::string_view Text, bool Rewrite);

// The shortest literal with the value of the numeric literal Raw (Raw itself
// when none is shorter, or when Raw is a BigInt or a legacy octal literal).
std::string ShortestNumber(std::string_view Raw);

}  // namespace larkspan::minify
