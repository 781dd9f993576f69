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

// At safe: In gives Want, and minifying Want again changes nothing.
void ExpectPrintedSafe(std::string_view In, std::string_view Want,
                       TCodePage Page = TCodePage::Utf8) {
  TMinifyOptions Safe;
  Safe.Level = TMinifyLevel::Safe;
  const TMinifyResult R = MinifyCss(In, Page, Safe);
  ASSERT_TRUE(R.Ok) << In << ": " << R.Error;
  EXPECT_EQ(R.Output, Want) << In;
  EXPECT_EQ(MinifyCss(R.Output, Page, Safe).Output, R.Output) << "not stable: " << In;
  TMinifyOptions Smallest = Safe;
  Smallest.Level = TMinifyLevel::Smallest;
  EXPECT_EQ(MinifyCss(In, Page, Smallest).Output, R.Output) << "smallest differs: " << In;
}

TEST(TMinifyCssSafeTest, NumbersLoseNeedlessZerosButKeepTheirUnit) {
  ExpectPrintedSafe("a{opacity:0.50}", "a{opacity:.5}");
  ExpectPrintedSafe("a{width:10.0px;height:010px}", "a{width:10px;height:10px}");
  ExpectPrintedSafe("a{width:74.0%}", "a{width:74%}");
  ExpectPrintedSafe("a{margin:-0.50em 0.0% 1.250rem +1.0px}", "a{margin:-.5em 0% 1.25rem +1px}");
  ExpectPrintedSafe("a{font:12px/1.50 a}", "a{font:12px/1.5 a}");
  ExpectPrintedSafe("a{color:rgba(0,0,0,0.50)}", "a{color:rgba(0,0,0,.5)}");
  ExpectPrintedSafe("a{width:calc(0.50px + 1em)}", "a{width:calc(.5px + 1em)}");
  // Exponents, times and angles stay as they are.
  ExpectPrintedSafe("a{x:1e3;y:1.0e3;z:1.50E+2}", "a{x:1e3;y:1.0e3;z:1.50E+2}");
  ExpectPrintedSafe("a{transition:opacity 0.0s;transform:rotate(0deg)}",
                    "a{transition:opacity 0s;transform:rotate(0deg)}");
  // Not values: selectors, media queries, keyframe stops, unicode ranges.
  ExpectPrintedSafe("li:nth-child(2n+0){a:b}", "li:nth-child(2n+0){a:b}");
  ExpectPrintedSafe("@media (min-width:0.50px){a{b:c}}", "@media (min-width:0.50px){a{b:c}}");
  ExpectPrintedSafe("@keyframes k{0.0%{top:0.50px}}", "@keyframes k{0.0%{top:.5px}}");
  ExpectPrintedSafe("@font-face{unicode-range:U+0025-00FF,u+4??}",
                    "@font-face{unicode-range:U+0025-00FF,u+4??}");
}

TEST(TMinifyCssSafeTest, BlanksGoAroundProductsQuotientsNthSignsAndAfterParentheses) {
  const TCase Cases[] = {
      {"a{width:calc( 100%  -  (2 * 3px) / 4 )}", "a{width:calc(100% - (2*3px)/4)}"},
      {"a{width:calc(1px + 2px);height:calc(1px - -2px)}",
       "a{width:calc(1px + 2px);height:calc(1px - -2px)}"},
      {"a{font:12px / 1.5 a;grid-area:1 / 2 / span 3}", "a{font:12px/1.5 a;grid-area:1/2/span 3}"},
      {"a{aspect-ratio:16 / 9}", "a{aspect-ratio:16/9}"},
      // "/" before "*" would open a comment; expression() holds a script.
      {"a{x:1 / *b}", "a{x:1/ *b}"},
      {"a{width:expression(a / b)}", "a{width:expression(a / b)}"},
      {"li:nth-child( 2n + 1 ),p:NTH-LAST-OF-TYPE(-n - 3){x:y}",
       "li:nth-child(2n+1),p:NTH-LAST-OF-TYPE(-n-3){x:y}"},
      // Where the joined spelling would read otherwise, or is no An+B.
      {"li:nth-child(2n + 1 of .a + .b){x:y}", "li:nth-child(2n+1 of .a + .b){x:y}"},
      {"li:nth-child(+ 5){x:y}", "li:nth-child(+ 5){x:y}"},
      {"li:nth-child(2n + 1.5){x:y}", "li:nth-child(2n + 1.5){x:y}"},
      {"li:is(2n + 1){x:y}", "li:is(2n + 1){x:y}"},
      {"a+b,a * b{x:y}", "a+b,a * b{x:y}"},
      // The custom property's value stays byte for byte.
      {"a{--w:calc(1px * 2)}", "a{--w:calc(1px * 2)}"},
      // After a ")" no blank is needed, but before a sign.
      {"a{background:url(a.png) no-repeat;b:url( 'b.png' ) 0 0;c:rgba(0,0,0,.5) #fff}",
       "a{background:url(a.png)no-repeat;b:url(b.png)0 0;c:rgba(0,0,0,.5)#fff}"},
      {"@font-face{src:url(a.woff) format('woff'),url(b.eot) format(\"eot\")}",
       "@font-face{src:url(a.woff)format('woff'),url(b.eot)format(\"eot\")}"},
      {"a{width:calc((1px) + 2px);margin:calc(1px) -2px;x:var(--a) +1}",
       "a{width:calc((1px) + 2px);margin:calc(1px) -2px;x:var(--a) +1}"},
      {"a:not(.b) .c{x:y}@media (min-width:1px) and (max-width:2px){a{b:c}}",
       "a:not(.b) .c{x:y}@media (min-width:1px) and (max-width:2px){a{b:c}}"},
  };
  for (const TCase& C : Cases) ExpectPrintedSafe(C.In, C.Out);
  // The level spaces keeps these blanks.
  EXPECT_EQ(MinifyCss("a{width:calc(2 * 3px)}", TCodePage::Utf8, {}).Output,
            "a{width:calc(2 * 3px)}");
}

