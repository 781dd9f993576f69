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

// An engine that is never started, for looking at the scan's decisions.
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
      auto E = std::make_unique<TWebFilsMgr>(&Config);
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
  for (int I = 1; I <= 8; ++I) EXPECT_EQ(TWebFilsMgr::ProgressPercent(I, 8), Expected[I - 1]);
  EXPECT_EQ(TWebFilsMgr::ProgressPercent(23, 40), 58);  // 57.5 -> even 58
  EXPECT_EQ(TWebFilsMgr::ProgressPercent(1, 200), 0);   // 0.5 -> 0
  EXPECT_EQ(TWebFilsMgr::ProgressPercent(3, 200), 2);   // 1.5 -> 2
  EXPECT_EQ(TWebFilsMgr::ProgressPercent(0, 0), 0);
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
