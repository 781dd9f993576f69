// A run on several workers: the same output and the same report as on one,
// and the first failure still ends it cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/EngineTestUtil.h"
#include "engine/uEngineRun.h"
#include "engine/uWebFilesMgr.h"
#include "platform/FileSystem.h"
#include "platform/TestUtil.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::ReadTree;
using test::TScopedEnv;
using test::TTempDir;

const std::string TestData = ExtractFilePath(__FILE__) + "testdata/";

// Fake optimisers (the real ones cannot be made to fail on cue): each
// takes a random moment, so the workers finish in a different order every
// time; a picture whose name holds "bad" makes them fail, any other comes
// out one byte shorter. The real jpegoptim does the JPEGs. They match the
// file's own name only: the folder it lies in has a random name, which may
// hold "bad" too.
void WriteFakeOptimisers(const std::string& Bin) {
  const std::string Shorter =
      "sleep 0.0$((RANDOM % 4))\n"
      "case \"${SRC##*/}\" in *bad*) exit 1;; esac\n"
      "head -c $(( $(stat -c %s \"$SRC\") - 1 )) \"$SRC\" > \"$DST\"\n";
  test::WriteScript(Bin + "gifsicle", "SRC=$4 DST=$3\n" + Shorter);
  // pngout on a picture whose name holds "capped" does what the real one does
  // at its safety cap: writes the picture unchanged and exits with 3.
  test::WriteScript(Bin + "pngout",
                    "SRC=$1 DST=$2\n"
                    "case \"${SRC##*/}\" in *capped*) cp \"$SRC\" \"$DST\"; exit 3;; esac\n" +
                        Shorter);
}

// A site with every kind of work: duplicates (some still referred to in a
// form the rewriting leaves, so they are written after all), rewritten and
// minified pages, an exception file, a script the minifier refuses, failing
// optimisers, pictures of every kind, filtered files.
void MakeSite(const TTempDir& Site) {
  const std::string Gif = "GIF89a" + std::string(300, 'g');
  const std::string Png = "\x89PNG\r\n\x1A\n" + std::string(400, 'p');
  const std::string Jpg = ReadFileText(TestData + "shrink.jpg");
  for (const char* Name : {"img/a.gif", "img/b.gif", "img/sub/c.gif", "gallery/a-copy.gif"})
    Site.Write(Name, Gif);
  for (const char* Name : {"img/p.png", "img/q.png"}) Site.Write(Name, Png);
  Site.Write("img/bad-one.png", "\x89PNG\r\n\x1A\n a picture its optimiser fails on");
  Site.Write("img/bad.gif", "GIF89a a picture its optimiser fails on");
  Site.Write("img/capped.png", "\x89PNG\r\n\x1A\n a picture that reaches the cap");
  Site.Write("img/photo.jpg", Jpg);
  Site.Write("img/photo-again.jpg", Jpg);
  for (int I = 0; I < 24; ++I) {
    const std::string N = std::to_string(I);
    Site.Write("img/own" + N + ".png", "\x89PNG\r\n\x1A\n picture " + N + std::string(50, 'x'));
  }
  for (int I = 0; I < 40; ++I) {
    const std::string Folder = I % 4 == 0 ? "news/" : "";
    const std::string Up = Folder.empty() ? "" : "../";
    std::string Page = "<html>\n  <body>\n    <p>page " + std::to_string(I) + "</p>\n";
    for (int J = 0; J <= I % 5; ++J)
      Page += "    <img src=\"" + Up + "img/b.gif\">  <a href='" + Up + "img/q.png'>q</a>\n";
    if (I == 13) Page += "    <div style=\"background:url(" + Up + "img/sub/c.gif)\"></div>\n";
    Page += "  </body>\n</html>\n";
    Site.Write(Folder + "p" + std::to_string(I) + ".html", Page);
  }
  Site.Write("except.html", "<p>   kept   as   it   is   </p>\n");
  Site.Write("css/site.css", "body  {  background : url(../img/photo-again.jpg) ;  }\n");
  Site.Write("js/app.js", "var  a = 1 ;\n\n  // a comment\nvar b = 2;\n");
  Site.Write("js/broken.js", "var s = 'never closed\n");
  Site.Write("data/feed.xml", "<feed>\n   <item>one</item>\n   <item>two</item>\n</feed>\n");
  Site.Write("notes.txt", "see img/a.gif");
  Site.Write("old.bak", "left out");
}

