#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "minify/Minify.h"
#include "minify/PagePreRules.h"

namespace larkspan::minify {
namespace {

std::string Page(std::string_view In, TCodePage Code = TCodePage::Gbk, bool KeepComments = false) {
  TMinifyOptions O;
  O.PreserveComments = KeepComments;
  O.PreservePhp = O.PreserveServerScript = true;
  const TMinifyResult R = MinifyPage(In, Code, O);
  EXPECT_TRUE(R.Ok) << In;
  return R.Output;
}

TEST(MinifyPageTest, WhiteSpaceBetweenContent) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      // Inline elements keep their gap: one blank, or one newline when the run
      // held a line break (a break between CJK characters is no blank).
      {"<p><b>a</b> <i>b</i></p>", "<p><b>a</b> <i>b</i></p>"},
      {"<p><b>a</b>   \t <i>b</i></p>", "<p><b>a</b> <i>b</i></p>"},
      {"<p>中\n   文</p>", "<p>中\n文</p>"},
      {"<p>a \r\n\r\n b</p>", "<p>a\nb</p>"},
      {"<li>one</li>\n  <li>two</li>", "<li>one</li>\n<li>two</li>"},
      {"<span class=\"btn\">x</span>  <span>y</span>",
       "<span class=\"btn\">x</span> <span>y</span>"},
      // The document's frame and head: never rendered, so it goes.
      {"<!DOCTYPE html>\n<html>\n<head>\n  <meta charset=\"gbk\">\n  <title> T  x </title>\n"
       "  <script src=\"a.js\"></script>\n</head>\n<body>\n<p>x</p>\n</body>\n</html>\n",
       "<!DOCTYPE html><html><head><meta charset=\"gbk\"><title> T x </title>"
       "<script src=\"a.js\"></script></head><body>\n<p>x</p>\n</body></html>"},
      // A script after the body started is content: its gap stays.
      {"<body><b>a</b>\n<script></script>\n<b>b</b>",
       "<body><b>a</b>\n<script></script>\n<b>b</b>"},
      // Tags: blanks before '>' and around '=' go, attribute values stay.
      {"<a  href = \"x  y\"\n  title='  t  ' >k</a >", "<a href=\"x  y\" title='  t  '>k</a>"},
      {"<img src=a.png alt=\"\" />", "<img src=a.png alt=\"\" />"},
      {"<input value=\"a\tb\"\tdisabled>", "<input value=\"a\tb\" disabled>"},
      // Kept content.
      {"<pre>  a\n\n  b </pre> <p> x </p>", "<pre>  a\n\n  b </pre> <p> x </p>"},
      {"<pre>a<pre> b  </pre>  c </pre>", "<pre>a<pre> b  </pre>  c </pre>"},
      {"<textarea>  a\n  b</textarea>", "<textarea>  a\n  b</textarea>"},
      {"<script>\nvar a = 1\n++b\n</script>", "<script>\nvar a = 1\n++b\n</script>"},
      {"<style>\n a  b { c : d }\n</style>", "<style>\n a  b { c : d }\n</style>"},
      {"<xmp> <b> x </b> </xmp>", "<xmp> <b> x </b> </xmp>"},
      {"<plaintext> a   b\n\n", "<plaintext> a   b\n\n"},
      // Comments go, except conditional ones and server-side includes; two runs
      // around a removed comment become one. Between two pieces of text an
      // empty comment keeps them two text nodes (a browser shapes each by
      // itself); one no longer than that stays as it is.
      {"a <!-- note --> b", "a <!----> b"},
      {"a\n<!-- note -->  b", "a\n<!----> b"},
      {"&quot; <!-- raw HTML omitted -->(", "&quot; <!---->("},
      {"a<!---->b<!-->c", "a<!---->b<!-->c"},
      {"<p>a</p>\n<!-- note -->\n<p>b</p>", "<p>a</p>\n<p>b</p>"},
      {"<b>a</b><!-- note --><b>b</b>", "<b>a</b><b>b</b>"},
      {"a <!-- note --><b>b</b>", "a <b>b</b>"},
      {"a <!-- one --> <!-- two --> b", "a <!----> b"},
      // A title, an iframe, noembed and noframes hold text: a "<" there opens
      // no comment and no tag.
      {"<title>a <!--b--> c</title>", "<title>a <!--b--> c</title>"},
      {"<title>x<b >y</b></title><p>", "<title>x<b >y</b></title><p>"},
      {"<iframe>a  <!--b--> c</iframe>", "<iframe>a  <!--b--> c</iframe>"},
      {"<noembed> <!--b--> </noembed><noframes> <!--c--> </noframes>",
       "<noembed> <!--b--> </noembed><noframes> <!--c--> </noframes>"},
      {"<!--[if lt IE 9]><script src=\"h.js\"></script><![endif]-->",
       "<!--[if lt IE 9]><script src=\"h.js\"></script><![endif]-->"},
      {"<!--[if !IE]><!--><p>x</p><!--<![endif]-->", "<!--[if !IE]><!--><p>x</p><!--<![endif]-->"},
      {"<p><!--#include virtual=\"a.html\" --></p>", "<p><!--#include virtual=\"a.html\" --></p>"},
      {"<!-->a", "a"},
      {"x<!-- never closed  \n  y", "x<!-- never closed  \n  y"},
      {"<![CDATA[  a  ]]>", "<![CDATA[  a  ]]>"},
      // Server blocks, in text, in tags and in values, byte for byte; "?>" in a
      // PHP string does not end the block.
      {"<?php  echo \"?>\" ;  ?>  <p>", "<?php  echo \"?>\" ;  ?> <p>"},
      {"<?php // c ?>  x", "<?php // c ?> x"},
      {"<%  Response.Write(\"a  b\")  %>", "<%  Response.Write(\"a  b\")  %>"},
      {"<a href=\"<?= $u  ?>\"  <?php  if ($x) { ?>class=\"k\"<?php } ?>>",
       "<a href=\"<?= $u  ?>\" <?php  if ($x) { ?>class=\"k\"<?php } ?>>"},
      {"<?php\n$a = 'x';\n", "<?php\n$a = 'x';\n"},
      // Malformed markup is copied.
      {"a < b  and  c<", "a < b and c<"},
      {"<p title=\"x   ", "<p title=\"x   "},
      {"<a  href", "<a  href"},
      {"</ p>", "</ p>"},
  };
  for (const Case& C : Cases) EXPECT_EQ(Page(C.In), C.Out) << C.In;
  EXPECT_EQ(Page("a <!-- n --> b", TCodePage::Gbk, true), "a <!-- n --> b");
}