TEST(TMinifyCssSafeTest, ZeroLengthsLoseTheirUnitOnlyWhereTheGrammarAllows) {
  ExpectPrintedSafe("a{margin:0px 0.0em -0px 0PX}", "a{margin:0 0 0 0}");
  ExpectPrintedSafe("a{border:0px solid}", "a{border:0 solid}");
  ExpectPrintedSafe("a{flex:0 0 0px}", "a{flex:0 0 0px}");
  ExpectPrintedSafe("a{-webkit-flex:1 1 0px;FLEX-BASIS:0.0px}",
                    "a{-webkit-flex:1 1 0px;FLEX-BASIS:0px}");
  ExpectPrintedSafe("a{width:calc(0px + 1em)}", "a{width:calc(0px + 1em)}");
  ExpectPrintedSafe("a{width:max(0px,1em);x:var(--y,0px)}", "a{width:max(0px,1em);x:var(--y,0px)}");
  ExpectPrintedSafe("a{--x:0.50;--y:0px;--z:#aabbcc}", "a{--x:0.50;--y:0px;--z:#aabbcc}");
  ExpectPrintedSafe("@keyframes k{0%{}}", "@keyframes k{0%{}}");
  ExpectPrintedSafe("@keyframes k{0%{top:0px}to{top:1px}}", "@keyframes k{0%{top:0}to{top:1px}}");
  ExpectPrintedSafe("a{width:0%;transition-delay:0s}", "a{width:0%;transition-delay:0s}");
}

TEST(TMinifyCssSafeTest, ColoursTakeTheShortestEqualSpelling) {
  ExpectPrintedSafe("a{color:#aabbcc;background:#AABBCC}", "a{color:#abc;background:#ABC}");
  ExpectPrintedSafe("a{color:#aabbcd;b:#aabbccdd;c:#abc}", "a{color:#aabbcd;b:#aabbccdd;c:#abc}");
  ExpectPrintedSafe("a{color:rgb(255,0,0)}", "a{color:red}");
  ExpectPrintedSafe("a{color:RGB( 18 , 52 , 86 );x:1px}", "a{color:#123456;x:1px}");
  ExpectPrintedSafe("a{border:1px solid rgb(0,0,0)}", "a{border:1px solid #000}");
  ExpectPrintedSafe("a{b:rgb(100%,0,0);c:rgb(256,0,0);d:rgba(0,0,0,1);e:rgb(0 0 0);f:rgb(1.0,0,0)}",
                    "a{b:rgb(100%,0,0);c:rgb(256,0,0);d:rgba(0,0,0,1);e:rgb(0 0 0);f:#010000}");
  ExpectPrintedSafe("a{filter:progid:X.Gradient(startColorstr=#aabbcc)}",
                    "a{filter:progid:X.Gradient(startColorstr=#aabbcc)}");
  ExpectPrintedSafe("#aabbcc{color:red}", "#aabbcc{color:red}");
  ExpectPrintedSafe("a{content:\"0.50 #aabbcc rgb(0,0,0)\"}",
                    "a{content:\"0.50 #aabbcc rgb(0,0,0)\"}");
}

