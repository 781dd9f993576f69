// Style sheets: comments and white space go where the grammar lets them go,
// every other byte stays as written (numbers, units, strings, url(), custom
// property values, hacks). White space is kept, as one blank, wherever the
// tokens around it could mean something else without it.
// From the level safe on, values are also spelt shorter where the value
// stays the same (numbers, zero lengths, colours, needless quotes in url()
// and attribute selectors) and empty rules go; strings and url() targets
// stay byte for byte. At smallest rules and declarations are merged where
// the cascade proves it (CssMerge.h).
#include <vector>

#include "minify/ByteScan.h"
#include "minify/CssMerge.h"
#include "minify/CssTokens.h"
#include "minify/Minify.h"
#include "platform/Text.h"

namespace larkspan::minify {

namespace {

using T = TCssTok;

bool IsSignificant(T Type) {
  return Type != T::Space && Type != T::Comment && Type != T::KeptComment;
}

// What the tokens of the current item are.
enum class TItem { Selector, AtPrelude, DeclName, DeclValue, FilterValue };

// What a block holds: rules (the sheet, @media) or declarations (a rule's
// body, @font-face), where nested rules may stand too.
enum class TBlock { Rules, Declarations };

bool SameAscii(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I) {
    if (LoCaseAscii(A[I]) != B[I]) return false;
  }
  return true;
}

// At-rules whose block holds rules, vendor prefixes left out.
bool HoldsRules(std::string_view Name) {
  if (!Name.empty() && Name[0] == '-') {
    const size_t Dash = Name.find('-', 1);
    if (Dash != std::string_view::npos) Name.remove_prefix(Dash + 1);
  }
  for (std::string_view R : {"media", "supports", "document", "layer", "container", "scope",
                             "starting-style", "keyframes"})
    if (SameAscii(Name, R)) return true;
  return false;
}

bool IsNameByte(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_' ||
         C == '-' || C == '\\' || static_cast<unsigned char>(C) >= 0x80;
}

// Whether bytes A and B, put side by side where a comment stood between
// them, would run into one token.
bool WouldJoin(char A, char B) {
  const bool DigitA = A >= '0' && A <= '9', DigitB = B >= '0' && B <= '9';
  if (IsNameByte(A) && (IsNameByte(B) || B == '(' || B == '%')) return true;
  if ((A == '#' || A == '@') && IsNameByte(B)) return true;
  if ((DigitA && B == '.') || (A == '.' && DigitB)) return true;
  if ((A == '+' || A == '.') && DigitB) return true;
  if (A == '/' && B == '*') return true;
  if ((A == '|' || A == '~' || A == '^' || A == '$' || A == '*') && (B == '=' || B == '|'))
    return true;
  if (A == '<' && B == '!') return true;
  return false;
}

bool IsDigitByte(char C) { return C >= '0' && C <= '9'; }

bool IsHexByte(char C) {
  return IsDigitByte(C) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F');
}

bool IsLengthUnit(std::string_view Unit) {
  for (std::string_view U : {"px", "em", "rem", "ex", "ch", "vw", "vh", "vmin", "vmax", "cm", "mm",
                             "in", "pt", "pc", "q"})
    if (SameAscii(Unit, U)) return true;
  return false;
}

// The shortest spelling of the number token T with the same value and
// unit: no leading zeros before the point, no trailing zeros after it, and
// a zero length without its unit when ZeroLength allows it. A number with
// an exponent stays as written.
std::string ShortNumber(std::string_view T, bool ZeroLength) {
  size_t I = 0;
  const std::string_view Sign = T.substr(0, (!T.empty() && (T[0] == '+' || T[0] == '-')) ? 1 : 0);
  I = Sign.size();
  const size_t IntBegin = I;
  while (I < T.size() && IsDigitByte(T[I])) ++I;
  std::string_view Int = T.substr(IntBegin, I - IntBegin);
  std::string_view Frac;
  if (I + 1 < T.size() && T[I] == '.' && IsDigitByte(T[I + 1])) {
    const size_t FracBegin = ++I;
    while (I < T.size() && IsDigitByte(T[I])) ++I;
    Frac = T.substr(FracBegin, I - FracBegin);
  }
  if (Int.empty() && Frac.empty()) return std::string(T);
  const std::string_view Unit = T.substr(I);
  if (!Unit.empty() && (Unit[0] == 'e' || Unit[0] == 'E') &&
      (Unit.size() > 1 && (IsDigitByte(Unit[1]) || Unit[1] == '+' || Unit[1] == '-')))
    return std::string(T);
  while (!Int.empty() && Int[0] == '0') Int.remove_prefix(1);
  while (!Frac.empty() && Frac.back() == '0') Frac.remove_suffix(1);
  if (Int.empty() && Frac.empty()) {
    if (ZeroLength && IsLengthUnit(Unit)) return "0";
    return std::string(Sign) + "0" + std::string(Unit);
  }
  std::string R(Sign);
  R += Int;
  if (!Frac.empty()) (R += '.') += Frac;
  R += Unit;
  return R;
}

// Whether Content, the inside of a quoted url() string, reads the same
// without its quotes: no blank, quote, parenthesis, backslash or control
// byte (multi-byte characters are stepped over whole).
bool FitsUnquotedUrl(std::string_view Content, TCodePage Page) {
  if (Content.empty()) return false;
  for (size_t I = 0; I < Content.size(); I = NextChar(Page, Content, I)) {
    const unsigned char C = static_cast<unsigned char>(Content[I]);
    if (C >= 0x80) continue;
    if (C <= 0x20 || C == 0x7F || C == '"' || C == '\'' || C == '(' || C == ')' || C == '\\')
      return false;
  }
  return true;
}

// Whether Content, the inside of a quoted attribute-selector value, is an
// identifier, so the quotes can go.
bool IsPlainIdent(std::string_view Content, TCodePage Page) {
  auto Start = [](char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_' ||
           static_cast<unsigned char>(C) >= 0x80;
  };
  if (Content.empty()) return false;
  size_t I = Content[0] == '-' ? 1 : 0;
  if (I >= Content.size() || !Start(Content[I])) return false;
  for (; I < Content.size(); I = NextChar(Page, Content, I)) {
    const char C = Content[I];
    if (!Start(C) && !IsDigitByte(C) && C != '-') return false;
  }
  return true;
}

class TCssMinifier {
 public:
  TCssMinifier(std::string_view Text, const std::vector<TCssToken>& Tokens, TCodePage APage,
               TMinifyLevel Level)
      : S(Text), Tok(Tokens), Page(APage), Rewrite(Level != TMinifyLevel::Spaces) {}