TEST(MinifyPageTest, DoubleByteCharactersStayWhole) {
  // GBK "乗俓" (81 5C 81 5F 81 61...) and Big5 "許功" (B3 5C A5 5C): trail
  // bytes 0x5C and letters, in text and in attribute values.
  const std::string Gbk = "<p title=\"\x81\x5C\x81\x5F  \">\x81\x5C  \x81\x61</p>";
  EXPECT_EQ(Page(Gbk, TCodePage::Gbk), "<p title=\"\x81\x5C\x81\x5F  \">\x81\x5C \x81\x61</p>");
  const std::string Big5 = "<a title='\xB3\x5C\xA5\x5C'>\xB3\x5C\n\n\xA5\x5C</a>";
  EXPECT_EQ(Page(Big5, TCodePage::Big5), "<a title='\xB3\x5C\xA5\x5C'>\xB3\x5C\n\xA5\x5C</a>");
  // A lead byte before markup is a broken character: the markup still counts.
  EXPECT_EQ(Page("\x81<b>  x</b>", TCodePage::Gbk), "\x81<b> x</b>");
  EXPECT_EQ(Page("\xA4\n\n<pre>  </pre>", TCodePage::Big5), "\xA4\n<pre>  </pre>");
}

TEST(MinifyPageTest, Utf16PageThroughTheDispatcher) {
  // "<p>a  \u2020 b</p>" in UTF-16LE with its byte-order mark: a blank is two bytes there,
  // and U+2020 is the bytes 0x20 0x20, which must not be taken for blanks.
  const std::string In("\xFF\xFE<\0p\0>\0a\0 \0 \0\x20\x20 \0b\0<\0/\0p\0>\0", 28);
  std::string Probe;
  if (!Utf16ToUtf8(std::string_view(In).substr(2), false, Probe))
    GTEST_SKIP() << "this build's character sets do not read UTF-16 yet";
  TMinifyOptions O;
  const TMinifyResult R = MinifyFile(TMinifyKind::Page, In, TCodePage::Gbk, O);
  ASSERT_TRUE(R.Ok) << R.Error;
  EXPECT_EQ(R.Output, std::string("\xFF\xFE<\0p\0>\0a\0 \0\x20\x20 \0b\0<\0/\0p\0>\0", 26));
}

