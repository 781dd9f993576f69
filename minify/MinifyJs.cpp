// The script minifier: one pass over the bytes that copies every token as it
// stands and decides, between two tokens, whether nothing, a space or a line
// break must stay. Nothing is parsed into a tree; what a `/`, a `}` or a line
// break means is told from the tokens before it and from a stack of the
// brackets still open (block, object literal, function or class body,
// template substitution, statement or expression parentheses).
#include <cstdint>
#include <cstring>
#include <vector>

#include "minify/Minify.h"
#include "platform/Text.h"

namespace larkspan::minify {
namespace {

enum class TTok { Name, Private, Num, Str, Template, Regex, Punct };

// What an open bracket is. FuncStat / FuncExpr stand from `function` or
// `class` up to the end of its body.
enum class TCtx {
  Block,      // statement block, function body, method body
  Object,     // object literal or any other brace in an expression
  Arrow,      // arrow function body: a statement inside, an expression after
  ClassBody,  // class body: a line break after any name may end a field
  Template,   // ${ ... } of a template literal
  ParenStat,  // ( ) of if, for, while, with
  ParenExpr,  // any other ( )
  FuncStat,
  FuncExpr,
};

struct TFrame {
  TCtx Kind;
  bool Generator = false;  // FuncStat / FuncExpr: function*; Block: a *method's body
  bool Method = false;     // Block: the body of a method
  bool IsClass = false;    // FuncStat / FuncExpr: opened by `class`
  int Ternary = 0;         // `?` seen here whose `:` is still to come
  size_t Begin = 0;        // Template: where its template literal starts
};

struct TWordBytes {
  bool Is[256] = {};
  constexpr TWordBytes() {
    for (int C = 0; C < 256; ++C)
      Is[C] = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
              C == '_' || C == '$' || C == '\\' || C >= 0x80;
  }
};
constexpr TWordBytes kWordBytes;

// Bytes that may be part of a name (any non-ASCII byte too: names may hold
// any letter, and a non-ASCII byte is never punctuation).
inline bool IsWordByte(unsigned char C) { return kWordBytes.Is[C]; }

bool IsDigit(unsigned char C) { return C >= '0' && C <= '9'; }

// Length of the punctuator at the start of S. `?.` is taken greedily here
// (the language reads `?.5` as `?` `.5`): it is only used to ask whether two
// neighbours could merge, where greedy is the safe answer.
size_t PunctLength(std::string_view S) {
  if (S.empty()) return 0;
  auto At = [&](size_t I) { return I < S.size() ? S[I] : '\0'; };
  const char C1 = At(1), C2 = At(2);
  switch (S[0]) {
    case '>':
      if (C1 == '>') {
        if (C2 == '>') return At(3) == '=' ? 4 : 3;
        return C2 == '=' ? 3 : 2;
      }
      return C1 == '=' ? 2 : 1;
    case '<':
      if (C1 == '<') return C2 == '=' ? 3 : 2;
      return C1 == '=' ? 2 : 1;
    case '=':
      if (C1 == '=') return C2 == '=' ? 3 : 2;
      return C1 == '>' ? 2 : 1;
    case '!':
      if (C1 == '=') return C2 == '=' ? 3 : 2;
      return 1;
    case '*':
    case '&':
    case '|':
      if (C1 == S[0]) return C2 == '=' ? 3 : 2;
      return C1 == '=' ? 2 : 1;
    case '?':
      if (C1 == '?') return C2 == '=' ? 3 : 2;
      return C1 == '.' ? 2 : 1;
    case '.':
      return C1 == '.' && C2 == '.' ? 3 : 1;
    case '+':
    case '-':
      return C1 == S[0] || C1 == '=' ? 2 : 1;
    case '/':
    case '%':
    case '^':
      return C1 == '=' ? 2 : 1;
    default:
      return 1;
  }
}

// A token's code: a punctuator's bytes packed (at most four), a keyword's
// number above them, 0 for anything else (also for a keyword used as a
// property name), so that the rules compare integers.
constexpr uint64_t Pc(const char* S) {
  uint64_t V = 0;
  for (int I = 0; S[I]; ++I) V |= uint64_t(static_cast<unsigned char>(S[I])) << (8 * I);
  return V;
}

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

uint64_t Pc4(std::string_view S) {
  uint64_t V = 0;
  for (size_t I = 0; I < S.size(); ++I) V |= uint64_t(static_cast<unsigned char>(S[I])) << (8 * I);
  return V;
}

uint64_t KeywordCode(std::string_view W) {
  static const struct {
    std::string_view Word;
    uint64_t Code;
  } kWords[] = {
      {"if", kIf},           {"for", kFor},
      {"while", kWhile},     {"with", kWith},
      {"else", kElse},       {"do", kDo},
      {"try", kTry},         {"finally", kFinally},
      {"return", kReturn},   {"yield", kYield},
      {"typeof", kTypeof},   {"new", kNew},
      {"delete", kDelete},   {"void", kVoid},
      {"in", kIn},           {"instanceof", kInstanceof},
      {"case", kCase},       {"var", kVar},
      {"const", kConst},     {"function", kFunction},
      {"class", kClass},     {"extends", kExtends},
      {"switch", kSwitch},   {"catch", kCatch},
      {"import", kImport},   {"export", kExport},
      {"default", kDefault}, {"throw", kThrow},
      {"await", kAwait},     {"of", kOf},
      {"async", kAsync},
  };
  // Every keyword is 2 to 10 lower-case letters.
  if (W.size() < 2 || W.size() > 10 || W[0] < 'a' || W[0] > 'y') return 0;
  for (const auto& K : kWords)
    if (K.Word.size() == W.size() && K.Word[0] == W[0] && W == K.Word) return K.Code;
  return 0;
}

class TJsMinifier {
 public:
  TJsMinifier(std::string_view Text, TCodePage Page, bool Module)
      : T(Text), Page(Page), Module(Module) {
    Stack.push_back({TCtx::Block});
  }

