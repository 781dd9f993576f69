// The engine on hostile sites and outputs: the site is never written, and no
// file is lost without a word.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "config/uConfig.h"
#include "engine/EngineTestUtil.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::BlankConfig;
using test::FileNames;
using test::ReadTree;
using test::RunEngine;
using test::Slurp;
using test::TScopedCwd;
using test::TScopedEnv;
using test::TTempDir;
using test::WriteScript;
namespace fs = std::filesystem;

int64_t MTime(const std::string& Path) {
  struct stat St;
  return ::stat(Path.c_str(), &St) == 0 ? int64_t(St.st_mtim.tv_sec) : -1;
}
int Mode(const std::string& Path) {
  struct stat St;
  return ::stat(Path.c_str(), &St) == 0 ? int(St.st_mode & 07777) : -1;
}
void SetMTime(const std::string& Path, int64_t Seconds) {
  const timespec T[2] = {{Seconds, 0}, {Seconds, 0}};
  ::utimensat(AT_FDCWD, Path.c_str(), T, 0);
}

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
  };
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

TEST(EngineSafetyTest, LeftoversOfAKilledRunAreRemovedAndNeverCounted) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", std::string(1000, 'a'));
  Out.Write(std::string(TempFilePrefix) + "abcdefgh.txt", std::string(5000, 't'));
  Out.Write(std::string(TempFilePrefix) + "folder/a.txt", std::string(5000, 't'));
  Out.Write("old.txt", std::string(3000, 'o'));  // an earlier run's file: not ours to count
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(R.SavedSize, 0);  // 1000 bytes read, 1000 written
  const auto Tree = ReadTree(Out.Path());
  EXPECT_EQ(Tree.size(), 2u);
  EXPECT_TRUE(Tree.count("old.txt"));
  // A failed run reports no saving.
  TTempDir Site2("site2"), Out2("out2");
  Site2.Write("big.txt", std::string(9000, 'b'));
  Site2.Write("z.txt", "z");
  fs::create_directories(Out2.Path() + "z.txt/x");  // a folder where a file must go
  const auto F = RunEngine(Config, Site2.Path(), Out2.Path());
  EXPECT_FALSE(F.IsSuccess);
  EXPECT_EQ(F.SavedSize, 0);
}

TEST(EngineSafetyTest, SpecialFilesAndBrokenLinksAreSkippedAndListedFolderLinksFollowed) {
  TTempDir Site("site"), Out("out"), Shared("shared");
  Site.Write("index.txt", "i");
  Shared.Write("lib/x.txt", "shared x");
  fs::create_symlink(Shared.Path() + "lib", Site.Path() + "lib");  // followed
  fs::create_symlink(Site.Path(), Site.Path() + "sub-loop");       // a loop
  fs::create_directories(Site.Path() + "deep/er");
  fs::create_symlink("../..", Site.Path() + "deep/er/up");                // a loop, two up
  fs::create_symlink(Site.Path() + "missing", Site.Path() + "dangling");  // dangling
  ASSERT_EQ(::mkfifo((Site.Path() + "pipe").c_str(), 0644), 0);
  const int Sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un A{};
  A.sun_family = AF_UNIX;
  const std::string SockPath = Site.Path() + "sock";
  ASSERT_LT(SockPath.size(), sizeof A.sun_path);
  std::strcpy(A.sun_path, SockPath.c_str());
  ASSERT_EQ(::bind(Sock, reinterpret_cast<sockaddr*>(&A), sizeof A), 0);
  fs::create_symlink("/dev/zero", Site.Path() + "zero");  // a device
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ::close(Sock);
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(Slurp(Out.Path() + "lib/x.txt"), "shared x");
  EXPECT_EQ(Slurp(Out.Path() + "index.txt"), "i");
  std::vector<std::string> Skipped = FileNames(R.SkippedFiles);
  std::sort(Skipped.begin(), Skipped.end());
  const std::string S = Site.Path();
  EXPECT_EQ(Skipped, (std::vector<std::string>{S + "dangling", S + "deep/er/up", S + "pipe",
                                               S + "sock", S + "sub-loop", S + "zero"}));
  EXPECT_EQ(ReadTree(Out.Path()).size(), 2u);
}