TEST(MinifyPageTest, InlineCodeIsKeptWhenNotMinified) {
  TMinifyOptions O;
  O.CompressCss = O.CompressJs = true;
  const std::string Css = "\n  .a { color : red }\n";
  const std::string Module = "\n  import a  from \"./a.mjs\"\n";
  const std::string Template = "\n  <b>  x </b>\n";
  const std::string Php = "\n  <?php echo 1 ?>\n";
  const std::string In = "<body><style type=\"text/css\">" + Css +
                         "</style>\n<script type=\"module\">" + Module +
                         "</script><script type=\"text/template\">" + Template +
                         "</script><script>" + Php + "</script>";
  const TMinifyResult R = MinifyPage(In, TCodePage::Utf8, O);
  ASSERT_TRUE(R.Ok);
  // Never minified: a template and code holding a server block.
  EXPECT_NE(R.Output.find(">" + Template + "<"), std::string::npos);
  EXPECT_NE(R.Output.find(">" + Php + "<"), std::string::npos);
  // Refused by the minifier: byte for byte; taken: the minifier's output.
  const TMinifyResult C = MinifyCss(Css, TCodePage::Utf8, O);
  EXPECT_NE(R.Output.find(">" + (C.Ok ? C.Output : Css) + "</style>"), std::string::npos);
  const TMinifyResult M = MinifyJs(Module, TCodePage::Utf8, O, true);
  EXPECT_NE(R.Output.find(">" + (M.Ok ? M.Output : Module) + "</script>"), std::string::npos);
  // Switched off: never touched.
  const TMinifyResult Off = MinifyPage(In, TCodePage::Utf8, TMinifyOptions());
  EXPECT_NE(Off.Output.find(">" + Css + "</style>"), std::string::npos);
}

TEST(MinifyPageTest, InlinePartTheMinifierRefusesIsNamedInTheNote) {
  TMinifyOptions O;
  O.CompressCss = O.CompressJs = true;
  struct Case {
    std::string Page, Note;
  } Cases[] = {
      {"<p>a</p>\n\n<script>\n var s = \"open;\n</script>",
       "inline script kept as it was (line 4: unterminated string)"},
      {"<p>a</p>\n<script>var a = 1;</script>\n<script>var b = 'x</script>\n<script>\"</script>",
       "inline script kept as it was (line 3: unterminated string)"},  // the first one only
      {"<p>a</p>\n<script>var a  =  1;</script>\n<style> p { color : red } </style>", ""},
      {"<p>a</p>\n<script type=\"text/template\">\"</script>", ""},  // never minified: no note
  };
  for (const Case& C : Cases) {
    const TMinifyResult R = MinifyPage(C.Page, TCodePage::Gbk, O);
    ASSERT_TRUE(R.Ok) << C.Page;
    EXPECT_EQ(R.Note, C.Note) << C.Page;
  }
  // The script minifier switched off: nothing was asked, nothing is noted.
  EXPECT_EQ(MinifyPage(Cases[0].Page, TCodePage::Gbk, TMinifyOptions()).Note, "");
}

TEST(MinifyPageTest, PageStyleSheetsThatKeepWhiteSpace) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      {"<code style=\"white-space: pre\">a\n   b</code> <p> x </p>",
       "<code style=\"white-space: pre\">a\n   b</code> <p> x </p>"},
      {"<style>.demo{font:1em x;WHITE-SPACE:Pre-Wrap}</style><div class=\"x demo\"><span>a</span>"
       "\n   <b> b </b></div>  <p>  c</p>",
       "<style>.demo{font:1em x;WHITE-SPACE:Pre-Wrap}</style><div class=\"x demo\"><span>a</span>"
       "\n   <b> b </b></div> <p> c</p>"},
      {"<style>@media screen{div.box code,#out{white-space:pre-line}}</style>"
       "<code>a   b</code><p id=out>c   d</p><p>e   f</p>",
       "<style>@media screen{div.box code,#out{white-space:pre-line}}</style>"
       "<code>a   b</code><p id=out>c   d</p><p>e f</p>"},
      {"<style>/* .x{white-space:pre} */ .y{white-space:normal}</style><p class=x>a   b</p>",
       "<style>/* .x{white-space:pre} */ .y{white-space:normal}</style><p class=x>a b</p>"},
      // Nested elements of the same name end where the outer one ends.
      {"<style>.k{white-space:break-spaces}</style><div class=k><div> a </div>  b  </div>  c",
       "<style>.k{white-space:break-spaces}</style><div class=k><div> a </div>  b  </div> c"},
      // A subject that names nothing keeps the white space of the whole body.
      {"<style>[data-raw]{white-space:pre}</style>\n<body><p>a   b</p>",
       "<style>[data-raw]{white-space:pre}</style><body><p>a   b</p>"},
  };
  for (const Case& C : Cases) EXPECT_EQ(Page(C.In), C.Out) << C.In;
}

