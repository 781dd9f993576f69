#include "htmlparser/clHtmlTags.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "htmlparser/clHtmlParser.h"

namespace larkspan {
namespace {

// A tag that counts its destructions, to tell owning lists from referring ones.
struct TCountedTag : TclHtmlTag {
  TCountedTag(const std::string& Name, int& Destroyed)
      : TclHtmlTag(Name, "", nullptr, nullptr), FDestroyed(Destroyed) {}
  ~TCountedTag() override { ++FDestroyed; }
  int& FDestroyed;
};

TEST(TclHtmlTagTest, AttributeLookupTakesTheFirstMatchIgnoringCase) {
  TclHtmlParser Parser;
  TclHtmlImage Image("IMG", "IMG src=a SRC=b", nullptr, &Parser);
  Image.AddAttribute(new TclHtmlAttribute("src", "a"));
  Image.AddAttribute(new TclHtmlAttribute("SRC", "b"));
  Image.AddAttribute(new TclHtmlAttribute("nowrap", ""));
  Image.AddAttribute(new TclHtmlAttribute("alt", ""));
  EXPECT_EQ(Image.AttributeValue("src"), "a");
  EXPECT_EQ(Image.AttributeValue("Src"), "a");
  EXPECT_EQ(Image.Src(), "a");
  EXPECT_EQ(Image.AttributeAt(1)->OwnerTag, &Image);

  // Absent, bare and empty all read as empty text; FindAttribute tells them apart.
  EXPECT_EQ(Image.AttributeValue("missing"), "");
  EXPECT_EQ(Image.AttributeValue("nowrap"), "");
  EXPECT_EQ(Image.FindAttribute("missing"), nullptr);
  EXPECT_NE(Image.FindAttribute("NOWRAP"), nullptr);

  EXPECT_THROW(Image.AttributeAt(4), std::out_of_range);
  EXPECT_THROW(Image.AttributeAt(-1), std::out_of_range);
  Image.ClearAttributes();
  EXPECT_EQ(Image.AttributeCount(), 0);
  EXPECT_EQ(Image.Src(), "");
}

TEST(TclHtmlTagTest, AttributesKeepTheirOrderAndCountThroughAddAndClear) {
  TclHtmlTag Tag("td", "", nullptr, nullptr);
  EXPECT_EQ(Tag.FirstAttribute(), nullptr);
  for (int Round = 0; Round < 2; ++Round) {
    // One attribute, then several: the last one must end every walk.
    for (int N = 1; N <= 5; ++N) {
      Tag.AddAttribute(new TclHtmlAttribute("a" + std::to_string(N), std::to_string(N)));
      ASSERT_EQ(Tag.AttributeCount(), N);
      int Seen = 0;
      for (const TclHtmlAttribute* A = Tag.FirstAttribute(); A; A = TclHtmlTag::NextAttribute(A)) {
        ++Seen;
        EXPECT_EQ(A->AttrName, "a" + std::to_string(Seen));
        EXPECT_EQ(A->OwnerTag, &Tag);
      }
      EXPECT_EQ(Seen, N);
      EXPECT_EQ(Tag.AttributeAt(N - 1)->AttrValue, std::to_string(N));
      EXPECT_EQ(Tag.AttributeValue("A1"), "1");
    }
    Tag.ClearAttributes();
    EXPECT_EQ(Tag.AttributeCount(), 0);
    EXPECT_EQ(Tag.FirstAttribute(), nullptr);
    EXPECT_EQ(Tag.FindAttribute("a1"), nullptr);
  }
}

TEST(TclHtmlTagListTest, KeepsEveryItemInOrderAsItGrowsAndAfterClear) {
  // Counts 1, 2, 3, 4, 8, 16 ... cross every change of storage.
  std::vector<std::unique_ptr<TclHtmlTag>> Tags;
  for (int I = 0; I < 70; ++I)
    Tags.push_back(std::make_unique<TclHtmlTag>("t" + std::to_string(I), "", nullptr, nullptr));
  TclHtmlTagList List;
  for (int Limit : {70, 1, 2, 3, 0, 8}) {
    List.Clear();
    EXPECT_EQ(List.Count(), 0);
    EXPECT_EQ(List.Last(), nullptr);
    for (int I = 0; I < Limit; ++I) {
      EXPECT_EQ(List.Add(Tags[static_cast<size_t>(I)].get()), I);
      ASSERT_EQ(List.Count(), I + 1);
      EXPECT_EQ(List.Last(), Tags[static_cast<size_t>(I)].get());
      for (int J = 0; J <= I; ++J) ASSERT_EQ(List.Items(J), Tags[static_cast<size_t>(J)].get());
    }
    if (Limit > 0) {
      EXPECT_EQ(List.IndexOf(Tags[static_cast<size_t>(Limit - 1)].get()), Limit - 1);
      EXPECT_EQ(List.FindTag("T0"), Tags[0].get());
    }
    EXPECT_THROW(List.Items(Limit), std::out_of_range);
  }
}

TEST(TclHtmlTagListTest, FindTagStartsAtTheStartTagItself) {
  TclHtmlTagList List(true);
  auto* Title = new TclHtmlTag("Title", "", nullptr, nullptr);
  auto* Other = new TclHtmlTag("p", "", nullptr, nullptr);
  auto* Upper = new TclHtmlTag("TITLE", "", nullptr, nullptr);
  List.Add(Title);
  List.Add(Other);
  EXPECT_EQ(List.Add(Upper), 2);
  TclHtmlTag Stranger("title", "", nullptr, nullptr);

  EXPECT_EQ(List.FindTag("title"), Title);
  EXPECT_EQ(List.FindTag("TITLE", Title), Title);  // the start tag is examined
  EXPECT_EQ(List.FindTag("title", Other), Upper);
  EXPECT_EQ(List.FindTag("title", &Stranger), Title);  // not listed: from the start
  EXPECT_EQ(List.FindTag("h1"), nullptr);
  EXPECT_EQ(List.IndexOf(Upper), 2);
  EXPECT_EQ(List.IndexOf(&Stranger), -1);
  EXPECT_EQ(List.Last(), Upper);
  EXPECT_THROW(List.Items(3), std::out_of_range);
}

TEST(TclHtmlTagListTest, FindTagWithAttrLooksOnlyAtTheFirstAttributeOfThatName) {
  TclHtmlTagList List(true);
  auto* First = new TclHtmlTag("meta", "", nullptr, nullptr);
  First->AddAttribute(new TclHtmlAttribute("name", "author"));
  First->AddAttribute(new TclHtmlAttribute("NAME", "Keywords"));
  auto* Second = new TclHtmlTag("META", "", nullptr, nullptr);
  Second->AddAttribute(new TclHtmlAttribute("Name", "KEYWORDS"));
  List.Add(First);
  List.Add(Second);
  EXPECT_EQ(List.FindTagWithAttr("meta", "name", nullptr, "keywords"), Second);
  EXPECT_EQ(List.FindTagWithAttr("meta", "name", nullptr, "AUTHOR"), First);
  EXPECT_EQ(List.FindTagWithAttr("meta", "name", Second, "author"), nullptr);
  EXPECT_EQ(List.FindTagWithAttr("link", "name", nullptr, "author"), nullptr);
}

TEST(TclHtmlTagListTest, OnlyAnOwningListDestroysItsItems) {
  int Destroyed = 0;
  {
    TclHtmlTagList Owning(true);
    TclHtmlTagList Referring(false);
    auto* A = new TCountedTag("a", Destroyed);
    auto* B = new TCountedTag("b", Destroyed);
    Owning.Add(A);
    Owning.Add(B);
    Referring.Add(A);
    Referring.Add(A);  // no check against doubles
    EXPECT_EQ(Referring.Count(), 2);
    Referring.Clear();
    EXPECT_EQ(Destroyed, 0);
    EXPECT_EQ(Referring.Count(), 0);
    Owning.Clear();
    EXPECT_EQ(Destroyed, 2);
    Owning.Add(new TCountedTag("c", Destroyed));
  }
  EXPECT_EQ(Destroyed, 3);  // the destructor clears as well
}

TEST(TclHtmlTagTest, ContentTextPrefersTheTextRightInsideAnElement) {
  TclHtmlParser Parser;
  Parser.ParseMethod = pmAll;
  Parser.Parse("<title>Home</title><img src=x>after<p>");
  const TclHtmlTagList& Tags = Parser.ParsedTags;
  ASSERT_EQ(Tags.Count(), 5);
  EXPECT_EQ(Tags.Items(0)->ContentText(), "Home");       // title: its inner text
  EXPECT_EQ(Tags.Items(1)->ContentText(), "Home");       // the run itself
  EXPECT_EQ(Tags.Items(2)->ContentText(), "img src=x");  // leaf followed by text at its level
  EXPECT_EQ(Tags.Items(4)->ContentText(), "p");          // nothing follows
}

TEST(TclHtmlParserTest, ClearingResultsDestroysTagsButNotTheTagsTheyReferTo) {
  TclHtmlParser Parser;
  Parser.Parse("<table><tr><td><a href=x><img src=y></a></td></tr></table>");
  ASSERT_EQ(Parser.ParsedImages.Count(), 1);
  auto* Link = Parser.ParsedLinks.Items(0);
  EXPECT_EQ(Link->LinkTags.Count(), 1);
  EXPECT_EQ(Link->LinkTags.Items(0), Parser.ParsedImages.Items(0));
  Parser.ClearResults();
  EXPECT_EQ(Parser.ParsedTags.Count(), 0);
  EXPECT_EQ(Parser.ParsedLinks.Count(), 0);
  EXPECT_EQ(Parser.ParsedImages.Count(), 0);
  EXPECT_EQ(Parser.ParsedTables.Count(), 0);
}

}  // namespace
}  // namespace larkspan
