#include <gtest/gtest.h>

#include "minify/Minify.h"
#include "minify/MinifyTestUtil.h"

namespace larkspan::minify {
namespace {

struct TCase {
  const char* In;
  const char* Out;
};

void ExpectMinified(const TCase* Begin, const TCase* End, TCodePage Page) {
  for (const TCase* C = Begin; C != End; ++C) {
    const TMinifyResult R = MinifyCss(C->In, Page, {});
    ASSERT_TRUE(R.Ok) << C->In << ": " << R.Error;
    EXPECT_EQ(R.Output, C->Out) << C->In;
    EXPECT_TRUE(test::KeepsBytes(C->In, R.Output, test::CssRules(Page))) << C->In;
    const TMinifyResult Again = MinifyCss(R.Output, Page, {});
    EXPECT_EQ(Again.Output, R.Output) << "not stable: " << C->In;
  }
}

TEST(TMinifyCssTest, NumbersUnitsAndStringsStayAsWritten) {
  const TCase Cases[] = {
      {".a{width:74.0%;b:1.0px}", ".a{width:74.0%;b:1.0px}"},
      {".a { margin : 0px 0.0em 010px .50rem ; }", ".a{margin:0px 0.0em 010px .50rem}"},
      {".a{transition:opacity 0s,top 0.0ms}", ".a{transition:opacity 0s,top 0.0ms}"},
      {"a{color:#FFFFFF;z-index:+1;margin:-0;x:1e3}",
       "a{color:#FFFFFF;z-index:+1;margin:-0;x:1e3}"},
      {"a{content:\"  \"}", "a{content:\"  \"}"},
      {"a{content:'/* no comment */'}", "a{content:'/* no comment */'}"},
      {"a{content:\"a\\\"  b\"}", "a{content:\"a\\\"  b\"}"},
      {"a{background:url( a.png\t)}", "a{background:url( a.png\t)}"},
      {"a{background:url(data:image/png;base64,iVBO/*x*/Rw0K)}",
       "a{background:url(data:image/png;base64,iVBO/*x*/Rw0K)}"},
      {"a{background:url( \"x y.png\" ) no-repeat}", "a{background:url(\"x y.png\") no-repeat}"},
      {".a\\31 23 { b : c }", ".a\\31 23{b:c}"},
      {"@charset \"UTF-8\";\n@import url(x.css) screen;",
       "@charset \"UTF-8\";@import url(x.css) screen;"},
  };
  ExpectMinified(std::begin(Cases), std::end(Cases), TCodePage::Utf8);
}

TEST(TMinifyCssTest, WhiteSpaceGoesOnlyWhereTheGrammarAllows) {
  const TCase Cases[] = {
      {"a b>c{x:y}", "a b>c{x:y}"},
      {"a  b  >  c ,\n d  +  e ~ f { x : y ; }", "a b>c,d+e~f{x:y}"},
      {"a :hover, a:not( .b ) {x:y}", "a :hover,a:not(.b){x:y}"},
      {"li:nth-child( 2n + 1 ) {x:y}", "li:nth-child(2n + 1){x:y}"},
      {"[ href = \"x\" ] {x:y}", "[href = \"x\"]{x:y}"},
      {".a{width:calc(1px + 2px)}", ".a{width:calc(1px + 2px)}"},
      {".a{width:calc( 100%  -  (2 * 3px) )}", ".a{width:calc(100% - (2 * 3px))}"},
      {"@media screen and (max-width:1px){a{b:c}}", "@media screen and (max-width:1px){a{b:c}}"},
      {"@media screen and ( max-width : 1px ) , print { a { b : c } }",
       "@media screen and (max-width:1px),print{a{b:c}}"},
      {"@media (width >= 600px) and (400px <= height){a{b:c}}",
       "@media (width>=600px) and (400px<=height){a{b:c}}"},
      {"@supports (a:b) or (c:d){a{b:c}}", "@supports (a:b) or (c:d){a{b:c}}"},
      {"@supports not (a:b){a{b:c}}", "@supports not (a:b){a{b:c}}"},
      {"@supports not ( display : grid ) { a { b : c } }", "@supports not (display:grid){a{b:c}}"},
      {"a { color : red ! important ; }", "a{color:red!important}"},
      {"a{font:12px / 1.5 a , b}", "a{font:12px / 1.5 a,b}"},
      {"a{b:c;;d:e;}", "a{b:c;;d:e}"},
      {"a{}", "a{}"},
      {"\n\n  a{b:c}  \n", "a{b:c}"},
  };
  ExpectMinified(std::begin(Cases), std::end(Cases), TCodePage::Utf8);
}

TEST(TMinifyCssTest, CommentsGoButImportantOnesStay) {
  const TCase Cases[] = {
      {"/* x */a{b:c}", "a{b:c}"},
      {"/*! (c) us */\na{b:c}", "/*! (c) us */a{b:c}"},
      {"a{margin:1px/**/2px}", "a{margin:1px 2px}"},
      {".a/**/.b{c:d}", ".a.b{c:d}"},
      {"a /* x */ b{c:d}", "a b{c:d}"},
      {"a{b:c; /* last */ }", "a{b:c}"},
      {"a{b:c;/*! keep */}", "a{b:c;/*! keep */}"},
      {"<!-- a{b:c} -->", "<!--a{b:c}-->"},
  };
  ExpectMinified(std::begin(Cases), std::end(Cases), TCodePage::Utf8);
}

TEST(TMinifyCssTest, CustomPropertiesHacksAndNestingStay) {
  const TCase Cases[] = {
      {"a{--x: 1px  2px ;--y:{ a : b }}", "a{--x: 1px  2px ;--y:{ a : b }}"},
      {"a { --empty: ; color : var( --x ) }", "a{--empty: ;color:var(--x)}"},
      {"a{*zoom:1;_height:1px;color:red\\9;width:1px\\9 }",
       "a{*zoom:1;_height:1px;color:red\\9;width:1px\\9 }"},
      {"a { filter : progid:DXImageTransform.Microsoft.gradient( startColorstr='#1', "
       "endColorstr='#2' ) ; }",
       "a{filter:progid:DXImageTransform.Microsoft.gradient( startColorstr='#1', "
       "endColorstr='#2' )}"},
      {"a{-ms-filter:\"progid:DXImageTransform.Microsoft.Alpha(Opacity=80)\"}",
       "a{-ms-filter:\"progid:DXImageTransform.Microsoft.Alpha(Opacity=80)\"}"},
      {".a { color : red ; &:hover { color : blue } .b :c { d : e } }",
       ".a{color:red;&:hover{color:blue}.b :c{d:e}}"},
      {"@font-face { font-family : \"x\" ; src : url(a.woff) }",
       "@font-face{font-family:\"x\";src:url(a.woff)}"},
      {"@keyframes k { 0% { top : 0 } 100% { top : 10px } }",
       "@keyframes k{0%{top:0}100%{top:10px}}"},
      {"@page :first { margin : 1in ; @top-left { content : \"x\" } }",
       "@page :first{margin:1in;@top-left{content:\"x\"}}"},
  };
  ExpectMinified(std::begin(Cases), std::end(Cases), TCodePage::Utf8);
}

TEST(TMinifyCssTest, DoubleByteTrailBackslashIsNoEscape) {
  // GBK "乗" is 81 5C, Big5 "許" B3 5C and "功" A5 5C: read as an escape, the
  // 0x5C would swallow the closing quote or the next byte.
  const TCase Gbk[] = {
      {"a{content:\"\x81\x5C\"; b : c}", "a{content:\"\x81\x5C\";b:c}"},
      {".\x81\x5C { b : c }", ".\x81\x5C{b:c}"},
      {"a{font-family:\x81\x5C\x82\x5C , serif}", "a{font-family:\x81\x5C\x82\x5C,serif}"},
      {"/* \x81\x5C */a{b:c}", "a{b:c}"},
  };
  ExpectMinified(std::begin(Gbk), std::end(Gbk), TCodePage::Gbk);
  const TCase Big5[] = {
      {"a{content:'\xB3\x5C'; b : c}", "a{content:'\xB3\x5C';b:c}"},
      {"a{font-family:\"\xA5\x5C\" , serif}", "a{font-family:\"\xA5\x5C\",serif}"},
      {".\xB3\x5C\xA5\x5C b{c:d}", ".\xB3\x5C\xA5\x5C b{c:d}"},
  };
  ExpectMinified(std::begin(Big5), std::end(Big5), TCodePage::Big5);
}

TEST(TMinifyCssTest, BrokenSheetsAreRefusedWithThePosition) {
  const struct {
    const char* In;
    size_t Offset;
    int Line;
    int Column;
  } Cases[] = {
      {"a{content:\"x}", 10, 1, 11}, {"a{b:c}\n/* open", 7, 2, 1}, {"a{content:'x\n'}", 10, 1, 11},
      {"a{b:url(x}", 4, 1, 5},       {"a{b:url(a b)}", 4, 1, 5},   {"a{b:c}\nd{e:\"f\\", 11, 2, 5},
  };
  for (const auto& C : Cases) {
    const TMinifyResult R = MinifyCss(C.In, TCodePage::Utf8, {});
    EXPECT_FALSE(R.Ok) << C.In;
    EXPECT_TRUE(R.Output.empty()) << C.In;
    EXPECT_FALSE(R.Error.empty()) << C.In;
    EXPECT_EQ(R.Offset, C.Offset) << C.In;
    EXPECT_EQ(R.Line, C.Line) << C.In;
    EXPECT_EQ(R.Column, C.Column) << C.In;
  }
}

TEST(TMinifyCssTest, UnbalancedSheetsStillKeepEveryByte) {
  for (const char* In : {"}}a{b:c}", "a{b:c", "a{b:(c;d:e}", "a{b:c}}}", "{{{", ")))a{b:c}",
                         "@media{", "a{b:c;", ";;", "a{--x:{;}"}) {
    const TMinifyResult R = MinifyCss(In, TCodePage::Utf8, {});
    ASSERT_TRUE(R.Ok) << In;
    EXPECT_TRUE(test::KeepsBytes(In, R.Output, test::CssRules(TCodePage::Utf8))) << In;
  }
}

}  // namespace
}  // namespace larkspan::minify