TEST(EngineSafetyTest, UnreadableFileEndsTheRunNamingItAndTheReason) {
  TTempDir Site("site"), Out("out");
  // Opens, but every read fails (EIO), also for root.
  fs::create_symlink("/proc/self/mem", Site.Path() + "mem.txt");
  TAppConfig Config = BlankConfig();
  Config.IsCompressJpg = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  EXPECT_FALSE(R.IsSuccess);
  EXPECT_NE(R.ErrorText.find("复制文件失败！" + Site.Path() + "mem.txt -> "), std::string::npos);
  EXPECT_NE(R.ErrorText.find(": Input/output error"), std::string::npos) << R.ErrorText;
  EXPECT_TRUE(ReadTree(Out.Path()).empty());
}

TEST(EngineSafetyTest, UnlistableFolderEndsTheRunNamingIt) {
  TTempDir Site("site"), Out("out");
  Site.Write("locked/a.txt", "a");
  ::chmod(Site.Path().c_str(), 0755);
  ::chmod(Out.Path().c_str(), 0777);
  ::chmod((Site.Path() + "locked").c_str(), 0);
  auto Check = [&] {
    TAppConfig Config = BlankConfig();
    Config.IsCompressJpg = true;
    const auto R = RunEngine(Config, Site.Path(), Out.Path());
    return R.StartError.find(Site.Path() + "locked") != std::string::npos &&
           R.StartError.find("Permission denied") != std::string::npos;
  };
  bool Refused;
  if (::geteuid() != 0) {
    Refused = Check();
  } else {
    // Root lists every folder: the run is made by an unprivileged user.
    const pid_t Child = ::fork();
    if (Child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
      ::_exit(Check() ? 0 : 1);
    }
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    Refused = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
  }
  ::chmod((Site.Path() + "locked").c_str(), 0755);
  EXPECT_TRUE(Refused);
  EXPECT_TRUE(ReadTree(Out.Path()).empty());
}

TEST(EngineSafetyTest, WrittenFilesKeepTheSourcesTimeAndPermissions) {
  TTempDir Site("site"), Out("out");
  Site.Write("secret.txt", "s");
  Site.Write("page.html", "<p>x</p>");
  Site.Write("img/a.gif", "GIF89a same");
  Site.Write("img/b.gif", "GIF89a same");
  Site.Write("dup.html", "<img src=\"img/a.gif\"><img src=\"img/b.gif\">");
  for (const char* F : {"secret.txt", "page.html", "dup.html", "img/a.gif", "img/b.gif"}) {
    ::chmod((Site.Path() + F).c_str(), 0600);
    SetMTime(Site.Path() + F, 1000000000);
  }
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  const std::string Master = FileExists(Out.Path() + "img/a.gif") ? "img/a.gif" : "img/b.gif";
  ASSERT_EQ(Slurp(Out.Path() + "dup.html"),
            "<img src=\"" + Master + "\"><img src=\"" + Master + "\">");
  for (const std::string F : {"secret.txt", "page.html", "dup.html", Master.c_str()}) {
    EXPECT_EQ(Mode(Out.Path() + F), 0600) << F;
    EXPECT_EQ(MTime(Out.Path() + F), 1000000000) << F;
  }
}

