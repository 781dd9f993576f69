#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "htmlparser/clHtmlParser.h"

namespace larkspan {
namespace {

// Runs the tokenizer on Rest with base position 1 and lists the attributes as
// "name=value@pos" in the order they were announced.
std::vector<std::string> Tokenize(const std::string& Rest, const std::string& TagName = "img") {
  TclHtmlParser Parser;
  std::vector<std::string> Seen;
  Parser.OnParseAttribute = [&](TObject* Sender, TclHtmlTag* Tag, TclHtmlAttribute* A) {
    EXPECT_EQ(Sender, &Parser);
    EXPECT_EQ(A->OwnerTag, Tag);
    EXPECT_EQ(Tag->AttributeAt(Tag->AttributeCount() - 1), A);  // attached before the event
    Seen.push_back(A->AttrName + "=" + A->AttrValue + "@" + std::to_string(A->ValuePos));
  };
  TclHtmlTag Tag(TagName, "", nullptr, &Parser);
  Parser.ParseAttributes(&Tag, Rest, 1);
  EXPECT_EQ(static_cast<size_t>(Tag.AttributeCount()), Seen.size());
  return Seen;
}

using List = std::vector<std::string>;

TEST(AttributeTokenizerTest, NamesValuesAndValuePositions) {
  struct Case {
    const char* Rest;
    List Expected;
  } Cases[] = {
      {" src=\"a.gif\" alt='x y' border=0 nowrap",
       {"src=a.gif@7", "alt=x y@19", "border=0@31", "nowrap=@0"}},
      {" a = \"v\"", {"a=v@7"}},
      {" alt=''", {"alt=@0"}},
      {" title=\"it's\"", {"title=it's@9"}},
      {" title='say \"hi\"'", {"title=say \"hi\"@9"}},
      {" a=\"x\"b=\"y\"", {"a=x@5", "b=y@10"}},
      {" a=\"x\"\"y\"", {}},
      {" a=x\"y z\"", {"a=xy z@4"}},
      {" a=\"x\"=y", {"a=x=@5", "y=@0"}},
      {" a==b", {"b=@0"}},
      {" alt=", {}},
      {" alt='", {}},
      {" href='x", {"href=x@8"}},
      {" \"x\"", {}},
      {" disabled\"x\"", {}},
      {" \t\r\n ", {}},
      {" nowrap   ", {"nowrap=@0"}},
      {" SRC=a src=b", {"SRC=a@6", "src=b@12"}},
      {" a=\"x\r\ny\"", {"a=x\r\ny@5"}},  // line breaks inside quotes stay
      {" a b", {"a=@0", "b=@0"}},
      {" a =b c", {"a=b@5", "c=@0"}},
      {"=x", {"x=@0"}},
      {" a='x'y", {"a=x@5", "y=@0"}},
  };
  for (const auto& C : Cases) EXPECT_EQ(Tokenize(C.Rest), C.Expected) << "rest: " << C.Rest;
}

TEST(AttributeTokenizerTest, DoctypeAndEmptyRestYieldNothing) {
  EXPECT_EQ(Tokenize(" html PUBLIC \"x\"", "!DOCTYPE"), List());
  EXPECT_EQ(Tokenize(" html", "!doctype"), List());
  EXPECT_EQ(Tokenize("", "img"), List());
  EXPECT_EQ(Tokenize(" html", "!DOCTYPEX"), List({"html=@0"}));
}

}  // namespace
}  // namespace larkspan

namespace larkspan {
namespace {

// The tokenizer's rules applied one byte at a time, as plainly as they can be
// written; the real tokenizer takes runs of bytes at once and must agree.
List ReferenceTokenize(const std::string& Rest) {
  List Out;
  std::string Name, Value;
  bool NameOn = false, ValueOn = false, AfterEquals = false, SpaceAfterName = false;
  bool InQuotes = false;
  char QuoteChar = 0;
  size_t ValueStart = 0;
  auto AppendName = [&](char C) {
    if (!NameOn) Name.clear();
    NameOn = true;
    Name += C;
  };
  auto AppendValue = [&](char C, size_t Offset) {
    if (!ValueOn) Value.clear(), ValueStart = Offset;
    ValueOn = true;
    Value += C;
  };
  auto Emit = [&](bool WithValue) {
    Out.push_back(Name + "=" + (WithValue ? Value : "") + "@" +
                  std::to_string(WithValue ? 1 + ValueStart : 0));
  };
  auto Reset = [&] { NameOn = AfterEquals = ValueOn = InQuotes = false; };
  for (size_t I = 0; I < Rest.size(); ++I) {
    const char C = Rest[I];
    switch (CharClass(static_cast<unsigned char>(C))) {
      case 0:
        if (SpaceAfterName)
          Emit(false), Reset(), AppendName(C);
        else if (AfterEquals)
          AppendValue(C, I);
        else if (ValueOn)
          Emit(true), Reset(), AppendName(C);
        else
          AppendName(C);
        SpaceAfterName = false;
        break;
      case 1:
        if (AfterEquals && InQuotes && C != QuoteChar)
          AppendValue(C, I);
        else if (AfterEquals && InQuotes) {
          if (!ValueOn) Emit(false);
          InQuotes = AfterEquals = false;
        } else if (AfterEquals)
          QuoteChar = C, InQuotes = true;
        else
          NameOn = AfterEquals = ValueOn = InQuotes = false;
        SpaceAfterName = false;
        break;
      case 2:
        if (InQuotes || ValueOn)
          AppendValue(C, I);
        else
          AfterEquals = NameOn, NameOn = ValueOn = false;
        SpaceAfterName = false;
        break;
      default:
        if (InQuotes)
          AppendValue(C, I);
        else if (ValueOn)
          Emit(true), Reset();
        else if (NameOn)
          SpaceAfterName = true;
    }
  }
  if (ValueOn)
    Emit(true);
  else if (NameOn)
    Emit(false);
  return Out;
}

TEST(AttributeTokenizerTest, AgreesWithTheByteByByteRulesOnRandomText) {
  std::mt19937 Random(11);
  const std::string Alphabet = "ab=\"' \t\r\nx=";
  for (int Round = 0; Round < 20000; ++Round) {
    std::string Rest(Random() % 16, ' ');
    for (char& C : Rest) C = Alphabet[Random() % Alphabet.size()];
    ASSERT_EQ(Tokenize(Rest), ReferenceTokenize(Rest)) << "rest: [" << Rest << "]";
  }
}

}  // namespace
}  // namespace larkspan
