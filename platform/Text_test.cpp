#include "platform/Text.h"

#include <gtest/gtest.h>

namespace larkspan {

TEST(TextTest, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_TRUE(SameText("Thumbs.DB", "thumbs.db"));
  EXPECT_FALSE(SameText("a", "ab"));
  // GBK bytes (and any byte >= 0x80) are compared exactly.
  EXPECT_FALSE(SameText("\xC4\xE3", "\xE4\xE3"));
  EXPECT_EQ(UpperCaseAscii("img/\xC4\xE3.gif"), "IMG/\xC4\xE3.GIF");
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_LT(CompareText("ab", "ABC"), 0);
  EXPECT_EQ(FindText("x/IMG/B.gif", "img/b.GIF"), 2u);
  EXPECT_EQ(FindText("abc", "d"), std::string::npos);
}

TEST(TextTest, HexDigitValueTakesAsciiHexDigitsOnly) {
  const std::string Lower = "0123456789abcdef", Upper = "0123456789ABCDEF";
  for (int V = 0; V < 16; ++V) {
    EXPECT_EQ(HexDigitValue(Lower[size_t(V)]), V);
    EXPECT_EQ(HexDigitValue(Upper[size_t(V)]), V);
  }
  // The bytes either side of each range, and bytes of a GBK character.
  for (const char C : std::string("/:`g@G xX\xC4\xE6") + '\0')
    EXPECT_EQ(HexDigitValue(C), -1) << int(C);
}

TEST(TextTest, FileNameParts) {
  struct Case {
    const char* Path;
    const char* Ext;
    const char* Name;
    const char* Folder;
  } Cases[] = {
      {"/site/img/a.GIF", ".GIF", "a.GIF", "/site/img/"},
      {"/site/img.d/noext", "", "noext", "/site/img.d/"},
      {"archive.tar.gz", ".gz", "archive.tar.gz", ""},
      {"/site/.hidden", ".hidden", ".hidden", "/site/"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(ExtractFileExt(C.Path), C.Ext) << C.Path;
    EXPECT_EQ(ExtractFileName(C.Path), C.Name) << C.Path;
    EXPECT_EQ(ExtractFilePath(C.Path), C.Folder) << C.Path;
  }
  EXPECT_EQ(IncludeTrailingDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingDelimiter("/a/"), "/a/");
  EXPECT_EQ(ExcludeTrailingDelimiter("/a/"), "/a");
}

TEST(TextTest, PathWithinComparesWholeComponents) {
  struct Case {
    const char* Path;
    const char* Folder;
    bool Within;
  } Cases[] = {
      {"/a/b", "/a", true},     {"/a", "/a", true},
      {"/a/", "/a", true},      {"/a/bc", "/a/b", false},
      {"/web2", "/web", false}, {"/a", "/a/b", false},
      {"/x", "/", true},        {"/site-min", "/site", false},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(IsPathWithin(C.Path, C.Folder), C.Within) << C.Path << " " << C.Folder;
}

TEST(TextTest, Utf8Validity) {
  struct Case {
    const char* Text;
    bool Valid;
  } Cases[] = {
      {"plain", true},
      {"中文", true},
      {"\xC4\xE3", false},  // GBK
      {"\xC0\xAF", false},
      {"\xED\xA0\x80", false},  // overlong, surrogate
      {"\xF4\x90\x80\x80", false},
      {"\xF0\x9F\x98\x80", true},
      {"\xE4\xB8", false},
  };
  for (const Case& C : Cases) EXPECT_EQ(IsValidUtf8(C.Text), C.Valid) << C.Text;
}

TEST(TextTest, QuotedNameQuotesOnlyNamesWithControlCharacters) {
  const std::pair<std::string, std::string> Cases[] = {
      {"img/a b.png", "img/a b.png"},  // nothing to quote: as it is
      {"\xC4\xE3 中.html", "\xC4\xE3 中.html"},
      {"it's.txt", "it's.txt"},
      {"a\nb", "'a'$'\\n''b'"},
      {"\x1b[31mred", "$'\\033''[31mred'"},
      {"tab\t", "'tab'$'\\t'"},
      {"it's\r", "'it'\\''s'$'\\r'"},
      {std::string("nul\0", 4), "'nul'$'\\000'"},
      {"del\x7f", "'del'$'\\177'"},
  };
  for (const auto& [Name, Shown] : Cases) EXPECT_EQ(QuotedName(Name), Shown) << Shown;
}

}  // namespace larkspan
