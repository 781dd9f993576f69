#include "minify/Minify.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "minify/MinifyTestUtil.h"
#include "platform/TestUtil.h"

namespace larkspan::minify {
namespace {

TEST(TMinifyFileTest, KindOfFileByExtension) {
  const struct {
    const char* Name;
    bool Known;
    TMinifyKind Kind;
  } Cases[] = {
      {"index.html", true, TMinifyKind::Page},    {"a/B.HTM", true, TMinifyKind::Page},
      {"feed.xml", true, TMinifyKind::Xml},       {"site.Css", true, TMinifyKind::Css},
      {"app.js", true, TMinifyKind::Js},          {"mod.mjs", true, TMinifyKind::JsModule},
      {"x.min.JS", true, TMinifyKind::Js},        {"readme.txt", false, TMinifyKind::Page},
      {"dir.css/file", false, TMinifyKind::Page}, {"css", false, TMinifyKind::Page},
  };
  for (const auto& C : Cases) {
    TMinifyKind Kind = TMinifyKind::Page;
    EXPECT_EQ(KindOfFile(C.Name, Kind), C.Known) << C.Name;
    if (C.Known) {
      EXPECT_EQ(Kind, C.Kind) << C.Name;
    }
  }
}

TEST(TMinifyFileTest, Utf8UnderGb2312StaysUtf8) {
  // Read as GBK, E4 B8 AD 22 would pair AD with the quote's neighbour.
  const std::string In =
      "a { content : \"\xE4\xB8\xAD\" ; font-family : \xE4\xB8\xAD\xE6\x96\x87 }";
  const TMinifyResult R = MinifyFile(TMinifyKind::Css, In, TCodePage::Gbk, {});
  ASSERT_TRUE(R.Ok) << R.Error;
  EXPECT_EQ(R.Output, "a{content:\"\xE4\xB8\xAD\";font-family:\xE4\xB8\xAD\xE6\x96\x87}");
}

TEST(TMinifyFileTest, ByteOrderMarksStayAndUtf16RoundTrips) {
  const std::string Bom8 = "\xEF\xBB\xBF";
  TMinifyResult R = MinifyFile(TMinifyKind::Css, Bom8 + "a { b : c }", TCodePage::Gbk, {});
  ASSERT_TRUE(R.Ok) << R.Error;
  EXPECT_EQ(R.Output, Bom8 + "a{b:c}");

  const std::string Css = "/* x */ .\xE4\xB8\xAD { content : \"\xF0\x9F\x98\x80\" }";
  const std::string Want = ".\xE4\xB8\xAD{content:\"\xF0\x9F\x98\x80\"}";
  for (bool Big : {false, true}) {
    for (bool Bom : {true, false}) {
      R = MinifyFile(TMinifyKind::Css, Utf8ToUtf16(Css, Big, Bom),
                     Big ? TCodePage::Utf16BE : TCodePage::Utf16LE, {});
      ASSERT_TRUE(R.Ok) << R.Error;
      EXPECT_EQ(R.Output, Utf8ToUtf16(Want, Big, Bom)) << Big << Bom;
    }
  }
  // Without a mark under the GB2312 default: its zero bytes tell.
  R = MinifyFile(TMinifyKind::Css, Utf8ToUtf16(Css, false, false), TCodePage::Gbk, {});
  ASSERT_TRUE(R.Ok) << R.Error;
  EXPECT_EQ(R.Output, Utf8ToUtf16(Want, false, false));
}

TEST(TMinifyFileTest, FaultsArePlacedInTheFileAndGiveNoOutput) {
  // Offsets count the file's bytes, the mark included; lines and columns
  // count in the text.
  TMinifyResult R = MinifyFile(TMinifyKind::Css,
                               "\xEF\xBB\xBF"
                               "a{b:\"c}",
                               TCodePage::Utf8, {});
  EXPECT_FALSE(R.Ok);
  EXPECT_EQ(R.Offset, 7u);
  EXPECT_EQ(R.Column, 5);
  R = MinifyFile(TMinifyKind::Css, Utf8ToUtf16("\xE4\xB8\xAD{b:\"c}", false, true),
                 TCodePage::Utf16LE, {});
  EXPECT_FALSE(R.Ok);
  EXPECT_TRUE(R.Output.empty());
  EXPECT_EQ(R.Offset, 2u + 2 * 4);
  R = MinifyFile(TMinifyKind::Css,
                 std::string("\xFF\xFE"
                             "a\0\x00\xDC",
                             6),
                 TCodePage::Utf16LE, {});
  EXPECT_FALSE(R.Ok);
  EXPECT_EQ(R.Error, "not valid UTF-16");
  R = MinifyFile(TMinifyKind::Xml, "<a><b></a>", TCodePage::Gbk, {});
  EXPECT_FALSE(R.Ok);
  EXPECT_EQ(R.Line, 1);
  EXPECT_EQ(R.Column, 7);
}

// Every file of the test corpus, and of the folder LARKSPAN_MINIFY_CORPUS
// names (a real site, say), keeps the byte promise; a second run changes
// nothing. Kinds whose minifier refuses a file are counted, not failed.
TEST(TMinifyFileTest, CorpusKeepsEveryByteButWhiteSpaceAndComments) {
  std::vector<std::string> Folders = {LARKSPAN_MINIFY_TESTDATA};
  if (const char* Extra = std::getenv("LARKSPAN_MINIFY_CORPUS")) Folders.push_back(Extra);
  int Checked = 0, Refused = 0;
  for (const std::string& Folder : Folders) {
    for (const auto& [Name, Bytes] :
         test::CorpusFiles(Folder, {".css", ".xml", ".html", ".htm", ".js", ".mjs"})) {
      TMinifyKind Kind;
      ASSERT_TRUE(KindOfFile(Name, Kind));
      // Scripts have their own check, which knows regular expressions and
      // templates (MinifyJs_test's samples and the syntax-tree check).
      if (Kind == TMinifyKind::Js || Kind == TMinifyKind::JsModule) continue;
      const TMinifyResult R = MinifyFile(Kind, Bytes, TCodePage::Gbk, {});
      if (!R.Ok) {
        EXPECT_TRUE(R.Output.empty()) << Name;
        EXPECT_GE(R.Line, 1) << Name;
        ++Refused;
        continue;
      }
      TCodePage Page = DetectCodePage(Bytes, TCodePage::Gbk);
      std::string In = Bytes, Out = R.Output;
      if (Page == TCodePage::Utf16LE || Page == TCodePage::Utf16BE) {
        const bool Big = Page == TCodePage::Utf16BE;
        ASSERT_TRUE(Utf16ToUtf8(Bytes, Big, In)) << Name;
        ASSERT_TRUE(Utf16ToUtf8(R.Output, Big, Out)) << Name;
        Page = TCodePage::Utf8;
      }
      const test::TByteRules Rules = Kind == TMinifyKind::Css    ? test::CssRules(Page)
                                     : Kind == TMinifyKind::Xml  ? test::XmlRules(Page)
                                     : Kind == TMinifyKind::Page ? test::PageRules(Page)
                                                                 : test::ScriptRules(Page);
      EXPECT_TRUE(test::KeepsBytes(In, Out, Rules)) << Folder << Name;
      const TMinifyResult Again = MinifyFile(Kind, R.Output, TCodePage::Gbk, {});
      EXPECT_TRUE(Again.Ok) << Name;
      EXPECT_EQ(Again.Output, R.Output) << "a second run changed " << Name;
      ++Checked;
    }
  }
  EXPECT_GE(Checked, 8);
  std::cout << "checked " << Checked << " files, refused " << Refused << "\n";
}

TEST(TMinifyFileTest, EveryLevelIsStableOnTheCorpora) {
  // Minifying the output again changes nothing, at every level, with the
  // options a run gives (inline style sheets and scripts too).
  std::vector<std::string> Folders = {LARKSPAN_MINIFY_TESTDATA,
                                      LARKSPAN_SOURCE_DIR "/examples/site",
                                      LARKSPAN_SOURCE_DIR "/bench/render/probe-site"};
  if (const char* Extra = std::getenv("LARKSPAN_MINIFY_CORPUS")) Folders.push_back(Extra);
  TMinifyOptions O;
  O.PreserveComments = O.CompressCss = O.CompressJs = O.PreservePhp = O.PreserveServerScript = true;
  int Checked = 0;
  for (TMinifyLevel Level : {TMinifyLevel::Spaces, TMinifyLevel::Safe, TMinifyLevel::Smallest}) {
    O.Level = Level;
    for (const std::string& Folder : Folders) {
      for (const auto& [Name, Bytes] :
           test::CorpusFiles(Folder, {".css", ".xml", ".html", ".htm", ".js", ".mjs"})) {
        TMinifyKind Kind;
        ASSERT_TRUE(KindOfFile(Name, Kind));
        const TMinifyResult R = MinifyFile(Kind, Bytes, TCodePage::Gbk, O);
        if (!R.Ok) continue;
        const TMinifyResult Again = MinifyFile(Kind, R.Output, TCodePage::Gbk, O);
        EXPECT_TRUE(Again.Ok) << Name;
        EXPECT_EQ(Again.Output, R.Output)
            << "a second run at " << MinifyLevelName(Level) << " changed " << Folder << Name;
        ++Checked;
      }
    }
  }
  EXPECT_GE(Checked, 3 * 30);
}

TEST(TMinifyFileTest, ByteCheckCatchesAChangedByte) {
  // The checker itself: it must see a lost unit, a grown blank, a cut end.
  const auto Rules = test::CssRules(TCodePage::Utf8);
  EXPECT_TRUE(test::KeepsBytes("a { b : 1px ; }", "a{b:1px}", Rules));
  EXPECT_FALSE(test::KeepsBytes("a{b:1.0px}", "a{b:1.0}", Rules));
  EXPECT_FALSE(test::KeepsBytes("a b{}", "a  b{}", Rules));
  EXPECT_FALSE(test::KeepsBytes("a{b:c}", "a{b:c", Rules));
  EXPECT_FALSE(test::KeepsBytes("a{b:\"  \"}", "a{b:\" \"}", Rules));
  EXPECT_FALSE(test::KeepsBytes("a{b:c;d:e}", "a{b:cd:e}", Rules));
  EXPECT_TRUE(test::KeepsBytes("a/**/b", "a b", Rules));
  EXPECT_TRUE(test::KeepsBytes("/*!x*/ a", "/*!x*/a", Rules));
}

}  // namespace
}  // namespace larkspan::minify