  TMinifyResult Run();

 private:
  // A token just read: [Begin, End) of the input.
  struct TToken {
    TTok Kind = TTok::Punct;
    size_t Begin = 0, End = 0;
    uint64_t Code = 0;
  };

  std::string_view T;
  TCodePage Page;
  bool Module;
  size_t P = 0;
  std::string Out;
  std::vector<TFrame> Stack;

  // The previous token and what follows from it.
  bool AnyToken = false;
  TTok PrevKind = TTok::Punct;
  std::string_view Prev;       // its text
  uint64_t PrevCode = 0;       // its code
  uint64_t PrevPrevCode = 0;   // the code of the token before it
  bool PrevIsTernary = false;  // Prev is the `:` of a conditional expression
  bool StarMethod = false;     // a `*` that starts a generator method was seen
  bool ExprAllowed = true;     // a `/` here starts a regular expression
  bool PrevCanEnd = false;     // a statement may end right after Prev
  bool SawNewline = false;     // a line terminator since Prev (also inside comments)
  bool ForceNewline = false;   // a line comment or hashbang was copied: a break must follow
  bool SepWritten = false;     // a kept comment or U+FEFF already separates Prev from what follows

  // Failure.
  bool Failed = false;
  std::string Error;
  size_t ErrorAt = 0;

  void Fail(const char* Why, size_t At) {
    if (!Failed) {
      Failed = true;
      Error = Why;
      ErrorAt = At;
    }
  }

  // Bytes of the character at I. In GBK and Big5 a lead byte takes its trail
  // byte, whatever that is, as CharLength does; the lead-byte rule is also
  // applied here so that a trail 0x5C never reads as a backslash.
  size_t TakeChar(size_t I) const {
    const unsigned char C = T[I];
    if (C < 0x80) return 1;
    size_t N = CharLength(Page, T, I);
    if (N < 1) N = 1;
    if (N == 1 && (Page == TCodePage::Gbk || Page == TCodePage::Big5) && C >= 0x81 && C <= 0xFE &&
        I + 1 < T.size())
      N = 2;
    if (N == 1 && Page == TCodePage::Utf8) N = Utf8Length(I);
    if (N > T.size() - I) N = T.size() - I;
    return N;
  }

  // A well-formed UTF-8 sequence's length at I, else 1.
  size_t Utf8Length(size_t I) const {
    const unsigned char C = T[I];
    size_t N = C >= 0xF0 && C <= 0xF4 ? 4 : C >= 0xE0 ? 3 : C >= 0xC2 && C < 0xE0 ? 2 : 1;
    if (N == 1 || I + N > T.size()) return 1;
    for (size_t K = 1; K < N; ++K)
      if ((static_cast<unsigned char>(T[I + K]) & 0xC0) != 0x80) return 1;
    return N;
  }

  // Code point of the UTF-8 character at I of length N (N > 1).
  unsigned CodePoint(size_t I, size_t N) const {
    unsigned V = static_cast<unsigned char>(T[I]) & (0xFF >> (N + 1));
    for (size_t K = 1; K < N; ++K) V = (V << 6) | (static_cast<unsigned char>(T[I + K]) & 0x3F);
    return V;
  }