TEST(MinifyPageTest, PreRulesReadSelectorsAndDeclarations) {
  TPreRules R;
  CollectPreRules(
      "@import url(x.css); .a, ul > LI.b:hover { white-space : pre } "
      "@supports (display:grid) { p::before { white-space: pre-wrap } } "
      ".n { white-space: nowrap } .v { white-space: var(--ws) }",
      R);
  EXPECT_EQ(R.Classes.count("a") + R.Classes.count("b") + R.Classes.count("v"), 3u);
  EXPECT_EQ(R.Tags.count("li") + R.Tags.count("p"), 2u);
  EXPECT_EQ(R.Classes.count("n"), 0u);
  EXPECT_FALSE(R.WholePage);
  TPreRules Nested;
  CollectPreRules(".a { & .b { white-space: pre } }", Nested);
  EXPECT_TRUE(Nested.WholePage);
  std::string V;
  EXPECT_TRUE(TagAttribute("<p  CLASS = 'a  b' id=x>", "class", V));
  EXPECT_EQ(V, "a  b");
  EXPECT_TRUE(TagAttribute("<p hidden>", "hidden", V));
  EXPECT_EQ(V, "");
  EXPECT_FALSE(TagAttribute("<p data-class=\"x\">", "class", V));
  EXPECT_FALSE(TagAttribute("<p title=\"class=x\">", "class", V));
}

TEST(MinifyPageTest, LinkedStyleSheetsAreFoundAndTheirRulesKeepWhiteSpace) {
  EXPECT_EQ(LinkedStyleSheets("<link rel=stylesheet href=a.css><LINK HREF = 'b c.css' "
                              "Rel=\"Alternate  StyleSheet\"><link rel=icon href=i.png>"
                              "<link rel=\"stylesheet\" title=\"x>y\" href=\"d.css\">"
                              "<link rel=stylesheet><linked rel=stylesheet href=e.css>"),
            (std::vector<std::string>{"a.css", "b c.css", "d.css"}));
  EXPECT_EQ(ImportedStyleSheets("@import 'a.css';@IMPORT url( b.css ) print;"
                                "@import url(\"c.css\");/* @import 'x.css'; */a{b:'@import \"y\"'}",
                                TCodePage::Utf8),
            (std::vector<std::string>{"a.css", "b.css", "c.css"}));
  EXPECT_TRUE(ImportedStyleSheets("@import 'a.css", TCodePage::Utf8).empty());

  // What a linked sheet sets is kept as what a <style> block sets; the page
  // reaches the reader whole, and without one nothing changes.
  const char* In = "<link rel=stylesheet href=s.css><div class=code>a\n   b</div>  <p>c   d</p>";
  std::string Seen;
  TMinifyOptions O;
  O.LinkedPreRules = [&Seen](std::string_view Page, TPreRules& Rules) {
    Seen = Page;
    CollectPreRules("div.code{white-space:pre}", Rules);
  };
  for (TMinifyLevel L : {TMinifyLevel::Spaces, TMinifyLevel::Safe, TMinifyLevel::Smallest}) {
    O.Level = L;
    EXPECT_EQ(MinifyPage(In, TCodePage::Gbk, O).Output,
              "<link rel=stylesheet href=s.css><div class=code>a\n   b</div> <p>c d</p>");
    EXPECT_EQ(Seen, In);
  }
  EXPECT_EQ(Page(In), "<link rel=stylesheet href=s.css><div class=code>a\nb</div> <p>c d</p>");
}

// Removes white space and comment bytes from both and compares the rest: the
// output may only shorten white-space runs and drop comments.
std::string Skeleton(std::string_view S) {
  std::string R;
  for (char C : S)
    if (C != ' ' && C != '\t' && C != '\n' && C != '\r' && C != '\f') R += C;
  return R;
}