  std::string Run() {
    Out.reserve(S.size());
    Blocks.push_back(TBlock::Rules);
    const size_t Count = Tok.size();
    size_t K = 0;
    while (K < Count) {
      if (CustomValueAt == K) {
        K = CopyCustomValue(K);
        continue;
      }
      if (!IsSignificant(Tok[K].Type)) {
        K = Gap(K);
        continue;
      }
      if (AtItemStart && (Tok[K].Type == T::Cdo || Tok[K].Type == T::Cdc)) {
        Emit(K);  // HTML comment marks around a sheet belong to no rule
        AtItemStart = true;
        ++K;
        continue;
      }
      if (AtItemStart) StartItem(K);
      if (Rewrite) {
        const size_t Next = Shorten(K);
        if (Next != K) {
          K = Next;
          continue;
        }
      }
      Emit(K);
      ++K;
    }
    Flush();
    return std::move(Out);
  }

 private:
  // A block being written: where its rule starts in Out, where its "{"
  // stands, and what came before the rule, so an empty rule can be taken
  // back whole.
  struct TOpenBlock {
    size_t RuleOut;
    size_t BraceOut;
    size_t PrevBefore;
    bool KeptBefore;
    bool Removable;  // nothing is lost when the rule is empty and goes
    bool Keyframes;  // the block of @keyframes: its rules stay
  };