  // 0: not a special character; 1: white space; 2: line terminator; 3: U+FEFF.
  int SpecialAt(size_t I, size_t N) const {
    const unsigned char C = T[I];
    if (Page == TCodePage::Utf8) {
      if (N < 2) return 0;
      const unsigned V = CodePoint(I, N);
      if (V == 0x2028 || V == 0x2029) return 2;
      if (V == 0xFEFF) return 3;
      if (V == 0xA0 || V == 0x1680 || (V >= 0x2000 && V <= 0x200A) || V == 0x202F || V == 0x205F ||
          V == 0x3000)
        return 1;
      return 0;
    }
    if (Page == TCodePage::Single) return C == 0xA0 ? 1 : 0;
    // Ideographic space: GBK A1 A1, Big5 A1 40.
    if (N == 2 && C == 0xA1) {
      const unsigned char D = T[I + 1];
      if ((Page == TCodePage::Gbk && D == 0xA1) || (Page == TCodePage::Big5 && D == 0x40)) return 1;
    }
    return 0;
  }

  // Line terminator at I of length N (any code page).
  bool IsLineTerminator(size_t I, size_t N) const {
    const unsigned char C = T[I];
    if (C == '\n' || C == '\r') return true;
    return N > 1 && SpecialAt(I, N) == 2;
  }

  void SkipSpaceAndComments();
  void CopyKeptComment(size_t Begin, size_t End, bool Line);
  bool KeepComment(std::string_view Body, bool Line) const;
  void SkipLineComment(size_t Begin, size_t From);

  bool ReadToken(TToken& Tok);
  void ReadName(TToken& Tok);
  void ReadNumber(TToken& Tok);
  void ReadString(TToken& Tok);
  // From just after ` or }; Begin is where the literal's ` stands.
  void ReadTemplate(TToken& Tok, size_t From, size_t Begin);
  void ReadRegex(TToken& Tok);

  void WriteSeparator(const TToken& Tok);
  void Advance(const TToken& Tok);

