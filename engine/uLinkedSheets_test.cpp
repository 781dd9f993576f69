// The white-space rules of the style sheets a page links to, read from real
// sites on disk.
#include "engine/uLinkedSheets.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "engine/EngineTestUtil.h"
#include "minify/Minify.h"
#include "platform/TestUtil.h"

namespace larkspan {
namespace {

struct TSite {
  test::TTempDir Top{"linked sheets"};
  std::string Root = Top.Path() + "site/";
  TSite() {
    Top.Write("outside.css", ".outside{white-space:pre}");
    Top.Write("site/css/site.css",
              "@import 'more.css';\n/* the code samples */\ndiv.code { white-space: pre }");
    Top.Write("site/css/more.css", "@import url(deep.css);.kbd{white-space:pre-wrap}");
    Top.Write("site/css/deep.css", ".deep{white-space:pre}");
    Top.Write("site/sub/s.css", "#log{white-space:pre-line}");
    // GBK: the class 代码, and a name whose trail byte is 0x5C.
    Top.Write("site/gbk.css", ".\xB4\xFA\xC2\xEB{white-space:pre}");
    Top.Write("site/gbk5c.css", ".\x81\x5C{white-space:pre}");
  }
};

minify::TPreRules RulesOf(TSite& Site, const std::string& PageFile, const std::string& Page) {
  TLinkedSheets Sheets(Site.Root, TCodePage::Gbk);
  minify::TPreRules Rules;
  Sheets.AddRules(Site.Root + PageFile, Page, Rules);
  return Rules;
}

TEST(TLinkedSheetsTest, SheetsOfTheSiteAndWhatTheyImportOneLevelDeep) {
  TSite Site;
  const minify::TPreRules R =
      RulesOf(Site, "news/a.html", "<link rel=stylesheet href=\"../css/site.css?v=2\">");
  EXPECT_EQ(R.Tags.count("div"), 1u);
  EXPECT_EQ(R.Classes.count("code") + R.Classes.count("kbd"), 2u);
  EXPECT_EQ(R.Classes.count("deep"), 0u);  // two @import levels down
  EXPECT_FALSE(R.WholePage);

  TLinkedSheets Sheets(Site.Root, TCodePage::Gbk);
  EXPECT_EQ(Sheets.SheetsOf(Site.Root + "a.html",
                            "<link rel=stylesheet href=/css/site.css><link rel=stylesheet "
                            "href=css/more.css><link rel=stylesheet href=css/none.css>"),
            (std::vector<std::string>{Site.Root + "css/site.css", Site.Root + "css/more.css",
                                      Site.Root + "css/deep.css"}));
}

TEST(TLinkedSheetsTest, SheetsOutsideTheSiteOrMissingChangeNothing) {
  TSite Site;
  for (const char* Page : {
           "<link rel=stylesheet href=../outside.css>",
           "<link rel=stylesheet href=/../outside.css>",
           "<link rel=stylesheet href=http://example.com/css/site.css>",
           "<link rel=stylesheet href=//example.com/css/site.css>",
           "<link rel=stylesheet href=css/none.css>",
           "<link rel=stylesheet href=css>",
           "<link rel=icon href=css/site.css>",
           "<base href=\"http://example.com/\"><link rel=stylesheet href=css/site.css>",
       }) {
    const minify::TPreRules R = RulesOf(Site, "a.html", Page);
    EXPECT_TRUE(R.Tags.empty() && R.Classes.empty() && R.Ids.empty() && !R.WholePage) << Page;
  }
  // A base inside the site moves where relative references start.
  EXPECT_EQ(RulesOf(Site, "a.html", "<base href=\"/sub/\"><link rel=stylesheet href=s.css>")
                .Ids.count("log"),
            1u);
}

TEST(TLinkedSheetsTest, GbkSheetKeepsTheWhiteSpaceOfItsClassInAGbkPage) {
  TSite Site;
  const std::string Page =
      "<link rel=stylesheet href=gbk.css><div class=\xB4\xFA\xC2\xEB>a\n   b</div>  <p>c   d</p>";
  TLinkedSheets Sheets(Site.Root, TCodePage::Gbk);
  minify::TMinifyOptions O;
  O.Level = TMinifyLevel::Smallest;
  O.LinkedPreRules = [&](std::string_view Text, minify::TPreRules& Rules) {
    Sheets.AddRules(Site.Root + "a.html", Text, Rules);
  };
  EXPECT_EQ(minify::MinifyPage(Page, TCodePage::Gbk, O).Output,
            "<link rel=stylesheet href=gbk.css><div class=\xB4\xFA\xC2\xEB>a\n   b</div> "
            "<p>c d</p>");
  // A trail byte 0x5C in a selector cannot be read with certainty: the
  // whole page keeps its white space.
  EXPECT_TRUE(RulesOf(Site, "a.html", "<link rel=stylesheet href=gbk5c.css>").WholePage);
}

TEST(TLinkedSheetsTest, RulesKeyTextIsOneTextPerSetOfRules) {
  minify::TPreRules A, B;
  A.Classes = {"code", "kbd"};
  A.Tags = {"pre"};
  B.Tags = {"pre"};
  B.Classes = {"kbd", "code"};
  EXPECT_EQ(RulesKeyText(A), RulesKeyText(B));  // the order of adding plays no part
  EXPECT_EQ(RulesKeyText(minify::TPreRules{}), "");
  // Rules that differ anywhere give different texts.
  const auto With = [&A](const std::function<void(minify::TPreRules&)>& Change) {
    minify::TPreRules R = A;
    Change(R);
    return RulesKeyText(R);
  };
  const std::function<void(minify::TPreRules&)> Changes[] = {
      [](minify::TPreRules& R) { R.WholePage = true; },
      [](minify::TPreRules& R) { R.Classes.erase("kbd"); },
      [](minify::TPreRules& R) { R.Classes.insert("kbdcode"); },
      [](minify::TPreRules& R) { R.Ids.insert("code"); },     // the same name, another set
      [](minify::TPreRules& R) { R.Tags.insert("code"); },    // likewise
      [](minify::TPreRules& R) { R.Classes = {"codekbd"}; },  // the names run together
  };
  for (size_t I = 0; I < std::size(Changes); ++I) EXPECT_NE(With(Changes[I]), RulesKeyText(A)) << I;
}

TEST(TLinkedSheetsTest, RulesOfAPageFileReadItAsTheMinifiersDo) {
  TSite Site;
  TLinkedSheets Sheets(Site.Root, TCodePage::Gbk);
  const std::string Page = "<link rel=stylesheet href=css/site.css><p>x</p>";
  const std::string Want = RulesKeyText(RulesOf(Site, "a.html", Page));
  ASSERT_NE(Want, "");
  for (const bool Big : {false, true})
    EXPECT_EQ(RulesKeyText(Sheets.RulesOf(Site.Root + "a.html",
                                          minify::Utf8ToUtf16(Page, Big, /*Bom=*/true))),
              Want)
        << Big;
  EXPECT_EQ(RulesKeyText(Sheets.RulesOf(Site.Root + "a.html", "\xEF\xBB\xBF" + Page)), Want);
  EXPECT_EQ(RulesKeyText(Sheets.RulesOf(Site.Root + "a.html", "<p>no link</p>")), "");
}

TEST(TLinkedSheetsTest, ARunKeepsWhatTheSiteSheetsKeepAndNothingFromOutside) {
  TSite Site;
  Site.Top.Write("site/news/a.html",
                 "<link rel=stylesheet href=../css/site.css><div class=code>a\n   b</div>"
                 "<p class=kbd>c   d</p>");
  Site.Top.Write("site/news/out.html",
                 "<link rel=stylesheet href=../../outside.css><p class=outside>c   d</p>");
  // A page rewritten for a duplicate picture is minified from its copy in
  // the output, with the rules of the site's sheets all the same.
  Site.Top.Write("site/img/x.gif", "GIF89a same");
  Site.Top.Write("site/img/y.gif", "GIF89a same");
  Site.Top.Write("site/news/dup.html",
                 "<link rel=stylesheet href=../css/site.css><img src=../img/y.gif>"
                 "<div class=code>e\n   f</div>");
  test::TTempDir Out("out");
  TAppConfig Config = test::BlankConfig();
  Config.IsCompressHtml = true;
  Config.IsReducePic = true;
  Config.Level = TMinifyLevel::Smallest;
  const auto R = test::RunEngine(Config, Site.Root, Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(test::Slurp(Out.Path() + "news/a.html"),
            "<link rel=stylesheet href=../css/site.css><div class=code>a\n   b</div>"
            "<p class=kbd>c   d</p>");
  EXPECT_EQ(test::Slurp(Out.Path() + "news/out.html"),
            "<link rel=stylesheet href=../../outside.css><p class=outside>c d</p>");
  const std::string Dup = test::Slurp(Out.Path() + "news/dup.html");
  EXPECT_NE(Dup.find("<div class=code>e\n   f</div>"), std::string::npos) << Dup;
}

}  // namespace
}  // namespace larkspan
