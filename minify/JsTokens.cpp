#include "minify/JsTokens.h"

#include "platform/Text.h"

namespace larkspan::minify {

using namespace jskey;

namespace {

bool IsDigit(unsigned char C) { return C >= '0' && C <= '9'; }

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

}  // namespace

size_t JsPunctLength(std::string_view S) {
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

TJsLexer::TJsLexer(std::string_view Text, TCodePage Page, bool Module)
    : T(Text), Page(Page), Module(Module) {}

void TJsLexer::Fail(const char* Reason, size_t Offset) {
  if (!HasFailed) {
    HasFailed = true;
    Why = Reason;
    At = Offset;
  }
}

// Bytes of the character at I. In GBK and Big5 a lead byte takes its trail
// byte, whatever that is, as CharLength does; the lead-byte rule is also
// applied here so that a trail 0x5C never reads as a backslash.
inline size_t TJsLexer::TakeChar(size_t I) const {
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
inline size_t TJsLexer::Utf8Length(size_t I) const {
  const unsigned char C = T[I];
  size_t N = C >= 0xF0 && C <= 0xF4 ? 4 : C >= 0xE0 ? 3 : C >= 0xC2 && C < 0xE0 ? 2 : 1;
  if (N == 1 || I + N > T.size()) return 1;
  for (size_t K = 1; K < N; ++K)
    if ((static_cast<unsigned char>(T[I + K]) & 0xC0) != 0x80) return 1;
  return N;
}

// Code point of the UTF-8 character at I of length N (N > 1).
inline unsigned TJsLexer::CodePoint(size_t I, size_t N) const {
  unsigned V = static_cast<unsigned char>(T[I]) & (0xFF >> (N + 1));
  for (size_t K = 1; K < N; ++K) V = (V << 6) | (static_cast<unsigned char>(T[I + K]) & 0x3F);
  return V;
}

// 0: not a special character; 1: white space; 2: line terminator; 3: U+FEFF.
inline int TJsLexer::SpecialAt(size_t I, size_t N) const {
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
inline bool TJsLexer::IsLineTerminator(size_t I, size_t N) const {
  const unsigned char C = T[I];
  if (C == '\n' || C == '\r') return true;
  return N > 1 && SpecialAt(I, N) == 2;
}

bool TJsLexer::KeepComment(std::string_view Body, bool Line) {
  // Body starts after // or /*.
  if (!Line && !Body.empty() && Body[0] == '!') return true;
  if (!Line && Body.size() >= 2 && Body[0] == '@' && Body.back() == '@') return true;
  if (Line && Body.substr(0, 6) == "@cc_on") return true;
  return Body.find("@license") != std::string_view::npos ||
         Body.find("@preserve") != std::string_view::npos;
}

inline void TJsLexer::KeepPiece(size_t Begin, size_t End, bool Comment, bool Line) {
  if (Kept) Kept->push_back({Begin, End, Comment, Line, SawNewline});
}

size_t TJsLexer::SkipHashbang() {
  if (P != 0 || T.substr(0, 2) != "#!") return 0;
  SkipLineComment(0, 2);
  return P;
}

// From is where the comment's text starts; the comment runs to the line end.
void TJsLexer::SkipLineComment(size_t Begin, size_t From) {
  // No trail byte of a double-byte code page is CR or LF.
  size_t I = From;
  while (I < T.size()) {
    const unsigned char B = T[I];
    if (B == '\n' || B == '\r') break;
    if (B == 0xE2 && Page == TCodePage::Utf8 && IsLineTerminator(I, TakeChar(I))) break;
    ++I;
  }
  if (T[Begin] == '/' && KeepComment(T.substr(From, I - From), true))
    KeepPiece(Begin, I, true, true);
  P = I;
}

inline void TJsLexer::SkipBlockComment() {
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
  if (!Closed) return Fail("unterminated comment", Begin);
  P = I + 2;
  if (KeepComment(T.substr(Begin + 2, I - Begin - 2), false)) KeepPiece(Begin, P, true, false);
  if (Newline) SawNewline = true;
}

bool TJsLexer::SkipGapFrom(std::vector<TJsKept>& AKept) {
  Kept = &AKept;
  while (P < T.size() && !HasFailed) {
    const unsigned char C = T[P];
    if (C == ' ' || C == '\t' || C == '\v' || C == '\f') {
      ++P;
    } else if (C == '\n' || C == '\r') {
      SawNewline = true;
      ++P;
    } else if (C == '/' && P + 1 < T.size() && T[P + 1] == '/') {
      SkipLineComment(P, P + 2);
    } else if (C == '/' && P + 1 < T.size() && T[P + 1] == '*') {
      SkipBlockComment();
    } else if (!Module && C == '<' && T.substr(P, 4) == "<!--") {
      SkipLineComment(P, P + 4);
    } else if (!Module && C == '-' && T.substr(P, 3) == "-->" && (!AnyToken || SawNewline)) {
      SkipLineComment(P, P + 3);
    } else if (C >= 0x80) {
      const size_t N = TakeChar(P);
      const int S = SpecialAt(P, N);
      if (S == 0) break;
      if (S == 2) SawNewline = true;
      if (S == 3) KeepPiece(P, P + N, false, false);  // U+FEFF stays where it is
      P += N;
    } else {
      break;
    }
  }
  Kept = nullptr;
  return !HasFailed;
}

inline void TJsLexer::ReadName(TJsToken& Tok) {
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
    if (!IsJsWordByte(C)) break;
    ++I;
  }
  Tok.Kind = T[P] == '#' ? TJsTok::Private : TJsTok::Name;
  Tok.End = I;
}

inline void TJsLexer::ReadNumber(TJsToken& Tok) {
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
  Tok.Kind = TJsTok::Num;
  Tok.End = I;
  // "3in x", "1.toString()": no name or digit may touch a number (a blank
  // put between them would make the error valid code).
  if (I < T.size() && IsJsWordByte(static_cast<unsigned char>(T[I])))
    return Fail("a name right after a number", I);
}

inline void TJsLexer::ReadString(TJsToken& Tok) {
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
  Tok.Kind = TJsTok::Str;
  Tok.End = I;
}

void TJsLexer::ReadTemplate(TJsToken& Tok, size_t From, size_t Begin) {
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
      break;
    }
    I += TakeChar(I);
  }
  Tok.Kind = TJsTok::Template;
  Tok.End = I;
}

inline void TJsLexer::ReadRegex(TJsToken& Tok) {
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
    } else if (IsJsWordByte(C)) {
      ++I;
    } else {
      break;
    }
  }
  Tok.Kind = TJsTok::Regex;
  Tok.End = I;
}

