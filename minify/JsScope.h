// Scopes of a parsed script: every declaration (var, let, const, function,
// class, parameters, catch parameters, imports) becomes a symbol of the
// scope it lives in (var and sloppy block functions hoisted to their
// function), and every reference is resolved to its symbol or left free (a
// global). Labels are a namespace of their own and are not symbols.
//
// A symbol is pinned (must keep its name) when a direct eval may see it,
// when a reference to it passes through a `with`, when it is exported, when
// it is named `arguments`, and when it lives in a script's global scope
// (the page's other scripts share that scope).
#pragma once

#include <string_view>
#include <unordered_set>

#include "minify/JsParser.h"

namespace larkspan::minify {

struct TJsScopeInfo {
  // Names that references leave unresolved (globals) and names of pinned
  // symbols: no renamed symbol may take one.
  std::unordered_set<std::string_view> Taken;
};

// Builds the scopes of Program (parsed from Text): sets Program.TopScope,
// every symbol, and Sym of every Ident that is a binding or a reference.
void BuildJsScopes(TJsProgram& Program, std::string_view Text, TJsScopeInfo& Info);

}  // namespace larkspan::minify