TEST(MinifyPageTest, RandomBytesNeverCrashAndKeepEveryOtherByte) {
  std::mt19937 Rng(20261209);
  const std::string Pieces[] = {"<",           ">",
                                "</",          "<!--",
                                "-->",         "<?php ",
                                "?>",          "<%",
                                "%>",          "\"",
                                "'",           "=",
                                " ",           "\n",
                                "<pre>",       "</pre>",
                                "<script>",    "</script>",
                                "<style>",     "</style>",
                                "<![CDATA[",   "\x81\x5C",
                                "\xB3",        "a",
                                "<p class=x>", ".x{white-space:pre}",
                                "<textarea>",  "\t\t"};
  for (int Round = 0; Round < 3000; ++Round) {
    std::string In;
    const int Parts = int(Rng() % 40);
    for (int P = 0; P < Parts; ++P) {
      if (Rng() % 4 == 0) {
        In += char(Rng() % 256);
      } else {
        In += Pieces[Rng() % std::size(Pieces)];
      }
    }
    for (TCodePage Code : {TCodePage::Gbk, TCodePage::Big5, TCodePage::Utf8, TCodePage::Single}) {
      TMinifyOptions O;
      O.PreserveComments = true;
      O.CompressCss = O.CompressJs = true;
      const TMinifyResult R = MinifyPage(In, Code, O);
      ASSERT_TRUE(R.Ok);
      // With comments kept, only white space may go.
      ASSERT_EQ(Skeleton(R.Output), Skeleton(In)) << In;
      ASSERT_LE(R.Output.size(), In.size());
      O.PreserveComments = false;
      const TMinifyResult Lossy = MinifyPage(In, Code, O);
      ASSERT_TRUE(Lossy.Ok);
      ASSERT_LE(Lossy.Output.size(), In.size());
    }
  }
}

}  // namespace
}  // namespace larkspan::minify

namespace larkspan::minify {
namespace {

TEST(MinifyPageTest, ScriptsThatHideThemselvesInCommentsStayAsWritten) {
  TMinifyOptions O;
  O.CompressJs = true;
  for (const char* Block :
       {"<script><!--\nvar a = 1;\n//--></script>", "<script>\n-->\nvar a = 1;\n</script>",
        "<script>if (a <!--b) f();</script>"}) {
    const TMinifyResult R = MinifyPage(Block, TCodePage::Gbk, O);
    ASSERT_TRUE(R.Ok);
    EXPECT_EQ(R.Output, Block);
  }
  const TMinifyResult R = MinifyPage("<script>\nvar  a = 1;\n</script>", TCodePage::Gbk, O);
  EXPECT_EQ(R.Output, "<script>var a=1;</script>");
}

// At Level, with inline style sheets and scripts; minifying the output
// again at the same level changes nothing.
std::string PageAt(std::string_view In, TMinifyLevel Level, TCodePage Code = TCodePage::Gbk) {
  TMinifyOptions O;
  O.CompressCss = O.CompressJs = true;
  O.PreservePhp = O.PreserveServerScript = true;
  O.Level = Level;
  const TMinifyResult R = MinifyPage(In, Code, O);
  EXPECT_TRUE(R.Ok) << In;
  EXPECT_EQ(MinifyPage(R.Output, Code, O).Output, R.Output) << "not stable: " << In;
  return R.Output;
}

TEST(MinifyPageSafeTest, StartTagsLoseWhatTheParserDoesNotNeed) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      // Quotes go where the value reads the same without them.
      {"<a href=\"a\">x</a>", "<a href=a>x</a>"},
      {"<a href = 'x'  title=\"y\" >", "<a href=x title=y>"},
      {"<img src=\"a.png\" />", "<img src=a.png />"},
      {"<a href=\"a b\">", "<a href=\"a b\">"},
      {"<input value=\"\">", "<input value=\"\">"},
      {"<img src=\"a.png\"/>", "<img src=\"a.png\"/>"},
      {"<a href=\"x=1\" b=\"a'b\" c=\"`x\" d=\"a>b\" e='a\"b'>",
       "<a href=\"x=1\" b=\"a'b\" c=\"`x\" d=\"a>b\" e='a\"b'>"},
      {"<a href=\"x\"title=\"y\">", "<a href=\"x\"title=y>"},
      {"<a href=\"<?php echo 1 ?>\">", "<a href=\"<?php echo 1 ?>\">"},
      {"<a href=\"x\" <% y %>>", "<a href=\"x\" <% y %>>"},
      {"<a title=\"a\"b\">", "<a title=\"a\"b\">"},
      // Boolean attributes, on the elements they are boolean on.
      {"<input type=\"checkbox\" checked=\"checked\" disabled=\"\">",
       "<input type=checkbox checked disabled>"},
      {"<option selected=\"SELECTED\">", "<option selected>"},
      {"<input checked=\"checked\"/>", "<input checked/>"},
      {"<input checked=\"yes\">", "<input checked=yes>"},
      {"<div checked=\"checked\"><my-el open=\"open\">", "<div checked=checked><my-el open=open>"},
      {"<script defer=\"defer\" src=\"a.js\"></script>", "<script defer src=a.js></script>"},
      // The default type of script and style.
      {"<script type=\"text/javascript\" src=\"a.js\"></script>", "<script src=a.js></script>"},
      {"<script type=\"text/javascript\"src=\"a.js\"></script>", "<script src=a.js></script>"},
      {"<style type=\"TEXT/CSS\">a { b : c }</style>", "<style>a{b:c}</style>"},
      {"<script type=\"module\" src=\"a.js\"></script>", "<script type=module src=a.js></script>"},
      {"<script type=\"text/template\"></script>", "<script type=text/template></script>"},
      {"<link type=\"text/css\" rel=\"stylesheet\">", "<link type=text/css rel=stylesheet>"},
      // Inline style sheets at the page's level; end tags and text stay.
      {"<style>a{color:#aabbcc;margin:0px}</style>", "<style>a{color:#abc;margin:0}</style>"},
      {"<p class=\"a\">  x  </p >", "<p class=a> x </p>"},
  };
  for (const Case& C : Cases) EXPECT_EQ(PageAt(C.In, TMinifyLevel::Safe), C.Out) << C.In;
  // At spaces every tag keeps its quotes and attributes.
  auto Quotes = [](std::string_view S) {
    return std::count(S.begin(), S.end(), '"') + std::count(S.begin(), S.end(), '\'');
  };
  for (const Case& C : Cases) {
    const std::string Spaces = PageAt(C.In, TMinifyLevel::Spaces);
    EXPECT_EQ(Quotes(Spaces), Quotes(C.In)) << C.In;
  }
}

