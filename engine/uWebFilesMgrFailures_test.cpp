// The engine when files, tools or the disk fail it: no file is lost without a
// word, and a failure is never reported as success.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

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
using test::TFakeGifsicle;
using test::TFakeJava;
using test::TScopedEnv;
using test::TScopedMount;
using test::TTempDir;
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

TEST(EngineFailureTest, LeftoversOfAKilledRunAreRemovedAndNeverCounted) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", std::string(1000, 'a'));
  Out.Write(std::string(TempFilePrefix) + "abcdefgh12345678.txt", std::string(5000, 't'));
  Out.Write(std::string(TempFilePrefix) + "folder0123456789/a.txt", std::string(5000, 't'));
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

TEST(EngineFailureTest, SpecialFilesAndBrokenLinksAreSkippedAndListedFolderLinksFollowed) {
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

TEST(EngineFailureTest, UnreadableFileEndsTheRunNamingItAndTheReason) {
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

TEST(EngineFailureTest, UnlistableFolderEndsTheRunNamingIt) {
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

TEST(EngineFailureTest, WrittenFilesKeepTheSourcesTimeAndPermissions) {
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

TEST(EngineFailureTest, ACompressorThatEmptiesARewrittenPageLeavesItRewritten) {
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

TEST(EngineFailureTest, CompressorGetsAUtf8LocaleAndAsciiNamesForOtherBytes) {
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

TEST(EngineFailureTest, Utf16PageWithDuplicatesIsNeverGarbledAndKeepsItsPicture) {
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

TEST(EngineFailureTest, BadToolTimeoutIsRefusedClearly) {
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

TEST(EngineFailureTest, FilesThatVanishOrTurnIntoFifosAfterTheScanAreSkippedAndNamed) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.gif", "GIF89a picture");
  Site.Write("gone.html", "<p>page</p>");
  Site.Write("gone.txt", "text");
  Site.Write("pipe.txt", "soon a pipe");
  Site.Write("stays.txt", "stays");
  // The pictures come first: while "gifsicle" runs, the rest changes.
  const std::string S = Site.Path();
  const TFakeGifsicle Fake("rm '" + S + "gone.html' '" + S + "gone.txt' '" + S + "pipe.txt'\n" +
                           "mkfifo '" + S + "pipe.txt'\ncp \"$src\" \"$dst\"\n");
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;  // pictures first, in a phase of their own
  Config.IsCompressGif = true;
  Config.IsCompressHtml = true;
  Config.Jobs = 1;
  const auto R = RunEngine(Config, Site.Path(), Out.Path());
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  std::vector<std::string> Skipped = FileNames(R.SkippedFiles);
  std::sort(Skipped.begin(), Skipped.end());
  EXPECT_EQ(Skipped, (std::vector<std::string>{S + "gone.html", S + "gone.txt", S + "pipe.txt"}));
  EXPECT_EQ(R.Counts.Skipped, 3);
  EXPECT_EQ(Slurp(Out.Path() + "stays.txt"), "stays");
  EXPECT_EQ(ReadTree(Out.Path()).size(), 2u);  // a.gif and stays.txt
}

TEST(EngineFailureTest, AFullDiskWhileMinifyingARewrittenPageFailsTheRun) {
  TTempDir Site("site"), Top("disk");
  fs::create_directories(Top.Path() + "fs");
  const TScopedMount Disk("larkspan-test", Top.Path() + "fs", "tmpfs", "size=1m");
  if (!Disk.Ok())
    GTEST_SKIP() << "cannot mount a small file system here (needs root): " << Disk.Reason();
  const std::string Out = Top.Path() + "fs/out/";
  fs::create_directories(Out);
  Site.Write("img/a.gif", "GIF89a same");
  Site.Write("img/b.gif", "GIF89a same");
  std::string Page = "<img src=\"img/a.gif\"><img src=\"img/b.gif\"><p>";
  for (int I = 0; Page.size() < 200000; ++I) Page += "w" + std::to_string(I) + " ";
  Site.Write("index.html", Page + "</p>");
  // Room for the picture and the rewritten page, not for its minified copy.
  struct statvfs V;
  ASSERT_EQ(::statvfs(Out.c_str(), &V), 0);
  const int64_t Free = int64_t(V.f_bavail) * int64_t(V.f_frsize);
  const int64_t Room = int64_t(Page.size()) + 16 * 1024;
  ASSERT_GT(Free, Room);
  {
    std::ofstream Fill(Top.Path() + "fs/fill");
    Fill << std::string(size_t(Free - Room), 'f');
  }
  TAppConfig Config = BlankConfig();
  Config.IsReducePic = true;
  Config.IsCompressHtml = true;
  const auto R = RunEngine(Config, Site.Path(), Out);
  EXPECT_FALSE(R.IsSuccess);
  EXPECT_NE(R.ErrorText.find("No space left on device"), std::string::npos) << R.ErrorText;
  EXPECT_TRUE(R.UncompressedFiles.empty());
}

}  // namespace
}  // namespace larkspan
