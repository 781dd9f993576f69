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
  test::MakeBusySite(Site);
  test::WriteFakeOptimisers(Bin.Path());
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
  test::MakeBusySite(Site);
  test::WriteFakeOptimisers(Bin.Path());
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
  // 100% is shown only once the last file is done.
  for (const TRunStatus& S : Statuses)
    if (S.Percent >= 100) {
      EXPECT_EQ(S.DoneFiles, S.TotalFiles);
    }
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
