// Publishing a site again: results taken from the cache give the same
// output as the tools, files that come out the same are left alone, and
// what the site no longer has is found (and removed on request).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "engine/EngineTestUtil.h"
#include "engine/uEngineRun.h"
#include "platform/FileSystem.h"
#include "platform/TestUtil.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::ReadTree;
using test::TScopedEnv;
using test::TTempDir;

// A busy site, the fake optimisers first on PATH and a cache of its own.
struct TBench {
  TTempDir Site{"site"}, Bin{"bin"}, CacheHome{"cache"};
  TScopedEnv Path{"PATH", Bin.Path() + ":" + GetEnv("PATH")};
  TScopedEnv Xdg{"XDG_CACHE_HOME", CacheHome.Path()};
  TAppConfig Config = test::BlankConfig();
  TBench() {
    test::MakeBusySite(Site);
    test::WriteFakeOptimisers(Bin.Path());
    Config.IsCompressHtml = Config.IsCompressCSS = Config.IsCompressJS = true;
    Config.IsCompressXML = Config.IsReducePic = Config.IsCompressJpg = true;
    Config.IsCompressGif = Config.IsCompressPng = true;
    Config.FileFilters = "*.bak|";
    Config.CompressFilters = "except.html|";
    Config.Jobs = 2;
  }
  TRunOutcome Run(const std::string& Out, bool UseCache, bool Delete = false,
                  std::function<bool(int)> Confirm = {}) {
    TRunHooks Hooks;
    Hooks.UseCache = UseCache;
    Hooks.DeleteStale = Delete;
    Hooks.ConfirmDelete = std::move(Confirm);
    TRunOutcome R = RunEngineToEnd(Config, Site.Path(), Out, Hooks);
    EXPECT_TRUE(R.IsSuccess) << R.ErrorText;
    return R;
  }
};

// Path -> whether its record came from the cache, for the files a tool
// would have worked on.
std::map<std::string, bool> FromCache(const TRunOutcome& R) {
  std::map<std::string, bool> Map;
  for (const TFileResult& F : R.Results)
    if (F.Action != TFileAction::Filtered && F.Action != TFileAction::DuplicateLeftOut)
      Map[F.Path] = F.FromCache;
  return Map;
}

TEST(RepublishTest, ResultsFromTheCacheGiveTheTreeOfARunWithout) {
  TBench B;
  TTempDir Plain("plain"), First("first"), Again("again");
  const TRunOutcome P = B.Run(Plain.Path(), false);
  const TRunOutcome F = B.Run(First.Path(), true);
  // Only a duplicate written after all can find its master's result.
  EXPECT_LE(F.CacheHits, int(F.KeptDuplicates.size()));
  EXPECT_EQ(F.CacheWarning, "");
  const TRunOutcome A = B.Run(Again.Path(), true);
  const auto Tree = ReadTree(Plain.Path());
  EXPECT_EQ(ReadTree(First.Path()), Tree);
  EXPECT_EQ(ReadTree(Again.Path()), Tree);
  // Every tool's result came from the cache; a failure, a plain copy and an
  // exception file did not (failures are not kept: they are tried again).
  int Hits = 0;
  for (const TFileResult& R : A.Results) {
    Hits += R.FromCache ? 1 : 0;
    if (R.Action == TFileAction::KeptDuplicate) continue;  // its record says why it was kept
    // Pages too, rewritten ones included (they are minified after).
    const bool Tool = R.Action == TFileAction::Minified || R.Action == TFileAction::Optimised ||
                      R.Action == TFileAction::Rewritten || R.Reason == TFileReason::NotSmaller;
    EXPECT_EQ(R.FromCache, Tool) << R.Path;
  }
  EXPECT_EQ(A.CacheHits, Hits);
  EXPECT_GE(Hits, 44);  // 40 pages, a style sheet, a script, an XML file, a JPEG
  EXPECT_EQ(A.UncompressedFiles, P.UncompressedFiles);
  EXPECT_EQ(A.RewrittenPages.size(), P.RewrittenPages.size());
  EXPECT_EQ(A.KeptDuplicates.size(), P.KeptDuplicates.size());
}