  bool InGenerator() const;
  // Before: ExprAllowed as it stood after the token before the brace.
  bool BraceIsBlock(bool Before) const;
};

bool TJsMinifier::KeepComment(std::string_view Body, bool Line) const {
  // Body starts after // or /*.
  if (!Line && !Body.empty() && Body[0] == '!') return true;
  if (!Line && Body.size() >= 2 && Body[0] == '@' && Body.back() == '@') return true;
  if (Line && Body.substr(0, 6) == "@cc_on") return true;
  return Body.find("@license") != std::string_view::npos ||
         Body.find("@preserve") != std::string_view::npos;
}

void TJsMinifier::CopyKeptComment(size_t Begin, size_t End, bool Line) {
  if (AnyToken && SawNewline && !Out.empty() && Out.back() != '\n') Out += '\n';
  if (!Out.empty() && Out.back() == '/') Out += ' ';
  if (!Out.empty() && Out.back() == '<') Out += ' ';  // never </ in an inline script
  Out.append(T.substr(Begin, End - Begin));
  if (Line) ForceNewline = true;
  SepWritten = true;
}

// From is where the comment's text starts; the comment runs to the line end.
void TJsMinifier::SkipLineComment(size_t Begin, size_t From) {
  // No trail byte of a double-byte code page is CR or LF.
  size_t I = From;
  while (I < T.size()) {
    const unsigned char B = T[I];
    if (B == '\n' || B == '\r') break;
    if (B == 0xE2 && Page == TCodePage::Utf8 && IsLineTerminator(I, TakeChar(I))) break;
    ++I;
  }
  if (T[Begin] == '/' && KeepComment(T.substr(From, I - From), true))
    CopyKeptComment(Begin, I, true);
  P = I;
}

void TJsMinifier::SkipSpaceAndComments() {
  while (P < T.size()) {
    const unsigned char C = T[P];
    if (C == ' ' || C == '\t' || C == '\v' || C == '\f') {
      ++P;
    } else if (C == '\n' || C == '\r') {
      SawNewline = true;
      ++P;
    } else if (C == '/' && P + 1 < T.size() && T[P + 1] == '/') {
      SkipLineComment(P, P + 2);
    } else if (C == '/' && P + 1 < T.size() && T[P + 1] == '*') {
      const size_t Begin = P;
      // No trail byte of a double-byte code page is '*', '/', CR or LF.
      const size_t Close = T.find("*/", P + 2);
      const bool Closed = Close != std::string_view::npos;
      const size_t I = Closed ? Close : T.size();
      bool Newline = false;
      for (size_t K = P + 2; K < I && !Newline; ++K) {
        const unsigned char B = T[K];
        if (B == '\n' || B == '\r' ||
            (B == 0xE2 && Page == TCodePage::Utf8 && K + 2 < T.size() &&
             static_cast<unsigned char>(T[K + 1]) == 0x80 &&
             (static_cast<unsigned char>(T[K + 2]) & 0xFE) == 0xA8))
          Newline = true;
      }
      if (!Closed) {
        Fail("unterminated comment", Begin);
        return;
      }
      P = I + 2;
      if (KeepComment(T.substr(Begin + 2, I - Begin - 2), false)) CopyKeptComment(Begin, P, false);
      if (Newline) SawNewline = true;
    } else if (!Module && C == '<' && T.substr(P, 4) == "<!--") {
      SkipLineComment(P, P + 4);
    } else if (!Module && C == '-' && T.substr(P, 3) == "-->" && (!AnyToken || SawNewline)) {
      SkipLineComment(P, P + 3);
    } else if (C >= 0x80) {
      const size_t N = TakeChar(P);
      const int S = SpecialAt(P, N);
      if (S == 0) return;
      if (S == 2) SawNewline = true;
      if (S == 3) {
        // U+FEFF stays where it is.
        Out.append(T.substr(P, N));
        SepWritten = true;
      }
      P += N;
    } else {
      return;
    }
  }
}

void TJsMinifier::ReadName(TToken& Tok) {
  size_t I = P;
  if (T[I] == '#') ++I;
  while (I < T.size()) {
    const unsigned char C = T[I];
    if (C == '\\') {
      // \uXXXX or \u{...}
      I += 1;
      if (I < T.size() && T[I] == 'u') ++I;
      if (I < T.size() && T[I] == '{') {
        while (I < T.size() && T[I] != '}') ++I;
        if (I < T.size()) ++I;
      }
      continue;
    }
    if (C >= 0x80) {
      const size_t N = TakeChar(I);
      if (SpecialAt(I, N) != 0) break;
      I += N;
      continue;
    }
    if (!IsWordByte(C)) break;
    ++I;
  }
  Tok.Kind = T[P] == '#' ? TTok::Private : TTok::Name;
  Tok.End = I;
}

void TJsMinifier::ReadNumber(TToken& Tok) {
  size_t I = P;
  auto Digits = [&](bool Hex) {
    while (I < T.size()) {
      const unsigned char C = T[I];
      if (IsDigit(C) || C == '_' || (Hex && HexDigitValue(char(C)) >= 0))
        ++I;
      else
        break;
    }
  };
  if (T[I] == '0' && I + 1 < T.size() &&
      (T[I + 1] == 'x' || T[I + 1] == 'X' || T[I + 1] == 'o' || T[I + 1] == 'O' ||
       T[I + 1] == 'b' || T[I + 1] == 'B')) {
    I += 2;
    Digits(true);
  } else {
    Digits(false);
    if (I < T.size() && T[I] == '.') {
      ++I;
      Digits(false);
    }
    if (I < T.size() && (T[I] == 'e' || T[I] == 'E')) {
      size_t J = I + 1;
      if (J < T.size() && (T[J] == '+' || T[J] == '-')) ++J;
      if (J < T.size() && IsDigit(T[J])) {
        I = J;
        Digits(false);
      }
    }
  }
  if (I < T.size() && T[I] == 'n') ++I;
  Tok.Kind = TTok::Num;
  Tok.End = I;
}

void TJsMinifier::ReadString(TToken& Tok) {
  const char Quote = T[P];
  size_t I = P + 1;
  while (true) {
    if (I >= T.size()) return Fail("unterminated string", P);
    const unsigned char C = T[I];
    if (C == static_cast<unsigned char>(Quote)) {
      ++I;
      break;
    }
    if (C == '\\') {
      ++I;
      if (I >= T.size()) continue;
      if (T[I] == '\r' && I + 1 < T.size() && T[I + 1] == '\n')
        I += 2;
      else
        I += TakeChar(I);
      continue;
    }
    if (C == '\n' || C == '\r') return Fail("unterminated string", P);
    I += TakeChar(I);
  }
  Tok.Kind = TTok::Str;
  Tok.End = I;
}

void TJsMinifier::ReadTemplate(TToken& Tok, size_t From, size_t Begin) {
  size_t I = From;
  while (true) {
    if (I >= T.size()) return Fail("unterminated template", Begin);
    const unsigned char C = T[I];
    if (C == '`') {
      ++I;
      break;
    }
    if (C == '\\') {
      ++I;
      if (I < T.size()) I += TakeChar(I);
      continue;
    }
    if (C == '$' && I + 1 < T.size() && T[I + 1] == '{') {
      I += 2;
      TFrame F{TCtx::Template};
      F.Begin = Begin;
      Stack.push_back(F);
      break;
    }
    I += TakeChar(I);
  }
  Tok.Kind = TTok::Template;
  Tok.End = I;
}

void TJsMinifier::ReadRegex(TToken& Tok) {
  size_t I = P + 1;
  bool InClass = false;
  while (true) {
    if (I >= T.size()) return Fail("unterminated regular expression", P);
    const unsigned char C = T[I];
    const size_t N = TakeChar(I);
    if (IsLineTerminator(I, N)) return Fail("unterminated regular expression", P);
    if (C == '\\') {
      ++I;
      if (I >= T.size()) continue;
      const size_t M = TakeChar(I);
      if (IsLineTerminator(I, M)) return Fail("unterminated regular expression", P);
      I += M;
      continue;
    }
    if (C == '[') InClass = true;
    if (C == ']') InClass = false;
    I += N;
    if (C == '/' && !InClass) break;
  }
  // Flags.
  while (I < T.size()) {
    const unsigned char C = T[I];
    if (C >= 0x80) {
      const size_t N = TakeChar(I);
      if (SpecialAt(I, N) != 0) break;
      I += N;
    } else if (IsWordByte(C)) {
      ++I;
    } else {
      break;
    }
  }
  Tok.Kind = TTok::Regex;
  Tok.End = I;
}

bool TJsMinifier::ReadToken(TToken& Tok) {
  Tok.Begin = P;
  const unsigned char C = T[P];
  if (C == '"' || C == '\'') {
    ReadString(Tok);
  } else if (C == '`') {
    ReadTemplate(Tok, P + 1, P);
  } else if (IsDigit(C) || (C == '.' && P + 1 < T.size() && IsDigit(T[P + 1]))) {
    ReadNumber(Tok);
  } else if (IsWordByte(C) || (C == '#' && P + 1 < T.size() && IsWordByte(T[P + 1]))) {
    ReadName(Tok);
  } else if (C == '}' && Stack.size() > 1 && Stack.back().Kind == TCtx::Template) {
    const size_t Begin = Stack.back().Begin;
    Stack.pop_back();
    ReadTemplate(Tok, P + 1, Begin);
  } else if (C == '/' && ExprAllowed) {
    ReadRegex(Tok);
  } else {
    Tok.Kind = TTok::Punct;
    size_t N = PunctLength(T.substr(P, 4));
    // `?.` followed by a digit is `?` and a number.
    if (N == 2 && C == '?' && T[P + 1] == '.' && P + 2 < T.size() && IsDigit(T[P + 2])) N = 1;
    Tok.End = P + N;
    Tok.Code = N <= 4 ? Pc4(T.substr(P, N)) : 0;
  }
  if (Tok.Kind == TTok::Name && !Failed) {
    const bool IsProperty =
        PrevKind == TTok::Punct && (PrevCode == Pc(".") || PrevCode == Pc("?."));
    Tok.Code = IsProperty ? 0 : KeywordCode(T.substr(P, Tok.End - P));
  }
  return !Failed;
}

// Whether a `{` that follows Prev opens a statement block (or a body) rather
// than an expression.
bool TJsMinifier::BraceIsBlock(bool Before) const {
  const TFrame& Top = Stack.back();
  if (Top.Kind == TCtx::FuncStat || Top.Kind == TCtx::FuncExpr) return true;
  const bool StatementParent =
      Top.Kind == TCtx::Block || Top.Kind == TCtx::Arrow || Top.Kind == TCtx::ClassBody;
  if (!AnyToken) return true;
  if (PrevKind == TTok::Punct) {
    if (PrevCode == Pc(":")) return !PrevIsTernary && StatementParent;
    if (PrevCode == Pc(";") || PrevCode == Pc(")") || PrevCode == Pc("=>")) return true;
    if (PrevCode == Pc("{")) return Top.Kind == TCtx::Block || Top.Kind == TCtx::Arrow;
    if (PrevCode == Pc("}")) return true;
    return !Before;
  }
  if (PrevKind == TTok::Name) {
    if (PrevCode == kElse || PrevCode == kDo || PrevCode == kTry || PrevCode == kFinally)
      return true;
    if (PrevCode == kReturn || PrevCode == kYield) return SawNewline;
    // After a plain name a brace on the next line can only start a block
    // (automatic semicolon), except for the pattern of `let {a} = b`.
    if (PrevCode == 0 && !Before && Prev != "let") return SawNewline;
    return false;
  }
  return !Before;
}

// Whether a member name of an object or class may follow the token of Code
// and Kind (get, set, static and the like are plain names).
bool StartsMember(uint64_t Code, TTok Kind) {
  return Code == Pc("{") || Code == Pc(",") || Code == Pc(";") || Code == Pc("}") ||
         Code == Pc("*") || (Kind == TTok::Name && Code == 0);
}

bool TJsMinifier::InGenerator() const {
  for (size_t I = Stack.size(); I-- > 0;) {
    const TFrame& F = Stack[I];
    if (F.Kind == TCtx::ClassBody) return true;  // class code is strict: yield is a keyword
    if (F.Kind == TCtx::Block && F.Method) return F.Generator;
    if ((F.Kind == TCtx::FuncStat || F.Kind == TCtx::FuncExpr) && !F.IsClass) return F.Generator;
  }
  return Module;
}

// Keywords after which a statement cannot end: a line break after them never
// matters.
bool CannotEndAfter(uint64_t Code) {
  switch (Code) {
    case kElse:
    case kDo:
    case kTypeof:
    case kNew:
    case kDelete:
    case kVoid:
    case kIn:
    case kInstanceof:
    case kCase:
    case kVar:
    case kConst:
    case kFunction:
    case kClass:
    case kExtends:
    case kTry:
    case kFinally:
    case kIf:
    case kFor:
    case kWhile:
    case kWith:
    case kSwitch:
    case kCatch:
    case kImport:
    case kExport:
    case kDefault:
      return true;
    default:
      return false;
  }
}

// Keywords after which an expression may start (a `/` is a regular expression).
bool BeforeExpression(uint64_t Code) {
  switch (Code) {
    case kReturn:
    case kCase:
    case kDelete:
    case kDo:
    case kElse:
    case kIn:
    case kInstanceof:
    case kNew:
    case kTypeof:
    case kVoid:
    case kThrow:
    case kExtends:
    case kDefault:
    case kAwait:
      return true;
    default:
      return false;
  }
}

// Punctuators that cannot begin a statement, so a line break before them can
// never end one.
bool CannotStart(uint64_t Code) {
  switch (Code) {
    case Pc(")"):
    case Pc("]"):
    case Pc("}"):
    case Pc(","):
    case Pc(";"):
    case Pc(":"):
    case Pc("."):
    case Pc("?."):
    case Pc("?"):
    case Pc("="):
    case Pc("=="):
    case Pc("==="):
    case Pc("!="):
    case Pc("!=="):
    case Pc("<"):
    case Pc(">"):
    case Pc("<="):
    case Pc(">="):
    case Pc("<<"):
    case Pc(">>"):
    case Pc(">>>"):
    case Pc("&"):
    case Pc("|"):
    case Pc("^"):
    case Pc("&&"):
    case Pc("||"):
    case Pc("??"):
    case Pc("+="):
    case Pc("-="):
    case Pc("*="):
    case Pc("%="):
    case Pc("**="):
    case Pc("<<="):
    case Pc(">>="):
    case Pc(">>>="):
    case Pc("&="):
    case Pc("|="):
    case Pc("^="):
    case Pc("&&="):
    case Pc("||="):
    case Pc("?\?="):
    case Pc("=>"):
    case Pc("**"):
    case Pc("%"):
      return true;
    default:
      return false;
  }
}

void TJsMinifier::WriteSeparator(const TToken& Tok) {
  const std::string_view Cur = T.substr(Tok.Begin, Tok.End - Tok.Begin);
  if (!AnyToken) {
    if (!Out.empty() && (ForceNewline || SawNewline) && Out.back() != '\n') Out += '\n';
    ForceNewline = false;
    SepWritten = false;
    return;
  }
  const bool CurCannotStart = (Tok.Kind == TTok::Punct && CannotStart(Tok.Code)) ||
                              (Tok.Kind == TTok::Template && Cur[0] == '}');
  const bool KeepBreak = SawNewline && PrevCanEnd && !CurCannotStart;
  if (ForceNewline || KeepBreak || (SawNewline && SepWritten)) {
    if (Out.back() != '\n') Out += '\n';
    ForceNewline = false;
    SepWritten = false;
    return;
  }
  if (SepWritten) {
    SepWritten = false;
    // A kept comment sits between; only a `/` right before it could merge.
    return;
  }
  const unsigned char Last = Out.back();
  const unsigned char First = Cur[0];
  bool Space = false;
  const bool PrevEndsWord =
      PrevKind == TTok::Name || PrevKind == TTok::Private || PrevKind == TTok::Num;
  const bool CurStartsWord =
      Tok.Kind == TTok::Name || Tok.Kind == TTok::Private || Tok.Kind == TTok::Num;
  if (PrevEndsWord && CurStartsWord) Space = true;
  if (PrevKind == TTok::Regex && (CurStartsWord || IsWordByte(First))) Space = true;
  if (PrevKind == TTok::Num && First == '.') {
    bool AllDigits = true;
    for (unsigned char C : Prev)
      if (!IsDigit(C) && C != '_') AllDigits = false;
    if (AllDigits) Space = true;
  }
  if (Last == '/' && (First == '/' || First == '*')) Space = true;
  if (Last == '<' && (First == '!' || First == '/')) Space = true;
  if (Last == '-' && First == '>') Space = true;
  if (PrevKind == TTok::Punct && !Space) {
    char Buf[8];
    size_t N = 0;
    for (char C : Prev) Buf[N++] = C;
    for (size_t K = 0; K < Cur.size() && N < sizeof Buf; ++K) Buf[N++] = Cur[K];
    if (PunctLength(std::string_view(Buf, N)) != Prev.size()) Space = true;
    if (Last == '.' && (First == '.' || IsDigit(First)) && PrevCode != Pc("...")) Space = true;
  }
  if (Space) Out += ' ';
}

// One state machine over every token kind: the cases share the bracket stack
// and the expression flags, and split up they would only pass them around.
// NOLINTNEXTLINE(readability-function-size)
void TJsMinifier::Advance(const TToken& Tok) {
  const std::string_view Cur = T.substr(Tok.Begin, Tok.End - Tok.Begin);
  const uint64_t Code = Tok.Code;
  const bool WasExprAllowed = ExprAllowed;
  bool CanEnd = true;
  bool Ternary = false;
  switch (Tok.Kind) {
    case TTok::Num:
    case TTok::Str:
    case TTok::Regex:
    case TTok::Private:
      ExprAllowed = false;
      break;
    case TTok::Template:
      // Ends with "${" (substitution opened) or "`".
      ExprAllowed = Cur.back() == '{';
      CanEnd = !ExprAllowed;
      break;
    case TTok::Name: {
      ExprAllowed = false;
      if (Code == 0) break;  // a plain name, or a property name
      if (BeforeExpression(Code)) ExprAllowed = true;
      if (Code == kYield && InGenerator()) ExprAllowed = true;
      if (Code == kOf && !WasExprAllowed) ExprAllowed = true;
      if (Stack.back().Kind != TCtx::ClassBody && CannotEndAfter(Code)) CanEnd = false;
      if (Code == kFunction || Code == kClass) {
        // A property or method named so is not a function.
        size_t I = Tok.End;
        while (I < T.size() && (T[I] == ' ' || T[I] == '\t')) ++I;
        const char Next = I < T.size() ? T[I] : ';';
        if (Next == ':' || Next == ',' || Next == '}' || Next == '=' || Next == ';' ||
            (Next == '(' &&
             (Stack.back().Kind == TCtx::Object || Stack.back().Kind == TCtx::ClassBody) &&
             (StartsMember(PrevCode, PrevKind) ||
              (PrevCode == kAsync && StartsMember(PrevPrevCode, TTok::Name)))))
          break;
        // Expression or declaration, told from the token before (before
        // `async` for an async function).
        uint64_t Before = PrevCode;
        bool BeforeExprAllowed = WasExprAllowed;
        bool BeforeTernary = PrevIsTernary;
        if (PrevCode == kAsync) {
          Before = PrevPrevCode;
          BeforeTernary = false;
          BeforeExprAllowed = Before != 0 && Before != Pc(")") && Before != Pc("]") &&
                              Before != Pc("}") && Before != Pc(";") && Before != Pc("{");
        }
        bool Expr = AnyToken && BeforeExprAllowed;
        if (Before == kElse || Before == kDo) Expr = false;
        if (Before == kReturn && SawNewline) Expr = false;
        if (Before == Pc(";") && Stack.back().Kind != TCtx::ParenStat) Expr = false;
        if ((Before == Pc("{") || (Before == Pc(":") && !BeforeTernary)) &&
            Stack.back().Kind != TCtx::Object && Stack.back().Kind != TCtx::ParenExpr &&
            Stack.back().Kind != TCtx::ParenStat && Stack.back().Kind != TCtx::Template)
          Expr = false;
        if (Before == Pc("}") || Before == Pc(")")) Expr = false;
        TFrame F{Expr ? TCtx::FuncExpr : TCtx::FuncStat};
        F.IsClass = Code == kClass;
        Stack.push_back(F);
      }
      break;
    }
    case TTok::Punct: {
      ExprAllowed = true;
      CanEnd = false;
      switch (Code) {
        case Pc("("): {
          const bool Stat = PrevCode == kIf || PrevCode == kFor || PrevCode == kWhile ||
                            PrevCode == kWith || (PrevCode == kAwait && PrevPrevCode == kFor);
          Stack.push_back({Stat ? TCtx::ParenStat : TCtx::ParenExpr});
          break;
        }
        case Pc(")"): {
          TCtx K = TCtx::ParenExpr;
          if (Stack.size() > 1 &&
              (Stack.back().Kind == TCtx::ParenStat || Stack.back().Kind == TCtx::ParenExpr)) {
            K = Stack.back().Kind;
            Stack.pop_back();
          }
          ExprAllowed = K == TCtx::ParenStat;
          CanEnd = K != TCtx::ParenStat;
          break;
        }
        case Pc("{"): {
          TCtx K;
          const TFrame& Top = Stack.back();
          if ((Top.Kind == TCtx::FuncStat || Top.Kind == TCtx::FuncExpr) && Top.IsClass)
            K = TCtx::ClassBody;
          else if (PrevCode == Pc("=>"))
            K = TCtx::Arrow;
          else
            K = BraceIsBlock(WasExprAllowed) ? TCtx::Block : TCtx::Object;
          TFrame F{K};
          if (PrevCode == Pc(")") && (Top.Kind == TCtx::Object || Top.Kind == TCtx::ClassBody)) {
            F.Method = true;
            F.Generator = StarMethod;
            StarMethod = false;
          }
          Stack.push_back(F);
          break;
        }
        case Pc("}"): {
          TCtx K = TCtx::Block;
          if (Stack.size() > 1) {
            K = Stack.back().Kind;
            Stack.pop_back();
            // Parentheses left open inside the braces: close them too.
            while (Stack.size() > 1 && (K == TCtx::ParenExpr || K == TCtx::ParenStat)) {
              K = Stack.back().Kind;
              Stack.pop_back();
            }
          }
          if ((K == TCtx::Block || K == TCtx::ClassBody) && Stack.size() > 1 &&
              (Stack.back().Kind == TCtx::FuncStat || Stack.back().Kind == TCtx::FuncExpr)) {
            K = Stack.back().Kind;
            Stack.pop_back();
          }
          switch (K) {
            case TCtx::Block:
            case TCtx::FuncStat:
            case TCtx::ClassBody:
              ExprAllowed = true;
              CanEnd = false;
              break;
            case TCtx::Arrow:
              ExprAllowed = true;
              CanEnd = true;
              break;
            default:
              ExprAllowed = false;
              CanEnd = true;
          }
          break;
        }
        case Pc("]"):
          ExprAllowed = false;
          CanEnd = true;
          break;
        case Pc("++"):
        case Pc("--"):
          ExprAllowed = WasExprAllowed;
          CanEnd = true;
          break;
        case Pc("?"):
          ++Stack.back().Ternary;
          break;
        case Pc(":"):
          if (Stack.back().Ternary > 0) {
            --Stack.back().Ternary;
            Ternary = true;
          }
          break;
        case Pc("*"):
          if ((Stack.back().Kind == TCtx::Object || Stack.back().Kind == TCtx::ClassBody) &&
              (PrevCode == Pc("{") || PrevCode == Pc(",") || PrevCode == Pc(";") ||
               PrevCode == Pc("}") || PrevCode == kAsync || Prev == "static"))
            StarMethod = true;
          if (PrevCode == kFunction &&
              (Stack.back().Kind == TCtx::FuncStat || Stack.back().Kind == TCtx::FuncExpr))
            Stack.back().Generator = true;
          break;
        default:
          break;
      }
      break;
    }
  }
  PrevPrevCode = PrevCode;
  PrevCode = Code;
  Prev = Cur;
  PrevKind = Tok.Kind;
  PrevIsTernary = Ternary;
  PrevCanEnd = CanEnd;
  AnyToken = true;
  SawNewline = false;
}

TMinifyResult TJsMinifier::Run() {
  Out.reserve(T.size());
  if (T.substr(0, 2) == "#!") {
    SkipLineComment(P, P + 2);
    Out.append(T.substr(0, P));
    ForceNewline = true;
  }
  while (!Failed) {
    SkipSpaceAndComments();
    if (Failed || P >= T.size()) break;
    TToken Tok;
    if (!ReadToken(Tok)) break;
    WriteSeparator(Tok);
    Out.append(T.substr(Tok.Begin, Tok.End - Tok.Begin));
    P = Tok.End;
    Advance(Tok);
  }
  TMinifyResult R;
  if (Failed) {
    R.Error = Error;
    R.Offset = ErrorAt;
    SetPosition(R, T);
    return R;
  }
  R.Ok = true;
  R.Output = std::move(Out);
  return R;
}

}  // namespace

TMinifyResult MinifyJs(std::string_view Text, TCodePage Page, const TMinifyOptions&, bool Module) {
  return TJsMinifier(Text, Page, Module).Run();
}

}  // namespace larkspan::minify
