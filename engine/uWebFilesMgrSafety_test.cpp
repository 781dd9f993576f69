// The engine on hostile sites and outputs: the site is never written, through
// overlapping folders, mounts, links, swapped folders or the tools it runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "config/uConfig.h"
#include "engine/EngineTestUtil.h"
#include "engine/uFolderCheck.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::BlankConfig;
using test::ReadTree;
using test::RunEngine;
using test::Slurp;
using test::TFakeGifsicle;
using test::TFakeJava;
using test::TScopedCwd;
using test::TScopedEnv;
using test::TScopedMount;
using test::TTempDir;
namespace fs = std::filesystem;

TEST(EngineSafetyTest, OverlappingFoldersAreRefusedInEverySpellingBeforeAnythingIsCreated) {
  TTempDir Top("top");
  Top.Write("o/s/index.html", "A");
  Top.Write("o/s/s/index.html", "B");
  Top.Write("site/index.html", "C");
  Top.Write("site-min/keep", "k");
  fs::create_symlink(Top.Path() + "o", Top.Path() + "olink");
  const TScopedCwd Cwd(Top.Path());
  struct Case {
    std::string Root, Output;
  } Cases[] = {
      {"./o/s", "o"},                // site inside the output
      {Top.Path() + "o/s", "o"},     // absolute against relative
      {"o/s/.", Top.Path() + "o/"},  // "x/."
      {"o/s", "olink"},              // the output through a link
      {"o/s/s/..", "o/s"},           // the same folder, spelled with ".."
      {"site", "site/out/deeper"},   // a refused output is never created
      {"site", "./site/../site/new"},
      {"olink/s", "o/s/s/made"},
      // A link met behind a missing folder and its "..": nothing is made,
      // neither in the site nor the missing folder.
      {"site", "nonexist/../slink/out"},
  };
  fs::create_symlink(Top.Path() + "site", Top.Path() + "slink");
  for (const Case& C : Cases) {
    TAppConfig Config = BlankConfig();
    Config.IsCompressHtml = true;
    EXPECT_EQ(RunEngine(Config, C.Root, C.Output).StartError, "网站根目录和输出目录不能相同！")
        << C.Root << " " << C.Output;
  }
  EXPECT_EQ(Slurp(Top.Path() + "o/s/index.html"), "A");
  EXPECT_FALSE(fs::exists(Top.Path() + "site/out"));
  EXPECT_FALSE(fs::exists(Top.Path() + "site/new"));
  EXPECT_FALSE(fs::exists(Top.Path() + "o/s/s/made"));
  EXPECT_FALSE(fs::exists(Top.Path() + "nonexist"));
  // Siblings whose names merely begin alike are fine.
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  const auto R = RunEngine(Config, "site", "site-min");
  ASSERT_TRUE(R.IsSuccess) << R.StartError << R.ErrorText;
  EXPECT_EQ(Slurp(Top.Path() + "site-min/index.html"), "C");
}

TEST(EngineSafetyTest, LinkInTheOutputIntoTheSiteRefusesTheRunBeforeAnyWrite) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", "a");
  Site.Write("css/s.css", "body { color : red ; }");
  fs::create_symlink(Site.Path() + "css", Out.Path() + "css");
  TAppConfig Config = BlankConfig();
  Config.IsCompressCSS = true;
  const auto Before = ReadTree(Site.Path());
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_FALSE(R.Started);
  EXPECT_NE(R.StartError.find(Out.Path() + "css"), std::string::npos) << R.StartError;
  EXPECT_EQ(ReadTree(Site.Path()), Before);
  EXPECT_FALSE(fs::exists(Out.Path() + "a.txt"));
}

TEST(EngineSafetyTest, PlantedLinksAndLongNamesNeverMisdirectAWrite) {
  TTempDir Site("site"), Out("out"), Elsewhere("else");
  const std::string Long(250, 'n');
  Site.Write(Long + ".txt", "long name");
  Site.Write("a.txt", "new");
  Elsewhere.Write("victim", "untouched");
  // A link at the destination is replaced, never written through; so are
  // links at the names the old temporary files had.
  fs::create_symlink(Elsewhere.Path() + "victim", Out.Path() + "a.txt");
  for (int Pid = 1; Pid < 4; ++Pid)
    fs::create_symlink(Elsewhere.Path() + "victim",
                       Out.Path() + "a.txt.larkspan-tmp." + std::to_string(Pid));
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(Slurp(Elsewhere.Path() + "victim"), "untouched");
  EXPECT_EQ(Slurp(Out.Path() + "a.txt"), "new");
  EXPECT_FALSE(fs::is_symlink(Out.Path() + "a.txt"));
  EXPECT_EQ(Slurp(Out.Path() + Long + ".txt"), "long name");
}

