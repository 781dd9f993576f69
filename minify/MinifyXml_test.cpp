#include <gtest/gtest.h>

#include "minify/Minify.h"
#include "minify/MinifyTestUtil.h"

namespace larkspan::minify {
namespace {

TEST(TMinifyXmlTest, WhiteSpaceGoesOnlyBetweenTagsWithoutText) {
  const struct {
    const char* In;
    const char* Out;
    bool Comments;
  } Cases[] = {
      {"<a>\n  <b>x</b>\n  <c/>\n</a>\n", "<a><b>x</b><c/></a>", false},
      {"<p>Hello <b>a</b> <i>b</i></p>", "<p>Hello <b>a</b> <i>b</i></p>", false},
      {"<a>\n <b>  two  words </b>\n</a>", "<a><b>  two  words </b></a>", false},
      {"<a> <![CDATA[ x  y ]]> </a>", "<a> <![CDATA[ x  y ]]> </a>", false},
      {"<a>\n<![CDATA[<b> ]]>\n<c/></a>", "<a>\n<![CDATA[<b> ]]>\n<c/></a>", false},
      {"<a>\n <!-- note -->\n <b/>\n</a>", "<a><b/></a>", false},
      {"<a>\n <!-- note -->\n <b/>\n</a>", "<a><!-- note --><b/></a>", true},
      {"<a>x<!-- y -->z</a>", "<a>xz</a>", false},
      {"<?xml version=\"1.0\"   encoding=\"UTF-8\"?>\n<a/>\n",
       "<?xml version=\"1.0\"   encoding=\"UTF-8\"?><a/>", false},
      {"<a>\n <?pi  keep  this ?>\n</a>", "<a><?pi  keep  this ?></a>", false},
      {"<r>\n<a xml:space=\"preserve\">\n <b/>\n</a>\n</r>",
       "<r><a xml:space=\"preserve\">\n <b/>\n</a></r>", false},
      {"<r xml:space='preserve'> <a xml:space='default'> <c/> </a> <d> <e/> </d> </r>",
       "<r xml:space='preserve'> <a xml:space='default'><c/></a> <d> <e/> </d> </r>", false},
      {"<a  x = \"1  2\"   y='2'  />", "<a x=\"1  2\" y='2'/>", false},
      {"<a\n\tx=\"1\"\n>t</a >", "<a x=\"1\">t</a>", false},
      {"<!DOCTYPE a [\n <!ENTITY e \"<x>\">\n]>\n<a>&e;</a>",
       "<!DOCTYPE a [\n <!ENTITY e \"<x>\">\n]><a>&e;</a>", false},
      {"<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<p><b>a</b> "
       "<i>b</i></p>\n</html>\n",
       "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">\n<p><b>a</b> "
       "<i>b</i></p>\n</html>",
       false},
      {"<svg:g xmlns:svg=\"u\">\n <svg:rect/>\n</svg:g>",
       "<svg:g xmlns:svg=\"u\"><svg:rect/></svg:g>", false},
  };
  for (const auto& C : Cases) {
    TMinifyOptions O;
    O.PreserveComments = C.Comments;
    const TMinifyResult R = MinifyXml(C.In, TCodePage::Utf8, O);
    ASSERT_TRUE(R.Ok) << C.In << ": " << R.Error;
    EXPECT_EQ(R.Output, C.Out) << C.In;
    EXPECT_TRUE(test::KeepsBytes(C.In, R.Output, test::XmlRules(TCodePage::Utf8))) << C.In;
  }
}

TEST(TMinifyXmlTest, DoubleByteTextStaysWhole) {
  // GBK "乗" (81 5C) and a GBK character with trail "]" (81 5D) before "]>":
  // read byte by byte, "]]>" would end the CDATA section early.
  const std::string In =
      "<a t=\"\x81\x5C\"  u='1'>\n <b>\x81\x5C</b>\n <c><![CDATA[\x81\x5D]>]]></c>\n</a>";
  const TMinifyResult R = MinifyXml(In, TCodePage::Gbk, {});
  ASSERT_TRUE(R.Ok) << R.Error;
  EXPECT_EQ(R.Output, "<a t=\"\x81\x5C\" u='1'><b>\x81\x5C</b><c><![CDATA[\x81\x5D]>]]></c></a>");
}

TEST(TMinifyXmlTest, DocumentsThatAreNotWellFormedAreRefused) {
  const struct {
    const char* In;
    size_t Offset;
  } Cases[] = {
      {"<a><b></a>", 6},        {"<a>\n<b>", 4},      {"<a x=\"1></a>", 5}, {"<a><!-- x</a>", 3},
      {"<a><![CDATA[x</a>", 3}, {"<a>1 < 2</a>", 5},  {"</a>", 0},          {"<a x=1></a>", 0},
      {"<a><?pi </a>", 3},      {"<!DOCTYPE a [", 0},
  };
  for (const auto& C : Cases) {
    const TMinifyResult R = MinifyXml(C.In, TCodePage::Utf8, {});
    EXPECT_FALSE(R.Ok) << C.In;
    EXPECT_TRUE(R.Output.empty()) << C.In;
    EXPECT_EQ(R.Offset, C.Offset) << C.In << ": " << R.Error;
  }
}

}  // namespace
}  // namespace larkspan::minify