  std::string_view S;
  const std::vector<TCssToken>& Tok;
  TCodePage Page;
  bool Rewrite;  // the level allows shorter spellings
  std::string Out;
  std::vector<TOpenBlock> Frames;
  size_t ItemOut = 0;          // where the current item starts in Out
  size_t ItemPrev = SIZE_MAX;  // Prev when it started
  bool ItemKept = false;       // KeptSincePrev when it started
  std::string_view Property;   // name of the current declaration
  // Input bytes still to be appended to Out: tokens that follow one another
  // in the input are copied in one go.
  size_t PendBegin = 0, PendEnd = 0;
  std::vector<TBlock> Blocks;
  std::vector<T> Open;  // open parentheses and brackets of the item
  TItem Item = TItem::Selector;
  bool AtItemStart = true;
  std::string_view AtName;      // of the current at-rule item
  size_t DeclColon = SIZE_MAX;  // token index of the declaration's ":"
  size_t CustomValueAt = SIZE_MAX;
  size_t Prev = SIZE_MAX;              // last significant token emitted
  size_t LastSemicolonOut = SIZE_MAX;  // where Prev, a ";", stands in Out
  bool KeptSincePrev = false;

  void Put(size_t Begin, size_t End) {
    if (Begin != PendEnd) {
      Flush();
      PendBegin = Begin;
    }
    PendEnd = End;
  }

  void Flush() {
    Out.append(S.substr(PendBegin, PendEnd - PendBegin));
    PendBegin = PendEnd;
  }

  size_t OutSize() const { return Out.size() + (PendEnd - PendBegin); }

  void DropLastByte() {
    if (PendEnd > PendBegin)
      --PendEnd;
    else
      Out.pop_back();
  }

  std::string_view Text(size_t K) const {
    return S.substr(Tok[K].Begin, Tok[K].End - Tok[K].Begin);
  }

  size_t NextSignificant(size_t K) const {
    while (K < Tok.size() && !IsSignificant(Tok[K].Type)) ++K;
    return K;
  }

  // Decides what the item starting at token K is.
  void StartItem(size_t K) {
    AtItemStart = false;
    ItemOut = OutSize();
    ItemPrev = Prev;
    ItemKept = KeptSincePrev;
    Property = {};
    Open.clear();
    DeclColon = SIZE_MAX;
    if (Tok[K].Type == T::AtKeyword) {
      Item = TItem::AtPrelude;
      AtName = Text(K).substr(1);
      return;
    }
    if (Blocks.back() == TBlock::Rules) {
      Item = TItem::Selector;
      return;
    }
    // In a declaration block: a declaration unless a "{" comes before the
    // item ends (a nested rule). A custom property may hold braces.
    const size_t After = NextSignificant(K + 1);
    if (Tok[K].Type == T::Ident && Text(K).substr(0, 2) == "--" && After < Tok.size() &&
        Tok[After].Type == T::Colon) {
      Item = TItem::DeclName;
      return;
    }
    int Depth = 0;
    for (size_t J = K; J < Tok.size(); ++J) {
      const T Type = Tok[J].Type;
      if (Type == T::LParen || Type == T::Function || Type == T::LBracket) {
        ++Depth;
      } else if ((Type == T::RParen || Type == T::RBracket) && Depth > 0) {
        --Depth;
      } else if (Type == T::LBrace) {
        Item = TItem::Selector;
        return;
      } else if (Type == T::RBrace || (Type == T::Semicolon && Depth == 0)) {
        break;
      }
    }
    Item = TItem::DeclName;
  }

