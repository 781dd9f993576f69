#include <gtest/gtest.h>

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