TEST(MinifyPageSafeTest, TagsInsidePreAreShortenedButItsTextStays) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      {"<pre><span class=\"nv\">a  b</span>\n  <b  title=\"t\" >c</b ></pre>",
       "<pre><span class=nv>a  b</span>\n  <b title=t>c</b ></pre>"},
      // Comments, server blocks and declarations inside stay as written.
      {"<pre><!-- <i class=\"x\"> -->  <?php $a = \"b\"; ?>  <!x class=\"y\"></pre>",
       "<pre><!-- <i class=\"x\"> -->  <?php $a = \"b\"; ?>  <!x class=\"y\"></pre>"},
      // A raw-text element's content, a tag left open and plaintext: as they stand.
      {"<pre><script type=\"text/javascript\">var a  = \"<b class='c'>\";</script></pre>",
       "<pre><script>var a  = \"<b class='c'>\";</script></pre>"},
      {"<pre>a < b <i class=\"x\"</pre>", "<pre>a < b <i class=\"x\"</pre>"},
      {"<pre><plaintext><b class=\"x\"></pre>", "<pre><plaintext><b class=\"x\"></pre>"},
      {"<textarea><b class=\"x\"></textarea>", "<textarea><b class=\"x\"></textarea>"},
      // GBK text with 0x5C trail bytes around a tag.
      {"<pre>\x81\x5C  <i id=\"a\">\xA5\x5C</i></pre>",
       "<pre>\x81\x5C  <i id=a>\xA5\x5C</i></pre>"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(PageAt(C.In, TMinifyLevel::Safe, TCodePage::Gbk), C.Out) << C.In;
    EXPECT_EQ(PageAt(C.In, TMinifyLevel::Spaces, TCodePage::Gbk), C.In) << C.In;
  }
}

TEST(MinifyPageSafeTest, DoubleByteTextAndValuesStayByteForByte) {
  // GBK 81 5C and Big5 A5 5C: the 0x5C is no syntax to HTML in any case,
  // and the value around it keeps every byte, with the right code page or
  // a wrong one.
  for (TCodePage Code : {TCodePage::Gbk, TCodePage::Big5, TCodePage::Utf8}) {
    EXPECT_EQ(
        PageAt("<p title=\"\x81\x5C\xA5\x5C\">\x81\x5C  \xA5\x5C</p>", TMinifyLevel::Safe, Code),
        "<p title=\x81\x5C\xA5\x5C>\x81\x5C \xA5\x5C</p>");
    EXPECT_EQ(PageAt("<p title=\"\x81\x5C \xA5\x5C\">", TMinifyLevel::Safe, Code),
              "<p title=\"\x81\x5C \xA5\x5C\">");
    EXPECT_EQ(PageAt("<style>a{content:\"\x81\x5C\";width:0.50px}</style>", TMinifyLevel::Safe,
                     TCodePage::Gbk),
              "<style>a{content:\"\x81\x5C\";width:.5px}</style>");
  }
}