// A fake "java" first on PATH stands in for the compressor where the real
// one cannot be made to misbehave: Body gets the destination as $dst and
// the source as $src.
struct TFakeJava {
  TTempDir Bin{"bin"};
  std::unique_ptr<TScopedEnv> Path;
  explicit TFakeJava(const std::string& Body) {
    WriteScript(Bin.Path() + "java",
                "[ $# -eq 0 ] && exit 0\n"
                "prev=; for a; do dst=$prev; prev=$a; done; src=$prev\n" +
                    Body);
    Path = std::make_unique<TScopedEnv>("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  }
};

TEST(EngineSafetyTest, ACompressorThatEmptiesARewrittenPageLeavesItRewritten) {
  const TFakeJava Java(": > \"$dst\"\n");
  TTempDir Site("site"), Out("out");
  Site.Write("img/a.gif", "GIF89a same");
  Site.Write("img/b.gif", "GIF89a same");
  Site.Write("index.html", "<img src=\"img/a.gif\"><img src=\"img/b.gif\">");
  TAppConfig Config = BlankConfig();
  Config.Compressor = "archive";  // the fake stands in for Java
  Config.IsReducePic = true;
  Config.IsCompressHtml = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  const std::string Master = FileExists(Out.Path() + "img/a.gif") ? "img/a.gif" : "img/b.gif";
  EXPECT_EQ(Slurp(Out.Path() + "index.html"),
            "<img src=\"" + Master + "\"><img src=\"" + Master + "\">");
  // Named by the site's file, like every other file copied uncompressed.
  EXPECT_EQ(R.UncompressedFiles, std::vector<std::string>{Site.Path() + "index.html"});
  for (const auto& [Name, Data] : ReadTree(Out.Path()))
    EXPECT_EQ(Name.find(TempFilePrefix), std::string::npos) << Name;
}

TEST(EngineSafetyTest, CompressorGetsAUtf8LocaleAndAsciiNamesForOtherBytes) {
  TTempDir Log("log");
  // The fake refuses the GBK byte the way the runtime fails on it.
  const TFakeJava Java(
      "case \"$src$dst\" in *$(printf '\\304')*) exit 3;; esac\n"
      "echo \"$LC_ALL\" >> " +
      Log.Path() +
      "env\n"
      "{ printf MIN; cat \"$src\"; } > \"$dst\"\n");
  TTempDir Site("site"), Out("out");
  const std::string Gbk = "\xC4\xE3\xBA\xC3.html";  // not UTF-8
  Site.Write(Gbk, "<p>gbk</p>");
  Site.Write("中文.html", "<p>utf8</p>");
  // Started without a locale (cron, a fresh system).
  const TScopedEnv NoAll("LC_ALL", "", true), NoCtype("LC_CTYPE", "", true),
      NoLang("LANG", "", true);
  TAppConfig Config = BlankConfig();
  Config.Compressor = "archive";  // the fake stands in for Java
  Config.IsCompressHtml = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(Slurp(Out.Path() + Gbk), "MIN<p>gbk</p>");
  EXPECT_EQ(Slurp(Out.Path() + "中文.html"), "MIN<p>utf8</p>");
  EXPECT_TRUE(R.UncompressedFiles.empty());
  EXPECT_NE(Slurp(Log.Path() + "env").find("C.UTF-8"), std::string::npos);
}

TEST(EngineSafetyTest, Utf16PageWithDuplicatesIsNeverGarbledAndKeepsItsPicture) {
  TTempDir Site("site"), Out("out");
  Site.Write("img/a.gif", "GIF89a same");
  Site.Write("img/b.gif", "GIF89a same");
  std::string Page = "\xFF\xFE";
  for (char C : std::string("<p>\r\n<img src=\"img/a.gif\"><img src=\"img/b.gif\">\r\n")) {
    Page += C;
    Page += '\0';
  }
  Site.Write("index.html", Page);
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  EXPECT_EQ(Slurp(Out.Path() + "index.html"), Page);
  // Both pictures are published: the page still names the duplicate.
  EXPECT_EQ(Slurp(Out.Path() + "img/a.gif"), "GIF89a same");
  EXPECT_EQ(Slurp(Out.Path() + "img/b.gif"), "GIF89a same");
  EXPECT_EQ(R.KeptDuplicates.size(), 1u);
}

TEST(EngineSafetyTest, BadToolTimeoutIsRefusedClearly) {
  TTempDir Site("site"), Out("out");
  for (const char* Bad : {"abc", "0", "-5", "10s"}) {
    const TScopedEnv Env("LARKSPAN_TOOL_TIMEOUT", Bad);
    TAppConfig Config = BlankConfig();
    Config.IsCompressJpg = true;
    const auto R = RunEngine(Config, Site.Path(), Out.Path() + "o");
    EXPECT_NE(R.StartError.find("LARKSPAN_TOOL_TIMEOUT"), std::string::npos) << Bad;
    EXPECT_NE(R.StartError.find(Bad), std::string::npos) << R.StartError;
  }
  EXPECT_FALSE(fs::exists(Out.Path() + "o"));
}

}  // namespace
}  // namespace larkspan
