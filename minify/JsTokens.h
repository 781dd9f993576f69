// A script tokenizer on bytes in an ASCII-compatible code page: multi-byte
// characters are stepped over whole, so a GBK or Big5 trail byte 0x5C is never
// a backslash and no trail byte is ever a quote. Tokens are byte ranges of the
// input; nothing is decoded. What the tokens mean (whether a "/" starts a
// regular expression, whether a "}" closes a template substitution) is the
// caller's to say: the tokenizer holds no bracket stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "minify/Charset.h"

namespace larkspan::minify {

enum class TJsTok { Name, Private, Num, Str, Template, Regex, Punct };

// A token: [Begin, End) of the input. Code is a punctuator's bytes packed
// (JsPunct), a keyword's number (jskey), or 0 for anything else, also for a
// keyword used as a property name (after "." or "?."). A Template token runs
// from "`" or the "}" that closes a substitution to "`" or "${".
struct TJsToken {
  TJsTok Kind = TJsTok::Punct;
  size_t Begin = 0, End = 0;
  uint64_t Code = 0;
  bool NewlineBefore = false;  // a line terminator since the token before (comments too)
};

// Something in the gap between two tokens a minifier must copy: a comment to
// keep ("/*!", "@license", "@preserve", "/*@...@*/", "//@cc_on") or a U+FEFF.
struct TJsKept {
  size_t Begin = 0, End = 0;
  bool Comment = false;        // false: a U+FEFF
  bool Line = false;           // a "//" comment: a line break must follow it
  bool NewlineBefore = false;  // a line terminator before it in the gap
};

// Packs a punctuator of at most four bytes into its code.
constexpr uint64_t JsPunct(const char* S) {
  uint64_t V = 0;
  for (int I = 0; S[I]; ++I) V |= uint64_t(static_cast<unsigned char>(S[I])) << (8 * I);
  return V;
}

// Whether Code is an assignment operator's ("=", "+=", ..., "??=").
constexpr bool IsJsAssignOp(uint64_t Code) {
  constexpr const char* kOps[] = {"=",   "+=",   "-=", "*=", "/=", "%=",  "**=", "<<=",
                                  ">>=", ">>>=", "&=", "|=", "^=", "&&=", "||=", "?\?="};
  for (const char* Op : kOps)
    if (JsPunct(Op) == Code) return true;
  return false;
}

// The keyword codes, above every punctuator's.
namespace jskey {
enum : uint64_t {
  kKeyword = uint64_t(1) << 40,
  kIf,
  kFor,
  kWhile,
  kWith,
  kElse,
  kDo,
  kTry,
  kFinally,
  kReturn,
  kYield,
  kTypeof,
  kNew,
  kDelete,
  kVoid,
  kIn,
  kInstanceof,
  kCase,
  kVar,
  kConst,
  kFunction,
  kClass,
  kExtends,
  kSwitch,
  kCatch,
  kImport,
  kExport,
  kDefault,
  kThrow,
  kAwait,
  kOf,
  kAsync,
};
}  // namespace jskey

namespace jsdetail {
struct TWordBytes {
  bool Is[256] = {};
  constexpr TWordBytes() {
    for (int C = 0; C < 256; ++C)
      Is[C] = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
              C == '_' || C == '$' || C == '\\' || C >= 0x80;
  }
};
inline constexpr TWordBytes kWordBytes;
}  // namespace jsdetail

// Bytes that may be part of a name: ASCII letters, digits, "_", "$", "\" and
// any non-ASCII byte (names may hold any letter, and a non-ASCII byte is
// never punctuation). Inline: the scanners ask it for every byte of a name.
inline bool IsJsWordByte(unsigned char C) { return jsdetail::kWordBytes.Is[C]; }

// Length of the punctuator at the start of S (0 for empty S). "?." is taken
// greedily (the language reads "?.5" as "?" ".5"): where two neighbours are
// asked whether they could merge, greedy is the safe answer.
size_t JsPunctLength(std::string_view S);

// One pass over Text. Call SkipGap and Next by turns until AtEnd or a fault.
// Text must outlive the tokenizer. Not for use by two threads at once.
class TJsLexer {
 public:
  // Module: an ES module, where "<!--" and "-->" are no comments.
  TJsLexer(std::string_view Text, TCodePage Page, bool Module);

  // A "#!" line at the very start is skipped; returns where it ends (0 when
  // there is none). Only before anything else is read.
  size_t SkipHashbang();

  // Skips white space, line terminators and comments. Kept gets (after
  // clearing) what of them must be copied, in text order. False on a fault
  // (an unterminated comment).
  bool SkipGap(std::vector<TJsKept>& AKept) {
    AKept.clear();
    // Most tokens follow one another or one blank: no call for those.
    if (P < T.size() && !MayStartGap(static_cast<unsigned char>(T[P]))) return !HasFailed;
    return SkipGapFrom(AKept);
  }

  bool AtEnd() const { return P >= T.size(); }

  // Reads the token at the current position (after SkipGap, not AtEnd).
  // RegexAllowed: a "/" here starts a regular expression. SubstitutionOf: a
  // "}" here closes a substitution of the template literal that starts at
  // this offset; npos when none is open. False on a fault (an unterminated
  // string, template or regular expression): Error and ErrorAt tell.
  bool Next(TJsToken& Tok, bool RegexAllowed, size_t SubstitutionOf);

  // Goes back to Offset, where a token read before starts, to read it again
  // in another context (a "/" that starts a regular expression, a "}" that
  // closes a substitution). NewlineBefore is that token's flag.
  void Rewind(size_t Offset, bool NewlineBefore) {
    P = Offset;
    SawNewline = NewlineBefore;
  }

  bool Failed() const { return HasFailed; }
  const std::string& Error() const { return Why; }
  size_t ErrorAt() const { return At; }

 private:
  std::string_view T;
  TCodePage Page;
  bool Module;
  size_t P = 0;
  bool AnyToken = false;    // a token was read
  bool SawNewline = false;  // a line terminator since the last token
  TJsTok LastKind = TJsTok::Punct;
  uint64_t LastCode = 0;
  std::vector<TJsKept>* Kept = nullptr;  // SkipGap's, while it runs

  bool HasFailed = false;
  std::string Why;
  size_t At = 0;

  // A byte that may start white space, a line terminator or a comment.
  static bool MayStartGap(unsigned char C) {
    return C <= ' ' || C == '/' || C == '<' || C == '-' || C >= 0x80;
  }
  bool SkipGapFrom(std::vector<TJsKept>& AKept);
  void Fail(const char* Reason, size_t Offset);
  size_t TakeChar(size_t I) const;
  size_t Utf8Length(size_t I) const;
  unsigned CodePoint(size_t I, size_t N) const;
  int SpecialAt(size_t I, size_t N) const;
  bool IsLineTerminator(size_t I, size_t N) const;

  static bool KeepComment(std::string_view Body, bool Line);
  void KeepPiece(size_t Begin, size_t End, bool Comment, bool Line);
  void SkipLineComment(size_t Begin, size_t From);
  void SkipBlockComment();
  void ReadName(TJsToken& Tok);
  void ReadNumber(TJsToken& Tok);
  void ReadString(TJsToken& Tok);
  // From just after "`" or "}"; Begin is where the literal's "`" stands.
  void ReadTemplate(TJsToken& Tok, size_t From, size_t Begin);
  void ReadRegex(TJsToken& Tok);
};

}  // namespace larkspan::minify