TEST(TMinifyCssSafeTest, ColourNamesAndWeightsTakeTheShorterEqualSpelling) {
  const TCase Cases[] = {
      {"a{color:WHITE;background:black url(x.png)}", "a{color:#fff;background:#000 url(x.png)}"},
      {"a{color:#ff0000;border:1px solid #D2B48C;x:rgb(255,0,0)}",
       "a{color:red;border:1px solid tan;x:#f00}"},
      {"a{color:rgb(255,0,0);fill:#ffff00}", "a{color:red;fill:#ff0}"},
      {"a{background-image:linear-gradient(white,#f00)}",
       "a{background-image:linear-gradient(#fff,red)}"},
      // Names of the author's and properties that are not colours.
      {"a{font-family:white,black;animation:black 1s;grid-area:yellow}",
       "a{font-family:white,black;animation:black 1s;grid-area:yellow}"},
      {"a{font:bold 12px black;--c:white;-x-color:#ff0000}",
       "a{font:700 12px black;--c:white;-x-color:#f00}"},
      {"a{font:italic BOLD 1em/2 a}b{font:12px bold}c{font:1em a,bold}d{font:normal 1em a}",
       "a{font:italic 700 1em/2 a}b{font:12px bold}c{font:1em a,bold}d{font:normal 1em a}"},
      {"a{color:cyan;background:blue}", "a{color:cyan;background:blue}"},
      {"a{font-weight:bold;b:c}p{FONT-WEIGHT:Normal!important}",
       "a{font-weight:700;b:c}p{FONT-WEIGHT:400!important}"},
      {"a{font-weight:bolder;font-weight:bold bold}",
       "a{font-weight:bolder;font-weight:bold bold}"},
      {"@font-face{font-weight:normal}", "@font-face{font-weight:400}"},
  };
  for (const TCase& C : Cases) ExpectPrintedSafe(C.In, C.Out);
}

TEST(TMinifyCssSafeTest, QuotesGoOnlyWhereTheValueNeedsNone) {
  ExpectPrintedSafe("a{background:url(\"a.png\")}", "a{background:url(a.png)}");
  ExpectPrintedSafe("a{background:url( 'img/b.png' ) no-repeat}",
                    "a{background:url(img/b.png)no-repeat}");
  ExpectPrintedSafe("@import url(\"x.css\") screen;", "@import url(x.css) screen;");
  for (const char* Kept :
       {"a{background:url(\"a b.png\")}", "a{b:url(\"a(1).png\")}", "a{b:url(\"\")}",
        "a{b:url(\"it's.png\")}", "a{b:url(\"a\\\"b\")}", "a{b:url(\"a\tb\")}"})
    ExpectPrintedSafe(Kept, Kept);
  ExpectPrintedSafe("[lang=\"zh-CN\"]{x:y}", "[lang=zh-CN]{x:y}");
  ExpectPrintedSafe("a[class~='b'],a[href^=\"_x\"]{x:y}", "a[class~=b],a[href^=_x]{x:y}");
  ExpectPrintedSafe("[a=\"b\" i]{x:y}", "[a=b i]{x:y}");
  for (const char* Kept :
       {"[title=\"a b\"]{x:y}", "[data-x=\"1\"]{x:y}", "[a=\"-1\"]{x:y}", "[a=\"\"]{x:y}",
        "[a=\"b\"i]{x:y}", "[a=\"b.c\"]{x:y}", "[a=\"\\62\"]{x:y}", "a{font-family:\"Arial\"}"})
    ExpectPrintedSafe(Kept, Kept);
}

TEST(TMinifyCssSafeTest, EmptyRulesGoButNotWhatTheirPresenceMeans) {
  ExpectPrintedSafe("a{}b{c:d}", "b{c:d}");
  ExpectPrintedSafe("a{ ; }b{c:d}", "b{c:d}");
  ExpectPrintedSafe("b{c:d}\n a , b:hover { }", "b{c:d}");
  ExpectPrintedSafe("@media print{a{}}b{c:d}", "b{c:d}");
  ExpectPrintedSafe("a{b:c;d{}}", "a{b:c}");
  ExpectPrintedSafe("a{b:c;d{}e:f}", "a{b:c;e:f}");
  for (const char* Kept : {"@keyframes k{0%{}}", "@font-face{}", "@layer x{}", "@page{}",
                           "a{/*! keep */}", "@media print{a{/*!k*/}}"})
    ExpectPrintedSafe(Kept, Kept);
}

