#include <gtest/gtest.h>

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
      // around a removed comment become one.
      {"a <!-- note --> b", "a b"},
      {"a\n<!-- note -->  b", "a\nb"},
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

}  // namespace
}  // namespace larkspan::minify
