// Words and operator levels the script parser, printer and renamer share.
#pragma once

#include <cstdint>
#include <string_view>

#include "minify/JsAst.h"
#include "minify/JsTokens.h"

namespace larkspan::minify::jssyntax {

// Reserved and contextual words.
enum class TKw : uint8_t {
  None,
  // Reserved everywhere.
  Break,
  Case,
  Catch,
  Class,
  Const,
  Continue,
  Debugger,
  Default,
  Delete,
  Do,
  Else,
  Enum,
  Export,
  Extends,
  False,
  Finally,
  For,
  Function,
  If,
  Import,
  In,
  Instanceof,
  New,
  Null,
  Return,
  Super,
  Switch,
  This,
  Throw,
  True,
  Try,
  Typeof,
  Var,
  Void,
  While,
  With,
  // Reserved in some code, or words only in some places.
  Yield,
  Await,
  Let,
  Static,
  StrictReserved,
  Async,
  Get,
  Set,
  Of,
  From,
  As,
};

// The word W names, None for any other name.
TKw KeywordOf(std::string_view W);

// Reserved everywhere: never a binding or a reference.
inline bool IsReserved(TKw K) { return K >= TKw::Break && K <= TKw::With; }

// True for names a renamed binding must never get: reserved words, words
// reserved in strict code or modules, and eval and arguments.
bool IsForbiddenName(std::string_view W);

// Operator levels, loosest first: an operand of a looser level than its place
// asks for needs parentheses.
enum : int {
  kLevelLowest = 0,
  kLevelComma,
  kLevelSpread,
  kLevelYield,
  kLevelAssign,
  kLevelCond,
  kLevelNullish,
  kLevelLogOr,
  kLevelLogAnd,
  kLevelBitOr,
  kLevelBitXor,
  kLevelBitAnd,
  kLevelEquals,
  kLevelCompare,
  kLevelShift,
  kLevelAdd,
  kLevelMul,
  kLevelExponent,
  kLevelPrefix,
  kLevelPostfix,
  kLevelNew,
  kLevelCall,
  kLevelMember,
};

// The level of binary operator Op (a punctuator code or kOpIn /
// kOpInstanceof), 0 when Op is no binary operator.
int BinaryLevel(uint64_t Op);

}  // namespace larkspan::minify::jssyntax
