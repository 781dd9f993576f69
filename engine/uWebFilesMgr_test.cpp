#include "engine/uWebFilesMgr.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "engine/EngineTestUtil.h"
#include "engine/uEngineRun.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Thread.h"

namespace larkspan {
namespace {

using test::BlankConfig;
using test::ReadTree;
using test::RunEngine;
using test::TTempDir;

// The bytes of every file under Folder, its subfolders included.
int64_t FolderSizeOf(const std::string& Folder) {
  const std::string Dir = IncludeTrailingDelimiter(Folder);
  int64_t Sum = 0;
  for (const TDirEntry& E : ListDirectory(Dir))
    Sum += E.IsDirectory ? FolderSizeOf(Dir + E.Name + "/") : E.Size;
  return Sum;
}

// Paths relative to Root, sorted.
std::vector<std::string> Rel(const std::vector<std::string>& Paths, const std::string& Root) {
  std::vector<std::string> R;
  for (const std::string& P : Paths) R.push_back(P.substr(Root.size()));
  std::sort(R.begin(), R.end());
  return R;
}

TEST(WebFilsMgrTest, ClassificationFollowsTheRulesInOrder) {
  TTempDir Site("site");
  for (const char* F :
       {"index.html", "a/PAGE.HTM", "old.BAK", "a/x.bak", "a/THUMBS.DB", "noext", "logo.bmp",
        "p.Png", "app.js", "js/jquery.min.js", "s.css", "d.xml", "readme.txt", ".hidden.html"})
    Site.Write(F, "x");
  struct Case {
    const char* Name;
    std::string Filters;
    bool Reduce, Html, Js;
    std::vector<std::string> Pages, Pics, Compress, Other;
  } Cases[] = {
      {"filters and reduce",
       "*.bak|Thumbs.db|",
       true,
       false,
       true,
       {".hidden.html", "a/PAGE.HTM", "index.html"},
       {"logo.bmp", "p.Png"},
       {"app.js"},
       {"d.xml", "js/jquery.min.js", "noext", "readme.txt", "s.css"}},
      {"html without reduce; '*' drops files without extension; no final bar",
       "*|*.bak|*.txt",
       false,
       true,
       false,
       {},
       {},
       {".hidden.html", "a/PAGE.HTM", "index.html"},
       {"a/THUMBS.DB", "app.js", "d.xml", "js/jquery.min.js", "logo.bmp", "p.Png", "readme.txt",
        "s.css"}},
      {"nothing on",
       "",
       false,
       false,
       false,
       {},
       {},
       {},
       {".hidden.html", "a/PAGE.HTM", "a/THUMBS.DB", "a/x.bak", "app.js", "d.xml", "index.html",
        "js/jquery.min.js", "logo.bmp", "noext", "old.BAK", "p.Png", "readme.txt", "s.css"}},
  };
  for (const Case& C : Cases) {
    for (const std::string& Root : {Site.Path(), Site.Path().substr(0, Site.Path().size() - 1)}) {
      TAppConfig Config = BlankConfig();
      Config.FileFilters = C.Filters;
      Config.CompressFilters = "js/jquery.min.js|";
      Config.IsReducePic = C.Reduce;
      Config.IsCompressHtml = C.Html;
      Config.IsCompressJS = C.Js;
      // The scan on its own, without an engine.
      TRunRecord Run;
      TFileResults Records;
      auto E = std::make_unique<TSiteScan>(Config, Run, Records);
      E->RootDir = Root;
      for (const std::string& F : ListTextEntries(C.Filters)) E->FileFilterList.Add(F);
      E->CompressFilterList.Add("js/jquery.min.js");
      E->ScanFolder(Root, [&](const std::string& Folder, const std::string& Name) {
        E->AddFile(Folder, Name);
      });
      EXPECT_EQ(Rel(E->PageFiles, Site.Path()), C.Pages) << C.Name;
      EXPECT_EQ(Rel(E->PicFiles, Site.Path()), C.Pics) << C.Name;
      EXPECT_EQ(Rel(E->CompressFiles, Site.Path()), C.Compress) << C.Name << " root " << Root;
      EXPECT_EQ(Rel(E->OtherFiles, Site.Path()), C.Other) << C.Name;
    }
  }
}

TEST(WebFilsMgrTest, ProgressRoundsHalfToEven) {
  const int Expected[] = {12, 25, 38, 50, 62, 75, 88, 100};
  for (int I = 1; I <= 8; ++I) EXPECT_EQ(ProgressPercent(I, 8), Expected[I - 1]);
  EXPECT_EQ(ProgressPercent(23, 40), 58);  // 57.5 -> even 58
  EXPECT_EQ(ProgressPercent(1, 200), 0);   // 0.5 -> 0
  EXPECT_EQ(ProgressPercent(3, 200), 2);   // 1.5 -> 2
  EXPECT_EQ(ProgressPercent(0, 0), 0);
}

TEST(WebFilsMgrTest, EqualPicturesAreWrittenOnceWithEightSteps) {
  TTempDir Site("site"), Out("out");
  Site.Write("img/a.gif", "GIF89a same");
  Site.Write("img/sub/b.png", "GIF89a same");  // same bytes, other type
  Site.Write("c.jpg", "GIF89a same");
  Site.Write("d.bmp", "other");
  Site.Write("empty/only.bak", "dropped");
  Site.Write("dups/x.gif", "GIF89a same");
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;
  Config.FileFilters = "*.bak|";
  Config.Jobs = 1;  // one report per step
  // dups/x.gif makes five pictures; drop it to get the eight-step run.
  std::filesystem::remove_all(Site.Path() + "dups");
  const auto Before = ReadTree(Site.Path());
  const auto R = RunEngine(Config, Site.Path(), Out.Path() + "new/deeper");
  ASSERT_TRUE(R.Started) << R.StartError;
  EXPECT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(R.FinishedCalls, 1);
  EXPECT_EQ(R.DuplicateCount, 2);
  const auto Tree = ReadTree(Out.Path() + "new/deeper");
  EXPECT_EQ(Tree.size(), 2u);  // the first of the equal pictures and d.bmp
  EXPECT_EQ(Tree.count("d.bmp"), 1u);
  for (const auto& [Name, Data] : Tree) {
    if (Name != "d.bmp") {
      EXPECT_EQ(Data, "GIF89a same") << Name;
    }
  }
  // No folder for files that were not written (duplicates, dropped files).
  EXPECT_FALSE(DirectoryExists(Out.Path() + "new/deeper/empty"));
  // The run order follows the listing; whatever came first is the master, and
  // the progress is the same: 4 digests (two of them skip their writing step)
  // and 2 writes over 8 steps.
  ASSERT_EQ(R.Progress.size(), 6u);
  EXPECT_EQ(R.Progress.back(), 100);
  EXPECT_EQ(ReadTree(Site.Path()), Before);
  EXPECT_EQ(R.SavedSize, FolderSizeOf(Site.Path()) - FolderSizeOf(Out.Path() + "new/deeper"));
}

TEST(WebFilsMgrTest, ProgressIsHandedOverOnlyWhenThePercentageMoves) {
  TTempDir Site("site"), Out("out");
  for (int I = 0; I < 300; ++I) Site.Write("f" + std::to_string(I) + ".txt", std::to_string(I));
  TAppConfig Config = BlankConfig();
  Config.IsCompressGif = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  ASSERT_FALSE(R.Progress.empty());
  EXPECT_LE(R.Progress.size(), 101u);  // 0 to 100, each once at most
  EXPECT_TRUE(std::is_sorted(R.Progress.begin(), R.Progress.end()));
  EXPECT_EQ(std::adjacent_find(R.Progress.begin(), R.Progress.end()), R.Progress.end());
  EXPECT_EQ(R.Progress.back(), 100);
  EXPECT_EQ(ReadTree(Out.Path()).size(), 300u);
}

// The front ends read a run only from the record handed to OnFinished: it
// must come once, from the engine, and say all the run did, figures that
// agree with the output tree included.
TEST(WebFilsMgrTest, RunRecordCarriesWhatTheRunDidOnceViaOnFinished) {
  TTempDir Site("site"), Out("out");
  // One of the twins is left out whichever the scan meets first, so the
  // page, which names both, is rewritten.
  Site.Write("index.html", "<p><img src=\"a.gif\"><img src=\"b.gif\"></p>\n");
  Site.Write("a.gif", "GIF89a twin");
  Site.Write("b.gif", "GIF89a twin");
  Site.Write("s.css", "a {  color : red ; }\n");
  Site.Write("old.bak", "left out");
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;
  Config.IsCompressCSS = true;
  Config.FileFilters = "*.bak|";

  TMainLoop Loop;
  SetMainThreadDispatcher(&Loop);
  int Calls = 0;
  TObject* From = nullptr;
  TRunRecord Got;
  auto* Engine = new TWebFilsMgr(&Config);
  Engine->OnFinished = [&](TObject* Sender, const TRunRecord& Run) {
    ++Calls;
    From = Sender;
    Got = Run;
  };
  Engine->Start(Site.Path(), Out.Path());
  Loop.RunUntil([&] { return Calls > 0; });
  TThread::WaitForAllThreads();
  SetMainThreadDispatcher(nullptr);

  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(From, static_cast<TObject*>(Engine));
  ASSERT_TRUE(Got.IsSuccess) << Got.ErrorText;
  EXPECT_FALSE(Got.IsStopped);
  EXPECT_FALSE(Got.DryRun);
  EXPECT_EQ(Got.SourceSize, FolderSizeOf(Site.Path()));
  EXPECT_EQ(Got.SavedSize, Got.SourceSize - FolderSizeOf(Out.Path()));
  EXPECT_EQ(Got.DuplicateCount, 1);
  EXPECT_EQ(Got.Counts.Pictures, 2);
  EXPECT_EQ(Got.Counts.Pages, 1);
  EXPECT_EQ(Got.Counts.Compressed, 1);
  EXPECT_EQ(Got.Counts.Dropped, 1);
  EXPECT_EQ(Got.RewrittenPages, std::vector<std::string>{Site.Path() + "index.html"});
  EXPECT_TRUE(Got.KeptDuplicates.empty());
  EXPECT_TRUE(Got.UncompressedFiles.empty());
  EXPECT_EQ(Got.TotalFiles, 4);
  EXPECT_EQ(Got.DoneFiles, Got.TotalFiles);
  // One record for every file of the site, in scan order.
  ASSERT_EQ(Got.Results.size(), 5u);
  EXPECT_TRUE(std::is_sorted(Got.Results.begin(), Got.Results.end(),
                             [](const auto& A, const auto& B) { return A.Order < B.Order; }));
  const std::vector<int> ByAction = CountByAction(Got.Results);
  EXPECT_EQ(ByAction[int(TFileAction::DuplicateLeftOut)], 1);
  EXPECT_EQ(ByAction[int(TFileAction::Filtered)], 1);
  EXPECT_EQ(ByAction[int(TFileAction::Rewritten)], 1);
  EXPECT_EQ(ByAction[int(TFileAction::Minified)], 1);
  EXPECT_EQ(ByAction[int(TFileAction::Copied)], 1);

  // A dry run records the same decisions, saves nothing and writes nothing.
  TTempDir DryOut("dry");
  TRunHooks Hooks;
  Hooks.DryRun = true;
  const TRunOutcome Dry = RunEngineToEnd(Config, Site.Path(), DryOut.Path(), Hooks);
  EXPECT_EQ(Dry.FinishedCalls, 1);
  EXPECT_TRUE(Dry.IsSuccess && Dry.DryRun);
  EXPECT_EQ(Dry.SavedSize, 0);
  EXPECT_EQ(Dry.DuplicateCount, 1);
  EXPECT_EQ(Dry.Results.size(), Got.Results.size());
  EXPECT_EQ(Dry.DoneFiles, Dry.TotalFiles);
  EXPECT_TRUE(ReadTree(DryOut.Path()).empty());
}

TEST(WebFilsMgrTest, DuplicatesWhoseNamesDifferOnlyInCaseAreBothCounted) {
  TDetailList L;
  for (const char* P : {"/s/img/b.gif", "/s/img/B.gif", "/s/a.gif"}) {
    auto Item = std::make_unique<TDetailItm>();
    Item->FileName = P;
    L.Add(P, std::move(Item));
  }
  ASSERT_EQ(L.Count(), 3);
  EXPECT_EQ(L.Names(0), "/s/a.gif");
  EXPECT_EQ(L.Names(L.IndexOf("/s/img/B.gif")), "/s/img/B.gif");
  EXPECT_EQ(L.Names(L.IndexOf("/s/img/b.gif")), "/s/img/b.gif");
  EXPECT_NE(L.IndexOf("/S/IMG/b.GIF"), -1);
  EXPECT_EQ(L.IndexOf("/s/img/c.gif"), -1);

  TTempDir Site("site"), Out("out");
  Site.Write("a.gif", "same");
  Site.Write("img/b.gif", "same");
  Site.Write("img/B.gif", "same");
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(R.DuplicateCount, 2);
  EXPECT_EQ(ReadTree(Out.Path()).size(), 1u);
}

TEST(WebFilsMgrTest, EmptySiteSucceedsWithoutProgress) {
  TTempDir Site("site"), Out("out");
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_TRUE(R.IsSuccess);
  EXPECT_TRUE(R.Progress.empty());
  EXPECT_EQ(R.FinishedCalls, 1);
  EXPECT_EQ(R.SavedSize, 0);
}

TEST(WebFilsMgrTest, StartRefusesBadFolders) {
  TTempDir Site("site"), Out("out");
  Out.Write("file", "x");
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  EXPECT_EQ(RunEngine(Config, Site.Path() + "missing", Out.Path()).StartError, "目录不存在");
  EXPECT_EQ(
      RunEngine(Config, Site.Path(), Out.Path() + "file/sub").StartError.rfind("创建目录失败", 0),
      0u);
  EXPECT_EQ(RunEngine(Config, Site.Path(), Site.Path() + "out").StartError,
            "网站根目录和输出目录不能相同！");
  // Also when the output is reached through a link into the site.
  ASSERT_EQ(::symlink(Site.Path().c_str(), (Out.Path() + "link").c_str()), 0);
  EXPECT_EQ(RunEngine(Config, Site.Path(), Out.Path() + "link/x").StartError,
            "网站根目录和输出目录不能相同！");
  EXPECT_TRUE(ReadTree(Site.Path()).empty());
}

TEST(WebFilsMgrTest, CopyFailureEndsTheRunNamingBothPaths) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", "first");
  Site.Write("b.txt", "second");
  // A folder where a file must go makes its copy fail.
  std::filesystem::create_directories(Out.Path() + "a.txt/x");
  std::filesystem::create_directories(Out.Path() + "b.txt/x");
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.Started);
  EXPECT_FALSE(R.IsSuccess);
  EXPECT_EQ(R.FinishedCalls, 1);
  EXPECT_NE(R.ErrorText.find("复制文件失败！" + Site.Path()), std::string::npos) << R.ErrorText;
  EXPECT_NE(R.ErrorText.find(" -> " + Out.Path()), std::string::npos) << R.ErrorText;
  EXPECT_EQ(R.Progress.size(), 0u);  // ended at the first file
}