TEST(EngineSafetyTest, BindMountsOfTheSiteOrItsParentAreRefusedBeforeAnythingIsCreated) {
  TTempDir Top("top");
  Top.Write("site/index.html", "<p>  page  </p>");
  fs::create_directories(Top.Path() + "m1");
  fs::create_directories(Top.Path() + "m2");
  const TScopedMount M1(Top.Path() + "site", Top.Path() + "m1");
  if (!M1.Ok()) GTEST_SKIP() << "cannot bind-mount here (needs root): " << M1.Reason();
  const TScopedMount M2(Top.Path(), Top.Path() + "m2");
  ASSERT_TRUE(M2.Ok()) << M2.Reason();
  const auto Before = ReadTree(Top.Path() + "site");
  for (const char* Output : {"m1", "m1/", "m2/site/out", "m2/site/out/deeper"}) {
    TAppConfig Config = BlankConfig();
    Config.IsCompressHtml = true;
    const auto R = RunEngine(Config, Top.Path() + "site", Top.Path() + Output);
    EXPECT_EQ(R.StartError, "网站根目录和输出目录不能相同！") << Output;
  }
  // The other way round: the site inside the output, seen through a mount.
  EXPECT_TRUE(FoldersConflict(Top.Path() + "m2/site", Top.Path()));
  EXPECT_TRUE(FoldersConflict(Top.Path() + "m1/sub", Top.Path() + "site"));
  EXPECT_EQ(ReadTree(Top.Path() + "site"), Before);
  EXPECT_FALSE(fs::exists(Top.Path() + "site/out"));
}

TEST(EngineSafetyTest, OutputInAFolderTheSiteLinksToIsRefusedNamingTheLink) {
  TTempDir Site("site"), Ext("ext");
  Site.Write("index.html", "<p>a</p>");
  Ext.Write("shared.css", "p { color : red }");
  fs::create_symlink(ExcludeTrailingDelimiter(Ext.Path()), Site.Path() + "ext");
  // Through the link's own path, directly, and an output an earlier run
  // left there: each is refused, and nothing is written or made.
  Ext.Write("old/index.html", "old");
  for (const std::string& Output :
       {Site.Path() + "ext/out", Ext.Path() + "out", Ext.Path() + "old"}) {
    TAppConfig Config = BlankConfig();
    Config.IsCompressHtml = true;
    const auto R = RunEngine(Config, Site.Path(), Output);
    EXPECT_FALSE(R.Started) << Output;
    EXPECT_NE(R.StartError.find("网站根目录和输出目录不能相同！"), std::string::npos)
        << R.StartError;
    EXPECT_NE(R.StartError.find(Site.Path() + "ext"), std::string::npos) << R.StartError;
  }
  EXPECT_FALSE(fs::exists(Ext.Path() + "out"));
  EXPECT_EQ(Slurp(Ext.Path() + "old/index.html"), "old");
  EXPECT_EQ(ReadTree(Ext.Path()).size(), 2u);
}

TEST(EngineSafetyTest, OutputFolderSwappedForALinkDuringTheRunFailsTheWriteAndSparesTheSite) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.gif", "GIF89a picture");
  Site.Write("zz/index.html", "<p>  site   page  </p>");
  Site.Write("zz/" + std::string(TempFilePrefix) + "abcdefghijklmnop", "the site's own");
  // While the optimiser runs (before zz is written), zz in the output
  // becomes a link to the site's zz.
  const TFakeGifsicle Fake("ln -s '" + Site.Path() + "zz' '" + Out.Path() +
                           "zz'\ncp \"$src\" \"$dst\"\n");
  const auto Before = ReadTree(Site.Path());
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;  // pictures first, in a phase of their own
  Config.IsCompressGif = true;
  Config.IsCompressHtml = true;
  Config.Jobs = 1;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_FALSE(R.IsSuccess);
  EXPECT_NE(R.ErrorText.find(Out.Path() + "zz"), std::string::npos) << R.ErrorText;
  EXPECT_TRUE(R.ErrorText.find("Too many levels of symbolic links") != std::string::npos ||
              R.ErrorText.find("Not a directory") != std::string::npos)
      << R.ErrorText;
  EXPECT_EQ(ReadTree(Site.Path()), Before);
}

