#include "engine/uPageText.h"

#include <gtest/gtest.h>

#include <string>

#include "config/uConfig.h"
#include "engine/EngineTestUtil.h"
#include "minify/Charset.h"
#include "platform/TestUtil.h"

namespace larkspan {
namespace {

using test::BlankConfig;
using test::RunEngine;
using test::Slurp;
using test::TTempDir;

std::string Utf16(const std::string& Ascii, bool Big) {
  std::string Out;
  for (const char C : Ascii) {
    if (Big) Out += '\0';
    Out += C;
    if (!Big) Out += '\0';
  }
  return Out;
}

// The rewriter and the minifiers must read a page alike: a page one of them
// takes for UTF-16 and the other for bytes is either garbled or left unread.
TEST(PageTextTest, RewriterAndMinifierAgreeOnUtf16ByNameAndWithoutMark) {
  const std::string Html = "<p>\r\n<img src=\"a.gif\">\r\n";
  const struct {
    std::string Bytes;
    const char* Name;
    bool Utf16, Big;
  } Cases[] = {
      {"\xFF\xFE" + Utf16(Html, false), "GB2312", true, false},
      {"\xFE\xFF" + Utf16(Html, true), "UTF-8", true, true},
      // No mark: the zero bytes tell, whatever the name.
      {Utf16(Html, false), "GB2312", true, false},
      {Utf16(Html, true), "Big5", true, true},
      {Utf16(Html, false), "Unicode", true, false},
      // Names of UTF-16 the minifier always knew.
      {"\xD6\xD0\xCE\xC4", "Unicode", true, false},
      {"\xD6\xD0\xCE\xC4", "UCS-2", true, false},
      {"\xD6\xD0\xCE\xC4", "UTF-16BE", true, true},
      {"\xD6\xD0\xCE\xC4", "GB2312", false, false},
      // A page of ASCII labelled UTF-16 is what it looks like.
      {Html, "UTF-16", false, false},
      {"\xE4\xB8\xAD", "UTF-16", false, false},
  };
  for (const auto& K : Cases) {
    SCOPED_TRACE(K.Name);
    const auto Setting = ParseCodePage(K.Name);
    ASSERT_TRUE(Setting.has_value());
    bool Big = !K.Big;
    EXPECT_EQ(IsUtf16Page(K.Bytes, *Setting, Big), K.Utf16) << K.Bytes.size();
    if (K.Utf16) {
      EXPECT_EQ(Big, K.Big);
    }
    const TCodePage Read = minify::DetectCodePage(K.Bytes, *Setting);
    EXPECT_EQ(Read == TCodePage::Utf16LE || Read == TCodePage::Utf16BE, K.Utf16);
  }
}

TEST(PageTextTest, UnmarkedUtf16PageKeepsItsBytesAndAsciiPageNamedUtf16IsRewritten) {
  const std::string Html = "<p>\r\n<img src=\"img/a.gif\"><img src=\"img/b.gif\">\r\n";
  for (const char* Name : {"GB2312", "Unicode", "UCS-2"}) {
    SCOPED_TRACE(Name);
    TTempDir Site("site"), Out("out");
    Site.Write("img/a.gif", "GIF89a same");
    Site.Write("img/b.gif", "GIF89a same");
    const std::string Page = Utf16(Html, false);  // no mark
    Site.Write("index.html", Page);
    TAppConfig Config = BlankConfig();
    ASSERT_TRUE(Config.SetCharSet(Name));
    Config.IsReducePic = true;
    const auto R = RunEngine(Config, Site.Path(), Out.Path());
    ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
    EXPECT_EQ(Slurp(Out.Path() + "index.html"), Page);
    // Both pictures are published: the page still names the duplicate.
    EXPECT_EQ(Slurp(Out.Path() + "img/a.gif"), "GIF89a same");
    EXPECT_EQ(Slurp(Out.Path() + "img/b.gif"), "GIF89a same");
  }
  // An ASCII page labelled UTF-16 is read as the minifier reads it: as
  // bytes, so its reference to the dropped copy is rewritten.
  TTempDir Site("site"), Out("out");
  Site.Write("img/a.gif", "GIF89a same");
  Site.Write("img/b.gif", "GIF89a same");
  Site.Write("index.html", Html);
  TAppConfig Config = BlankConfig();
  ASSERT_TRUE(Config.SetCharSet("UTF-16"));
  Config.IsReducePic = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_TRUE(R.KeptDuplicates.empty());
  const std::string Written = Slurp(Out.Path() + "index.html");
  const bool KeptA = Written.find("b.gif") == std::string::npos;
  const bool KeptB = Written.find("a.gif") == std::string::npos;
  EXPECT_TRUE(KeptA != KeptB) << Written;
  EXPECT_EQ(Slurp(Out.Path() + "img/a.gif").empty(), !KeptA);
  EXPECT_EQ(Slurp(Out.Path() + "img/b.gif").empty(), !KeptB);
}

}  // namespace
}  // namespace larkspan
