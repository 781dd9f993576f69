#include "minify/JsSyntax.h"

#include <iterator>

namespace larkspan::minify::jssyntax {

namespace {
struct TWord {
  std::string_view Text;
  TKw Kw;
};
constexpr TWord kWords[] = {
    {"break", TKw::Break},
    {"case", TKw::Case},
    {"catch", TKw::Catch},
    {"class", TKw::Class},
    {"const", TKw::Const},
    {"continue", TKw::Continue},
    {"debugger", TKw::Debugger},
    {"default", TKw::Default},
    {"delete", TKw::Delete},
    {"do", TKw::Do},
    {"else", TKw::Else},
    {"enum", TKw::Enum},
    {"export", TKw::Export},
    {"extends", TKw::Extends},
    {"false", TKw::False},
    {"finally", TKw::Finally},
    {"for", TKw::For},
    {"function", TKw::Function},
    {"if", TKw::If},
    {"import", TKw::Import},
    {"in", TKw::In},
    {"instanceof", TKw::Instanceof},
    {"new", TKw::New},
    {"null", TKw::Null},
    {"return", TKw::Return},
    {"super", TKw::Super},
    {"switch", TKw::Switch},
    {"this", TKw::This},
    {"throw", TKw::Throw},
    {"true", TKw::True},
    {"try", TKw::Try},
    {"typeof", TKw::Typeof},
    {"var", TKw::Var},
    {"void", TKw::Void},
    {"while", TKw::While},
    {"with", TKw::With},
    {"yield", TKw::Yield},
    {"await", TKw::Await},
    {"let", TKw::Let},
    {"static", TKw::Static},
    {"implements", TKw::StrictReserved},
    {"interface", TKw::StrictReserved},
    {"package", TKw::StrictReserved},
    {"private", TKw::StrictReserved},
    {"protected", TKw::StrictReserved},
    {"public", TKw::StrictReserved},
    {"async", TKw::Async},
    {"get", TKw::Get},
    {"set", TKw::Set},
    {"of", TKw::Of},
    {"from", TKw::From},
    {"as", TKw::As},
};
}  // namespace

namespace {
// The words by first letter and length: [letter][length] is a range of kWords
// indexes in ByLetter.
struct TWordIndex {
  uint8_t Begin[26][11] = {};
  uint8_t End[26][11] = {};
  uint8_t Order[std::size(kWords)] = {};
  constexpr TWordIndex() {
    size_t N = 0;
    for (int L = 0; L < 26; ++L)
      for (size_t Len = 2; Len <= 10; ++Len) {
        Begin[L][Len] = uint8_t(N);
        for (size_t I = 0; I < std::size(kWords); ++I)
          if (kWords[I].Text[0] == 'a' + L && kWords[I].Text.size() == Len) Order[N++] = uint8_t(I);
        End[L][Len] = uint8_t(N);
      }
  }
};
constexpr TWordIndex kIndex;
}  // namespace

TKw KeywordOf(std::string_view W) {
  // Every word is 2 to 10 lower-case letters.
  if (W.size() < 2 || W.size() > 10 || W[0] < 'a' || W[0] > 'y') return TKw::None;
  const int L = W[0] - 'a';
  for (size_t I = kIndex.Begin[L][W.size()]; I < kIndex.End[L][W.size()]; ++I)
    if (kWords[kIndex.Order[I]].Text == W) return kWords[kIndex.Order[I]].Kw;
  return TKw::None;
}

bool IsForbiddenName(std::string_view W) {
  const TKw K = KeywordOf(W);
  if (IsReserved(K) || K == TKw::Yield || K == TKw::Await || K == TKw::Let || K == TKw::Static ||
      K == TKw::StrictReserved)
    return true;
  return W == "eval" || W == "arguments" || W == "undefined" || W == "NaN" || W == "Infinity";
}

int BinaryLevel(uint64_t Op) {
  switch (Op) {
    case JsPunct("??"):
      return kLevelNullish;
    case JsPunct("||"):
      return kLevelLogOr;
    case JsPunct("&&"):
      return kLevelLogAnd;
    case JsPunct("|"):
      return kLevelBitOr;
    case JsPunct("^"):
      return kLevelBitXor;
    case JsPunct("&"):
      return kLevelBitAnd;
    case JsPunct("=="):
    case JsPunct("!="):
    case JsPunct("==="):
    case JsPunct("!=="):
      return kLevelEquals;
    case JsPunct("<"):
    case JsPunct(">"):
    case JsPunct("<="):
    case JsPunct(">="):
    case kOpIn:
    case kOpInstanceof:
      return kLevelCompare;
    case JsPunct("<<"):
    case JsPunct(">>"):
    case JsPunct(">>>"):
      return kLevelShift;
    case JsPunct("+"):
    case JsPunct("-"):
      return kLevelAdd;
    case JsPunct("*"):
    case JsPunct("/"):
    case JsPunct("%"):
      return kLevelMul;
    case JsPunct("**"):
      return kLevelExponent;
    default:
      return 0;
  }
}

}  // namespace larkspan::minify::jssyntax
