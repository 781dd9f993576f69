#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <sstream>

namespace larkspan {
namespace {

TEST(CodePageTest, NamesFromTheWindowAndFromUsers) {
  const struct {
    const char* Name;
    std::optional<TCodePage> Page;
  } Cases[] = {
      {"GB2312", TCodePage::Gbk},
      {"GBK", TCodePage::Gbk},
      {"Big5", TCodePage::Big5},
      {"ISO-8859-1", TCodePage::Single},
      {"UTF-8", TCodePage::Utf8},
      {"UTF-16", TCodePage::Utf16LE},
      {"utf8", TCodePage::Utf8},
      {"Utf_8", TCodePage::Utf8},
      {"gb18030", TCodePage::Gbk},
      {"cp936", TCodePage::Gbk},
      {"big5-hkscs", TCodePage::Big5},
      {"latin1", TCodePage::Single},
      {"windows-1252", TCodePage::Single},
      {"utf-16be", TCodePage::Utf16BE},
      {"UTF-16LE", TCodePage::Utf16LE},
      {"Unicode", TCodePage::Utf16LE},
      {"UCS-2", TCodePage::Utf16LE},
      {" gb2312 ", TCodePage::Gbk},
      {"", std::nullopt},
      {"klingon", std::nullopt},
      {"UTF8X", std::nullopt},
      {"UTF-7", std::nullopt},
  };
  for (const auto& C : Cases) EXPECT_EQ(ParseCodePage(C.Name), C.Page) << C.Name;
}

TEST(CodePageTest, UsualNamesReadBackAndTheListedNamesAreTaken) {
  for (const TCodePage P : {TCodePage::Utf8, TCodePage::Gbk, TCodePage::Big5, TCodePage::Single,
                            TCodePage::Utf16LE, TCodePage::Utf16BE})
    EXPECT_EQ(ParseCodePage(CodePageName(P)), P) << CodePageName(P);
  // Every name the refusal offers must itself be accepted ("x" stands for a
  // digit or letter: ISO-8859-x).
  std::string Listed = AcceptedCodePageNames();
  Listed = Listed.substr(0, Listed.find(" ("));
  std::istringstream In(Listed);
  std::string Name;
  int Count = 0;
  while (std::getline(In, Name, ',')) {
    for (char& C : Name)
      if (C == 'x') C = '1';
    EXPECT_TRUE(ParseCodePage(Name).has_value()) << Name;
    ++Count;
  }
  EXPECT_GE(Count, 6);
}

}  // namespace
}  // namespace larkspan
