#include "minify/CssTokens.h"

#include "minify/ByteScan.h"
#include "platform/Text.h"

namespace larkspan::minify {

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }
bool IsNewline(char C) { return C == '\n' || C == '\r' || C == '\f'; }
bool IsNameStart(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_' ||
         static_cast<unsigned char>(C) >= 0x80;
}
bool IsName(char C) { return IsNameStart(C) || IsDigit(C) || C == '-'; }

class TTokenizer {
 public:
  TTokenizer(std::string_view Text, TCodePage Page) : S(Text), Page(Page), N(Text.size()) {}

  bool Run(std::vector<TCssToken>& Tokens, std::string& Error, size_t& ErrorOffset) {
    Tokens.clear();
    Tokens.reserve(N / 4 + 16);
    size_t I = 0;
    while (I < N) {
      const size_t Begin = I;
      TCssTok Type;
      if (!Next(I, Type)) {
        Error = Fault;
        ErrorOffset = FaultAt;
        return false;
      }
      Tokens.push_back({Type, uint32_t(Begin), uint32_t(I)});
    }
    return true;
  }

 private:
  std::string_view S;
  TCodePage Page;
  size_t N;
  const char* Fault = "";
  size_t FaultAt = 0;

  char At(size_t I) const { return I < N ? S[I] : '\0'; }

  bool Fail(const char* Why, size_t Where) {
    Fault = Why;
    FaultAt = Where;
    return false;
  }

  bool ValidEscape(size_t I) const { return At(I) == '\\' && I + 1 < N && !IsNewline(S[I + 1]); }

  bool StartsIdent(size_t I) const {
    const char C = At(I);
    if (C == '-') return IsNameStart(At(I + 1)) || At(I + 1) == '-' || ValidEscape(I + 1);
    return IsNameStart(C) || ValidEscape(I);
  }

  bool StartsNumber(size_t I) const {
    char C = At(I);
    if (C == '+' || C == '-') C = At(++I);
    if (IsDigit(C)) return true;
    return C == '.' && IsDigit(At(I + 1));
  }

  // Past an escape at I (a backslash not before a line break): up to six hex
  // digits and the one blank that ends them, or one whole character.
  size_t SkipEscape(size_t I) const {
    ++I;
    if (HexDigitValue(S[I]) >= 0) {
      const size_t Stop = I + 6;
      while (I < N && I < Stop && HexDigitValue(S[I]) >= 0) ++I;
      if (I < N && S[I] == '\r' && At(I + 1) == '\n') return I + 2;
      if (I < N && IsSpaceByte(S[I])) ++I;
      return I;
    }
    return NextChar(Page, S, I);
  }

  size_t SkipName(size_t I) const {
    while (I < N) {
      if (IsName(S[I])) {
        I = NextChar(Page, S, I);
      } else if (ValidEscape(I)) {
        I = SkipEscape(I);
      } else {
        break;
      }
    }
    return I;
  }

  bool SkipString(size_t& I) {
    const size_t Begin = I;
    const char Quote = S[I++];
    while (I < N) {
      const char C = S[I];
      if (C == Quote) {
        ++I;
        return true;
      }
      if (IsNewline(C)) return Fail("line break in a string", Begin);
      if (C == '\\') {
        if (I + 1 >= N) break;
        if (S[I + 1] == '\r' && At(I + 2) == '\n') {
          I += 3;
        } else if (IsNewline(S[I + 1])) {
          I += 2;
        } else {
          I = SkipEscape(I);
        }
        continue;
      }
      I = NextChar(Page, S, I);
    }
    return Fail("unterminated string", Begin);
  }

  // I is just past "url(" with no quote ahead.
  bool SkipUrl(size_t& I, size_t Begin) {
    I = SkipSpace(S, I);
    while (I < N) {
      const char C = S[I];
      if (C == ')') {
        ++I;
        return true;
      }
      if (IsSpaceByte(C)) {
        I = SkipSpace(S, I);
        if (At(I) == ')') {
          ++I;
          return true;
        }
        return Fail("blank inside an unquoted url()", Begin);
      }
      if (C == '"' || C == '\'' || C == '(')
        return Fail("quote or parenthesis inside an unquoted url()", Begin);
      if (C == '\\') {
        if (!ValidEscape(I)) return Fail("bad escape inside url()", Begin);
        I = SkipEscape(I);
        continue;
      }
      I = NextChar(Page, S, I);
    }
    return Fail("unterminated url()", Begin);
  }