TEST(RepublishTest, AChangedInputSettingOrToolMissesTheCache) {
  TBench B;
  TTempDir Out("out"), Plain("plain");
  // Pages minified by the rules of the sheets they link to; one of them
  // refers to a duplicate picture, so it is rewritten first.
  B.Site.Write("css/pre.css", ".code{white-space:pre}");
  B.Site.Write("css/more.css", ".kbd{color:blue}");
  B.Site.Write("linked.html",
               "<link rel=stylesheet href=css/pre.css><div class=code>a\n   b</div>\n");
  B.Site.Write("news/linked.html",
               "<link rel=stylesheet href=../css/pre.css><link rel=stylesheet href=../css/more.css>"
               "<img src=\"../gallery/a-copy.gif\">"
               "<div class=code>a\n   b</div>  <p class=kbd>c   d</p>\n");
  B.Run(Out.Path(), true);
  const auto Warm = FromCache(B.Run(Out.Path(), true));

  struct Case {
    const char* What;
    std::function<void()> Change;
    std::function<bool(const std::string& Path)> Missed;
  } Cases[] = {
      {"an edited style sheet", [&] { B.Site.Write("css/site.css", "body { color : red ; }\n"); },
       [](const std::string& P) { return P == "css/site.css"; }},
      {"another level", [&] { B.Config.Level = TMinifyLevel::Smallest; },
       [](const std::string& P) {
         return P.size() > 5 && (P.find(".htm") != std::string::npos || P.find(".css") != P.npos ||
                                 P.find(".js") != P.npos || P.find(".xml") != P.npos);
       }},
      {"another gifsicle", [&] { test::WriteScript(B.Bin.Path() + "gifsicle", "exit 1\n"); },
       [](const std::string& P) { return P.size() > 4 && P.substr(P.size() - 4) == ".gif"; }},
      // The pages that link a sheet take its white-space rules, not its
      // bytes: a sheet edited elsewhere leaves their results as they were.
      {"a linked sheet's colour",
       [&] { B.Site.Write("css/pre.css", ".code{white-space:pre;color:red}"); },
       [](const std::string& P) { return P == "css/pre.css"; }},
      {"a linked sheet's white-space rule",
       [&] { B.Site.Write("css/pre.css", ".code{white-space:normal;color:red}"); },
       [](const std::string& P) {
         return P == "css/pre.css" || P == "linked.html" || P == "news/linked.html";
       }},
      {"another linked sheet's white-space rule",
       [&] { B.Site.Write("css/more.css", ".kbd{white-space:pre}"); },
       [](const std::string& P) { return P == "css/more.css" || P == "news/linked.html"; }},
  };
  for (const Case& C : Cases) {
    C.Change();
    const TRunOutcome R = B.Run(Out.Path(), true);
    for (const auto& [Path, Hit] : FromCache(R)) {
      if (!Warm.at(Path)) continue;  // never from the cache (a copy, a failure)
      EXPECT_EQ(Hit, !C.Missed(Path)) << C.What << ": " << Path;
    }
    // And the output is what a run without the cache writes.
    RemoveTree(Plain.Path() + "o");
    B.Run(Plain.Path() + "o", false);
    EXPECT_EQ(ReadTree(Out.Path()), ReadTree(Plain.Path() + "o")) << C.What;
  }
}

TEST(RepublishTest, DamagedEntriesAreIgnoredAndRebuilt) {
  TBench B;
  TTempDir Plain("plain"), Out("out");
  B.Run(Plain.Path(), false);
  B.Run(Out.Path(), true);
  // Every entry spoilt: each cut short by a byte.
  int Spoilt = 0;
  const std::string Cache = B.CacheHome.Path() + "larkspan/";
  for (const auto& [Rel, Bytes] : ReadTree(Cache)) {
    if (Rel.find('/') == std::string::npos) continue;
    WriteFileAtomic(Cache + Rel, Bytes.substr(0, Bytes.size() - 1));
    ++Spoilt;
  }
  ASSERT_GE(Spoilt, 4);
  TTempDir Out2("out2"), Out3("out3");
  const TRunOutcome Damaged = B.Run(Out2.Path(), true);
  EXPECT_LE(Damaged.CacheHits, int(Damaged.KeptDuplicates.size()));
  EXPECT_EQ(ReadTree(Out2.Path()), ReadTree(Plain.Path()));
  const TRunOutcome Rebuilt = B.Run(Out3.Path(), true);
  EXPECT_GE(Rebuilt.CacheHits, 4);
  EXPECT_EQ(ReadTree(Out3.Path()), ReadTree(Plain.Path()));
}

TEST(RepublishTest, ACacheThatCannotBeWrittenLeavesTheRunAsItWasWithAWarning) {
  TBench B;
  TTempDir Plain("plain"), Out("out");
  B.Run(Plain.Path(), false);
  B.CacheHome.Write("larkspan", "a file where the cache folder would be");
  const TRunOutcome R = B.Run(Out.Path(), true);
  EXPECT_NE(R.CacheWarning.find("the run goes on without it"), std::string::npos);
  EXPECT_EQ(R.CacheHits, 0);
  EXPECT_EQ(ReadTree(Out.Path()), ReadTree(Plain.Path()));
}