  // Copies a custom property's value byte for byte, up to the ";" or "}"
  // that ends it; returns the index of that token.
  size_t CopyCustomValue(size_t K) {
    int Depth = 0;
    size_t J = K;
    for (; J < Tok.size(); ++J) {
      const T Type = Tok[J].Type;
      if (Type == T::LParen || Type == T::Function || Type == T::LBracket || Type == T::LBrace) {
        ++Depth;
      } else if (Type == T::RParen || Type == T::RBracket || Type == T::RBrace) {
        if (Depth == 0) break;
        --Depth;
      } else if (Type == T::Semicolon && Depth == 0) {
        break;
      }
    }
    if (J > K) {
      Put(Tok[K].Begin, Tok[J - 1].End);
      for (size_t L = J; L-- > K;)
        if (IsSignificant(Tok[L].Type)) {
          Prev = L;
          break;
        }
      KeptSincePrev = false;
    }
    CustomValueAt = SIZE_MAX;
    return J;
  }

  bool InPlainParen() const { return !Open.empty() && Open.back() == T::LParen; }

  // Whether white space between significant tokens P and N can go.
  bool CanDrop(size_t P, size_t N) const {
    if (P == SIZE_MAX || N >= Tok.size()) return true;
    const T A = Tok[P].Type, B = Tok[N].Type;
    auto Punct = [](T X) { return X == T::LBrace || X == T::RBrace || X == T::Semicolon; };
    if (Punct(A) || Punct(B)) return true;
    if (A == T::Cdo || A == T::Cdc || B == T::Cdo) return true;
    if (Item == TItem::FilterValue) return P == DeclColon;
    if (A == T::Comma || B == T::Comma) return true;
    if (A == T::LParen || A == T::Function || A == T::LBracket) return true;
    if (B == T::RParen || B == T::RBracket) return true;
    auto IsDelim = [&](size_t K, std::string_view Chars) {
      return Tok[K].Type == T::Delim && Tok[K].End - Tok[K].Begin == 1 &&
             Chars.find(S[Tok[K].Begin]) != std::string_view::npos;
    };
    switch (Item) {
      case TItem::DeclName:
        return B == T::Colon;
      case TItem::DeclValue:
        if (P == DeclColon || IsDelim(N, "!") || IsDelim(P, "!")) return true;
        // "12px / 1.5", "calc(2 * 3px)": a blank around "/" or "*" separates
        // nothing ("+" and "-" in calc() need theirs). "/" before "*" would
        // open a comment; expression() holds a script.
        if (!Rewrite || InFunction(P, "expression(")) return false;
        // "url(a.png) no-repeat": a ")" ends its token whatever follows, but
        // a sign after it may be calc()'s operator or a number's own.
        if ((A == T::RParen || A == T::Url) && B != T::Delim &&
            !(B == T::Number && (S[Tok[N].Begin] == '+' || S[Tok[N].Begin] == '-')))
          return true;
        return (IsDelim(P, "*/") || IsDelim(N, "*/")) &&
               !(IsDelim(P, "/") && S[Tok[N].Begin] == '*');
      case TItem::Selector:
        if (Rewrite && !Open.empty() && NthSign(P, N)) return true;
        return Open.empty() && (IsDelim(P, ">+~") || IsDelim(N, ">+~"));
      case TItem::AtPrelude:
        return InPlainParen() &&
               (A == T::Colon || B == T::Colon || IsDelim(P, "<>=") || IsDelim(N, "<>="));
      default:
        return false;
    }
  }

  // Whether token K stands inside a function Name (with its "(", lower
  // case) opened since the current item began.
  bool InFunction(size_t K, std::string_view Name) const {
    int Depth = 0;
    for (size_t J = K + 1; J-- > 0;) {
      const T Type = Tok[J].Type;
      if (Type == T::RParen) {
        ++Depth;
      } else if (Type == T::Function || Type == T::LParen) {
        if (Depth > 0) {
          --Depth;
        } else if (Type == T::Function && SameAscii(Text(J), Name)) {
          return true;
        }
      } else if (Type == T::Semicolon || Type == T::LBrace || Type == T::RBrace) {
        return false;
      }
    }
    return false;
  }