TEST(EngineSafetyTest, OutputFolderSwappedWhileTheCompressorRunsPutsNothingIntoTheSite) {
  TTempDir Site("site"), Out("out");
  Site.Write("zz/a.html", "<p>a</p>");
  Site.Write("zz/b.html", "<p>b</p>");
  const std::string Zz = Out.Path() + "zz";
  // While the first page is minified, zz in the output becomes a link to
  // the site's zz.
  const TFakeJava Java("[ -L '" + Zz + "' ] || { mv '" + Zz + "' '" + Zz + ".old'; ln -s '" +
                       Site.Path() + "zz' '" + Zz +
                       "'; }\n"
                       "cat \"$src\" > \"$dst\"\n");
  const auto Before = ReadTree(Site.Path());
  TAppConfig Config = BlankConfig();
  Config.Compressor = "archive";  // the fake stands in for Java
  Config.IsCompressHtml = true;
  Config.Jobs = 1;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_FALSE(R.IsSuccess);
  EXPECT_NE(R.ErrorText.find(Zz), std::string::npos) << R.ErrorText;
  EXPECT_EQ(ReadTree(Site.Path()), Before);
  EXPECT_EQ(ListDirectory(Site.Path() + "zz").size(), 2u);
}

TEST(EngineSafetyTest, AnOptimiserThatWritesIntoItsInputChangesNothingOfTheSite) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.gif", "GIF89a picture");
  const TFakeGifsicle Fake("printf 'GIF89a' > \"$dst\"\necho scribbled >> \"$src\"\n");
  TAppConfig Config = BlankConfig();
  Config.IsCompressGif = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(Slurp(Site.Path() + "a.gif"), "GIF89a picture");
  // The fake's result is no readable GIF: the original is published.
  EXPECT_EQ(Slurp(Out.Path() + "a.gif"), "GIF89a picture");
  EXPECT_EQ(ReadTree(Out.Path()).size(), 1u);  // no private copy left behind
}

TEST(EngineSafetyTest, SiteEntriesNamedLikeLeftoversAreCopiedLikeAnyOther) {
  TTempDir Site("site"), Out("out");
  const std::string Exact = std::string(TempFilePrefix) + "abcdefghijklmnop";
  Site.Write(".larkspan-x/a.txt", "in a folder");
  Site.Write(".larkspan-x/b.txt", "second file");
  Site.Write(Exact + ".txt", "a file of the leftovers' very form");
  Site.Write(Exact + "/c.txt", "and a folder of it");
  // A real leftover of a killed run beside them still goes.
  Out.Write(std::string(TempFilePrefix) + "0123456789abcdef.txt", "left over");
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  for (int Run = 0; Run < 2; ++Run) {  // the second run meets the first one's copies
    const auto R = RunEngine(Config, Site.Path(), Out.Path());
    ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
    EXPECT_EQ(ReadTree(Out.Path()), ReadTree(Site.Path())) << Run;
  }
}

TEST(EngineSafetyTest, ASecondRunIntoALockedOutputIsRefusedAtOnce) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", "a");
  Out.Write("mine.txt", "the other run's");
  // Another run holds the output (a lock of its own open of the folder).
  const int Other = ::open(Out.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(Other, 0);
  ASSERT_EQ(::flock(Other, LOCK_EX), 0);
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_FALSE(R.Started);
  EXPECT_NE(R.StartError.find("输出目录正被另一个任务使用"), std::string::npos) << R.StartError;
  EXPECT_NE(R.StartError.find("in use by another run"), std::string::npos) << R.StartError;
  EXPECT_EQ(ReadTree(Out.Path()),
            (std::map<std::string, std::string>{{"mine.txt", "the other run's"}}));
  ::close(Other);
  // Released: the next run goes.
  const auto Next = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_TRUE(Next.IsSuccess) << Next.StartError << Next.ErrorText;
  EXPECT_EQ(Slurp(Out.Path() + "a.txt"), "a");
}

}  // namespace
}  // namespace larkspan
