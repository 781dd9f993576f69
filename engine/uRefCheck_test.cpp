// The reference check: the scanner on its own, then whole runs in which a
// left-out duplicate is still referred to in a way the rewriting leaves.
#include "engine/uRefCheck.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "engine/EngineTestUtil.h"
#include "engine/RewriteTestUtil.h"
#include "engine/uWebFilesMgr.h"
#include "platform/FileSystem.h"
#include "platform/Thread.h"

namespace larkspan {
namespace {

using test::BrokenReferences;
using test::FileNames;
using test::ListedOrder;
using test::RunEngine;
using test::TRunResult;
using test::TTempDir;

TEST(RefScannerTest, FindsEveryFormOfReference) {
  const std::string Root = "/site/";
  const std::vector<std::string> Targets = {Root + "img/b.gif", Root + "img/my pic.JPG",
                                            Root + "news/pics/c.gif"};
  const TRefScanner Scanner(Root, Targets);
  struct Case {
    const char* File;  // below the root
    std::string Text;
    std::vector<int> Targets;  // found, in order
  } Cases[] = {
      {"index.html", R"~(<img src=img/b.gif>)~", {0}},
      {"index.html", R"~(<img src = "img/b.gif">)~", {0}},
      {"index.html", R"~(<img src="IMG/B.GIF">)~", {0}},
      {"news/index.html", R"~(<img src="../img/b.gif">)~", {0}},
      {"news/index.html", R"~(<img src="/img/b.gif">)~", {0}},
      {"news/index.html", R"~(<img src="pics/c.gif"> <img src="./pics/../pics/c.gif">)~", {2, 2}},
      {"index.html", R"~(<img src="img/b.gif?v=2#top">)~", {0}},
      {"index.html", R"~(<img src="img/%62.gif">)~", {0}},
      {"index.html", R"~(<img src="img/my%20pic.jpg">)~", {1}},
      {"index.html", R"~(<img src="img/my pic.jpg">)~", {1}},
      {"index.html", R"~(<img srcset="img/a.gif 1x,img/b.gif 2x">)~", {0}},
      {"index.html", R"~(<div style="background:url(img/b.gif) no-repeat">)~", {0}},
      {"index.html", R"~(<a href="http://example.com/img/b.gif">)~", {0}},
      {"index.html", R"~(<a href="//cdn.example.com/img/b.gif">)~", {0}},
      {"index.html", R"~(<a href="https://example.com">img/b.gif</a>)~", {0}},
      {"css/site.css",
       R"~(a{background:url('../img/b.gif')}b{background:url(../Img/B.gif)})~",
       {0, 0}},
      {"js/app.js", R"~(var a = 'b.gif', c = "pics/c.gif", d = '../img/b.gif';)~", {0, 2, 0}},
      {"js/app.js", R"~(el.src = `/img/b.gif`;)~", {0}},
      {"data/list.json", R"~({"src":"img\/b.gif","n":1})~", {0}},
      {"feed.xml", "<url>https://example.com/news/pics/c.gif</url>", {2}},
      {"robots.txt", "img/b.gif", {0}},
      // Not references to a target.
      {"index.html",
       R"~(<img src="img/b.gifx"> <img src="img/ab.gif"> <img src="img/b.png">)~",
       {}},
      {"index.html", R"~(<img src="other/b.gif"> <img src="b.gif"> <img src=".gif">)~", {}},
      {"news/index.html", R"~(<img src="img/b.gif">)~", {}},
      {"js/app.js", R"~(var a = 'other/b.gif', b = 'xb.gif';)~", {}},
      {"index.html", R"~(<img src="data:image/gif;base64,R0lGODlh">)~", {}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.File) + ": " + C.Text);
    TRefBase Base = TRefBase::File;
    ASSERT_TRUE(IsReferringTextFile(C.File, &Base));
    std::vector<int> Found;
    for (const TRefHit& H : Scanner.Scan(Root + C.File, C.Text, Base)) Found.push_back(H.Target);
    EXPECT_EQ(Found, C.Targets);
  }
}

// On a file system that tells letter case apart, names that differ only
// in case may both be duplicates; a reference in either spelling keeps both.
TEST(RefScannerTest, NamesDifferingInCaseOnlyAreBothFound) {
  const TRefScanner Scanner("/site/", {"/site/img/b.gif", "/site/Img/B.gif", "/site/img/c.gif"});
  std::vector<int> Found;
  for (const TRefHit& H : Scanner.Scan("/site/a.html", "<img src=img/B.GIF>", TRefBase::File))
    Found.push_back(H.Target);
  EXPECT_EQ(Found, (std::vector<int>{0, 1}));
}

TEST(RefScannerTest, ReportsTheLineOfEachReference) {
  const TRefScanner Scanner("/site", {"/site/img/b.gif"});
  struct Case {
    std::string Text;
    std::vector<int> Lines;
  } Cases[] = {
      {"img/b.gif", {1}},
      {"a\r\nb\rc\nimg/b.gif", {4}},
      {"\n\n'img/b.gif' 'img/b.gif'\r\n\r\n(img/b.gif)", {3, 3, 5}},
      {"x\r\n\r\n", {}},
  };
  for (const Case& C : Cases) {
    std::vector<int> Lines;
    for (const TRefHit& H : Scanner.Scan("/site/index.html", C.Text, TRefBase::File))
      Lines.push_back(H.Line);
    EXPECT_EQ(Lines, C.Lines) << C.Text;
  }
}

TEST(RefScannerTest, TextFilesAreKnownByTheirExtension) {
  TRefBase Base = TRefBase::File;
  for (const char* Name : {"a.HTML", "b.css", "c.svg", "e.php", "g.shtml"}) {
    EXPECT_TRUE(IsReferringTextFile(Name, &Base)) << Name;
    EXPECT_EQ(Base, TRefBase::File) << Name;
  }
  for (const char* Name : {"a.js", "b.JSON", "c.mjs", "d.xml", "f.txt"}) {
    EXPECT_TRUE(IsReferringTextFile(Name, &Base)) << Name;
    EXPECT_EQ(Base, TRefBase::Loader) << Name;
  }
  for (const char* Name : {"a.gif", "b.zip", "noext", "c.pdf", "js.d/x"})
    EXPECT_FALSE(IsReferringTextFile(Name, nullptr)) << Name;
}

// A file is searched in parts of 8 MiB: a name across the seam is found,
// and its line is counted across the parts too.
TEST(RefCheckTest, NameMentionsAreFoundAcrossPartsWithTheirLine) {
  TTempDir Site("site");
  const std::string Dup = Site.Path() + "img/b.gif";
  const size_t Part = size_t(8) << 20;
  struct Case {
    size_t Before;  // bytes before the name, in lines of 100
    int Line;
  } Cases[] = {{Part - 3, int((Part - 3) / 100) + 1}, {Part + 500, int((Part + 500) / 100) + 1}};
  for (const Case& C : Cases) {
    std::string Text;
    Text.reserve(C.Before + 16);
    while (Text.size() + 100 <= C.Before) Text += std::string(99, 'x') + "\n";
    Text += std::string(C.Before - Text.size(), 'y');
    Text += "B.GIF tail";
    Site.Write("map.yml", Text);
    TRefCheck Check(Site.Path(), {Dup});
    Check.NoteMentions(Site.Path() + "map.yml", 0, Site.Path() + "map.yml");
    EXPECT_EQ(Check.Found()[0].RefLine, C.Line) << C.Before;
  }
}

// ---- whole runs ---------------------------------------------------------------

const char* const SamePicture = "GIF89a the same picture";

std::string ReplaceAll(std::string Text, const std::string& From, const std::string& To) {
  for (size_t I = Text.find(From); I != std::string::npos; I = Text.find(From, I + To.size()))
    Text.replace(I, From.size(), To);
  return Text;
}

// The master img/{m} and its duplicate img/{d}, by the order of the scan.
struct TTwinSite {
  TTempDir Site{"site"};
  TTempDir Out{"out"};
  std::string Master, Dup;
  TTwinSite() {
    Site.Write("img/a.gif", SamePicture);
    Site.Write("img/b.gif", SamePicture);
    const std::vector<std::string> Order = ListedOrder(Site.Path() + "img", {"a.gif", "b.gif"});
    Master = Order[0];
    Dup = Order[1];
  }
  std::string Fill(const std::string& Text) const {
    return ReplaceAll(ReplaceAll(Text, "{m}", Master), "{d}", Dup);
  }
  TRunResult Run() {
    TAppConfig Config = test::BlankConfig();
    Config.IsReducePic = true;
    return RunEngine(Config, Site.Path(), Out.Path());
  }
};

// Each form the rewriting does not change keeps the duplicate in the
// output, and every reference of the output then works: in a page the
// rewriting changed for another reference ({rw}), as the reference check
// reads it; in any other file of the site, by the duplicate's name alone.
TEST(RefCheckTest, DuplicateReferredToInAnUnrewrittenFormIsWritten) {
  std::string Long;
  for (int I = 0; I < 250; ++I) Long += "x/../";  // a reference of over 1,024 bytes
  struct Case {
    const char* File;
    std::string Text;
  } Cases[] = {
      {"index.html", R"~(<img src=img/{d}>)~"},
      {"index.html", R"~(<img src = "img/{d}">)~"},
      {"index.html", R"~(<img srcset="img/{m} 1x, img/{d} 2x" src="img/{m}">)~"},
      {"index.html", R"~(<div style="background: url('img/{d}')"></div>)~"},
      {"index.html", R"~(<script>var pic = "img/{d}";</script>)~"},
      {"index.html", R"~(<script>var pic = "img/&#x{hex}";</script>)~"},
      {"index.html", R"~(<a href="http://example.com/img/{d}">x</a>)~"},
      {"css/site.css", R"~(body { background: url(../img/{d}) })~"},
      {"js/app.js", R"~(preload(["img/{d}"]);)~"},
      {"data/pics.json", R"~({"pictures": ["img\/{d}"]})~"},
      {"img/logo.svg", R"~(<svg><image href="{d}"/></svg>)~"},
      {"data/list.xml", R"~(<pic>img/{d}</pic>)~"},
      {"readme.txt", R"~(The logo is img/{d}.)~"},
      {"about.php", R"~(<?php echo '<img src="img/{d}">'; ?>)~"},
      {".htaccess", "RewriteRule ^logo$ /img/{d} [L]"},
      {"_config.yml", "logo: img/{d}\n"},
      {"js/app.js.map", R"~({"sources":["../img/{d}"]})~"},
      {"site.appcache", "CACHE MANIFEST\nimg/{d}\n"},
      {"src/App.tsx", R"~(export const Logo = () => <img src={pic("{d}")} />;)~"},
      {"views/page.ejs", R"~(<img src="<%= root %>/img/{d}">)~"},
      {"index.html", R"~({rw}<div style="background:url(img/{dstem}&#46;gif)"></div>)~"},
      {"index.html", "{rw}<div style=\"background:url(" + Long + "img/{d})\"></div>"},
      {"news/index.html", R"~(<base href="/img/"><img src="{d}"><p style="background:url({d})">)~"},
      {"news/index.html",
       R"~(<base href="http://example.com/"><img src="/img/{d}"><p style="background:url(img/{d})">)~"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.File) + ": " + C.Text.substr(0, 200));
    TTwinSite S;
    char Hex[8];
    std::snprintf(Hex, sizeof Hex, "%02X", static_cast<unsigned char>(S.Dup[0]));
    std::string Text = ReplaceAll(S.Fill(C.Text), "{hex}", std::string(Hex) + S.Dup.substr(1));
    Text = ReplaceAll(Text, "{dstem}", S.Dup.substr(0, S.Dup.size() - 4));
    Text = ReplaceAll(Text, "{rw}", S.Fill(R"~(<img src="img/{d}">)~"));
    S.Site.Write(C.File, Text);
    S.Site.Write("other.html", S.Fill(R"~(<img src="img/{d}">)~"));  // rewritten, not a reason
    const TRunResult R = S.Run();
    ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
    EXPECT_EQ(FileNames(R.KeptDuplicates),
              std::vector<std::string>{S.Site.Path() + "img/" + S.Dup});
    if (!R.KeptDuplicates.empty()) {
      EXPECT_EQ(R.KeptDuplicates[0].RefFile, S.Site.Path() + C.File);
    }
    EXPECT_EQ(ReadFileText(S.Out.Path() + "img/" + S.Dup), SamePicture);
    EXPECT_EQ(R.DuplicateCount, 0);
    EXPECT_EQ(BrokenReferences(S.Site.Path(), S.Out.Path()), std::vector<std::string>{});
  }
}

// A page is read for its references, not searched for names: a picture
// of the same name in another folder keeps no duplicate (sites exported by
// office programs have an image001.gif in every page's folder), while a
// file that is not a page keeps it by the name alone.
TEST(RefCheckTest, PagesNamingAnotherPictureOfTheSameNameKeepNoDuplicate) {
  for (const bool Rule : {false, true}) {
    SCOPED_TRACE(Rule ? "an .htaccess names it" : "only pages");
    TTwinSite S;
    S.Site.Write("other/" + S.Dup, "GIF89a another picture");
    S.Site.Write("other/index.html", S.Fill("<img src=\"{d}\"><script>show('{d}')</script>"));
    S.Site.Write("index.html", S.Fill("<img src=\"img/{d}\">"));
    if (Rule) S.Site.Write(".htaccess", S.Fill("Redirect /old.gif /other/{d}\n"));
    const TRunResult R = S.Run();
    ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
    EXPECT_EQ(R.KeptDuplicates.size(), Rule ? 1u : 0u);
    EXPECT_EQ(FileExists(S.Out.Path() + "img/" + S.Dup), Rule);
    EXPECT_EQ(R.RewrittenPages, std::vector<std::string>{S.Site.Path() + "index.html"});
  }
}

// Only duplicates something still refers to come back, and the report
// counts exactly the pictures left out.
TEST(RefCheckTest, UnreferencedDuplicatesStayLeftOut) {
  TTempDir Site("site"), Out("out");
  const std::vector<std::string> Names = {"a.gif", "b.gif", "c.gif", "d.gif"};
  for (const std::string& N : Names) Site.Write("img/" + N, SamePicture);
  const std::vector<std::string> Order = ListedOrder(Site.Path() + "img", Names);
  // Order[1] is rewritten, Order[2] is referred to unquoted, Order[3] never.
  Site.Write("index.html", "<img src=\"img/" + Order[1] + "\"><img src=img/" + Order[2] + ">");
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = true;
  const TRunResult R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(FileNames(R.KeptDuplicates), std::vector<std::string>{Site.Path() + "img/" + Order[2]});
  EXPECT_EQ(R.DuplicateCount, 2);
  for (size_t I = 0; I < Order.size(); ++I)
    EXPECT_EQ(FileExists(Out.Path() + "img/" + Order[I]), I == 0 || I == 2) << Order[I];
  EXPECT_EQ(ReadFileText(Out.Path() + "index.html"),
            "<img src=\"img/" + Order[0] + "\"><img src=img/" + Order[2] + ">");
  EXPECT_EQ(BrokenReferences(Site.Path(), Out.Path()), std::vector<std::string>{});
}

// Many pages, pictures and forms of reference in one run: whatever the mix,
// every reference that worked in the site works in the output, and the
// report counts exactly the pictures left out.
TEST(RefCheckTest, GeneratedSiteKeepsEveryWorkingReference) {
  namespace fs = std::filesystem;
  TTempDir Site("site"), Out("out");
  std::mt19937 Rnd(7);
  std::vector<std::string> Pictures;
  for (const char* Folder : {"a", "b/c", "d"})
    for (int I = 0; I < 6; ++I) {
      Pictures.push_back(std::string(Folder) + "/p" + std::to_string(I) +
                         (I % 3 ? ".gif" : ".JPG"));
      Site.Write(Pictures.back(), "picture " + std::to_string(Rnd() % 7));
    }
  const char* const Forms[] = {"<img src=\"{r}\">",
                               "<img src='{r}' alt=x>",
                               "<img src={r}>",
                               "<a href=\"{r}\">x</a>",
                               "<img\n  src=\"{r}\"\n  alt=\"a\">",
                               "<img srcset=\"{r} 2x\">",
                               "<i style=\"background:url({r})\"></i>",
                               "<a href=\"#\" onclick=\"f('{r}')\">y</a>",
                               "<img src=\"/{p}\">",
                               "<a\thref=\"{r}\"><img src=\"{r}\"/></a>"};
  for (const char* Page :
       {"index.html", "a/one.html", "b/two.html", "b/c/three.html", "d/four.html"}) {
    std::string Text = "<html><body>\n";
    for (int I = 0; I < 15; ++I) {
      const std::string& Picture = Pictures[Rnd() % Pictures.size()];
      const std::string Ref =
          fs::path(Picture).lexically_relative(fs::path(Page).parent_path()).generic_string();
      std::string Form = Forms[Rnd() % std::size(Forms)];
      Form = ReplaceAll(ReplaceAll(Form, "{r}", Ref), "{p}", Picture);
      Text += "<p>text " + std::to_string(I) + " " + Form + "</p>\n";
    }
    Site.Write(Page, Text + "</body></html>");
  }
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = true;
  const TRunResult R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(BrokenReferences(Site.Path(), Out.Path()), std::vector<std::string>{});
  int LeftOut = 0;
  for (const std::string& Picture : Pictures) LeftOut += !FileExists(Out.Path() + Picture);
  EXPECT_GT(LeftOut + int(R.KeptDuplicates.size()), 0);  // the site has duplicates
  EXPECT_EQ(R.DuplicateCount, LeftOut);
}

// Runs an engine as the front ends do and hands back what it kept.
std::vector<TKeptDuplicate> KeptByRun(TAppConfig& Config, const std::string& Root,
                                      const std::string& Out) {
  std::vector<TKeptDuplicate> Kept;
  TMainLoop Loop;
  SetMainThreadDispatcher(&Loop);
  bool Done = false;
  auto* Engine = new TWebFilsMgr(&Config);
  Engine->OnFinished = [&](TObject*, const TRunRecord& Run) {
    Kept = Run.KeptDuplicates;
    Done = true;
  };
  Engine->Start(Root, Out);
  Loop.RunUntil([&] { return Done; });
  TThread::WaitForAllThreads();
  SetMainThreadDispatcher(nullptr);
  return Kept;
}

TEST(RefCheckTest, KeptDuplicateNamesTheFileAndLineThatReferToIt) {
  TTwinSite S;
  S.Site.Write("index.html", S.Fill("<p>\n<img src=\"img/{d}\">\n</p>\n"));
  S.Site.Write("css/site.css",
               S.Fill("body {\r\n  color: red;\r\n  background: url(../img/{d});\r\n}"));
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = true;
  const std::vector<TKeptDuplicate> Kept = KeptByRun(Config, S.Site.Path(), S.Out.Path());
  ASSERT_EQ(Kept.size(), 1u);
  EXPECT_EQ(Kept[0].FileName, S.Site.Path() + "img/" + S.Dup);
  EXPECT_EQ(Kept[0].RefFile, S.Site.Path() + "css/site.css");
  EXPECT_EQ(Kept[0].RefLine, 3);
}

// ---- the sample site ------------------------------------------------------------

#ifdef LARKSPAN_SOURCE_DIR
const std::string SampleSite = std::string(LARKSPAN_SOURCE_DIR) + "/examples/site/";
#else
const std::string SampleSite;
#endif

TEST(RefCheckTest, SampleSiteKeepsEveryWorkingReference) {
  if (SampleSite.empty() || !DirectoryExists(SampleSite)) GTEST_SKIP() << "no sample site";
  TTempDir Out("out");
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = true;
  const TRunResult R = RunEngine(Config, SampleSite, Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(BrokenReferences(SampleSite, Out.Path()), std::vector<std::string>{});
}

// With pages minified too, through the command-line program beside the
// markup compressor.
TEST(RefCheckTest, SampleSiteKeepsEveryWorkingReferenceWhenMinified) {
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR");
  if (SampleSite.empty() || !DirectoryExists(SampleSite)) GTEST_SKIP() << "no sample site";
  if (Bin.empty() || !FileExists(Bin + "/htmlcompressor.jar") || !FileExists(Bin + "/larkspan-cli"))
    GTEST_SKIP() << "larkspan-cli or htmlcompressor.jar not built (LARKSPAN_BIN_DIR)";
  TTempDir Out("out");
  const std::string Command = "'" + Bin + "/larkspan-cli' --dedupe --html '" + SampleSite + "' '" +
                              Out.Path() + "o' >/dev/null 2>&1";
  const int Status = std::system(Command.c_str());
  ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Command;
  EXPECT_EQ(BrokenReferences(SampleSite, Out.Path() + "o/"), std::vector<std::string>{});
}

}  // namespace
}  // namespace larkspan