TEST(WebFilsMgrTest, OverwritesAndDoesNotLoopThroughFolderLinks) {
  TTempDir Site("site"), Out("out");
  Site.Write("sub/page.txt", "new");
  Out.Write("sub/page.txt", "stale and longer");
  ASSERT_EQ(::symlink(Site.Path().c_str(), (Site.Path() + "sub/loop").c_str()), 0);
  TAppConfig Config = BlankConfig();
  Config.IsCompressGif = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_TRUE(R.IsSuccess) << R.ErrorText;
  const auto Tree = ReadTree(Out.Path());
  EXPECT_EQ(Tree.at("sub/page.txt"), "new");
  EXPECT_EQ(Tree.size(), 1u);  // the link is neither copied nor followed
}

}  // namespace
}  // namespace larkspan

namespace larkspan {
namespace {

TEST(WebFilsMgrTest, StopBetweenFilesEndsTheRunWithWhatWasDone) {
  test::TTempDir Site("site"), Out("out");
  for (int I = 0; I < 20; ++I)
    Site.Write("f" + std::to_string(I) + ".txt", std::string(size_t(I + 1), 'x'));
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = true;
  Config.Jobs = 1;  // copies this small outrun any stop on two workers
  TRunHooks Hooks;
  std::vector<TRunStatus> Seen;
  Hooks.OnStatus = [&](const TRunStatus& S, TWebFilsMgr& Engine) {
    Seen.push_back(S);
    if (S.DoneFiles >= 3) Engine.RequestStop();
  };
  const TRunOutcome R = RunEngineToEnd(Config, Site.Path(), Out.Path(), Hooks);
  EXPECT_TRUE(R.IsStopped);
  EXPECT_FALSE(R.IsSuccess);
  EXPECT_EQ(R.ErrorText, "");
  EXPECT_EQ(R.TotalFiles, 20);
  ASSERT_FALSE(Seen.empty());
  EXPECT_EQ(Seen.front().TotalFiles, 20);
  EXPECT_FALSE(Seen.front().CurrentFile.empty());
  // The records are exactly the files written, each whole.
  const auto Tree = test::ReadTree(Out.Path());
  EXPECT_EQ(R.Results.size(), Tree.size());
  EXPECT_EQ(int(Tree.size()), R.DoneFiles);
  EXPECT_GE(Tree.size(), 3u);
  EXPECT_LT(Tree.size(), 20u);
  for (const TFileResult& F : R.Results) {
    EXPECT_EQ(F.Action, TFileAction::Copied);
    ASSERT_EQ(Tree.count(F.Path), 1u) << F.Path;
    EXPECT_EQ(Tree.at(F.Path), test::Slurp(Site.Path() + F.Path));
    EXPECT_EQ(F.BytesOut, F.BytesIn);
  }
  // A stop belongs to its run: the next one runs to the end.
  test::TTempDir Out2("out2");
  const TRunOutcome Next = RunEngineToEnd(Config, Site.Path(), Out2.Path());
  EXPECT_TRUE(Next.IsSuccess);
  EXPECT_EQ(Next.Results.size(), 20u);
}

TEST(WebFilsMgrTest, DryRunDecidesEveryFileAndWritesNothing) {
  test::TTempDir Site("site"), Out("out");
  Site.Write("a.gif", "GIF89a same");
  Site.Write("sub/b.gif", "GIF89a same");
  Site.Write("page.html", "<img src=\"sub/b.gif\">");
  Site.Write("x.bak", "x");
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = true;
  Config.FileFilters = "*.bak|";
  TRunHooks Hooks;
  Hooks.DryRun = true;
  const std::string Output = Out.Path() + "never";
  const TRunOutcome R = RunEngineToEnd(Config, Site.Path(), Output, Hooks);
  EXPECT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_FALSE(DirectoryExists(Output));
  std::map<std::string, TFileAction> Actions;
  for (const TFileResult& F : R.Results) Actions[F.Path] = F.Action;
  EXPECT_EQ(Actions.size(), 4u);
  EXPECT_EQ(Actions["page.html"], TFileAction::Rewritten);
  EXPECT_EQ(Actions["x.bak"], TFileAction::Filtered);
  // One of the two pictures is written, the other left out.
  EXPECT_EQ(int(Actions["a.gif"] == TFileAction::DuplicateLeftOut) +
                int(Actions["sub/b.gif"] == TFileAction::DuplicateLeftOut),
            1);
}

TEST(WebFilsMgrTest, DryRunPredictsTheDuplicatesTheRunKeeps) {
  test::TTempDir Site("site"), Out("out");
  for (const char* Name : {"a.gif", "b.gif", "c.gif", "d.gif"}) Site.Write(Name, "GIF89a same");
  // Every copy is named by a page tag (rewritten), and two also by forms
  // the rewriting leaves: a style sheet and a script string.
  Site.Write("page.html",
             "<img src=\"a.gif\"><img src=\"b.gif\"><img src=\"c.gif\">"
             "<img src=\"d.gif\">");
  Site.Write("s.css", "p { background: url(c.gif) }\n");
  Site.Write("s.js", "var pic = \"d.gif\";\n");
  TAppConfig Config = test::BlankConfig();
  Config.IsReducePic = true;
  std::map<std::string, TFileAction> Actions[2];
  int Duplicates[2] = {0, 0};
  for (const bool Dry : {true, false}) {
    TRunHooks Hooks;
    Hooks.DryRun = Dry;
    const TRunOutcome R =
        RunEngineToEnd(Config, Site.Path(), Out.Path() + (Dry ? "d" : "r"), Hooks);
    ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
    for (const TFileResult& F : R.Results) Actions[Dry][F.Path] = F.Action;
    Duplicates[Dry] = R.DuplicateCount;
  }
  EXPECT_FALSE(DirectoryExists(Out.Path() + "d"));
  EXPECT_EQ(Actions[1], Actions[0]);
  EXPECT_EQ(Duplicates[1], Duplicates[0]);
  // Whichever copy is written, the ones still named elsewhere are kept.
  int Kept = 0;
  for (const auto& [Path, Action] : Actions[1]) Kept += Action == TFileAction::KeptDuplicate;
  EXPECT_GE(Kept, 1);
  EXPECT_EQ(Duplicates[1], 3 - Kept);
}

}  // namespace
}  // namespace larkspan