  // An+B with a digit after n ("2n", "-n", "n") as written in :nth-child().
  bool IsNthStep(size_t K) const {
    if (Tok[K].Type != T::Number && Tok[K].Type != T::Ident) return false;
    const std::string_view X = Text(K);
    return !X.empty() && (X.back() == 'n' || X.back() == 'N');
  }

  bool IsPlainDigits(size_t K) const {
    if (K >= Tok.size() || Tok[K].Type != T::Number) return false;
    for (char C : Text(K))
      if (!IsDigitByte(C)) return false;
    return true;
  }

  // Whether the blank between P and N is one of those around the sign of
  // "2n + 1" in an :nth-*() selector, where "2n+1" reads the same.
  bool NthSign(size_t P, size_t N) const {
    auto Sign = [&](size_t K) {
      return Tok[K].Type == T::Delim && Tok[K].End - Tok[K].Begin == 1 &&
             (S[Tok[K].Begin] == '+' || S[Tok[K].Begin] == '-');
    };
    bool Fits = false;
    if (IsNthStep(P) && Sign(N)) {
      Fits = IsPlainDigits(NextSignificant(N + 1));
    } else if (Sign(P) && IsPlainDigits(N)) {
      size_t Before = P;
      while (Before-- > 0 && !IsSignificant(Tok[Before].Type)) {
      }
      Fits = Before != SIZE_MAX && IsNthStep(Before);
    }
    return Fits && (InFunction(P, "nth-child(") || InFunction(P, "nth-last-child(") ||
                    InFunction(P, "nth-of-type(") || InFunction(P, "nth-last-of-type("));
  }

  // White space and comments from token K on: comments go (but /*! */),
  // the white space goes or becomes one blank. Returns the next index.
  size_t Gap(size_t K) {
    Flush();
    const size_t N = NextSignificant(K);
    const bool Drop = CanDrop(Prev, N);
    bool Spaced = false, SawSpace = false, Removed = false;
    for (size_t J = K; J < N; ++J) {
      switch (Tok[J].Type) {
        case T::Space:
          SawSpace = true;
          if (!Drop && !Spaced) {
            Out += ' ';
            Spaced = true;
          }
          break;
        case T::KeptComment:
          Out.append(Text(J));
          KeptSincePrev = true;
          break;
        default:
          Removed = true;
          break;
      }
    }
    if (Removed && !SawSpace && Prev != SIZE_MAX && N < Tok.size() &&
        WouldJoin(Out.back(), S[Tok[N].Begin]))
      Out += ' ';
    return N;
  }

  void Emit(size_t K) {
    const T Type = Tok[K].Type;
    switch (Type) {
      case T::LParen:
      case T::Function:
      case T::LBracket:
        Open.push_back(Type);
        break;
      case T::RParen:
      case T::RBracket:
        if (!Open.empty()) Open.pop_back();
        break;
      case T::Colon:
        if (Item == TItem::DeclName && Open.empty()) {
          DeclColon = K;
          Item = ValueKind(K);
        }
        break;
      case T::Semicolon:
        if (Open.empty()) {
          AtItemStart = true;
          LastSemicolonOut = OutSize();
        }
        break;
      case T::LBrace:
        Blocks.push_back((Item == TItem::AtPrelude && HoldsRules(AtName)) ? TBlock::Rules
                                                                          : TBlock::Declarations);
        Frames.push_back(OpenBlock());
        AtItemStart = true;
        break;
      case T::RBrace:
        if (Blocks.size() > 1) {
          // The last ";" of a block is not needed.
          if (Prev != SIZE_MAX && Tok[Prev].Type == T::Semicolon && !KeptSincePrev &&
              LastSemicolonOut == OutSize() - 1)
            DropLastByte();
          Blocks.pop_back();
          const TOpenBlock F = Frames.back();
          Frames.pop_back();
          AtItemStart = true;
          if (F.Removable && OutSize() == F.BraceOut + 1) {
            Flush();
            Out.resize(F.RuleOut);
            Prev = F.PrevBefore;
            KeptSincePrev = F.KeptBefore;
            return;
          }
        }
        AtItemStart = true;
        break;
      default:
        break;
    }
    Put(Tok[K].Begin, Tok[K].End);
    Prev = K;
    KeptSincePrev = false;
  }