bool TJsLexer::Next(TJsToken& Tok, bool RegexAllowed, size_t SubstitutionOf) {
  Tok = TJsToken();
  Tok.Begin = P;
  Tok.NewlineBefore = SawNewline;
  const unsigned char C = T[P];
  if (C == '"' || C == '\'') {
    ReadString(Tok);
  } else if (C == '`') {
    ReadTemplate(Tok, P + 1, P);
  } else if (IsDigit(C) || (C == '.' && P + 1 < T.size() && IsDigit(T[P + 1]))) {
    ReadNumber(Tok);
  } else if (IsJsWordByte(C) || (C == '#' && P + 1 < T.size() && IsJsWordByte(T[P + 1]))) {
    ReadName(Tok);
  } else if (C == '}' && SubstitutionOf != std::string_view::npos) {
    ReadTemplate(Tok, P + 1, SubstitutionOf);
  } else if (C == '/' && RegexAllowed) {
    ReadRegex(Tok);
  } else {
    Tok.Kind = TJsTok::Punct;
    size_t N = JsPunctLength(T.substr(P, 4));
    // `?.` followed by a digit is `?` and a number.
    if (N == 2 && C == '?' && T[P + 1] == '.' && P + 2 < T.size() && IsDigit(T[P + 2])) N = 1;
    Tok.End = P + N;
    Tok.Code = N <= 4 ? Pc4(T.substr(P, N)) : 0;
  }
  if (HasFailed) return false;
  if (Tok.Kind == TJsTok::Name) {
    const bool IsProperty =
        LastKind == TJsTok::Punct && (LastCode == JsPunct(".") || LastCode == JsPunct("?."));
    Tok.Code = IsProperty ? 0 : KeywordCode(T.substr(P, Tok.End - P));
  }
  P = Tok.End;
  LastKind = Tok.Kind;
  LastCode = Tok.Code;
  AnyToken = true;
  SawNewline = false;
  return true;
}

}  // namespace larkspan::minify
