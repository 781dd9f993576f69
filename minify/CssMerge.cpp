#include "minify/CssMerge.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "minify/CssTokens.h"
#include "platform/Text.h"

namespace larkspan::minify {

namespace {

using T = TCssTok;

std::string Lower(std::string_view S) {
  std::string L(S);
  for (char& C : L) C = LoCaseAscii(C);
  return L;
}

// Whether Word is one of the blank-separated words of List (which starts
// and ends with a blank).
bool InList(std::string_view Word, std::string_view List) {
  if (Word.empty()) return false;
  for (size_t I = List.find(Word); I != std::string_view::npos; I = List.find(Word, I + 1))
    if (List[I - 1] == ' ' && I + Word.size() < List.size() && List[I + Word.size()] == ' ')
      return true;
  return false;
}

bool SameNoCase(std::string_view A, std::string_view LowerB) {
  if (A.size() != LowerB.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (LoCaseAscii(A[I]) != LowerB[I]) return false;
  return true;
}

bool HasUpper(std::string_view S) {
  for (char C : S)
    if (C >= 'A' && C <= 'Z') return true;
  return false;
}

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

bool IsHex(char C) { return IsDigit(C) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }

// "0", or a number with a unit every browser knows ("12px", "1.5em", "50%").
bool IsPlainLength(std::string_view V, bool Negative) {
  if (V == "0") return true;
  size_t I = 0;
  if (Negative && !V.empty() && V[0] == '-') ++I;
  const size_t Digits = I;
  bool Point = false;
  while (I < V.size() && (IsDigit(V[I]) || (V[I] == '.' && !Point))) Point |= V[I++] == '.';
  if (I == Digits || V[I - 1] == '.') return false;
  return InList(V.substr(I), " px em ex % pt pc in cm mm ");
}

// Whether every browser takes Value for Property, so an earlier declaration
// of it can be no fallback.
bool TakenByEveryBrowser(std::string_view Property, std::string_view Value) {
  if (InList(Property,
             " color background-color border-top-color border-right-color border-bottom-color "
             "border-left-color outline-color ")) {
    if (Value.size() != 4 && Value.size() != 7) return false;
    if (Value[0] != '#') return false;
    for (size_t I = 1; I < Value.size(); ++I)
      if (!IsHex(Value[I])) return false;
    return true;
  }
  const bool Auto = InList(Property,
                           " width height top right bottom left margin-top margin-right "
                           "margin-bottom margin-left ");
  const bool Negative = InList(Property,
                               " top right bottom left margin-top margin-right margin-bottom "
                               "margin-left text-indent ");
  if (!Auto && !Negative &&
      !InList(Property,
              " min-width min-height max-width max-height padding-top padding-right "
              "padding-bottom padding-left font-size "))
    return false;
  return (Auto && Value == "auto") || IsPlainLength(Value, Negative);
}

// Texts the rewrites make (a shorthand, merged selectors), kept where the
// views of TDecl and TItem may point at them until the sheet is written.
using TArena = std::deque<std::string>;

// One declaration, as views of the sheet (or of an arena's text).
struct TDecl {
  std::string_view Text;
  std::string_view Name;   // "" when it does not start "name:" in lower case (a hack)
  std::string_view Value;  // without !important
  bool Important = false;
  bool Dropped = false;
};

// Declarations the cascade gives the same result without go; four sides
// become the shorthand.
class TDeclarations {
 public:
  TDeclarations(std::vector<TDecl>& ADecls, TArena& AMade) : Decls(ADecls), Made(AMade) {}

  void Normalize() {
    for (size_t I = 0; I < Decls.size(); ++I) {
      for (size_t J = I + 1; J < Decls.size() && !Decls[I].Dropped; ++J)
        Decls[I].Dropped = Overrides(Decls[J], Decls[I]);
    }
    Shorthand("margin", true);
    Shorthand("padding", false);
    Decls.erase(
        std::remove_if(Decls.begin(), Decls.end(), [](const TDecl& D) { return D.Dropped; }),
        Decls.end());
  }

 private:
  std::vector<TDecl>& Decls;
  TArena& Made;

  static bool Overrides(const TDecl& Later, const TDecl& Earlier) {
    if (Later.Text == Earlier.Text) return true;
    if (Earlier.Name.empty() || Earlier.Name != Later.Name || Earlier.Name[0] == '-') return false;
    if (Earlier.Important && !Later.Important) return false;
    return TakenByEveryBrowser(Later.Name, Later.Value);
  }

  void Shorthand(std::string_view Prefix, bool Margin) {
    static const char* const Sides[] = {"-top", "-right", "-bottom", "-left"};
    // Most rules have no side of it: look no further for them.
    size_t Named = 0;
    for (const TDecl& D : Decls) Named += D.Name.substr(0, Prefix.size()) == Prefix;
    if (Named < 4) return;
    size_t At[4];
    int Found[4] = {0, 0, 0, 0};
    for (size_t I = 0; I < Decls.size(); ++I) {
      const TDecl& D = Decls[I];
      if (D.Dropped) continue;
      bool Side = false;
      for (int S = 0; S < 4; ++S) {
        if (D.Name.size() > Prefix.size() && D.Name.substr(0, Prefix.size()) == Prefix &&
            D.Name.substr(Prefix.size()) == Sides[S]) {
          At[S] = I;
          ++Found[S];
          Side = true;
        }
      }
      // Any other declaration that may set these sides (the shorthand, the
      // logical sides, a hack) keeps them as they are.
      if (!Side && Lower(D.Text).find(Prefix) != std::string::npos) return;
    }
    size_t Last = 0;
    for (int S = 0; S < 4; ++S) {
      if (Found[S] != 1) return;
      const TDecl& D = Decls[At[S]];
      if (D.Important != Decls[At[0]].Important) return;
      if (!IsPlainLength(D.Value, Margin) && !(Margin && D.Value == "auto")) return;
      if (At[S] > Last) Last = At[S];
    }
    const std::string_view Top = Decls[At[0]].Value, Right = Decls[At[1]].Value,
                           Bottom = Decls[At[2]].Value, Left = Decls[At[3]].Value;
    const int Count = Left != Right ? 4 : Bottom != Top ? 3 : Right != Top ? 2 : 1;
    const std::string_view Values[] = {Top, Right, Bottom, Left};
    std::string& Text = Made.emplace_back(Prefix);
    Text += ':';
    for (int I = 0; I < Count; ++I) (Text += I ? " " : "") += Values[I];
    TDecl Short;
    Short.Name = std::string_view(Text).substr(0, Prefix.size());
    Short.Value = std::string_view(Text).substr(Prefix.size() + 1);
    Short.Important = Decls[At[0]].Important;
    if (Short.Important) Text += "!important";
    Short.Text = Text;
    for (int S = 0; S < 4; ++S) Decls[At[S]].Dropped = true;
    Decls[Last] = Short;
  }
};

// One item of a list of rules: a style rule that may be rewritten, or text
// that stays as it is.
struct TItem {
  bool Style = false;
  bool PlainSelectors = false;
  std::string_view Text;  // the selector list of a style rule, else the item's bytes
  std::vector<TDecl> Decls;
};

bool SameDeclarations(const std::vector<TDecl>& A, const std::vector<TDecl>& B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (A[I].Text != B[I].Text) return false;
  return true;
}

class TMerger {
 public:
  TMerger(std::string_view AText, const std::vector<TCssToken>& ATok) : S(AText), Tok(ATok) {}

  // The rewritten text of the rules in tokens [Begin, End).
  std::string List(size_t Begin, size_t End) {
    std::vector<TItem> Items;
    size_t K = Begin;
    while (K < End) {
      const T Type = Tok[K].Type;
      size_t J = K;
      while (J < End && Tok[J].Type != T::LBrace && Tok[J].Type != T::Semicolon &&
             Tok[J].Type != T::RBrace)
        ++J;
      if (J >= End || Tok[J].Type != T::LBrace) {  // a statement, or bytes of no rule
        J = J < End ? J + 1 : End;
        Push(Items, Raw(Bytes(K, J)));
        K = J;
        continue;
      }
      const size_t Close = MatchingBrace(J, End);
      if (Close >= End) {
        Push(Items, Raw(Bytes(K, End)));
        break;
      }
      if (Type == T::AtKeyword) {
        std::string_view Name = Text(K).substr(1);
        if (SameNoCase(Name, "media") || SameNoCase(Name, "supports")) {
          std::string& Block = Made.emplace_back(Bytes(K, J + 1));
          Block += List(J + 1, Close);
          Block += '}';
          Push(Items, Raw(Block));
        } else {
          Push(Items, Raw(Bytes(K, Close + 1)));
        }
      } else {
        Push(Items, Rule(K, J, Close));
      }
      K = Close + 1;
    }
    std::string Out;
    if (Begin < End) Out.reserve(Tok[End - 1].End - Tok[Begin].Begin);
    for (const TItem& I : Items) {
      Out += I.Text;
      if (!I.Style) continue;
      Out += '{';
      for (size_t D = 0; D < I.Decls.size(); ++D) (Out += D ? ";" : "") += I.Decls[D].Text;
      Out += '}';
    }
    return Out;
  }

 private:
  std::string_view S;
  const std::vector<TCssToken>& Tok;
  TArena Made;

  std::string_view Text(size_t K) const {
    return S.substr(Tok[K].Begin, Tok[K].End - Tok[K].Begin);
  }
  std::string_view Bytes(size_t From, size_t To) const {
    if (From >= To) return {};
    return S.substr(Tok[From].Begin, Tok[To - 1].End - Tok[From].Begin);
  }

  static TItem Raw(std::string_view Bytes) {
    TItem I;
    I.Text = Bytes;
    return I;
  }

  size_t MatchingBrace(size_t Open, size_t End) const {
    int Depth = 0;
    for (size_t K = Open; K < End; ++K) {
      if (Tok[K].Type == T::LBrace) ++Depth;
      if (Tok[K].Type == T::RBrace && --Depth == 0) return K;
    }
    return End;
  }

  // Whether the selector list in tokens [Begin, End) is read by every
  // browser alike.
  bool PlainSelectors(size_t Begin, size_t End) const {
    for (size_t K = Begin; K < End; ++K) {
      const std::string_view X = Text(K);
      switch (Tok[K].Type) {
        case T::Ident:
          if (X.find('\\') != std::string_view::npos || X.substr(0, 2) == "--") return false;
          break;
        case T::Hash:
          if (X.size() < 2 || X.find('\\') != std::string_view::npos || IsDigit(X[1]) ||
              X[1] == '-')
            return false;
          break;
        case T::Delim:
          if (X == ".") {
            if (K + 1 >= End || Tok[K + 1].Type != T::Ident) return false;
          } else if (X != "*" && X != ">" && X != "+" && X != "~") {
            return false;
          }
          break;
        case T::Colon:
          if (K + 1 >= End || Tok[K + 1].Type != T::Ident || HasUpper(Text(K + 1)) ||
              !InList(Text(K + 1),
                      " link visited hover active focus first-child first-letter first-line "
                      "before after "))
            return false;
          ++K;
          break;
        case T::Space:
        case T::Comma:
          break;
        default:
          return false;
      }
    }
    return true;
  }

  // The style rule with selectors [Begin, Open) and its block to Close.
  TItem Rule(size_t Begin, size_t Open, size_t Close) {
    for (size_t K = Begin; K < Open; ++K)  // a kept comment is never merged away
      if (Tok[K].Type == T::KeptComment || Tok[K].Type == T::Comment)
        return Raw(Bytes(Begin, Close + 1));
    std::vector<TDecl> Decls;
    Decls.reserve(8);
    int Depth = 0;
    size_t From = Open + 1;
    for (size_t K = Open + 1; K <= Close; ++K) {
      const T Type = Tok[K].Type;
      if (Type == T::LBrace || Type == T::Comment || Type == T::KeptComment || Type == T::Cdo ||
          Type == T::Cdc)
        return Raw(Bytes(Begin, Close + 1));
      if (Type == T::LParen || Type == T::Function || Type == T::LBracket) ++Depth;
      if ((Type == T::RParen || Type == T::RBracket) && Depth > 0) --Depth;
      if ((Type == T::Semicolon && Depth == 0) || K == Close) {
        if (K > From) Decls.push_back(Declaration(From, K));
        From = K + 1;
      }
    }
    if (Decls.empty()) return Raw(Bytes(Begin, Close + 1));
    TItem I;
    I.Style = true;
    I.Text = Bytes(Begin, Open);
    I.PlainSelectors = PlainSelectors(Begin, Open);
    I.Decls = std::move(Decls);
    TDeclarations(I.Decls, Made).Normalize();
    return I;
  }

  TDecl Declaration(size_t Begin, size_t End) const {
    while (Begin < End && Tok[Begin].Type == T::Space) ++Begin;
    while (End > Begin && Tok[End - 1].Type == T::Space) --End;
    TDecl D;
    D.Text = Bytes(Begin, End);
    size_t Colon = Begin + 1;
    while (Colon < End && Tok[Colon].Type == T::Space) ++Colon;
    if (Begin >= End || Tok[Begin].Type != T::Ident || Colon >= End || Tok[Colon].Type != T::Colon)
      return D;
    if (!HasUpper(Text(Begin))) D.Name = Text(Begin);
    size_t ValueEnd = End;
    auto Before = [&](size_t K) {
      while (K > Colon + 1 && Tok[K - 1].Type == T::Space) --K;
      return K;
    };
    const size_t Last = Before(End);
    if (Last > Colon + 2 && Tok[Last - 1].Type == T::Ident &&
        SameNoCase(Text(Last - 1), "important")) {
      const size_t Bang = Before(Last - 1);
      if (Bang > Colon + 1 && Text(Bang - 1) == "!") {
        D.Important = true;
        ValueEnd = Before(Bang - 1);
      }
    }
    size_t ValueBegin = Colon + 1;
    while (ValueBegin < ValueEnd && Tok[ValueBegin].Type == T::Space) ++ValueBegin;
    D.Value = Bytes(ValueBegin, ValueEnd);
    return D;
  }

  // Appends Item and merges it into the rules before it while it can: a
  // merge may make the rule equal to the one before it in turn.
  void Push(std::vector<TItem>& Items, TItem Item) {
    Items.push_back(std::move(Item));
    while (Items.size() >= 2 && Merge(Items[Items.size() - 2], Items.back())) Items.pop_back();
  }

  bool Merge(TItem& A, TItem& B) {
    if (!A.Style || !B.Style) return false;
    if (A.Text == B.Text) {
      A.Decls.insert(A.Decls.end(), B.Decls.begin(), B.Decls.end());
      TDeclarations(A.Decls, Made).Normalize();
      return true;
    }
    if (A.PlainSelectors && B.PlainSelectors && SameDeclarations(A.Decls, B.Decls)) {
      std::string& Both = Made.emplace_back(A.Text);
      (Both += ',') += B.Text;
      A.Text = Both;
      return true;
    }
    return false;
  }
};

}  // namespace

std::string MergeCssRules(std::string_view Sheet, TCodePage Page) {
  std::vector<TCssToken> Tokens;
  std::string Error;
  size_t ErrorOffset = 0;
  if (!TokenizeCss(Sheet, Page, Tokens, Error, ErrorOffset)) return std::string(Sheet);
  return TMerger(Sheet, Tokens).List(0, Tokens.size());
}

}  // namespace larkspan::minify