  TOpenBlock OpenBlock() const {
    const bool InKeyframes = !Frames.empty() && Frames.back().Keyframes;
    std::string_view Name = AtName;
    if (!Name.empty() && Name[0] == '-') {
      const size_t Dash = Name.find('-', 1);
      if (Dash != std::string_view::npos) Name.remove_prefix(Dash + 1);
    }
    bool Removable = false, Keyframes = false;
    if (Item == TItem::AtPrelude) {
      Keyframes = SameAscii(Name, "keyframes");
      Removable = SameAscii(Name, "media") || SameAscii(Name, "supports");
    } else {
      Removable = !InKeyframes;
    }
    return {ItemOut, OutSize(), ItemPrev, ItemKept, Rewrite && Removable, Keyframes};
  }

  // Writes Bytes in place of the tokens [K, End) and makes Last the last
  // significant token written.
  size_t PutOwn(std::string_view Bytes, size_t End, size_t Last) {
    Flush();
    Out.append(Bytes);
    PendBegin = PendEnd = Tok[End - 1].End;
    Prev = Last;
    KeptSincePrev = false;
    return End;
  }

  // Index of the next token after K when it is significant, skipping white
  // space (not comments); Tok.size() otherwise.
  size_t NextAfterSpace(size_t K) const {
    ++K;
    if (K < Tok.size() && Tok[K].Type == T::Space) ++K;
    return K < Tok.size() && IsSignificant(Tok[K].Type) ? K : Tok.size();
  }

  bool IsFunction(size_t K, std::string_view Name) const {
    return Tok[K].Type == T::Function && SameAscii(Text(K), Name);
  }

  // A shorter spelling of the value that starts at token K, written in its
  // place; returns the index after what it replaced, or K when the tokens
  // stay as written.
  size_t Shorten(size_t K) {
    const T Type = Tok[K].Type;
    if (Item == TItem::Selector) {
      // [lang="zh"] -> [lang=zh]; a flag after it needs its blank.
      if (Type != T::String || Open.empty() || Open.back() != T::LBracket || Prev == SIZE_MAX ||
          Text(Prev) != "=" || K + 1 >= Tok.size() ||
          (Tok[K + 1].Type != T::RBracket && Tok[K + 1].Type != T::Space))
        return K;
      const std::string_view Content = Text(K).substr(1, Text(K).size() - 2);
      return IsPlainIdent(Content, Page) ? PutOwn(Content, K + 1, K) : K;
    }
    if (Item != TItem::DeclValue && Item != TItem::AtPrelude) return K;
    if (IsFunction(K, "url(")) {
      const size_t Str = NextAfterSpace(K);
      if (Str >= Tok.size() || Tok[Str].Type != T::String) return K;
      const size_t Close = NextAfterSpace(Str);
      if (Close >= Tok.size() || Tok[Close].Type != T::RParen) return K;
      const std::string_view Content = Text(Str).substr(1, Text(Str).size() - 2);
      if (Text(Str).size() < 2 || !FitsUnquotedUrl(Content, Page)) return K;
      return PutOwn(std::string(Text(K)) + std::string(Content) + ")", Close + 1, Close);
    }
    if (Item != TItem::DeclValue || SameAscii(Property, "unicode-range")) return K;
    if (Type == T::Number) {
      // A unitless 0 in flex is a flex factor, in calc() and the like no
      // length at all.
      std::string Name(Property);
      for (char& C : Name) C = LoCaseAscii(C);
      const bool ZeroLength = Open.empty() && Name.find("flex") == std::string::npos;
      const std::string Short = ShortNumber(Text(K), ZeroLength);
      return Short.size() < Text(K).size() ? PutOwn(Short, K + 1, K) : K;
    }
    if (Type == T::Hash) {
      std::string Short = ShortColour(Text(K));
      if (HoldsColours(Property))
        if (const char* Name = NameOfColour(Short)) Short = Name;
      return Short.size() < Text(K).size() ? PutOwn(Short, K + 1, K) : K;
    }
    if (Type == T::Ident) {
      const char* Short = ShortKeyword(K);
      return Short ? PutOwn(Short, K + 1, K) : K;
    }
    if (IsFunction(K, "rgb(")) return RgbToHex(K);
    return K;
  }