TEST(TMinifyCssSafeTest, DoubleByteTrailBackslashIsNeverSyntax) {
  // GBK 81 5C and Big5 A5 5C hold a 0x5C that is no escape: strings stay,
  // and a url() or attribute value with one loses its quotes only in a code
  // page that knows it is part of a character.
  ExpectPrintedSafe("a{content:\"\x81\x5C\";width:0.50px}", "a{content:\"\x81\x5C\";width:.5px}",
                    TCodePage::Gbk);
  ExpectPrintedSafe("a{b:url(\"\x81\x5C.png\")}", "a{b:url(\x81\x5C.png)}", TCodePage::Gbk);
  ExpectPrintedSafe("[title=\"\x81\x5C\"]{x:y}", "[title=\x81\x5C]{x:y}", TCodePage::Gbk);
  ExpectPrintedSafe("a{content:'\xA5\x5C';color:#aabbcc}", "a{content:'\xA5\x5C';color:#abc}",
                    TCodePage::Big5);
  ExpectPrintedSafe("a{b:url('\xA5\x5C.png')}", "a{b:url(\xA5\x5C.png)}", TCodePage::Big5);
  // The same bytes read as UTF-8 (a wrong character set): the 0x5C may be
  // an escape, so the quotes stay.
  ExpectPrintedSafe("a{b:url(\"\x81\x5C.png\")}", "a{b:url(\"\x81\x5C.png\")}", TCodePage::Utf8);
  ExpectPrintedSafe("[title=\"\xA5\x5Cx\"]{x:y}", "[title=\"\xA5\x5Cx\"]{x:y}", TCodePage::Utf8);
}

TEST(TMinifyCssSafeTest, UnbalancedSheetsDoNotTrip) {
  for (const char* In :
       {"}}a{b:c}", "a{b:c", "a{b:(c;d:e}", "a{b:c}}}", "{{{", ")))a{b:c}", "@media{", "a{b:c;",
        ";;", "a{--x:{;}", "a{b:rgb(", "a{b:url(\"x\"", "[a=\"b\"", "a{}}", "{}{}"}) {
    TMinifyOptions Safe;
    Safe.Level = TMinifyLevel::Safe;
    const TMinifyResult R = MinifyCss(In, TCodePage::Utf8, Safe);
    ASSERT_TRUE(R.Ok) << In;
    EXPECT_EQ(MinifyCss(R.Output, TCodePage::Utf8, Safe).Output, R.Output) << In;
  }
}

void ExpectSmallest(std::string_view In, std::string_view Want, TCodePage Page = TCodePage::Utf8) {
  TMinifyOptions O;
  O.Level = TMinifyLevel::Smallest;
  const TMinifyResult R = MinifyCss(In, Page, O);
  ASSERT_TRUE(R.Ok) << In << ": " << R.Error;
  EXPECT_EQ(R.Output, Want) << In;
  EXPECT_EQ(MinifyCss(R.Output, Page, O).Output, R.Output) << "not stable: " << In;
}

TEST(TMinifyCssSmallestTest, AdjacentRulesMergeOnlyWhereTheCascadeStaysTheSame) {
  // The same selectors: one rule, declarations in order.
  ExpectSmallest("a{color:red}a{top:0}", "a{color:red;top:0}");
  ExpectSmallest("a{color:red}b{x:y}a{top:0}", "a{color:red}b{x:y}a{top:0}");
  // The same declarations: one rule with both selector lists, again with
  // the rule before when that one then has the same declarations.
  ExpectSmallest("a{color:red}.b>i,#c{color:red}", "a,.b>i,#c{color:red}");
  ExpectSmallest("b{x:1;y:2}a{x:1}a{y:2}", "b,a{x:1;y:2}");
  ExpectSmallest("a:hover{x:1}b:first-child{x:1}", "a:hover,b:first-child{x:1}");
  // A selector some browser drops would take the other with it.
  for (const char* In : {"a{x:1}b::before{x:1}", "a{x:1}b:not(.c){x:1}", "a{x:1}[d]{x:1}",
                         "a{x:1}::-moz-selection{x:1}", "a{x:1}#1b{x:1}", "a{x:1}.\\31 {x:1}"})
    ExpectSmallest(In, In);
  // Walls: another context, an at-rule, a kept comment, nested rules.
  for (const char* In :
       {"a{x:1}@media print{a{x:1}}", "@media print{a{x:1}}a{x:1}", "a{x:1}@font-face{x:1}a{x:1}",
        "a{x:1}/*! c */a{y:1}", "/*! c */a{x:1}a{x:1}", "a{x:1}a{&:hover{x:1}}",
        "@keyframes k{0%{x:1}to{x:1}}"})
    ExpectSmallest(In, In);
  // Inside @media the rules merge as in the sheet.
  ExpectSmallest("@media print{a{x:1}a{y:1}}", "@media print{a{x:1;y:1}}");
}

