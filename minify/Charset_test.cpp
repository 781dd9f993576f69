#include "minify/Charset.h"

#include <gtest/gtest.h>

namespace larkspan::minify {
namespace {

TEST(TCharsetTest, DetectsTheCodePageOfOneFile) {
  const struct {
    std::string Bytes;
    TCodePage Setting;
    TCodePage Expected;
  } Cases[] = {
      {"\xEF\xBB\xBF"
       "a{}",
       TCodePage::Gbk, TCodePage::Utf8},
      {"\xFF\xFE"
       "a\0",
       TCodePage::Gbk, TCodePage::Utf16LE},
      {"\xFE\xFF\0a", TCodePage::Big5, TCodePage::Utf16BE},
      {"\xE4\xB8\xAD", TCodePage::Gbk, TCodePage::Utf8},       // "中" in UTF-8 under GB2312
      {"\xD6\xD0\xCE\xC4", TCodePage::Gbk, TCodePage::Gbk},    // "中文" in GBK
      {"\x81\x5C\x82\x5C", TCodePage::Gbk, TCodePage::Gbk},    // "乗俓"
      {"\xB3\x5C\xA5\x5C", TCodePage::Big5, TCodePage::Big5},  // "許功"
      {"plain ascii", TCodePage::Big5, TCodePage::Big5},
      {"\xE9t\xE9", TCodePage::Single, TCodePage::Single},  // Latin-1 "été"
      {"\xC0\xAF", TCodePage::Gbk, TCodePage::Gbk},         // overlong "/" is not UTF-8
      {"\xED\xA0\x80", TCodePage::Gbk, TCodePage::Gbk},     // a surrogate is not UTF-8
      {std::string("a\0b\0", 4), TCodePage::Utf16LE, TCodePage::Utf16LE},
      {std::string("\0a\0b", 4), TCodePage::Utf16LE, TCodePage::Utf16BE},
      {"ascii labelled UTF-16", TCodePage::Utf16LE, TCodePage::Utf8},
      {"\xE4\xB8\xAD labelled UTF-16", TCodePage::Utf16BE, TCodePage::Utf8},
      {std::string("a\0b\0c\0", 6), TCodePage::Gbk, TCodePage::Utf16LE},  // no mark, GB2312 set
      {"\x2D\x4E\x87\x65", TCodePage::Utf16LE, TCodePage::Utf16LE},       // "中文", no zero byte
      {std::string("a\0", 2) + std::string(50, 'x'), TCodePage::Gbk, TCodePage::Gbk},  // stray zero
  };
  for (const auto& C : Cases) EXPECT_EQ(DetectCodePage(C.Bytes, C.Setting), C.Expected) << C.Bytes;
}

TEST(TCharsetTest, LeadByteTakesItsTrailByte) {
  const struct {
    TCodePage Page;
    std::string Bytes;
    size_t At;
    size_t Length;
  } Cases[] = {
      {TCodePage::Gbk, "\x81\x5C", 0, 2},  // "乗": 0x5C is no backslash
      {TCodePage::Gbk, "\x81\x7D", 0, 2},  // trail "}" stays with its lead
      {TCodePage::Gbk, "\xD6\xD0", 0, 2},
      {TCodePage::Gbk, "\x81\"", 0, 1},            // a quote is no trail byte
      {TCodePage::Gbk, "\x81", 0, 1},              // lead at the end
      {TCodePage::Gbk, "\x95\x32\x82\x36", 0, 4},  // GB18030 four-byte form
      {TCodePage::Gbk, "\x95\x32\x20", 0, 1},
      {TCodePage::Gbk, "a\x81\x5C", 1, 2},
      {TCodePage::Big5, "\xB3\x5C", 0, 2},  // "許"
      {TCodePage::Big5, "\xA5\x5C", 0, 2},  // "功"
      {TCodePage::Big5, "\xA5\x80", 0, 1},  // 0x80 is no Big5 trail
      {TCodePage::Utf8, "\xE4\xB8\xAD", 0, 3},
      {TCodePage::Utf8, "\xE4\xB8", 0, 1},  // cut sequence: byte by byte
      {TCodePage::Utf8, "\xF0\x9F\x98\x80", 0, 4},
      {TCodePage::Single, "\xE9\x5C", 0, 1},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(CharLength(C.Page, C.Bytes, C.At), C.Length) << static_cast<int>(C.Page);
}

TEST(TCharsetTest, Utf16RoundTrip) {
  // "a中😀" with and without the mark, both byte orders.
  const std::string Utf8 = "a\xE4\xB8\xAD\xF0\x9F\x98\x80";
  const std::string Le(
      "\xFF\xFE"
      "a\0\x2D\x4E\x3D\xD8\x00\xDE",
      10);
  const std::string Be("\xFE\xFF\0a\x4E\x2D\xD8\x3D\xDE\x00", 10);
  EXPECT_EQ(Utf8ToUtf16(Utf8, false, true), Le);
  EXPECT_EQ(Utf8ToUtf16(Utf8, true, true), Be);
  EXPECT_EQ(Utf8ToUtf16(Utf8, false, false), Le.substr(2));
  std::string Out;
  ASSERT_TRUE(Utf16ToUtf8(Le, false, Out));
  EXPECT_EQ(Out, Utf8);
  ASSERT_TRUE(Utf16ToUtf8(Be.substr(2), true, Out));
  EXPECT_EQ(Out, Utf8);
  EXPECT_EQ(Utf16LengthOfUtf8(Utf8), 4u);

  EXPECT_FALSE(Utf16ToUtf8(std::string("a\0b", 3), false, Out)) << "odd length";
  EXPECT_FALSE(Utf16ToUtf8(std::string("\x3D\xD8"
                                       "a\0",
                                       4),
                           false, Out))
      << "lone high";
  EXPECT_FALSE(Utf16ToUtf8(std::string("\x00\xDE", 2), false, Out)) << "lone low";
  EXPECT_TRUE(IsValidUtf8(Utf8));
  EXPECT_FALSE(IsValidUtf8("\x81\x5C"));
}

}  // namespace
}  // namespace larkspan::minify