TEST(MinifyPageTest, SvgTextMarkedPreserveKeepsItsWhiteSpace) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      {"<svg><text xml:space=\"preserve\">a   b</text></svg>",
       "<svg><text xml:space=\"preserve\">a   b</text></svg>"},
      {"<svg><text XML:SPACE=' preserve '>a\n\n b</text></svg>",
       "<svg><text XML:SPACE=' preserve '>a\n\n b</text></svg>"},
      {"<svg xml:space=\"preserve\"><text>a  <tspan> b </tspan></text></svg> <p>x   y</p>",
       "<svg xml:space=\"preserve\"><text>a  <tspan> b </tspan></text></svg> <p>x y</p>"},
      {"<svg><text>a   b</text><text xml:space=\"default\">c   d</text></svg>",
       "<svg><text>a b</text><text xml:space=\"default\">c d</text></svg>"},
      {"<a href=\"http://x/\">a   b</a>", "<a href=\"http://x/\">a b</a>"},
  };
  for (TMinifyLevel Level : {TMinifyLevel::Spaces, TMinifyLevel::Safe}) {
    for (const Case& C : Cases) {
      const std::string Out = PageAt(C.In, Level);
      // At safe the quotes may go; the white space is what counts here.
      EXPECT_EQ(Out, Level == TMinifyLevel::Spaces ? std::string(C.Out) : PageAt(C.Out, Level))
          << C.In;
    }
  }
}

TEST(MinifyPageSmallestTest, RemarksGoButCodeInCommentsStays) {
  TMinifyOptions O;
  O.PreserveComments = O.PreservePhp = O.PreserveServerScript = true;
  const char* In =
      "<p>a <!-- note --><b>b</b></p><!--! (c) us --><!--#include virtual=\"x\" -->"
      "<!--[if IE]><p>x</p><![endif]--><?php /* <!-- x --> */ ?><% a %><!-- open";
  O.Level = TMinifyLevel::Smallest;
  EXPECT_EQ(MinifyPage(In, TCodePage::Gbk, O).Output,
            "<p>a <b>b</b></p><!--! (c) us --><!--#include virtual=\"x\" -->"
            "<!--[if IE]><p>x</p><![endif]--><?php /* <!-- x --> */ ?><% a %><!-- open");
  // Below smallest --preserve-comments keeps them all.
  for (TMinifyLevel L : {TMinifyLevel::Spaces, TMinifyLevel::Safe}) {
    O.Level = L;
    EXPECT_EQ(MinifyPage(In, TCodePage::Gbk, O).Output, In);
  }
}

TEST(MinifyPageSmallestTest, EndTagsGoOnlyWhereTheParserBuildsTheSameTree) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      {"<ul><li>a</li><li>b</li></ul>", "<ul><li>a<li>b</ul>"},
      {"<ol><li><span>a</span></li><li><div>b</div></li></ol>",
       "<ol><li><span>a</span><li><div>b</div></ol>"},
      // A blank would move into the item; a section stops <li> closing it.
      {"<ul><li>a</li> <li>b</li>\n</ul>", "<ul><li>a</li> <li>b</li>\n</ul>"},
      {"<ul><li><section>a</section></li><li>b</li></ul>",
       "<ul><li><section>a</section></li><li>b</ul>"},
      {"<ul><li><section><ul><li>a</li></ul></li><li>b</li></ul>",
       "<ul><li><section><ul><li>a</ul></li><li>b</ul>"},
      {"<p>a</p><div>b</div>", "<p>a<div>b</div>"},
      {"<p>a<span>b</span></p><h2>c</h2><p>d</p><p>e</p><ul></ul>",
       "<p>a<span>b</span><h2>c</h2><p>d<p>e<ul></ul>"},
      {"<p>a</p><span>b</span>", "<p>a</p><span>b</span>"},
      {"<p>a</p><table></table>", "<p>a</p><table></table>"},
      {"<p><b>a</b></p><div></div>", "<p><b>a</b></p><div></div>"},
      {"<p><button>a</p><div></div>", "<p><button>a</p><div></div>"},
      {"<div>a</p><div></div>", "<div>a</p><div></div>"},
      {"<p>a</p\n><div></div>", "<p>a<div></div>"},
      {"<select><option>a</option><option>b</option><optgroup></optgroup></select>",
       "<select><option>a<option>b<optgroup></select>"},
      {"<select><option>a</option> <option>b</option></select>",
       "<select><option>a</option> <option>b</select>"},
  };
  for (const Case& C : Cases) EXPECT_EQ(PageAt(C.In, TMinifyLevel::Smallest), C.Out) << C.In;
  // Below smallest every end tag stays.
  for (const Case& C : Cases)
    EXPECT_EQ(PageAt(C.In, TMinifyLevel::Safe), Page(C.In, TCodePage::Gbk)) << C.In;
}