TEST(TMinifyCssSmallestTest, OverriddenDeclarationsGoButFallbacksStay) {
  ExpectSmallest("a{color:red;top:0;color:red}", "a{top:0;color:red}");
  ExpectSmallest("a{color:#fff;color:#000}", "a{color:#000}");
  ExpectSmallest("a{width:10px;width:20%}", "a{width:20%}");
  ExpectSmallest("a{--x:1;--x:1}", "a{--x:1}");
  ExpectSmallest("a{*zoom:1;*zoom:1}", "a{*zoom:1}");
  // A later value an older browser may not take leaves the earlier one as
  // its fallback; so do vendor forms and !important.
  for (const char* In :
       {"a{display:-webkit-box;display:flex}", "a{display:block;display:flex}",
        "a{width:100px;width:calc(100% - 1em)}", "a{color:#fff;color:rgba(0,0,0,.5)}",
        "a{background:red;background:linear-gradient(red,blue)}", "a{width:1px;width:5vw}",
        "a{color:#fff!important;color:#000}", "a{width:1px;width:-2px}",
        "a{-webkit-x:1px;-webkit-x:2px}", "a{color:red;color:#fff8}", "a{width:1px;width:3}",
        "a{width:1px;width:2px\\9}"})
    ExpectSmallest(In, In);
  ExpectSmallest("a{color:#fff;color:#000!important}", "a{color:#000!important}");
}

TEST(TMinifyCssSmallestTest, FourSidesBecomeTheShorthandWhenPlain) {
  ExpectSmallest("a{margin-top:1px;margin-right:2px;margin-bottom:3px;margin-left:4px}",
                 "a{margin:1px 2px 3px 4px}");
  ExpectSmallest("a{color:red;padding-left:1em;padding-top:0;padding-right:1em;padding-bottom:0}",
                 "a{color:red;padding:0 1em}");
  ExpectSmallest("a{margin-top:0;margin-right:auto;margin-bottom:0;margin-left:auto;x:1}",
                 "a{margin:0 auto;x:1}");
  ExpectSmallest("a{margin-top:1px;margin-right:1px;margin-bottom:1px;margin-left:1px}",
                 "a{margin:1px}");
  ExpectSmallest("a{margin-top:1px;margin-right:2px;margin-bottom:1px;margin-left:3px}",
                 "a{margin:1px 2px 1px 3px}");
  for (const char* In : {
           "a{margin-top:1px;margin-right:1px;margin-bottom:1px}",
           "a{margin-top:1px;margin-right:1px;margin-bottom:1px;margin-left:1px!important}",
           "a{margin-top:1px;margin-right:1px;margin-bottom:1px;margin-left:inherit}",
           "a{margin-top:1px;margin-right:1px;margin-bottom:1px;margin-left:var(--m)}",
           "a{margin-top:1px;margin-right:1px;margin-bottom:1px;margin-left:1px;"
           "margin-inline-start:0}",
           "a{margin-top:1px;margin-right:1px;margin-bottom:1px;*margin-left:0;margin-left:1px}",
           "a{padding-top:1px;padding-right:1px;padding-bottom:1px;padding-left:-1px}",
           "a{padding-top:1px;padding-right:1px;padding-bottom:1px;padding-left:auto}",
           "a{margin-top:1;margin-right:1px;margin-bottom:1px;margin-left:1px}",
       })
    ExpectSmallest(In, In);
}

TEST(TMinifyCssSmallestTest, DoubleByteSelectorsAndStringsStayByteForByte) {
  // GBK: the trail byte 0x5C of "\x81\x5C" is no escape; the rules merge
  // without touching a byte of the names or the string.
  ExpectSmallest(".\x81\x5C{content:\"\x81\x5C\"}.\x81\x5C{top:0}",
                 ".\x81\x5C{content:\"\x81\x5C\";top:0}", TCodePage::Gbk);
}

}  // namespace
}  // namespace larkspan::minify