  // The shorter spelling of the keyword at K, or null: a colour name in a
  // property that holds only colours and keywords, bold and normal as a
  // whole font-weight, bold among the keywords that open a font shorthand.
  const char* ShortKeyword(size_t K) const {
    const std::string_view Word = Text(K);
    if (HoldsColours(Property)) {
      static const struct {
        const char* Name;
        const char* Hex;
      } Longer[] = {{"white", "#fff"},
                    {"black", "#000"},
                    {"yellow", "#ff0"},
                    {"fuchsia", "#f0f"},
                    {"magenta", "#f0f"}};
      for (const auto& C : Longer)
        if (SameAscii(Word, C.Name)) return C.Hex;
      return nullptr;
    }
    if (SameAscii(Property, "font") && SameAscii(Word, "bold") && Open.empty() &&
        DeclColon != SIZE_MAX) {
      // Before the size only a weight is spelt "bold"; after it, a family.
      for (size_t J = DeclColon + 1; J < K; ++J)
        if (IsSignificant(Tok[J].Type) && Tok[J].Type != T::Ident) return nullptr;
      return "700";
    }
    if (!SameAscii(Property, "font-weight") || Prev != DeclColon) return nullptr;
    const size_t After = NextSignificant(K + 1);
    if (After < Tok.size() && Tok[After].Type != T::Semicolon && Tok[After].Type != T::RBrace &&
        !(Tok[After].Type == T::Delim && S[Tok[After].Begin] == '!'))
      return nullptr;
    if (SameAscii(Word, "bold")) return "700";
    if (SameAscii(Word, "normal")) return "400";
    return nullptr;
  }

  // Properties whose values hold colours beside keywords, lengths, images
  // and functions, but no name of the author's (a font, an animation).
  static bool HoldsColours(std::string_view Property) {
    static const std::string_view Names[] = {"color",
                                             "background",
                                             "background-color",
                                             "background-image",
                                             "border",
                                             "border-top",
                                             "border-right",
                                             "border-bottom",
                                             "border-left",
                                             "border-color",
                                             "border-top-color",
                                             "border-right-color",
                                             "border-bottom-color",
                                             "border-left-color",
                                             "outline",
                                             "outline-color",
                                             "box-shadow",
                                             "text-shadow",
                                             "fill",
                                             "stroke",
                                             "column-rule",
                                             "column-rule-color",
                                             "text-decoration-color",
                                             "caret-color",
                                             "stop-color",
                                             "flood-color",
                                             "lighting-color"};
    for (std::string_view N : Names)
      if (SameAscii(Property, N)) return true;
    return false;
  }