  bool IdentLike(size_t& I, TCssTok& Type) {
    const size_t Begin = I;
    I = SkipName(I);
    if (At(I) != '(') {
      Type = TCssTok::Ident;
      return true;
    }
    ++I;
    const bool IsUrl = I - Begin == 4 && (S[Begin] | 0x20) == 'u' && (S[Begin + 1] | 0x20) == 'r' &&
                       (S[Begin + 2] | 0x20) == 'l';
    if (IsUrl) {
      const size_t J = SkipSpace(S, I);
      if (At(J) != '"' && At(J) != '\'') {
        Type = TCssTok::Url;
        return SkipUrl(I, Begin);
      }
    }
    Type = TCssTok::Function;
    return true;
  }

  void SkipNumber(size_t& I, TCssTok& Type) {
    if (S[I] == '+' || S[I] == '-') ++I;
    while (IsDigit(At(I))) ++I;
    if (At(I) == '.' && IsDigit(At(I + 1))) {
      I += 2;
      while (IsDigit(At(I))) ++I;
    }
    if ((At(I) == 'e' || At(I) == 'E') &&
        (IsDigit(At(I + 1)) || ((At(I + 1) == '+' || At(I + 1) == '-') && IsDigit(At(I + 2))))) {
      I += 2;
      while (IsDigit(At(I))) ++I;
    }
    if (StartsIdent(I)) {
      I = SkipName(I);
    } else if (At(I) == '%') {
      ++I;
    }
    Type = TCssTok::Number;
  }

  bool Next(size_t& I, TCssTok& Type) {
    const char C = S[I];
    if (IsSpaceByte(C)) {
      I = SkipSpace(S, I);
      Type = TCssTok::Space;
      return true;
    }
    switch (C) {
      case '/':
        if (At(I + 1) == '*') {
          const size_t End = FindText(Page, S, I + 2, "*/");
          if (End == std::string_view::npos) return Fail("unterminated comment", I);
          Type = At(I + 2) == '!' ? TCssTok::KeptComment : TCssTok::Comment;
          I = End + 2;
          return true;
        }
        break;
      case '"':
      case '\'':
        Type = TCssTok::String;
        return SkipString(I);
      case ':':
        Type = TCssTok::Colon;
        ++I;
        return true;
      case ';':
        Type = TCssTok::Semicolon;
        ++I;
        return true;
      case ',':
        Type = TCssTok::Comma;
        ++I;
        return true;
      case '{':
        Type = TCssTok::LBrace;
        ++I;
        return true;
      case '}':
        Type = TCssTok::RBrace;
        ++I;
        return true;
      case '(':
        Type = TCssTok::LParen;
        ++I;
        return true;
      case ')':
        Type = TCssTok::RParen;
        ++I;
        return true;
      case '[':
        Type = TCssTok::LBracket;
        ++I;
        return true;
      case ']':
        Type = TCssTok::RBracket;
        ++I;
        return true;
      case '#':
        if (IsName(At(I + 1)) || ValidEscape(I + 1)) {
          I = SkipName(I + 1);
          Type = TCssTok::Hash;
          return true;
        }
        break;
      case '@':
        if (StartsIdent(I + 1)) {
          I = SkipName(I + 1);
          Type = TCssTok::AtKeyword;
          return true;
        }
        break;
      case '<':
        if (S.compare(I, 4, "<!--") == 0) {
          I += 4;
          Type = TCssTok::Cdo;
          return true;
        }
        break;
      case '-':
        if (S.compare(I, 3, "-->") == 0) {
          I += 3;
          Type = TCssTok::Cdc;
          return true;
        }
        break;
      default:
        break;
    }
    if (StartsNumber(I)) {
      SkipNumber(I, Type);
      return true;
    }
    if (StartsIdent(I)) return IdentLike(I, Type);
    Type = TCssTok::Delim;
    I = NextChar(Page, S, I);
    return true;
  }
};

}  // namespace

bool TokenizeCss(std::string_view Text, TCodePage Page, std::vector<TCssToken>& Tokens,
                 std::string& Error, size_t& ErrorOffset) {
  if (Text.size() > UINT32_MAX) {
    Error = "too large";
    ErrorOffset = 0;
    return false;
  }
  TTokenizer T(Text, Page);
  return T.Run(Tokens, Error, ErrorOffset);
}

}  // namespace larkspan::minify
