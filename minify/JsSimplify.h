// Rewrites of a parsed script's tree that keep its meaning and shorten what
// the printer writes: expression statements joined with ",", `if` as `&&`,
// `||` or `?:`, braces around one statement dropped (never where a later
// `else` would move or where a block holds a lexical declaration), blocks
// without lexical declarations spliced into their list, neighbouring
// declarations of one kind joined, `return undefined` as `return`.
#pragma once

#include <string_view>

#include "minify/JsParser.h"

namespace larkspan::minify {

// Rewrites Program (parsed from Text) in place; new nodes come from its arena. GlobalUndefined: the
// scopes are built and the name `undefined` is known to be the global one wherever no symbol claims
// it (no `with`, no direct eval), so a free `undefined` read as a value may be written `void 0`.
void SimplifyJs(TJsProgram& Program, std::string_view Text, bool GlobalUndefined);

}  // namespace larkspan::minify