struct TStamp {
  ino_t Inode;
  time_t Mtime;
  long MtimeNs;
  bool operator==(const TStamp&) const = default;
};
std::map<std::string, TStamp> Stamps(const std::string& Folder) {
  std::map<std::string, TStamp> Map;
  for (const auto& [Rel, Bytes] : ReadTree(Folder)) {
    struct stat St {};
    ::lstat((Folder + Rel).c_str(), &St);
    Map[Rel] = {St.st_ino, St.st_mtim.tv_sec, St.st_mtim.tv_nsec};
  }
  return Map;
}

TEST(RepublishTest, FilesThatComeOutTheSameAreNotWrittenAgain) {
  for (const bool UseCache : {true, false}) {
    TBench B;
    TTempDir Out("out");
    B.Run(Out.Path(), UseCache);
    const auto Before = Stamps(Out.Path());
    // A style sheet touched without a change, a page edited.
    const std::string Css = B.Site.Path() + "css/site.css";
    const timespec Later[2] = {{2000000000, 0}, {2000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Css.c_str(), Later, 0), 0);
    B.Site.Write("p7.html", "<html><body><p>edited</p><img src=\"img/b.gif\"></body></html>\n");
    B.Run(Out.Path(), UseCache);
    const auto After = Stamps(Out.Path());
    ASSERT_EQ(After.size(), Before.size());
    for (const auto& [Rel, Stamp] : Before) {
      if (Rel == "p7.html")
        EXPECT_NE(After.at(Rel), Stamp) << UseCache;
      else
        EXPECT_EQ(After.at(Rel), Stamp) << Rel << " " << UseCache;
    }
    EXPECT_NE(test::Slurp(Out.Path() + "p7.html").find("edited"), std::string::npos);
  }
}

TEST(RepublishTest, WhatTheSiteNoLongerHasIsCountedAndRemovedOnlyWhenConfirmed) {
  TBench B;
  TTempDir Out("out"), Elsewhere("elsewhere");
  const std::string O = Out.Path();
  B.Site.Write("draft.tmp", "a draft");
  B.Run(O, true);
  // Deleted, renamed and now filtered in the site; links planted in the
  // output, one into the site and one to a file elsewhere.
  DeleteFile(B.Site.Path() + "p1.html");
  ASSERT_EQ(::rename((B.Site.Path() + "data/feed.xml").c_str(),
                     (B.Site.Path() + "data/feed2.xml").c_str()),
            0);
  B.Config.FileFilters = "*.bak|*.tmp|";
  const std::string Outside = Elsewhere.Write("keep.txt", "not the output's");
  ASSERT_EQ(::symlink(ExcludeTrailingDelimiter(B.Site.Path()).c_str(), (O + "site-link").c_str()),
            0);
  ASSERT_EQ(::symlink(Outside.c_str(), (O + "news/outside-link").c_str()), 0);
  const auto SiteBefore = ReadTree(B.Site.Path());

  const std::vector<std::string> Stale = {"data/feed.xml", "draft.tmp", "news/outside-link",
                                          "p1.html", "site-link"};
  int Asked = 0;
  TRunOutcome R = B.Run(O, true, false);
  EXPECT_EQ(R.StaleFiles, Stale);
  EXPECT_TRUE(R.StaleFailures.empty()) << R.StaleFailures.front();
  EXPECT_EQ(R.RemovedStale, 0);
  R = B.Run(O, true, true, [&](int Count) {
    EXPECT_EQ(Count, 5);
    ++Asked;
    return false;
  });
  EXPECT_EQ(Asked, 1);
  EXPECT_EQ(R.RemovedStale, 0);
  EXPECT_TRUE(FileExists(O + "p1.html"));
  R = B.Run(O, true, true, [&](int) { return true; });
  EXPECT_EQ(R.StaleFiles, Stale);
  EXPECT_EQ(R.RemovedStale, 5);
  EXPECT_TRUE(R.StaleFailures.empty());
  for (const std::string& S : Stale) EXPECT_FALSE(FileExists(O + S) || IsSymbolicLink(O + S)) << S;
  EXPECT_TRUE(FileExists(O + "data/feed2.xml"));
  EXPECT_TRUE(FileExists(O + "p2.html"));
  EXPECT_EQ(ReadTree(B.Site.Path()), SiteBefore);
  EXPECT_EQ(test::Slurp(Outside), "not the output's");
  EXPECT_TRUE(B.Run(O, true, true).StaleFiles.empty());
}

}  // namespace
}  // namespace larkspan
