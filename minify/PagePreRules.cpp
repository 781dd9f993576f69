#include "minify/PagePreRules.h"

#include "minify/CssTokens.h"
#include "platform/Text.h"

namespace larkspan::minify {

namespace {

bool IsSpace(char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f'; }

std::string LowerCopy(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = LoCaseAscii(C);
  return R;
}

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsSpace(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsSpace(S.back())) S.remove_suffix(1);
  return S;
}

bool IsNameChar(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '-' ||
         C == '_' || (unsigned char)C >= 0x80;
}

// The style sheet without its comments; strings are stepped over so that a
// "/*" inside one is kept.
std::string WithoutComments(std::string_view S) {
  std::string R;
  R.reserve(S.size());
  for (size_t I = 0; I < S.size();) {
    const char C = S[I];
    if (C == '/' && I + 1 < S.size() && S[I + 1] == '*') {
      const size_t E = S.find("*/", I + 2);
      I = E == std::string_view::npos ? S.size() : E + 2;
      R += ' ';
    } else if (C == '"' || C == '\'') {
      size_t J = I + 1;
      while (J < S.size() && S[J] != C && S[J] != '\n') J += S[J] == '\\' ? 2 : 1;
      J = std::min(J + 1, S.size());
      R.append(S.substr(I, J - I));
      I = J;
    } else {
      R += C;
      ++I;
    }
  }
  return R;
}

// Index of the first C at depth 0 (outside strings, (), [] and {}) from I,
// or npos.
size_t FindTop(std::string_view S, size_t I, char Want) {
  int Depth = 0;
  for (; I < S.size(); ++I) {
    const char C = S[I];
    if (Depth == 0 && C == Want) return I;
    if (C == '"' || C == '\'') {
      size_t J = I + 1;
      while (J < S.size() && S[J] != C) J += S[J] == '\\' ? 2 : 1;
      I = J;
    } else if (C == '(' || C == '[' || C == '{') {
      ++Depth;
    } else if ((C == ')' || C == ']' || C == '}') && Depth > 0) {
      --Depth;
    }
  }
  return std::string_view::npos;
}

// Index just past the block whose '{' is at Open (the text's end when it is
// not closed).
size_t BlockEnd(std::string_view S, size_t Open) {
  const size_t Close = FindTop(S, Open + 1, '}');
  return Close == std::string_view::npos ? S.size() : Close + 1;
}

// The attribute selector Inside (the text between "[" and "]") as a test;
// false for one it does not read (a namespace, an unknown operator), which
// the caller leaves out: a test less only widens what is kept.
bool ParseAttrTest(std::string_view Inside, TAttrTest& Test) {
  Inside = Trim(Inside);
  size_t I = 0;
  while (I < Inside.size() && IsNameChar(Inside[I])) ++I;
  if (I == 0) return false;
  Test.Name = LowerCopy(Inside.substr(0, I));
  Test.Op = 0;
  Test.Value.clear();
  while (I < Inside.size() && IsSpace(Inside[I])) ++I;
  if (I == Inside.size()) return true;
  if (Inside[I] != '=') {
    if (std::string_view("~|^$*").find(Inside[I]) == std::string_view::npos ||
        I + 1 >= Inside.size() || Inside[I + 1] != '=')
      return false;  // [ns|name] among others
    Test.Op = Inside[I++];
  } else {
    Test.Op = '=';
  }
  ++I;
  while (I < Inside.size() && IsSpace(Inside[I])) ++I;
  if (I >= Inside.size()) return false;
  size_t ValueEnd;
  if (Inside[I] == '"' || Inside[I] == '\'') {
    ValueEnd = Inside.find(Inside[I], I + 1);
    if (ValueEnd == std::string_view::npos) return false;
    Test.Value = LowerCopy(Inside.substr(I + 1, ValueEnd - I - 1));
    ++ValueEnd;
  } else {
    ValueEnd = I;
    while (ValueEnd < Inside.size() && IsNameChar(Inside[ValueEnd])) ++ValueEnd;
    if (ValueEnd == I) return false;
    Test.Value = LowerCopy(Inside.substr(I, ValueEnd - I));
  }
  const std::string_view Flag = Trim(Inside.substr(ValueEnd));
  return Flag.empty() || Flag == "i" || Flag == "I" || Flag == "s" || Flag == "S";
}

void AddSubject(std::string_view Selector, TPreRules& Rules) {
  Selector = Trim(Selector);
  if (Selector.find('\\') != std::string_view::npos) {
    Rules.WholePage = true;
    return;
  }
  // The last compound: after the last combinator outside () and [].
  size_t Start = 0;
  int Depth = 0;
  for (size_t I = 0; I < Selector.size(); ++I) {
    const char C = Selector[I];
    if (C == '(' || C == '[') ++Depth;
    if ((C == ')' || C == ']') && Depth > 0) --Depth;
    if (Depth == 0 && (IsSpace(C) || C == '>' || C == '+' || C == '~')) Start = I + 1;
  }
  const std::string_view Compound = Selector.substr(Start);
  std::string Tag;
  std::vector<std::string_view> Classes, Ids;
  TPreSubject Subject;
  bool Attributes = false;
  for (size_t I = 0; I < Compound.size();) {
    const char C = Compound[I];
    if (C == '[' || C == '(') {
      const size_t E = FindTop(Compound, I + 1, C == '[' ? ']' : ')');
      if (C == '[') {
        Attributes = true;
        TAttrTest Test;
        if (ParseAttrTest(
                Compound.substr(I + 1,
                                E == std::string_view::npos ? std::string_view::npos : E - I - 1),
                Test))
          Subject.Tests.push_back(std::move(Test));
      }
      I = E == std::string_view::npos ? Compound.size() : E + 1;
      continue;
    }
    if (C == ':') {  // a pseudo-class or pseudo-element: its name is no subject
      ++I;
      while (I < Compound.size() && (Compound[I] == ':' || IsNameChar(Compound[I]))) ++I;
      continue;
    }
    size_t J = (C == '.' || C == '#') ? I + 1 : I;
    const size_t NameStart = J;
    while (J < Compound.size() && IsNameChar(Compound[J])) ++J;
    if (J == NameStart) {
      I = J + 1;  // '*', '&', '|' and the like name nothing
      continue;
    }
    const std::string_view Name = Compound.substr(NameStart, J - NameStart);
    if (C == '.') {
      Classes.push_back(Name);
    } else if (C == '#') {
      Ids.push_back(Name);
    } else {
      Tag = LowerCopy(Name);
    }
    I = J;
  }
  if (Attributes) {
    // The element must carry every attribute test; the rest of the
    // compound is not checked.
    Subject.Tag = std::move(Tag);
    Rules.Subjects.push_back(std::move(Subject));
    return;
  }
  if (Tag.empty() && Classes.empty() && Ids.empty()) Rules.WholePage = true;
  for (std::string_view Name : Classes) Rules.Classes.emplace(Name);
  for (std::string_view Name : Ids) Rules.Ids.emplace(Name);
  if (!Tag.empty()) Rules.Tags.insert(std::move(Tag));
}

void AddSelectors(std::string_view Prelude, TPreRules& Rules) {
  size_t I = 0;
  for (;;) {
    const size_t Comma = FindTop(Prelude, I, ',');
    AddSubject(
        Prelude.substr(I, Comma == std::string_view::npos ? std::string_view::npos : Comma - I),
        Rules);
    if (Comma == std::string_view::npos) return;
    I = Comma + 1;
  }
}

void ParseRules(std::string_view S, TPreRules& Rules, bool Nested) {
  size_t I = 0;
  while (I < S.size()) {
    const size_t Open = FindTop(S, I, '{');
    if (Open == std::string_view::npos) return;
    std::string_view Prelude = S.substr(I, Open - I);
    // Statements before the rule ("@import x;", a stray ";") are not part of it.
    const size_t Semi = Prelude.rfind(';');
    if (Semi != std::string_view::npos) Prelude.remove_prefix(Semi + 1);
    Prelude = Trim(Prelude);
    const size_t End = BlockEnd(S, Open);
    const std::string_view Body =
        S.substr(Open + 1, (End > Open + 1 ? End - 1 : Open + 1) - (Open + 1));
    if (!Prelude.empty() && Prelude[0] == '@') {
      const std::string AtName = LowerCopy(Prelude.substr(0, Prelude.find_first_of(" \t\r\n\f({")));
      if (AtName == "@media" || AtName == "@supports" || AtName == "@layer" ||
          AtName == "@container" || AtName == "@document" || AtName == "@-moz-document" ||
          AtName == "@scope") {
        ParseRules(Body, Rules, Nested);
      }
    } else if (FindTop(Body, 0, '{') != std::string_view::npos) {
      // CSS nesting: the nested rules' subjects depend on their parents.
      TPreRules Inner;
      ParseRules(Body, Inner, true);
      if (DeclaresPre(Body) || Inner.WholePage || !Inner.Tags.empty() || !Inner.Classes.empty() ||
          !Inner.Ids.empty() || !Inner.Subjects.empty())
        Rules.WholePage = true;
    } else if (DeclaresPre(Body)) {
      if (Nested) {
        Rules.WholePage = true;
      } else {
        AddSelectors(Prelude, Rules);
      }
    }
    I = End;
  }
}

}  // namespace

bool DeclaresPre(std::string_view Declarations) {
  size_t I = 0;
  while (I < Declarations.size()) {
    size_t End = FindTop(Declarations, I, ';');
    if (End == std::string_view::npos) End = Declarations.size();
    const std::string_view One = Declarations.substr(I, End - I);
    I = End + 1;
    const size_t Colon = One.find(':');
    if (Colon == std::string_view::npos) continue;
    const std::string Property = LowerCopy(Trim(One.substr(0, Colon)));
    if (Property != "white-space" && Property != "white-space-collapse") continue;
    const std::string Value = LowerCopy(One.substr(Colon + 1));
    if (Value.find("pre") != std::string::npos || Value.find("break-spaces") != std::string::npos ||
        Value.find("var(") != std::string::npos || Value.find('\\') != std::string::npos)
      return true;
  }
  return false;
}

void CollectPreRules(std::string_view Css, TPreRules& Rules) {
  // Cheap refusal first: most style sheets never mention white-space.
  bool Mentions = false;
  for (size_t I = Css.find('-'); I != std::string_view::npos; I = Css.find('-', I + 1)) {
    if (I >= 5 && LowerCopy(Css.substr(I - 5, 6)) == "white-") {
      Mentions = true;
      break;
    }
  }
  if (!Mentions && Css.find('\\') == std::string_view::npos) return;
  ParseRules(WithoutComments(Css), Rules, false);
}

bool TagAttribute(std::string_view Tag, std::string_view Name, std::string& Value) {
  const size_t N = Tag.size();
  size_t I = 1;
  while (I < N && !IsSpace(Tag[I]) && Tag[I] != '>') ++I;
  while (I < N) {
    while (I < N && (IsSpace(Tag[I]) || Tag[I] == '/')) ++I;
    if (I >= N || Tag[I] == '>') return false;
    const size_t NameStart = I;
    while (I < N && !IsSpace(Tag[I]) && Tag[I] != '=' && Tag[I] != '>' && Tag[I] != '/') ++I;
    const bool Match =
        I - NameStart == Name.size() && LowerCopy(Tag.substr(NameStart, I - NameStart)) == Name;
    size_t J = I;
    while (J < N && IsSpace(Tag[J])) ++J;
    if (J >= N || Tag[J] != '=') {
      if (Match) {
        Value.clear();
        return true;
      }
      I = J;
      continue;
    }
    ++J;
    while (J < N && IsSpace(Tag[J])) ++J;
    size_t ValueStart, ValueEnd;
    if (J < N && (Tag[J] == '"' || Tag[J] == '\'')) {
      const size_t E = Tag.find(Tag[J], J + 1);
      ValueStart = J + 1;
      ValueEnd = E == std::string_view::npos ? N : E;
      I = E == std::string_view::npos ? N : E + 1;
    } else {
      ValueStart = J;
      while (J < N && !IsSpace(Tag[J]) && Tag[J] != '>') ++J;
      ValueEnd = J;
      I = J;
    }
    if (Match) {
      Value.assign(Tag.substr(ValueStart, ValueEnd - ValueStart));
      return true;
    }
  }
  return false;
}

namespace {

// Whether the value Value of a page's attribute passes Test.
bool Passes(const TAttrTest& Test, std::string_view Value) {
  // A character reference may spell anything: count it as a match.
  if (Value.find('&') != std::string_view::npos) return true;
  const std::string V = LowerCopy(Value);
  const std::string& W = Test.Value;
  switch (Test.Op) {
    case 0:
      return true;
    case '=':
      return V == W;
    case '^':
      return !W.empty() && V.compare(0, W.size(), W) == 0;
    case '$':
      return !W.empty() && V.size() >= W.size() && V.compare(V.size() - W.size(), W.size(), W) == 0;
    case '*':
      return !W.empty() && V.find(W) != std::string::npos;
    case '|':
      return V == W ||
             (V.size() > W.size() && V.compare(0, W.size(), W) == 0 && V[W.size()] == '-');
    default: {  // '~': one of the blank-separated words
      for (size_t I = 0; I < V.size();) {
        while (I < V.size() && IsSpace(V[I])) ++I;
        size_t J = I;
        while (J < V.size() && !IsSpace(V[J])) ++J;
        if (J > I && V.compare(I, J - I, W) == 0) return true;
        I = J;
      }
      return false;
    }
  }
}

bool Matches(const TPreSubject& Subject, std::string_view Tag, std::string_view Name) {
  if (!Subject.Tag.empty() && Subject.Tag != Name) return false;
  std::string Value;
  for (const TAttrTest& Test : Subject.Tests)
    if (!TagAttribute(Tag, Test.Name, Value) || !Passes(Test, Value)) return false;
  return true;
}

}  // namespace

bool KeepsWhiteSpace(std::string_view Tag, std::string_view Name, const TPreRules& Rules) {
  std::string Value;
  if (TagAttribute(Tag, "style", Value) && DeclaresPre(Value)) return true;
  if (Rules.Tags.count(std::string(Name))) return true;
  for (const TPreSubject& Subject : Rules.Subjects)
    if (Matches(Subject, Tag, Name)) return true;
  if (!Rules.Ids.empty() && TagAttribute(Tag, "id", Value) &&
      Rules.Ids.count(std::string(Trim(Value))))
    return true;
  if (!Rules.Classes.empty() && TagAttribute(Tag, "class", Value)) {
    size_t I = 0;
    while (I < Value.size()) {
      while (I < Value.size() && IsSpace(Value[I])) ++I;
      size_t J = I;
      while (J < Value.size() && !IsSpace(Value[J])) ++J;
      if (J > I && Rules.Classes.count(Value.substr(I, J - I))) return true;
      I = J;
    }
  }
  return false;
}

void AddPreRules(const TPreRules& From, TPreRules& Rules) {
  Rules.Tags.insert(From.Tags.begin(), From.Tags.end());
  Rules.Classes.insert(From.Classes.begin(), From.Classes.end());
  Rules.Ids.insert(From.Ids.begin(), From.Ids.end());
  Rules.Subjects.insert(Rules.Subjects.end(), From.Subjects.begin(), From.Subjects.end());
  Rules.WholePage |= From.WholePage;
}

std::vector<std::string> LinkedStyleSheets(std::string_view Page) {
  std::vector<std::string> Hrefs;
  for (size_t I = Page.find('<'); I != std::string_view::npos; I = Page.find('<', I + 1)) {
    if (I + 5 >= Page.size() || LowerCopy(Page.substr(I + 1, 4)) != "link" ||
        !(IsSpace(Page[I + 5]) || Page[I + 5] == '/'))
      continue;
    // The tag's end: the first '>' outside quoted values.
    size_t End = I + 5;
    char Quote = 0, Last = 0;  // the open quote; the last byte outside quotes but blanks
    for (; End < Page.size() && (Quote || Page[End] != '>'); ++End) {
      const char C = Page[End];
      if (Quote) {
        if (C == Quote) Quote = 0, Last = C;
      } else if ((C == '"' || C == '\'') && Last == '=') {
        Quote = C;
      } else if (!IsSpace(C)) {
        Last = C;
      }
    }
    const std::string_view Tag = Page.substr(I, End - I + 1);
    std::string Rel, Href;
    if (!TagAttribute(Tag, "rel", Rel) || !TagAttribute(Tag, "href", Href)) continue;
    const std::string R = " " + LowerCopy(Rel) + " ";
    std::string Words;
    for (char C : R) Words += IsSpace(C) ? ' ' : C;
    if (Words.find(" stylesheet ") != std::string::npos && !Trim(Href).empty())
      Hrefs.emplace_back(Trim(Href));
    I = End;
  }
  return Hrefs;
}

std::vector<std::string> ImportedStyleSheets(std::string_view Css, TCodePage Page) {
  std::vector<std::string> Urls;
  std::vector<TCssToken> Tok;
  std::string Error;
  size_t At = 0;
  if (!TokenizeCss(Css, Page, Tok, Error, At)) return Urls;
  auto Text = [&](size_t K) { return Css.substr(Tok[K].Begin, Tok[K].End - Tok[K].Begin); };
  auto Next = [&](size_t K) {
    while (K < Tok.size() && (Tok[K].Type == TCssTok::Space || Tok[K].Type == TCssTok::Comment ||
                              Tok[K].Type == TCssTok::KeptComment))
      ++K;
    return K;
  };
  for (size_t K = 0; K < Tok.size(); ++K) {
    if (Tok[K].Type != TCssTok::AtKeyword || LowerCopy(Text(K)) != "@import") continue;
    const size_t U = Next(K + 1);
    if (U >= Tok.size()) break;
    std::string_view T = Text(U);
    if (Tok[U].Type == TCssTok::String && T.size() >= 2) {
      Urls.emplace_back(T.substr(1, T.size() - 2));
    } else if (Tok[U].Type == TCssTok::Url) {  // url( x ): the text between the parentheses
      T = Trim(T.substr(4, T.size() - 5));
      Urls.emplace_back(T);
    } else if (Tok[U].Type == TCssTok::Function && LowerCopy(T) == "url(") {
      const size_t V = Next(U + 1);
      if (V < Tok.size() && Tok[V].Type == TCssTok::String && Text(V).size() >= 2)
        Urls.emplace_back(Text(V).substr(1, Text(V).size() - 2));
    }
  }
  return Urls;
}

}  // namespace larkspan::minify