struct TRun {
  TRunOutcome Outcome;
  std::map<std::string, std::string> Tree;
};

TRun RunWith(int Jobs, const std::string& Site, const std::string& Bin) {
  TTempDir Out("out");
  TAppConfig Config = test::BlankConfig();
  Config.IsCompressHtml = Config.IsCompressCSS = Config.IsCompressJS = Config.IsCompressXML = true;
  Config.IsReducePic = Config.IsCompressJpg = Config.IsCompressGif = Config.IsCompressPng = true;
  Config.FileFilters = "*.bak|";
  Config.CompressFilters = "except.html|";
  Config.Jobs = Jobs;
  TScopedEnv Path("PATH", Bin + ":" + GetEnv("PATH"));
  TRun R;
  R.Outcome = RunEngineToEnd(Config, Site, Out.Path());
  R.Tree = ReadTree(Out.Path());
  return R;
}

TEST(ParallelRunTest, FourWorkersWriteTheSameTreeAndReportAsOne) {
  TTempDir Site("site"), Bin("bin");
  MakeSite(Site);
  WriteFakeOptimisers(Bin.Path());
  const TRun One = RunWith(1, Site.Path(), Bin.Path());
  ASSERT_TRUE(One.Outcome.IsSuccess) << One.Outcome.ErrorText;
  // A picture whose optimiser stopped at its safety cap is written unchanged
  // and its record says so.
  const auto Capped = std::find_if(One.Outcome.Results.begin(), One.Outcome.Results.end(),
                                   [](const TFileResult& F) { return F.Path == "img/capped.png"; });
  ASSERT_NE(Capped, One.Outcome.Results.end());
  EXPECT_TRUE(Capped->TimeCapped);
  EXPECT_EQ(Capped->Action, TFileAction::FailedCopied);
  EXPECT_EQ(Capped->Detail, "pngout: time cap reached");
  EXPECT_EQ(One.Tree.at("img/capped.png"), ReadFileText(Site.Path() + "img/capped.png"));
  for (const TFileResult& F : One.Outcome.Results)
    EXPECT_EQ(F.TimeCapped, &F == &*Capped) << F.Path;
  // The site exercises what it should.
  EXPECT_GT(One.Outcome.DuplicateCount, 0);
  EXPECT_FALSE(One.Outcome.KeptDuplicates.empty());
  EXPECT_FALSE(One.Outcome.RewrittenPages.empty());
  EXPECT_EQ(One.Outcome.CompressErrors.size(), 1u);
  EXPECT_GE(One.Outcome.UncompressedFiles.size(), 4u);  // three pictures and the script
  for (int Round = 0; Round < 3; ++Round) {
    SCOPED_TRACE(Round);
    const TRun Four = RunWith(4, Site.Path(), Bin.Path());
    const TRunOutcome &A = One.Outcome, &B = Four.Outcome;
    ASSERT_TRUE(B.IsSuccess) << B.ErrorText;
    EXPECT_TRUE(One.Tree == Four.Tree);
    EXPECT_EQ(A.SavedSize, B.SavedSize);
    EXPECT_EQ(A.DuplicateCount, B.DuplicateCount);
    EXPECT_EQ(A.UncompressedFiles, B.UncompressedFiles);
    EXPECT_EQ(A.CompressErrors, B.CompressErrors);
    EXPECT_EQ(A.RewrittenPages, B.RewrittenPages);
    ASSERT_EQ(A.KeptDuplicates.size(), B.KeptDuplicates.size());
    for (size_t I = 0; I < A.KeptDuplicates.size(); ++I) {
      EXPECT_EQ(A.KeptDuplicates[I].FileName, B.KeptDuplicates[I].FileName);
      EXPECT_EQ(A.KeptDuplicates[I].RefFile, B.KeptDuplicates[I].RefFile);
      EXPECT_EQ(A.KeptDuplicates[I].RefLine, B.KeptDuplicates[I].RefLine);
    }
    ASSERT_EQ(A.Results.size(), B.Results.size());
    for (size_t I = 0; I < A.Results.size(); ++I) {
      const TFileResult &X = A.Results[I], &Y = B.Results[I];
      EXPECT_EQ(X.Path, Y.Path);
      EXPECT_EQ(int(X.Action), int(Y.Action)) << X.Path;
      EXPECT_EQ(int(X.Reason), int(Y.Reason)) << X.Path;
      EXPECT_EQ(X.Detail, Y.Detail) << X.Path;
      EXPECT_EQ(X.BytesOut, Y.BytesOut) << X.Path;
      EXPECT_EQ(X.TimeCapped, Y.TimeCapped) << X.Path;
    }
    EXPECT_EQ(A.DoneFiles, B.DoneFiles);
  }
}