TEST(MinifyPageSmallestTest, TableListRubyAndFrameEndTagsFollowTheParsingRules) {
  struct Case {
    const char* In;
    const char* Out;
  } Cases[] = {
      // Cells, rows and row groups end where the next one starts or the
      // table ends.
      {"<table><tr><td>a</td><td>b</td></tr><tr><th>c</th></tr></table>",
       "<table><tr><td>a<td>b<tr><th>c</table>"},
      {"<table><thead><tr><th>h</th></tr></thead><tbody><tr><td>a</td></tr></tbody>"
       "<tfoot><tr><td>f</td></tr></tfoot></table>",
       "<table><thead><tr><th>h<tbody><tr><td>a<tfoot><tr><td>f</table>"},
      // White space after an end tag would move into the element.
      {"<table><tr><td>a</td>\n<td>b</td>\n</tr></table>",
       "<table><tr><td>a</td>\n<td>b</td>\n</table>"},
      {"<table><caption>c</caption><colgroup><col><col></colgroup><tr><td>x</td></tr></table>",
       "<table><caption>c<colgroup><col><col><tr><td>x</table>"},
      // A <col> after the group would join it; text after a caption would
      // move into it instead of before the table.
      {"<table><colgroup><col></colgroup><col><tr><td>x</td></tr></table>",
       "<table><colgroup><col></colgroup><col><tr><td>x</table>"},
      {"<table><caption>c</caption>t<tr><td>x</td></tr></table>",
       "<table><caption>c</caption>t<tr><td>x</table>"},
      {"<dl><dt>a</dt><dd>b</dd><dt>c</dt><dd>d</dd></dl>", "<dl><dt>a<dd>b<dt>c<dd>d</dl>"},
      // A section stops a <dt> from closing the dd; a dt needs a dt or dd after it.
      {"<dl><dd><section>x</section></dd><dt>y</dt></dl>",
       "<dl><dd><section>x</section></dd><dt>y</dt></dl>"},
      {"<ruby>a<rp>(</rp><rt>b</rt><rp>)</rp></ruby>", "<ruby>a<rp>(<rt>b<rp>)</ruby>"},
      // An unclosed <b> in the rt would take the next rt in.
      {"<ruby>a<rt><b>x</rt><rt>y</rt></ruby>", "<ruby>a<rt><b>x</rt><rt>y</ruby>"},
      {"<select><optgroup label=a><option>1</option></optgroup><optgroup label=b>"
       "<option>2</option></optgroup></select>",
       "<select><optgroup label=a><option>1<optgroup label=b><option>2</select>"},
      // A p ends with its parent only where that end tag closes it.
      {"<div><p>a</p></div>", "<div><p>a</div>"},
      {"<span><p>a</p></span>", "<span><p>a</p></span>"},
      {"<a href=x><p>a</p></a>", "<a href=x><p>a</p></a>"},
      {"<ul><li>a</li></ol>", "<ul><li>a</li></ol>"},
      // The frame: a comment after </body> or </html> would change its
      // place, white space or noscript after </head> too.
      {"<html><head><title>t</title></head><body><p>a</p></body></html>",
       "<html><head><title>t</title><body><p>a</p>"},
      {"<head><title>t</title></head>\n<body>x</body>\n</html>\n", "<head><title>t</title><body>x"},
      {"<body><p>a</p></body><!--! c --></html>", "<body><p>a</p></body><!--! c -->"},
      {"<head><title>t</title></head>\nx", "<head><title>t</title></head>\nx"},
      {"<head></head><noscript>n</noscript>", "<head></head><noscript>n</noscript>"},
      // Where the content is not parsed as these elements nothing goes.
      {"<template><table><tr><td>a</td></tr></table></template>",
       "<template><table><tr><td>a</td></tr></table></template>"},
      {"<noscript><ul><li>a</li></ul></noscript>", "<noscript><ul><li>a</li></ul></noscript>"},
      {"<svg><text><option>a</option><option>b</option></text></svg>",
       "<svg><text><option>a</option><option>b</option></text></svg>"},
      // An end tag whose '>' is in a server block, or a tag left open, stays.
      {"<ul><li>a</li <?php ?>", "<ul><li>a</li <?php ?>"},
  };
  for (const Case& C : Cases) EXPECT_EQ(PageAt(C.In, TMinifyLevel::Smallest), C.Out) << C.In;
  for (const Case& C : Cases)
    EXPECT_EQ(PageAt(C.In, TMinifyLevel::Safe), Page(C.In, TCodePage::Gbk)) << C.In;
}

}  // namespace
}  // namespace larkspan::minify