namespace larkspan::minify {
namespace {

// Mangled versions of the corpus (syntax bytes and lead bytes inserted,
// bytes dropped) in every code page: each result is either refused with a
// position inside the input, or keeps the byte promise. Deterministic.
TEST(TMinifyFileTest, MangledInputNeverBreaksThePromise) {
  const std::string Syntax = "{}();:,\"'/*\\ \n<>![]-@#=?\x81\x5C\xB3\xA5\xE4\xB8";
  uint32_t Seed = 12345;
  auto Next = [&Seed](uint32_t Below) {
    Seed = Seed * 1103515245u + 12345u;
    return (Seed >> 8) % Below;
  };
  int Runs = 0;
  for (const auto& [Name, Bytes] : test::CorpusFiles(LARKSPAN_MINIFY_TESTDATA, {".css", ".xml"})) {
    const bool Css = Name.size() > 4 && Name.substr(Name.size() - 4) == ".css";
    for (int K = 0; K < 300; ++K) {
      std::string In = Bytes.substr(0, 600);
      for (int Edits = 1 + Next(4); Edits > 0 && !In.empty(); --Edits) {
        const size_t At = Next(static_cast<uint32_t>(In.size()));
        if (Next(3) == 0)
          In.erase(At, 1 + Next(3));
        else
          In.insert(At, 1, Syntax[Next(static_cast<uint32_t>(Syntax.size()))]);
      }
      for (TCodePage Page : {TCodePage::Gbk, TCodePage::Big5, TCodePage::Utf8, TCodePage::Single}) {
        const TMinifyResult R = Css ? MinifyCss(In, Page, {}) : MinifyXml(In, Page, {});
        ++Runs;
        if (Css) {
          // The shorter spellings refuse what spaces refuses, and are stable
          // where white space alone is.
          TMinifyOptions Safe;
          Safe.Level = TMinifyLevel::Safe;
          const TMinifyResult S = MinifyCss(In, Page, Safe);
          EXPECT_EQ(S.Ok, R.Ok) << Name << " #" << K;
          if (S.Ok && MinifyCss(R.Output, Page, {}).Output == R.Output) {
            EXPECT_EQ(MinifyCss(S.Output, Page, Safe).Output, S.Output) << In;
          }
        }
        if (!R.Ok) {
          EXPECT_TRUE(R.Output.empty());
          EXPECT_LE(R.Offset, In.size());
          continue;
        }
        EXPECT_TRUE(
            test::KeepsBytes(In, R.Output, Css ? test::CssRules(Page) : test::XmlRules(Page)))
            << Name << " mangled #" << K;
      }
      // The same bytes as a whole file said to be UTF-16: converted and
      // back, or refused, never cut.
      const TMinifyResult F =
          MinifyFile(Css ? TMinifyKind::Css : TMinifyKind::Xml, In, TCodePage::Utf16LE, {});
      if (!F.Ok) {
        EXPECT_TRUE(F.Output.empty());
        EXPECT_LE(F.Offset, In.size());
        EXPECT_GE(F.Line, 1);
      }
    }
  }
  EXPECT_GT(Runs, 5000);
}

TEST(TMinifyFileTest, OptionsLeftAloneMinifyAtSpaces) {
  // What a caller has not chosen stays today's behaviour.
  EXPECT_EQ(TMinifyOptions{}.Level, TMinifyLevel::Spaces);
}

}  // namespace
}  // namespace larkspan::minify
