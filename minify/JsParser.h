// The script parser: scripts and modules of the current language edition,
// read with the script tokenizer (so text bytes stay whole in the file's
// code page) into a tree in an arena. It checks the grammar, not every early
// error: what it accepts it reproduces, and what it cannot read it rejects
// with a reason and a position, never by crashing (deep nesting included).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "minify/Charset.h"
#include "minify/JsAst.h"
#include "minify/JsTokens.h"

namespace larkspan::minify {

// A parsed script: owns its nodes (and, once built, its scopes). The source
// text must outlive it: nodes name byte ranges of it.
struct TJsProgram {
  TJsArena Arena;
  TJsNode* Root = nullptr;
  std::vector<TJsKept> Kept;    // comments to copy, in text order
  size_t HashbangEnd = 0;       // end of a "#!" line, 0 when none
  bool FinalSemicolon = false;  // the last token is ";" (kept: files get joined)
  bool Module = false;
  bool HasDirectEval = false;    // set by the parser
  bool HasWith = false;          // set by the parser
  TJsScope* TopScope = nullptr;  // set by BuildJsScopes
};

// Parses Text. False on a fault: Error is a sentence and ErrorAt the byte
// offset. Program must be fresh.
bool ParseJs(std::string_view Text, TCodePage Page, bool Module, TJsProgram& Program,
             std::string& Error, size_t& ErrorAt);

}  // namespace larkspan::minify
