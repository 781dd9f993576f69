#include "minify/JsTokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace larkspan::minify {
namespace {

struct TRead {
  std::vector<std::string> Tokens;  // each token's text, "|"-kind-prefixed
  std::vector<std::string> Kept;    // what the gaps hand back
  bool Ok = true;
  std::string Error;
  size_t ErrorAt = 0;
};

char KindLetter(TJsTok K) {
  switch (K) {
    case TJsTok::Name:
      return 'n';
    case TJsTok::Private:
      return 'p';
    case TJsTok::Num:
      return '0';
    case TJsTok::Str:
      return 's';
    case TJsTok::Template:
      return 't';
    case TJsTok::Regex:
      return 'r';
    case TJsTok::Punct:
      return '.';
  }
  return '?';
}

// Reads Text to its end as a caller would that takes a "/" for a regular
// expression only at the start or after "(" "=" ",", and keeps a stack of
// open template substitutions only (enough for these inputs).
TRead ReadAll(std::string_view Text, TCodePage Page = TCodePage::Utf8) {
  TRead R;
  TJsLexer L(Text, Page, false);
  std::vector<TJsKept> Kept;
  std::vector<size_t> Substitutions;  // literal starts; SIZE_MAX for a plain "{"
  bool Regex = true;
  size_t Covered = L.SkipHashbang();
  while (true) {
    const bool Ok = L.SkipGap(Kept);
    for (const TJsKept& K : Kept) {
      EXPECT_LE(Covered, K.Begin);
      R.Kept.push_back(std::string(Text.substr(K.Begin, K.End - K.Begin)));
    }
    if (!Ok || L.AtEnd()) break;
    const bool Closes = !Substitutions.empty() && Substitutions.back() != SIZE_MAX;
    TJsToken T;
    if (!L.Next(T, Regex, Closes ? Substitutions.back() : std::string_view::npos)) break;
    EXPECT_LE(Covered, T.Begin);
    EXPECT_LT(T.Begin, T.End);
    EXPECT_LE(T.End, Text.size());
    Covered = T.End;
    const std::string_view S = Text.substr(T.Begin, T.End - T.Begin);
    std::string Shown(1, KindLetter(T.Kind));
    if (T.NewlineBefore) Shown.insert(0, "\\n");
    if (T.Code >= jskey::kKeyword) Shown += 'k';
    R.Tokens.push_back(Shown + std::string(S));
    if (T.Kind == TJsTok::Template) {
      const size_t Begin = S[0] == '}' ? Substitutions.back() : T.Begin;
      if (S[0] == '}') Substitutions.pop_back();
      if (S.back() == '{') Substitutions.push_back(Begin);
    } else if (S == "{") {
      Substitutions.push_back(SIZE_MAX);
    } else if (S == "}" && !Substitutions.empty()) {
      Substitutions.pop_back();
    }
    Regex = T.Kind == TJsTok::Punct && (S == "(" || S == "=" || S == ",");
  }
  R.Ok = !L.Failed();
  R.Error = L.Error();
  R.ErrorAt = L.ErrorAt();
  return R;
}

using TList = std::vector<std::string>;

TEST(TJsLexerTest, TokensKeywordsAndWhatTheGapsKeep) {
  const struct {
    std::string In;
    TList Tokens, Kept;
  } Cases[] = {
      {"if (a.if) x", {"nkif", ".(", "na", "..", "nif", ".)", "nx"}, {}},
      {"a >>>= b?.c ?.5", {"na", ".>>>=", "nb", ".?.", "nc", ".?", "0.5"}, {}},
      {"x = /[/]/g / 2", {"nx", ".=", "r/[/]/g", "./", "02"}, {}},
      {"#!node\n#p 0x1Fn 1e-3", {"\\np#p", "00x1Fn", "01e-3"}, {}},
      {"a /*! keep */ b // @license MIT\nc /* drop */ d",
       {"na", "nb", "\\nnc", "nd"},
       {"/*! keep */", "// @license MIT"}},
      {"a\xEF\xBB\xBF"
       "b",
       {"na", "nb"},
       {"\xEF\xBB\xBF"}},
      {"t = `a${ {b: `c${d}e`} }f`",
       {"nt", ".=", "t`a${", ".{", "nb", ".:", "t`c${", "nd", "t}e`", ".}", "t}f`"},
       {}},
      {"a\xE2\x80\xA8"
       "b <!-- c\n--> d\ne",
       {"na", "\\nnb", "\\nne"},
       {}},
  };
  for (const auto& C : Cases) {
    const TRead R = ReadAll(C.In);
    EXPECT_TRUE(R.Ok) << C.In << ": " << R.Error;
    EXPECT_EQ(R.Tokens, C.Tokens) << C.In;
    EXPECT_EQ(R.Kept, C.Kept) << C.In;
  }
}

TEST(TJsLexerTest, DoubleByteTrailsAreNeverSyntaxAndFaultsArePlaced) {
  // GBK "\x81\x5C" holds a backslash byte: in GBK the quote still ends the
  // string; read byte by byte it would be escaped.
  const std::string Gbk = "s = '\x81\x5C'; t";
  EXPECT_EQ(ReadAll(Gbk, TCodePage::Gbk).Tokens, (TList{"ns", ".=", "s'\x81\x5C'", ".;", "nt"}));
  EXPECT_FALSE(ReadAll(Gbk, TCodePage::Single).Ok);

  const struct {
    std::string In;
    std::string Error;
    size_t At;
  } Faults[] = {
      {"a = 'b\nc'", "unterminated string", 4},
      {"a /* b", "unterminated comment", 2},
      {"x = `a${b}c", "unterminated template", 4},
      {"x = /ab\n/", "unterminated regular expression", 4},
      {"x = 3in []", "a name right after a number", 5},
      {"x = 1.toString()", "a name right after a number", 6},
      {"x = 0x1g", "a name right after a number", 7},
      {"x = .5e", "a name right after a number", 6},
  };
  for (const auto& F : Faults) {
    const TRead R = ReadAll(F.In);
    EXPECT_FALSE(R.Ok) << F.In;
    EXPECT_EQ(R.Error, F.Error) << F.In;
    EXPECT_EQ(R.ErrorAt, F.At) << F.In;
  }
}

}  // namespace
}  // namespace larkspan::minify