// Progress on several workers still only moves forward and ends at 100.
TEST(ParallelRunTest, ProgressMovesForwardToTheEnd) {
  TTempDir Site("site"), Out("out"), Bin("bin");
  MakeSite(Site);
  WriteFakeOptimisers(Bin.Path());
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = Config.IsCompressGif = Config.IsCompressPng = Config.IsCompressHtml = true;
  Config.Jobs = 3;
  TScopedEnv Path("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  std::vector<int> Seen;
  std::vector<TRunStatus> Statuses;
  TRunHooks Hooks;
  Hooks.OnProgress = [&](int Percent) { Seen.push_back(Percent); };
  Hooks.OnStatus = [&](const TRunStatus& S, TWebFilsMgr&) { Statuses.push_back(S); };
  const TRunOutcome R = RunEngineToEnd(Config, Site.Path(), Out.Path(), Hooks);
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  ASSERT_FALSE(Seen.empty());
  EXPECT_TRUE(std::is_sorted(Seen.begin(), Seen.end()));
  EXPECT_EQ(std::adjacent_find(Seen.begin(), Seen.end()), Seen.end());
  EXPECT_EQ(Seen.back(), 100);
  for (size_t I = 1; I < Statuses.size(); ++I)
    EXPECT_GE(Statuses[I].DoneFiles, Statuses[I - 1].DoneFiles);
  EXPECT_EQ(R.DoneFiles, R.TotalFiles);
}

// The first failure ends the run on every worker: its message is the one of
// the earliest file that failed, nothing is half written, and no temporary
// file is left behind.
TEST(ParallelRunTest, FailureEndsTheRunWithWholeFilesOnly) {
  TTempDir Site("site"), Out("out");
  for (int I = 0; I < 60; ++I) Site.Write("f" + std::to_string(I) + ".txt", std::string(5000, 'x'));
  // A folder where a file must go makes its copy fail.
  std::filesystem::create_directories(Out.Path() + "f7.txt/x");
  TAppConfig Config = test::BlankConfig();
  Config.Jobs = 4;
  const TRunOutcome R = RunEngineToEnd(Config, Site.Path(), Out.Path());
  EXPECT_FALSE(R.IsSuccess);
  EXPECT_NE(R.ErrorText.find("f7.txt"), std::string::npos) << R.ErrorText;
  for (const auto& [Name, Data] : ReadTree(Out.Path())) {
    EXPECT_EQ(Name.find(".larkspan-"), std::string::npos) << Name;
    EXPECT_EQ(Data, std::string(5000, 'x')) << Name;
  }
  // Every record is of a file that was written whole.
  for (const TFileResult& F : R.Results) EXPECT_EQ(F.BytesOut, 5000) << F.Path;
}

}  // namespace
}  // namespace larkspan
