// Style sheets: comments and white space go where the grammar lets them go,
// every other byte stays as written (numbers, units, strings, url(), custom
// property values, hacks). White space is kept, as one blank, wherever the
// tokens around it could mean something else without it.
#include <vector>

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

class TCssMinifier {
 public:
  TCssMinifier(std::string_view Text, const std::vector<TCssToken>& Tokens)
      : S(Text), Tok(Tokens) {}

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
      Emit(K);
      ++K;
    }
    Flush();
    return std::move(Out);
  }

 private:
  std::string_view S;
  const std::vector<TCssToken>& Tok;
  std::string Out;
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
        return P == DeclColon || IsDelim(N, "!") || IsDelim(P, "!");
      case TItem::Selector:
        return Open.empty() && (IsDelim(P, ">+~") || IsDelim(N, ">+~"));
      case TItem::AtPrelude:
        return InPlainParen() &&
               (A == T::Colon || B == T::Colon || IsDelim(P, "<>=") || IsDelim(N, "<>="));
      default:
        return false;
    }
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
        AtItemStart = true;
        break;
      case T::RBrace:
        if (Blocks.size() > 1) {
          // The last ";" of a block is not needed.
          if (Prev != SIZE_MAX && Tok[Prev].Type == T::Semicolon && !KeptSincePrev &&
              LastSemicolonOut == OutSize() - 1)
            DropLastByte();
          Blocks.pop_back();
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

TMinifyResult MinifyCss(std::string_view Text, TCodePage Page, const TMinifyOptions&) {
  TMinifyResult R;
  std::vector<TCssToken> Tokens;
  if (!TokenizeCss(Text, Page, Tokens, R.Error, R.Offset)) {
    SetPosition(R, Text);
    return R;
  }
  TCssMinifier M(Text, Tokens);
  R.Output = M.Run();
  R.Ok = true;
  return R;
}

}  // namespace larkspan::minify