  // The colour name shorter than the hex colour Hex (as ShortColour
  // writes it), or null.
  static const char* NameOfColour(std::string_view Hex) {
    static const struct {
      const char* Hex;
      const char* Name;
    } Names[] = {
        {"#f00", "red"},       {"#808080", "gray"},   {"#008000", "green"},  {"#800000", "maroon"},
        {"#000080", "navy"},   {"#808000", "olive"},  {"#800080", "purple"}, {"#008080", "teal"},
        {"#c0c0c0", "silver"}, {"#ffa500", "orange"}, {"#ff7f50", "coral"},  {"#ffd700", "gold"},
        {"#4b0082", "indigo"}, {"#fffff0", "ivory"},  {"#f0e68c", "khaki"},  {"#faf0e6", "linen"},
        {"#da70d6", "orchid"}, {"#cd853f", "peru"},   {"#ffc0cb", "pink"},   {"#dda0dd", "plum"},
        {"#fa8072", "salmon"}, {"#a0522d", "sienna"}, {"#fffafa", "snow"},   {"#d2b48c", "tan"},
        {"#ff6347", "tomato"}, {"#ee82ee", "violet"}, {"#f5deb3", "wheat"},  {"#f0ffff", "azure"},
        {"#f5f5dc", "beige"},  {"#ffe4c4", "bisque"}, {"#a52a2a", "brown"},
    };
    for (const auto& C : Names)
      if (SameAscii(Hex, C.Hex)) return C.Name;
    return nullptr;
  }

  // #aabbcc -> #abc; any other hash as it stands.
  static std::string ShortColour(std::string_view H) {
    if (H.size() != 7) return std::string(H);
    for (size_t I = 1; I < 7; ++I)
      if (!IsHexByte(H[I])) return std::string(H);
    if (H[1] != H[2] || H[3] != H[4] || H[5] != H[6]) return std::string(H);
    return {'#', H[1], H[3], H[5]};
  }

  // rgb(R,G,B) of three integers 0..255 -> the hex colour.
  size_t RgbToHex(size_t K) {
    static const char Hex[] = "0123456789abcdef";
    std::string Colour = "#";
    size_t J = K;
    for (int Part = 0; Part < 3; ++Part) {
      J = NextAfterSpace(J);
      if (J >= Tok.size() || Tok[J].Type != T::Number) return K;
      // Spelt as a safe sheet spells it (1.0 is 1), so a second run
      // changes nothing.
      const std::string N = ShortNumber(Text(J), false);
      if (N.empty() || N.size() > 3) return K;
      int V = 0;
      for (char C : N) {
        if (!IsDigitByte(C)) return K;
        V = V * 10 + (C - '0');
      }
      if (V > 255) return K;
      Colour += Hex[V / 16];
      Colour += Hex[V % 16];
      J = NextAfterSpace(J);
      if (J >= Tok.size() || Tok[J].Type != (Part < 2 ? T::Comma : T::RParen)) return K;
    }
    std::string Short = ShortColour(Colour);
    if (HoldsColours(Property))
      if (const char* Name = NameOfColour(Short)) Short = Name;
    return PutOwn(Short, J + 1, J);
  }

  // The kind of value after the declaration colon at K; a custom property's
  // value is copied as it stands.
  TItem ValueKind(size_t K) {
    size_t Name = SIZE_MAX;
    for (size_t J = K; J-- > 0;) {
      if (Tok[J].Type == T::Ident) {
        Name = J;
        break;
      }
      if (IsSignificant(Tok[J].Type)) break;
    }
    if (Name == SIZE_MAX) return TItem::DeclValue;
    std::string_view N = Text(Name);
    Property = N;
    if (N.substr(0, 2) == "--") {
      CustomValueAt = K + 1;
      return TItem::DeclValue;
    }
    if (!N.empty() && N[0] == '_') N.remove_prefix(1);
    if (SameAscii(N, "filter") || SameAscii(N, "-ms-filter")) return TItem::FilterValue;
    return TItem::DeclValue;
  }
};

}  // namespace

TMinifyResult MinifyCss(std::string_view Text, TCodePage Page, const TMinifyOptions& Options) {
  TMinifyResult R;
  std::vector<TCssToken> Tokens;
  if (!TokenizeCss(Text, Page, Tokens, R.Error, R.Offset)) {
    SetPosition(R, Text);
    return R;
  }
  TCssMinifier M(Text, Tokens, Page, Options.Level);
  R.Output = M.Run();
  if (Options.Level == TMinifyLevel::Smallest) R.Output = MergeCssRules(R.Output, Page);
  R.Ok = true;
  return R;
}

}  // namespace larkspan::minify
