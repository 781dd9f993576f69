// larkspan-cli as a user runs it: the real binary on real folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>
#include <tuple>

#include "cli/CliOptions.h"
#include "cli/CliProgress.h"
#include "cli/CliRun.h"
#include "engine/EngineTestUtil.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::ReadTree;
using test::Slurp;
using test::TScopedCwd;
using test::TScopedEnv;
using test::TScopedMount;
using test::TTempDir;
namespace fs = std::filesystem;

// Each test's runs have a cache of results of their own, made fresh for
// this process: what a test expects never depends on an earlier test's
// results, and no run writes into the user's own cache.
const TTempDir& CacheRoot() {
  static const TTempDir Root("cli-cache");
  return Root;
}
std::string TestCache() {
  const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
  return CacheRoot().Path() + (Info ? Info->name() : "none");
}
// Runs of RunCli in this process too, also when ctest did not set one.
const bool InProcessCache = [] {
  ::setenv("XDG_CACHE_HOME", (CacheRoot().Path() + "in-process").c_str(), 1);
  return true;
}();

struct TExec {
  int Status = -1;
  std::string Out;
};

std::string Quote(const std::string& S) {
  std::string R = "'";
  for (char C : S) R += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return R + "'";
}

// Runs larkspan-cli with Args (stdout captured, stderr to a file); Env
// ("NAME=VALUE ...", "-u NAME") is handed to env(1) first. The locale is
// unset unless Env sets it.
TExec Cli(const std::string& Args, const std::string& ErrFile = "/dev/null",
          const std::string& Env = "") {
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  TExec R;
  FILE* P = ::popen(("env -u LANG -u LC_ALL -u LC_MESSAGES XDG_CACHE_HOME=" + Quote(TestCache()) +
                     " " + Env + " " + Quote(Bin) + " " + Args + " 2>" + Quote(ErrFile))
                        .c_str(),
                    "r");
  if (!P) return R;
  char Buf[4096];
  size_t N;
  while ((N = fread(Buf, 1, sizeof Buf, P)) > 0) R.Out.append(Buf, N);
  const int W = ::pclose(P);
  R.Status = WIFEXITED(W) ? WEXITSTATUS(W) : -1;
  return R;
}

TEST(CliTest, ASecondRunIntoTheSameOutputIsRefusedWithExitCode2) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", "a");
  const std::string Err = Out.Path() + "err.txt";
  // The first run's lock on the output folder.
  const int First = ::open(Out.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(First, 0);
  ASSERT_EQ(::flock(First, LOCK_EX), 0);
  const TExec R = Cli("--jpg " + Quote(Site.Path()) + " " + Quote(Out.Path()), Err);
  EXPECT_EQ(R.Status, 2);
  const std::string Text = ReadFileText(Err);
  EXPECT_NE(Text.find("输出目录正被另一个任务使用"), std::string::npos) << Text;
  EXPECT_NE(Text.find("(the output folder is in use by another run): " + Out.Path()),
            std::string::npos)
      << Text;
  EXPECT_FALSE(FileExists(Out.Path() + "a.txt"));
  ::close(First);
  EXPECT_EQ(Cli("--jpg " + Quote(Site.Path()) + " " + Quote(Out.Path())).Status, 0);
  EXPECT_EQ(Slurp(Out.Path() + "a.txt"), "a");
}

TEST(CliTest, RefusesWhatTheWindowRefusesWithExitCode2) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.jpg", "x");
  const std::string Err = Out.Path() + "err.txt";
  struct Case {
    std::string Args;
    std::string Message;
  } Cases[] = {
      {"--lang zh --jpg " + Quote(Site.Path() + "missing") + " " + Quote(Out.Path() + "o"),
       "larkspan-cli: " + Site.Path() + "missing: 网站根目录不存在！\n"},
      {"--lang zh --jpg " + Quote(Site.Path()) + " " + Quote(Site.Path() + "out"),
       "网站根目录和输出目录不能相同！\n"},
      {"--jpg " + Quote(Site.Path()) + " " + Quote(Site.Path()),
       "the site folder and the output folder overlap\n"},
      {"--jpg " + Quote(Site.Path() + "missing") + " " + Quote(Out.Path() + "o"),
       "larkspan-cli: " + Site.Path() + "missing: the site folder does not exist\n"},
      // A bad option is one line and a pointer to the help, not the whole usage.
      {"--bogus " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"),
       "larkspan-cli: 未知选项 (unknown option): --bogus\nTry 'larkspan-cli --help'.\n"},
      {"--lang=fr " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), "zh or en"},
      {"--jpg " + Quote(Site.Path()), "SITE and OUTPUT"},
      {"--jobs 0 " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), "--jobs"},
      {"--jobs=-2 " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), "--jobs"},
      {"--jobs two " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), "--jobs"},
      {"--jobs 2x " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), "--jobs"},
      {"--jobs 99999999999 " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), "--jobs"},
      {Quote(Site.Path()) + " " + Quote(Out.Path() + "o") + " --jobs", "--jobs"},
  };
  for (const Case& C : Cases) {
    const TExec R = Cli(C.Args, Err);
    EXPECT_EQ(R.Status, 2) << C.Args;
    const std::string Text = ReadFileText(Err);
    EXPECT_NE(Text.find(C.Message), std::string::npos) << Text;
    EXPECT_EQ(Text.rfind("larkspan-cli: ", 0), 0u) << Text;
    EXPECT_EQ(R.Out, "");
  }
  EXPECT_FALSE(DirectoryExists(Out.Path() + "o"));
  EXPECT_EQ(ReadTree(Site.Path()).size(), 1u);
  EXPECT_EQ(Cli("--help").Status, 0);
  const std::string Help = Cli("--help").Out;
  for (const char* Option : {"--dedupe", "-h,", "-V,", "-q,", "-v,", "--dry-run", "--lang",
                             "--json", "--settings", "--except", "--charset", "--jobs N",
                             "--jpg         optimise JPEG pictures (jpegoptim); LOSSY", "lossless"})
    EXPECT_NE(Help.find(Option), std::string::npos) << Option;
  EXPECT_EQ(Cli("--version").Out, "larkspan-cli " LARKSPAN_VERSION "\n");
}

TEST(CliTest, NoSwitchOnIsRefused) {
  TTempDir Site("site"), Out("out"), Home("home");
  // Settings with every switch off, read through --settings.
  const std::string OldXdg = GetEnv("XDG_CONFIG_HOME");
  ::setenv("XDG_CONFIG_HOME", Home.Path().c_str(), 1);
  std::filesystem::create_directories(Home.Path() + "Ostrel Larkspan");
  Home.Write("Ostrel Larkspan/Config.ini", "[Sys]\r\nIsCompressHtml=0\r\n");
  const std::string Err = Out.Path() + "err.txt";
  const TExec R = Cli("--settings " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(ReadFileText(Err).find("no optimisation option is switched on"), std::string::npos);
  // The command line never writes the settings file.
  EXPECT_EQ(ReadFileText(Home.Path() + "Ostrel Larkspan/Config.ini"),
            "[Sys]\r\nIsCompressHtml=0\r\n");
  if (OldXdg.empty())
    ::unsetenv("XDG_CONFIG_HOME");
  else
    ::setenv("XDG_CONFIG_HOME", OldXdg.c_str(), 1);
}

TEST(CliTest, RunCreatesTheOutputAndReportsInTheWindowsWords) {
  TTempDir Site("site with blank 网站"), Out("out");
  Site.Write("img/a.bmp", std::string(3000, 'a'));
  Site.Write("img/b.bmp", std::string(3000, 'a'));
  Site.Write("old.BAK", "dropped");
  Site.Write("doc/readme.txt", "hello");
  const auto Before = ReadTree(Site.Path());
  const std::string Output = Out.Path() + "new folder/out";
  TExec R = Cli("--lang zh --dedupe --filter '*.bak' " + Quote(Site.Path()) + " " + Quote(Output));
  EXPECT_EQ(R.Status, 0) << R.Out;
  // What is left out is named (in scan order); then the window's words and
  // where the copy went.
  for (const char* Line : {"重复略去                3000  img/b.bmp (与此文件相同：img/a.bmp)\n",
                           "已过滤                     7  old.BAK (过滤条件 *.bak)\n"})
    EXPECT_NE(R.Out.find(Line), std::string::npos) << R.Out;
  // Before -> after, and the duplicates apart from the saving.
  const std::string End =
      "任务已完成：5.9 KB -> 2.9 KB，省下 2.9 KB（50.0%）；其中 1 个重复图片未写出。\n输出目录：" +
      Output + "\n";
  ASSERT_GE(R.Out.size(), End.size());
  EXPECT_EQ(R.Out.substr(R.Out.size() - End.size()), End);
  const auto Tree = ReadTree(Output);
  EXPECT_EQ(Tree.size(), 2u);
  EXPECT_EQ(Tree.at("doc/readme.txt"), "hello");
  EXPECT_EQ(ReadTree(Site.Path()), Before);

  R = Cli("--json --jpg --filter '*.bak' " + Quote(Site.Path()) + " " + Quote(Out.Path() + "j"));
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(
      std::string("{\"success\":true,\"error\":\"\",\"saved_bytes\":7,\"source_bytes\":6012,"
                  "\"output_bytes\":6005,\"duplicates\":0,\"files\":{\"pictures\":0,\"pages\":0,"
                  "\"compressed\":0,\"other\":3,\"dropped\":1,\"skipped\":0},\"uncompressed\":0,"
                  "\"skipped_files\":[],\"stopped\":false,\"dry_run\":false,"
                  "\"jpeg_mode\":\"lossy\",\"by_kind\":[{\"kind\":\"other\",\"files\":3,"
                  "\"bytes_in\":6005,\"bytes_out\":6005,\"unreduced\":[],\"part_kept\":[]},"
                  "{\"kind\":\"filtered\",\"files\":1,\"bytes_in\":7,\"bytes_out\":0,"
                  "\"unreduced\":[],\"part_kept\":[]}],\"output\":" +
                  JsonString(Out.Path() + "j") +
                  ",\"missing_tools\":[],\"cache_hits\":0,\"cache_warning\":\"\","
                  "\"stale_files\":[],\"removed_stale\":0,\"stale_failures\":[],"
                  "\"skipped\":[],\"filtered\":[\"old.BAK\"],"
                  "\"duplicates_left_out\":[],\"files_detail\":["),
      R.Out.substr(0, R.Out.find("\"files_detail\":[") + 16));
  // Every file has its record.
  for (const std::string Record :
       {"{\"path\":\"img/"
        "a.bmp\",\"action\":\"copied\",\"reason\":\"\",\"bytes_in\":3000,\"bytes_out\":3000}",
        "{\"path\":\"img/"
        "b.bmp\",\"action\":\"copied\",\"reason\":\"\",\"bytes_in\":3000,\"bytes_out\":3000}",
        "{\"path\":\"old.BAK\",\"action\":\"filtered\",\"reason\":\"filter "
        "*.bak\",\"bytes_in\":7,\"bytes_out\":0}",
        "{\"path\":\"doc/"
        "readme.txt\",\"action\":\"copied\",\"reason\":\"\",\"bytes_in\":5,\"bytes_out\":5}"})
    EXPECT_NE(R.Out.find(Record), std::string::npos) << Record << "\n" << R.Out;
  EXPECT_EQ(R.Out.substr(R.Out.size() - 4), "}]}\n");
}

// Copies the sample site into Dest (a folder whose name may need quoting).
void CopySample(const std::string& Dest) {
  std::filesystem::create_directories(Dest);
  std::filesystem::copy(std::string(LARKSPAN_SOURCE_DIR) + "/examples/site", Dest,
                        std::filesystem::copy_options::recursive);
}

TEST(CliTest, AllSwitchesOnTheSampleSiteInAFolderWithBlanksAndChinese) {
  if (!FileExists(GetEnv("LARKSPAN_BIN_DIR") + "/htmlcompressor.jar"))
    GTEST_SKIP() << "htmlcompressor.jar is not built";
  TTempDir Work("work");
  const std::string Site = Work.Path() + "我的 网站/site";
  CopySample(Site);
  const auto Before = ReadTree(Site);
  const std::string Output = Work.Path() + "输出 目录/out";
  const std::string Err = Work.Path() + "err.txt";
  const TExec R = Cli(
      "--all --verbose --filter '*.bak' --filter thumbs.DB " + Quote(Site) + " " + Quote(Output),
      Err);
  ASSERT_EQ(R.Status, 0) << R.Out << ReadFileText(Err);
  EXPECT_NE(R.Out.find("\nDone: "), std::string::npos) << R.Out;
  EXPECT_EQ(R.Out.find("copied without compression"), std::string::npos) << R.Out;
  EXPECT_EQ(ReadTree(Site), Before);
  const auto After = ReadTree(Output);
  EXPECT_EQ(After.count("index.html.bak") + After.count("img/Thumbs.db"), 0u);
  // Every minified text file is there and smaller.
  for (const char* F :
       {"index.html", "news/index.html", "css/site.css", "js/app.js", "data/plants.xml"}) {
    ASSERT_EQ(After.count(F), 1u) << F;
    EXPECT_LT(After.at(F).size(), Before.at(F).size()) << F;
  }
  // Every other file is there, optimised or copied, unless it is a picture
  // whose content was written under another name.
  for (const auto& [Name, Data] : Before) {
    if (Name == "index.html.bak" || Name == "img/Thumbs.db" || After.count(Name)) continue;
    bool Master = false;
    for (const auto& [Other, OtherData] : Before)
      if (Other != Name && OtherData == Data && After.count(Other)) Master = true;
    EXPECT_TRUE(Master) << Name << " is missing and no equal picture was written";
  }
  EXPECT_EQ(After.at("img/dot.bmp"), Before.at("img/dot.bmp"));  // BMP is never optimised
  // The GB2312 page keeps its Chinese bytes.
  EXPECT_NE(After.at("news/index.html").find("\xD0\xC2\xCE\xC5"), std::string::npos);
}

TEST(CliTest, FileTheCompressorFailsOnIsCopiedCountedAndExplained) {
  TTempDir Site("site"), Out("out");
  Site.Write("js/bad.js", "var x = \"open;\n");  // an unterminated string
  Site.Write("js/old.js", "var a = 1;   // note\n");
  Site.Write("blank.html", "\n \n");  // nothing would be left: never an empty output
  for (const char* Compressor : {"native", "archive"}) {
    SCOPED_TRACE(Compressor);
    if (std::string(Compressor) == "archive" &&
        !FileExists(GetEnv("LARKSPAN_BIN_DIR") + "/htmlcompressor.jar"))
      continue;
    const std::string Err = Out.Path() + Compressor + ".txt";
    const std::string Dest = Out.Path() + Compressor;
    const TExec R = Cli(std::string("--html --js --verbose --compressor ") + Compressor + " " +
                            Quote(Site.Path()) + " " + Quote(Dest),
                        Err);
    EXPECT_EQ(R.Status, 0) << R.Out;
    const auto Tree = ReadTree(Dest);
    EXPECT_EQ(Tree.at("blank.html"), "\n \n");
    EXPECT_EQ(Tree.at("js/bad.js"), "var x = \"open;\n");
    const std::string Messages = R.Out;
    EXPECT_NE(Messages.find("copied without compression: " + Site.Path() + "blank.html"),
              std::string::npos)
        << Messages;
    EXPECT_NE(R.Out.find("\n2 files were copied without compression\n"), std::string::npos)
        << R.Out;
    EXPECT_LT(Tree.at("js/old.js").size(), 20u);
    if (std::string(Compressor) == "native") {
      // The reason, and where the minifier found the fault.
      EXPECT_NE(Messages.find("blank.html (the result would be empty)\n"), std::string::npos)
          << Messages;
      EXPECT_NE(Messages.find("js/bad.js (line 1, column "), std::string::npos) << Messages;
    }
  }
}

// A site of text files in several character sets and kinds, with the odd
// file a minifier refuses.
void WriteTextSite(const TTempDir& Site) {
  Site.Write("index.html",
             "<!DOCTYPE html>\n<html>\n<head>\n  <title>\xD6\xD0\xCE\xC4</title>\n"
             "  <style>\n    .code { white-space: pre }\n    p  {  margin : 0 }\n  </style>\n"
             "</head>\n<body>\n  <p><b>a</b> <i>b</i></p>\n  <div class=\"code\">x\n    y</div>\n"
             "  <script>\n    var  a = 1;  // \xD2\xB3\n  </script>\n"
             "  <!--[if IE]><p>old</p><![endif]-->\n</body>\n</html>\n");
  Site.Write("big5/a.htm", "<p title=\"\xB3\x5C\xA5\x5C\">\xB3\x5C   \xA5\x5C</p>\n");
  Site.Write("u8.html", "<p>\xE4\xB8\xAD\n\n\xE6\x96\x87</p>\n");
  Site.Write("php/page.html", "<p>\n  <?php  echo \"?>  x\";  ?>\n</p>\n");
  Site.Write("css/site.css", "/* c */\nbody  {  margin : 0px ; }\n");
  Site.Write("js/app.js", "function  twice( value ) {\n  return value * 2;\n}\n");
  Site.Write("js/mod.mjs", "export  const a = 1;\n");
  Site.Write("js/bad.js", "var x = \"open;\n");  // an unterminated string
  Site.Write("data/feed.xml", "<rss>\n  <item>\n    <title> a </title>\n  </item>\n</rss>\n");
  Site.Write("blank.html", "\n\n");
  Site.Write("doc/readme.txt", "  kept  as  it  is  \n");
}

TEST(CliTest, ArchiveAndNativeCompressorsWriteTheSameTree) {
  if (!FileExists(GetEnv("LARKSPAN_BIN_DIR") + "/htmlcompressor.jar"))
    GTEST_SKIP() << "htmlcompressor.jar is not built";
  TTempDir Site("site 网站"), Out("out");
  WriteTextSite(Site);
  // White space kept by a style sheet the page links to, in both.
  Site.Write("css/pre.css", ".sample { white-space: pre-wrap }\n");
  Site.Write(
      "news/linked.html",
      "<link rel=stylesheet href=\"../css/pre.css\">\n<div class=\"sample\">x\n    y</div>\n");
  const auto Before = ReadTree(Site.Path());
  for (const char* Switches : {"--html --level spaces", "--html --css --js --xml",
                               "--html --css --js --xml --level smallest"}) {
    SCOPED_TRACE(Switches);
    std::string Reports[2];
    std::map<std::string, std::string> Trees[2];
    for (int I = 0; I < 2; ++I) {
      const std::string Dest = Out.Path() + (I ? "archive" : "native");
      std::filesystem::remove_all(Dest);
      const TExec R = Cli(std::string(Switches) + " --compressor " + (I ? "archive" : "native") +
                          " " + Quote(Site.Path()) + " " + Quote(Dest));
      ASSERT_EQ(R.Status, 0) << R.Out;
      // The reports differ only in the output folder they name.
      Reports[I] = R.Out;
      for (size_t At; (At = Reports[I].find(Dest)) != std::string::npos;)
        Reports[I].replace(At, Dest.size(), "OUT");
      Trees[I] = ReadTree(Dest);
    }
    EXPECT_EQ(Reports[0], Reports[1]);
    ASSERT_EQ(Trees[0].size(), Before.size());
    for (const auto& [Name, Data] : Trees[0]) EXPECT_EQ(Data, Trees[1][Name]) << Name;
    EXPECT_LT(Trees[0]["index.html"].size(), Before.at("index.html").size());
    EXPECT_NE(Trees[0]["index.html"].find(">x\n    y</div>"), std::string::npos);
    EXPECT_NE(Trees[0]["news/linked.html"].find(">x\n    y</div>"), std::string::npos);
  }
  EXPECT_EQ(ReadTree(Site.Path()), Before);
}

TEST(CliTest, NativeCompressorNeedsNoJava) {
  TTempDir Site("site"), Out("out");
  WriteTextSite(Site);
  Site.Write("img/a.bmp", std::string(3000, 'a'));
  Site.Write("img/b.bmp", std::string(3000, 'a'));
  // No java anywhere on PATH (and none beside larkspan-cli).
  const std::string NoJava = "PATH=" + Quote(Out.Path() + "empty") + " ";
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR");
  ASSERT_FALSE(FileExists(Bin + "/java"));
  const std::string Err = Out.Path() + "err.txt";
  auto Run = [&](const std::string& Args) {
    const std::string Command =
        NoJava + Quote(Bin + "/larkspan-cli") + " " + Args + " 2>" + Quote(Err);
    FILE* P = ::popen(Command.c_str(), "r");
    std::string Text;
    char Buf[4096];
    size_t N;
    while (P && (N = fread(Buf, 1, sizeof Buf, P)) > 0) Text.append(Buf, N);
    const int W = P ? ::pclose(P) : -1;
    return std::make_pair(WIFEXITED(W) ? WEXITSTATUS(W) : -1, Text);
  };
  auto [Status, Text] = Run("--html " + Quote(Site.Path()) + " " + Quote(Out.Path() + "pages"));
  EXPECT_EQ(Status, 0) << Text << ReadFileText(Err);
  EXPECT_LT(ReadTree(Out.Path() + "pages").at("u8.html").size(), 20u);
  std::tie(Status, Text) =
      Run("--dedupe " + Quote(Site.Path()) + " " + Quote(Out.Path() + "pictures"));
  EXPECT_EQ(Status, 0) << Text << ReadFileText(Err);
  // The archive still needs its runtime, and says so.
  std::tie(Status, Text) = Run("--html --compressor archive " + Quote(Site.Path()) + " " +
                               Quote(Out.Path() + "archive"));
  EXPECT_NE(Status, 0);
  EXPECT_NE((Text + ReadFileText(Err)).find("请安装java运行环境！"), std::string::npos)
      << Text << ReadFileText(Err);
}

TEST(CliTest, OptionsTable) {
  const char* Argv[] = {"cli",       "--css", "--charset=UTF-8", "--filter", "*.bak", "--except",
                        "./js/a.js", "--",    "-site",           "out"};
  TCliOptions O = ParseCliOptions(10, const_cast<char**>(Argv));
  EXPECT_EQ(O.Site, "-site");
  TAppConfig C("", false);
  C.SaveOnDestroy = false;
  C.FileFilters = "*.tmp|half";  // "half" has no "|": not an entry
  C.Jobs = 3;
  ApplyCliOptions(O, C);
  EXPECT_TRUE(C.IsCompressCSS);
  EXPECT_FALSE(C.IsCompressHtml);  // a switch given replaces the defaults
  EXPECT_EQ(C.CharSet, "UTF-8");
  EXPECT_EQ(C.FileFilters, "*.tmp|*.bak|");
  EXPECT_EQ(C.CompressFilters, "js/a.js|");
  EXPECT_EQ(C.Compressor, "native");  // not given: the setting stays
  EXPECT_EQ(C.Jobs, 3);
  const char* Bad[] = {"cli", "--filter", "a|b", "s", "o"};
  EXPECT_THROW(ParseCliOptions(5, const_cast<char**>(Bad)), Exception);
  const char* Archive[] = {"cli", "--compressor=archive", "s", "o"};
  ApplyCliOptions(ParseCliOptions(4, const_cast<char**>(Archive)), C);
  EXPECT_EQ(C.Compressor, "archive");
  EXPECT_TRUE(C.IsCompressCSS);  // no switch given: the settings' own stay
  const char* Unknown[] = {"cli", "--compressor", "yui", "s", "o"};
  EXPECT_THROW(ParseCliOptions(5, const_cast<char**>(Unknown)), Exception);
  // --jobs N replaces the setting; without it the setting stays.
  for (const char* Jobs : {"--jobs=1", "--jobs=08"}) {
    const char* Args[] = {"cli", Jobs, "s", "o"};
    ApplyCliOptions(ParseCliOptions(4, const_cast<char**>(Args)), C);
    EXPECT_EQ(C.Jobs, std::atoi(Jobs + 7)) << Jobs;
  }
  const char* Two[] = {"cli", "--jobs", "2", "s", "o"};
  ApplyCliOptions(ParseCliOptions(5, const_cast<char**>(Two)), C);
  EXPECT_EQ(C.Jobs, 2);
  EXPECT_EQ(JsonString("a\"b\\\n\x01"), "\"a\\\"b\\\\\\n\\u0001\"");
}

// Parses a command line given as words.
TCliOptions Parse(std::vector<std::string> Words) {
  Words.insert(Words.begin(), "larkspan-cli");
  std::vector<char*> Argv;
  for (std::string& W : Words) Argv.push_back(W.data());
  return ParseCliOptions(int(Argv.size()), Argv.data());
}

TEST(CliTest, OptionsFollowTheUsualConventions) {
  TCliOptions O = Parse({"-vq", "--dry", "--char=UTF-8", "--jobs=2", "s", "--css", "o"});
  EXPECT_TRUE(O.Verbose && O.Quiet && O.DryRun && O.Css);
  EXPECT_EQ(O.CharSet, "UTF-8");
  EXPECT_EQ(O.Jobs, 2);
  EXPECT_EQ(O.Site, "s");
  EXPECT_EQ(O.Output, "o");
  O = Parse({"--jpeg-mode", "lossless", "--comp", "archive", "-", "--", "-o"});
  EXPECT_EQ(O.JpegMode, "lossless");
  EXPECT_EQ(O.Compressor, "archive");
  EXPECT_EQ(O.Site, "-");  // "-" is a folder; after "--" everything is
  EXPECT_EQ(O.Output, "-o");
  // A value that looks like an option is still the option's value.
  O = Parse({"--filter", "--html", "s", "o"});
  EXPECT_EQ(O.Filters, std::vector<std::string>{"--html"});
  EXPECT_FALSE(O.Html);
  // Parsing twice gives the same (getopt's state starts afresh).
  EXPECT_TRUE(Parse({"-v", "s", "o"}).Verbose);
  EXPECT_TRUE(Parse({"-v", "s", "o"}).Verbose);

  struct Case {
    std::vector<std::string> Words;
    std::string Message;
  } Cases[] = {
      {{"--chrset", "GBK", "s", "o"}, "unknown option: --chrset; did you mean --charset?"},
      {{"--chraset=GBK", "s", "o"}, "unknown option: --chraset=GBK; did you mean --charset?"},
      {{"--verbsoe", "s", "o"}, "did you mean --verbose?"},
      {{"--dryrun", "s", "o"}, "did you mean --dry-run?"},
      {{"--colour", "s", "o"}, "unknown option: --colour"},
      {{"--=x", "s", "o"}, "unknown option: --=x"},
      {{"--c", "s", "o"}, "ambiguous option: --c (--css, --charset, --compressor, --cache-size)"},
      {{"--j", "s", "o"}, "ambiguous option: --j"},
      {{"--html=1", "s", "o"}, "option takes no value: --html=1"},
      {{"-vx", "s", "o"}, "unknown option: -x"},
      {{"-xv", "s", "o"}, "unknown option: -x"},
      {{"s", "o", "--jobs"}, "option needs a value: --jobs"},
      {{"--jpeg-mode", "85", "s", "o"}, "--jpeg-mode expects lossy or lossless: 85"},
      {{"s"}, "expected SITE and OUTPUT"},
      {{"s", "o", "p"}, "expected SITE and OUTPUT"},
  };
  for (const Case& C : Cases) {
    try {
      Parse(C.Words);
      ADD_FAILURE() << "accepted: " << C.Words[0];
    } catch (const TCliOptionError& E) {
      EXPECT_NE(E.Text(true).find(C.Message), std::string::npos) << E.Text(true);
      EXPECT_NE(std::string(E.what()).find(E.Zh), std::string::npos);
    }
  }
  // A real run: one line, the suggestion, the pointer to the help, exit 2.
  TTempDir Dir("dir");
  const std::string Err = Dir.Path() + "err.txt";
  const TExec R = Cli("--chrset=GBK a b", Err);
  EXPECT_EQ(R.Status, 2);
  EXPECT_EQ(ReadFileText(Err),
            "larkspan-cli: 未知选项 (unknown option): --chrset=GBK; did you mean --charset?\n"
            "Try 'larkspan-cli --help'.\n");
}

TEST(CliTest, OverlapIsByComponentsAndRefusalsStillPrintJson) {
  TTempDir Top("top");
  Top.Write("site/a.txt", "a");
  const std::string Err = Top.Path() + "err.txt";
  // "site-min" beside "site" is a sibling, not inside it.
  TExec R = Cli("--jpg " + Quote(Top.Path() + "site") + " " + Quote(Top.Path() + "site-min"), Err);
  EXPECT_EQ(R.Status, 0) << ReadFileText(Err);
  EXPECT_EQ(ReadFileText(Top.Path() + "site-min/a.txt"), "a");
  R = Cli("--json --jpg " + Quote(Top.Path() + "site/.") + " " + Quote(Top.Path() + "site/x/.."),
          Err);
  EXPECT_EQ(R.Status, 2);
  EXPECT_EQ(R.Out,
            "{\"success\":false,\"refused\":true,\"error\":\"the site folder and the output "
            "folder overlap\"}\n");
  // The JSON refusal is in the report's language, as the message is.
  R = Cli("--json --lang zh --jpg " + Quote(Top.Path() + "site/.") + " " +
              Quote(Top.Path() + "site/x/.."),
          Err);
  EXPECT_EQ(R.Out,
            "{\"success\":false,\"refused\":true,\"error\":\"网站根目录和输出目录不能相同！\"}\n");
  // A name that is not UTF-8 still gives UTF-8 JSON.
  const std::string Gbk = Top.Path() + "\xC4\xE3";
  R = Cli("--json --jpg " + Quote(Gbk) + " " + Quote(Top.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 2);
  EXPECT_TRUE(IsValidUtf8(R.Out)) << R.Out;
  EXPECT_EQ(JsonString("\xC4\xE3中"), "\"\\udcc4\\udce3中\"");
  struct Refusal {
    std::string Args, Env, Error;
  } Refusals[] = {
      {"--json --bogus a b", "", "unknown option: --bogus"},
      {"--json --bogus a b", "LANG=zh_CN.UTF-8", "未知选项: --bogus"},
      {"--json --lang en --bogus a b", "LANG=zh_CN.UTF-8", "unknown option: --bogus"},
      {"--json --bogus --lang=zh a b", "", "未知选项: --bogus"},
      {"--json --jobs=0 a b", "", "--jobs expects a whole number of 1 or more: 0"},
      {"--jso --chrset=x a b", "", "unknown option: --chrset=x; did you mean --charset?"},
  };
  for (const Refusal& F : Refusals) {
    R = Cli(F.Args, Err, F.Env);
    EXPECT_EQ(R.Status, 2);
    EXPECT_EQ(R.Out, "{\"success\":false,\"refused\":true,\"error\":\"" + F.Error + "\"}\n")
        << F.Args;
  }
}

// Outputs that reach the site other than by their spelling: a bind mount of
// the site or of its parent, a link met behind a missing folder and its
// "..", a folder the site links to. Each is refused before anything is
// made, and the site stays as it was.
TEST(CliTest, OutputsThatReachTheSiteThroughMountsOrLinksAreRefusedAndNothingIsMade) {
  TTempDir Top("top"), Ext("ext");
  Top.Write("site/index.html", "<p>  page  </p>");
  Top.Write("site/style.css", "p { color : red }");
  fs::create_symlink(Top.Path() + "site", Top.Path() + "slink");
  fs::create_symlink(ExcludeTrailingDelimiter(Ext.Path()), Top.Path() + "site/ext");
  fs::create_directories(Top.Path() + "m1");
  fs::create_directories(Top.Path() + "m2");
  const std::string Err = Ext.Path() + "err.txt";
  const auto Before = ReadTree(Top.Path() + "site");
  const TScopedCwd Cwd(Top.Path());
  struct Case {
    std::string Output, Message;
    bool NeedsMount;
  } Cases[] = {
      {"nonexist/../slink/out", "overlap", false},
      {"site/ext/out", "site/ext", false},
      {Ext.Path() + "out", "site/ext", false},
      {"m1", "overlap", true},
      {"m2/site/out", "overlap", true},
  };
  const TScopedMount M1(Top.Path() + "site", Top.Path() + "m1");
  const TScopedMount M2(Top.Path(), Top.Path() + "m2");
  for (const Case& C : Cases) {
    if (C.NeedsMount && !(M1.Ok() && M2.Ok())) continue;
    const TExec R = Cli("--all site " + Quote(C.Output), Err);
    EXPECT_EQ(R.Status, 2) << C.Output;
    const std::string Text = ReadFileText(Err);
    EXPECT_NE(Text.find(C.Message), std::string::npos) << C.Output << ": " << Text;
  }
  EXPECT_EQ(ReadTree(Top.Path() + "site"), Before);
  for (const char* Made : {"site/out", "nonexist", "m1/out", "site/ext/out"})
    EXPECT_FALSE(fs::exists(Top.Path() + Made)) << Made;
  EXPECT_EQ(ReadTree(Ext.Path()).size(), 1u);  // err.txt only
  if (!M1.Ok()) GTEST_SKIP() << "the bind mounts were not tried (needs root): " << M1.Reason();
}

TEST(CliTest, SkippedEntriesAreListedAndCounted) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", "a");
  ASSERT_EQ(::mkfifo((Site.Path() + "pipe\xC4\xE3").c_str(), 0644), 0);
  const std::string Err = Out.Path() + "err.txt";
  TExec R = Cli("--json --jpg " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 0);
  EXPECT_TRUE(IsValidUtf8(R.Out));
  EXPECT_NE(R.Out.find("\"skipped\":1}"), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("\"skipped_files\":[{\"path\":" + JsonString(Site.Path() + "pipe\xC4\xE3")),
            std::string::npos)
      << R.Out;
  R = Cli("--verbose --jpg " + Quote(Site.Path()) + " " + Quote(Out.Path() + "p"), Err);
  EXPECT_EQ(R.Status, 0);
  EXPECT_NE(R.Out.find("1 entry was passed by unread"), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("skipped: " + Site.Path() + "pipe"), std::string::npos) << R.Out;
  // Each language its half of the engine's reason.
  const size_t At = R.Out.find("skipped: ");
  ASSERT_NE(At, std::string::npos);
  const std::string Line = R.Out.substr(At, R.Out.find('\n', At) - At);
  const std::string Why = Line.substr(Line.rfind(" ("));
  EXPECT_TRUE(std::all_of(Why.begin(), Why.end(), [](char C) { return C > 0; })) << Line;
  R = Cli("--lang zh --verbose --jpg " + Quote(Site.Path()) + " " + Quote(Out.Path() + "z"), Err);
  EXPECT_NE(R.Out.find("已跳过：" + Site.Path() + "pipe"), std::string::npos) << R.Out;
}

TEST(CliTest, SettingsAreOnlyReadAndAFolderInTheirPlaceIsReported) {
  TTempDir Site("site"), Out("out"), Home("home");
  Site.Write("a.txt", "a");
  const TScopedEnv Xdg("XDG_CONFIG_HOME", Home.Path() + "cfg");
  const std::string Err = Out.Path() + "err.txt";
  TExec R = Cli("--settings " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 0) << ReadFileText(Err);
  EXPECT_FALSE(DirectoryExists(Home.Path() + "cfg"));  // never created
  std::filesystem::create_directories(Home.Path() + "cfg/Ostrel Larkspan/Config.ini");
  R = Cli("--settings " + Quote(Site.Path()) + " " + Quote(Out.Path() + "p"), Err);
  EXPECT_EQ(R.Status, 0);
  EXPECT_NE(ReadFileText(Err).find("警告"), std::string::npos) << ReadFileText(Err);
}

TEST(CliTest, LevelReachesTheMinifierAndAnUnknownOneIsRefused) {
  TTempDir Site("site"), Out("out"), Home("home");
  Site.Write("a.css", "a {  opacity: 0.50; content: \"\x81\x5C\" }\n");
  const struct {
    const char* Args;
    const char* Css;
  } Cases[] = {
      {"", "a{opacity:.5;content:\"\x81\x5C\"}"},
      {"--level spaces", "a{opacity:0.50;content:\"\x81\x5C\"}"},
      {"--level=smallest", "a{opacity:.5;content:\"\x81\x5C\"}"},
  };
  for (const auto& C : Cases) {
    std::filesystem::remove_all(Out.Path() + "o");
    const TExec R = Cli(std::string(C.Args) + " --css --charset GBK " + Quote(Site.Path()) + " " +
                        Quote(Out.Path() + "o"));
    EXPECT_EQ(R.Status, 0) << C.Args << R.Out;
    EXPECT_EQ(Slurp(Out.Path() + "o/a.css"), C.Css) << C.Args;
  }
  const std::string Err = Out.Path() + "err.txt";
  for (const char* Bad : {"--level fast", "--level=", "--level"}) {
    const TExec R = Cli(
        std::string("--css ") + Quote(Site.Path()) + " " + Quote(Out.Path() + "bad") + " " + Bad,
        Err);
    EXPECT_EQ(R.Status, 2) << Bad;
    if (std::string(Bad) != "--level") {
      EXPECT_NE(ReadFileText(Err).find("spaces, safe, smallest"), std::string::npos) << Bad;
    }
  }
  EXPECT_FALSE(DirectoryExists(Out.Path() + "bad"));
  // From the settings: the saved level, or a warning and safe.
  const TScopedEnv Xdg("XDG_CONFIG_HOME", Home.Path());
  for (const char* Saved : {"spaces", "fast"}) {
    std::filesystem::remove_all(Out.Path() + "o");
    Home.Write("Ostrel Larkspan/Config.ini",
               std::string("[Sys]\r\nCharSet=GBK\r\nIsCompressCSS=1\r\nLevel=") + Saved + "\r\n");
    const TExec R = Cli("--settings " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err);
    EXPECT_EQ(R.Status, 0) << ReadFileText(Err);
    EXPECT_EQ(Slurp(Out.Path() + "o/a.css"), std::string(Saved) == "spaces"
                                                 ? "a{opacity:0.50;content:\"\x81\x5C\"}"
                                                 : "a{opacity:.5;content:\"\x81\x5C\"}");
    EXPECT_EQ(ReadFileText(Err).find("fast") != std::string::npos, std::string(Saved) == "fast");
  }
}

TEST(CliTest, UnknownCharSetIsRefusedWithTheNamesAcceptedAndInSettingsWarns) {
  TTempDir Site("site"), Out("out"), Home("home");
  // A GBK character whose second byte is "\": read as a single-byte page it
  // would escape the quote and the sheet could not be minified.
  Site.Write("a.css", "a {  content: \"\x81\x5C\" }\n");
  const std::string Err = Out.Path() + "err.txt";
  for (const char* Bad : {"--charset UTF8X", "--charset=", "--json --charset=UTF-7"}) {
    SCOPED_TRACE(Bad);
    const TExec R =
        Cli(std::string(Bad) + " --css " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err);
    EXPECT_EQ(R.Status, 2);
    const std::string Text = ReadFileText(Err);
    EXPECT_EQ(Text.rfind("larkspan-cli: ", 0), 0u) << Text;
    for (const char* Name : {"GB2312", "GBK", "Big5", "UTF-8", "UTF-16", "ISO-8859-"})
      EXPECT_NE(Text.find(Name), std::string::npos) << Name << " in " << Text;
    if (std::string(Bad).find("--json") != std::string::npos) {
      EXPECT_EQ(R.Out.rfind("{\"success\":false,\"refused\":true,\"error\":", 0), 0u) << R.Out;
      EXPECT_NE(R.Out.find("UTF-7"), std::string::npos) << R.Out;
    } else {
      EXPECT_EQ(R.Out, "");
    }
  }
  EXPECT_FALSE(DirectoryExists(Out.Path() + "o"));

  // In the settings file the same name warns and the default runs.
  const TScopedEnv Xdg("XDG_CONFIG_HOME", Home.Path());
  Home.Write("Ostrel Larkspan/Config.ini", "[Sys]\r\nCharSet=UTF8X\r\nIsCompressCSS=1\r\n");
  const TExec R = Cli("--settings " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 0) << ReadFileText(Err);
  EXPECT_NE(ReadFileText(Err).find("警告：设置中的字符集未知"), std::string::npos)
      << ReadFileText(Err);
  EXPECT_NE(ReadFileText(Err).find("UTF8X"), std::string::npos);
  EXPECT_EQ(ReadFileText(Out.Path() + "o/a.css"), "a{content:\"\x81\x5C\"}");
  EXPECT_EQ(ReadFileText(Home.Path() + "Ostrel Larkspan/Config.ini"),
            "[Sys]\r\nCharSet=UTF8X\r\nIsCompressCSS=1\r\n");  // only read

  // A known name is kept as given and carries its code page.
  const char* Argv[] = {"cli", "--charset", "utf-16be", "s", "o"};
  const TCliOptions O = ParseCliOptions(5, const_cast<char**>(Argv));
  TAppConfig C("", false);
  C.SaveOnDestroy = false;
  ApplyCliOptions(O, C);
  EXPECT_EQ(C.CharSet, "utf-16be");
  EXPECT_EQ(C.CodePage, TCodePage::Utf16BE);
}

// Starts larkspan-cli with Args, stdout and stderr into files, PathFirst in
// front of PATH. Returns its process id.
pid_t SpawnCli(const std::vector<std::string>& Args, const std::string& OutFile,
               const std::string& PathFirst, const std::string& PidsFile) {
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  std::vector<std::string> Env = {"PATH=" + PathFirst + ":" + GetEnv("PATH"),
                                  "FAKE_PIDS=" + PidsFile, "HOME=" + GetEnv("HOME"),
                                  "XDG_CACHE_HOME=" + TestCache()};
  const pid_t Pid = ::fork();
  if (Pid == 0) {
    const int Fd = ::open(OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(Fd, 1);
    ::dup2(Fd, 2);
    std::vector<char*> Argv{const_cast<char*>(Bin.c_str())};
    for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    std::vector<char*> Envp;
    for (std::string& E : Env) Envp.push_back(E.data());
    Envp.push_back(nullptr);
    ::execve(Bin.c_str(), Argv.data(), Envp.data());
    ::_exit(127);
  }
  return Pid;
}

// The first process id a fake tool added to Pids ($FAKE_PIDS), once there
// (up to 20 s); 0 when none came.
pid_t FirstPid(const std::string& Pids) {
  const auto Began = std::chrono::steady_clock::now();
  while (Slurp(Pids).empty() && std::chrono::steady_clock::now() - Began < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return pid_t(std::atol(Slurp(Pids).c_str()));
}

// Starts larkspan-cli --compressor archive --html on a one-page Site into
// Output (stdout and stderr into Report) with a fake "java" first on PATH,
// standing in for a compressor that never ends: it answers the version
// probe, creates its destination (the last argument but one), adds its
// process id to Pids and hangs. Returns the front end's process id.
pid_t StartWithHangingCompressor(const TTempDir& Site, const TTempDir& Bin,
                                 const std::string& Output, const std::string& Pids,
                                 const std::string& Report) {
  Site.Write("index.html", "<p>x</p>");
  test::WriteScript(
      Bin.Path() + "java",
      "[ $# -eq 0 ] && exit 0\nprev=; for a; do dst=$prev; prev=$a; done\n: > \"$dst\"\n"
      "echo $$ >> \"$FAKE_PIDS\"\nexec sleep 60\n");
  return SpawnCli({"--compressor", "archive", "--html", Site.Path(), Output}, Report, Bin.Path(),
                  Pids);
}

TEST(CliTest, SigtermEndsTheRunningToolAndLeavesNoTemporaryFile) {
  TTempDir Site("site"), Out("out"), Bin("bin");
  const std::string Output = Out.Path() + "o", Pids = Out.Path() + "pids";
  const pid_t Cli = StartWithHangingCompressor(Site, Bin, Output, Pids, Out.Path() + "report");
  ASSERT_GT(Cli, 0);
  const pid_t Tool = FirstPid(Pids);
  ASSERT_GT(Tool, 0);
  // The temporary destination exists while the tool runs.
  bool SawTemp = false;
  for (const auto& [Name, Data] : ReadTree(Output))
    if (Name.find(TempFilePrefix) != std::string::npos) SawTemp = true;
  EXPECT_TRUE(SawTemp);
  ::kill(Cli, SIGTERM);
  int W = 0;
  ASSERT_EQ(::waitpid(Cli, &W, 0), Cli);
  // The tool was a child of the front end: poll for its end.
  bool ToolGone = false;
  for (int I = 0; I < 2000 && !ToolGone; ++I) {
    const std::string Stat = test::Slurp("/proc/" + std::to_string(Tool) + "/stat");
    ToolGone = Stat.empty() || Stat.find(") Z") != std::string::npos;
    if (!ToolGone) ::usleep(10000);
  }
  EXPECT_TRUE(ToolGone);
  if (!ToolGone) ::kill(Tool, SIGKILL);
  EXPECT_TRUE(ReadTree(Output).empty());
}

TEST(CliTest, SignalsGiveTheirExitStatus) {
  TTempDir Site("site"), Out("out"), Bin("bin");
  const std::string Pids = Out.Path() + "pids";
  for (const auto& [Sig, Status] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
    std::filesystem::remove(Pids);
    const pid_t Cli =
        StartWithHangingCompressor(Site, Bin, Out.Path() + "o", Pids, Out.Path() + "report");
    ASSERT_GT(Cli, 0);
    EXPECT_GT(FirstPid(Pids), 0) << Sig;
    ::kill(Cli, Sig);
    int W = 0;
    ASSERT_EQ(::waitpid(Cli, &W, 0), Cli);
    // An exit of its own after cleaning up, not death by the signal.
    ASSERT_TRUE(WIFEXITED(W)) << Sig;
    EXPECT_EQ(WEXITSTATUS(W), Status) << Sig;
  }
}

bool HaveJar() { return FileExists(GetEnv("LARKSPAN_BIN_DIR") + "/htmlcompressor.jar"); }

std::string SampleFile(const std::string& Relative) {
  return ReadFileText(std::string(LARKSPAN_SOURCE_DIR) + "/examples/site/" + Relative);
}

// A picture whose optimiser reaches its safety cap (shortened here) is
// written unchanged, counted as failed and marked in its JSON record.
TEST(CliTest, PictureAtTheOptimisersSafetyCapIsCopiedAndMarked) {
  if (!FileExists(GetEnv("LARKSPAN_BIN_DIR") + "/pngout")) GTEST_SKIP() << "pngout is not built";
  TTempDir Site("site"), Out("out");
  const std::string Png =
      ReadFileText(std::string(LARKSPAN_SOURCE_DIR) + "/engine/testdata/small.png");
  Site.Write("img/a.png", Png);
  const TExec R = Cli("--png --json " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"),
                      "/dev/null", "LARKSPAN_PNGOUT_CAP_MS=1");
  EXPECT_EQ(R.Status, 0) << R.Out;
  EXPECT_NE(R.Out.find("\"action\":\"failed_copied\",\"reason\":\"pngout: time cap reached\","
                       "\"bytes_in\":" +
                       std::to_string(Png.size()) + ",\"bytes_out\":" + std::to_string(Png.size()) +
                       ",\"time_capped\":true}"),
            std::string::npos)
      << R.Out;
  EXPECT_EQ(ReadTree(Out.Path() + "o").at("img/a.png"), Png);
}

TEST(CliTest, RecordsOfARealRunNameEveryAction) {
  if (!HaveJar()) GTEST_SKIP() << "htmlcompressor.jar is not built";
  if (FindProgram("gifsicle").empty()) GTEST_SKIP() << "gifsicle is not installed";
  TTempDir Site("site"), Out("out");
  // Which of two equal pictures is written depends on the order the system
  // lists them; either way the other one is a duplicate. The style sheet
  // names both GIFs, so its duplicate is kept; the page names both copies
  // of the photo, so it is pointed at the one written.
  const std::string Gif = SampleFile("img/logo.gif");
  Site.Write("img/a1.gif", Gif);
  Site.Write("img/a2.gif", Gif);
  Site.Write("img/b1.bmp", std::string(300, 'b'));
  Site.Write("img/b2.bmp", std::string(300, 'b'));
  Site.Write("index.html",
             "<html><body><img src=\"img/b1.bmp\"><img src=\"img/b2.bmp\"></body></html>\n");
  Site.Write("css/site.css",
             "a {\n  background: url(../img/a1.gif);\n}\n"
             "b {\n  background: url(../img/a2.gif);\n}\n");
  Site.Write("js/modern.js", "const f = (a) => a * 2;\nlet x = `t ${f(1)}`;\n");
  // Nothing but a comment: no compressor gives a usable result for it.
  Site.Write("js/empty.js", "// nothing here\n");
  Site.Write("readme.txt", "hello");
  Site.Write("old.bak", "dropped");
  // A link back to the site itself is a loop: passed by, and recorded.
  std::filesystem::create_directory_symlink(Site.Path(), Site.Path() + "loop");
  const std::string Output = Out.Path() + "o";
  const TExec R =
      Cli("--json --compressor archive --html --css --js --gif --dedupe --filter '*.bak' " +
          Quote(Site.Path()) + " " + Quote(Output));
  ASSERT_EQ(R.Status, 0) << R.Out;
  for (const char* Action : {"minified", "optimised", "copied", "rewritten", "duplicate_left_out",
                             "kept_duplicate", "filtered", "skipped", "failed_copied"})
    EXPECT_NE(R.Out.find(std::string("\"action\":\"") + Action + "\""), std::string::npos)
        << Action << "\n"
        << R.Out;
  const auto Tree = ReadTree(Output);
  const std::string GifMaster =
      Tree.count("img/a1.gif") && Tree.count("img/a2.gif")
          ? (R.Out.find("\"path\":\"img/a1.gif\",\"action\":\"kept") != std::string::npos
                 ? "img/a2.gif"
                 : "img/a1.gif")
          : "";
  ASSERT_FALSE(GifMaster.empty()) << "both GIFs are referred to and must be written";
  const std::string BmpMaster = Tree.count("img/b1.bmp") ? "img/b1.bmp" : "img/b2.bmp";
  const std::string BmpCopy = BmpMaster == "img/b1.bmp" ? "img/b2.bmp" : "img/b1.bmp";
  const std::string GifKept = GifMaster == "img/a1.gif" ? "img/a2.gif" : "img/a1.gif";
  const int64_t GifOut = FileSizeOf(Output + "/" + GifMaster);
  for (const std::string& Record : std::vector<std::string>{
           "{\"path\":\"" + BmpCopy +
               "\",\"action\":\"duplicate_left_out\",\"reason\":\"same content as " + BmpMaster +
               "\",\"bytes_in\":300,\"bytes_out\":0}",
           "{\"path\":\"" + GifKept +
               "\",\"action\":\"kept_duplicate\",\"reason\":\"still referred to "
               "by css/site.css:",
           "{\"path\":\"" + GifMaster +
               "\",\"action\":\"optimised\",\"reason\":\"gifsicle\",\"bytes_in\":" +
               std::to_string(Gif.size()) + ",\"bytes_out\":" + std::to_string(GifOut) + "}",
           "{\"path\":\"" + BmpMaster +
               "\",\"action\":\"copied\",\"reason\":\"\",\"bytes_in\":300,"
               "\"bytes_out\":300}",
           "{\"path\":\"js/empty.js\",\"action\":\"failed_copied\",\"reason\":\"compressor: ",
           "{\"path\":\"readme.txt\",\"action\":\"copied\",\"reason\":\"\",\"bytes_in\":5,"
           "\"bytes_out\":5}",
           "{\"path\":\"loop\",\"action\":\"skipped\",\"reason\":\"link loop\"",
           "\"skipped\":[\"loop\"],\"filtered\":[\"old.bak\"],\"duplicates_left_out\":[\"" +
               BmpCopy + "\"]",
           "{\"path\":\"index.html\",\"action\":\"rewritten\"",
           "{\"path\":\"css/site.css\",\"action\":\"minified\""})
    EXPECT_NE(R.Out.find(Record), std::string::npos) << Record << "\n" << R.Out;
  EXPECT_EQ(Tree.count(BmpCopy) + Tree.count("old.bak"), 0u);
  EXPECT_NE(Tree.at("index.html").find(BmpMaster), std::string::npos);
  EXPECT_EQ(Tree.at("index.html").find(BmpCopy), std::string::npos);
  EXPECT_LT(GifOut, int64_t(Gif.size()));
}

// The action of every file in a --json report, by path.
std::map<std::string, std::string> ActionsOf(const std::string& Json) {
  std::map<std::string, std::string> Actions;
  const std::string Path = "{\"path\":\"", Action = "\",\"action\":\"";
  for (size_t At = Json.find(Path); At != std::string::npos; At = Json.find(Path, At + 1)) {
    const size_t End = Json.find(Action, At);
    if (End == std::string::npos) break;
    const size_t Stop = Json.find('"', End + Action.size());
    Actions[Json.substr(At + Path.size(), End - At - Path.size())] =
        Json.substr(End + Action.size(), Stop - End - Action.size());
  }
  return Actions;
}

TEST(CliTest, DryRunWritesNothingAndSaysWhatTheRunWillDo) {
  TTempDir Work("work");
  const std::string Site = Work.Path() + "site";
  CopySample(Site);
  // A style sheet the page rewriting does not touch keeps the copy it names.
  WriteFileAtomic(Site + "/css/print.css", "a { background: url(../news/logo-copy.gif) }\n");
  const auto Before = ReadTree(Site);
  const std::string Output = Work.Path() + "new/out";
  TExec R = Cli("--dry-run --all --filter '*.bak' " + Quote(Site) + " " + Quote(Output));
  EXPECT_EQ(R.Status, 0) << R.Out;
  EXPECT_FALSE(DirectoryExists(Work.Path() + "new"));  // not even the folder
  EXPECT_EQ(ReadTree(Site), Before);
  for (const std::string& Line : std::vector<std::string>{
           "would rewrite: " + Output + "/index.html\n",
           "would rewrite: " + Output + "/news/index.html\n",
           // The style sheet still names the copy: the run will keep it.
           "news/logo-copy.gif (still referred to by css/print.css:1)\n",
           std::string("img/old/banner2.jpg (same content as img/banner.jpg)\n"),
           std::string("index.html.bak (filter *.bak)\n"),
           // A picture's optimiser is tried; the dry run does not claim more.
           std::string("would try optimiser"), std::string("  JPEG          "),
           std::string("Dry run: nothing was written.\n")})
    EXPECT_NE(R.Out.find(Line), std::string::npos) << Line << R.Out;
  EXPECT_EQ(R.Out.find("Output: "), std::string::npos);
  EXPECT_EQ(R.Out.find("optimised"), std::string::npos) << R.Out;

  // What the dry run predicts for each file is what the run then does
  // (a picture tried may end up copied when its optimiser cannot shrink it).
  R = Cli("--dry-run --json --all --filter '*.bak' " + Quote(Site) + " " + Quote(Output));
  EXPECT_EQ(R.Status, 0);
  EXPECT_NE(R.Out.find("\"dry_run\":true"), std::string::npos) << R.Out;
  EXPECT_FALSE(DirectoryExists(Work.Path() + "new"));
  const auto Planned = ActionsOf(R.Out);
  R = Cli("--json --all --filter '*.bak' " + Quote(Site) + " " + Quote(Output));
  ASSERT_EQ(R.Status, 0);
  const auto Done = ActionsOf(R.Out);
  ASSERT_EQ(Planned.size(), Done.size());
  for (const auto& [Path, Action] : Planned) {
    const std::string Real = Done.at(Path);
    if (Action == "optimised")
      EXPECT_TRUE(Real == "optimised" || Real == "copied") << Path << ": " << Real;
    else
      EXPECT_EQ(Action, Real) << Path;
  }
  EXPECT_EQ(Planned.at("news/logo-copy.gif"), "kept_duplicate");
  EXPECT_EQ(Planned.at("img/old/banner2.jpg"), "duplicate_left_out");
}

TEST(CliTest, SummaryGivesEachKindBeforeAndAfterAndNamesWhatWasNotReduced) {
  TTempDir Site("site"), Out("out");
  Site.Write("index.html", "<p>\n   a   </p>\n");
  Site.Write("css/site.css", "body  {  margin : 0px ; }\n");
  Site.Write("js/bad.js", "var x = \"open;\n");  // the minifier refuses it
  Site.Write("js/ok.js", "var  a = 1;\n");
  Site.Write("readme.txt", "hello");
  Site.Write("old.bak", "13 bytes here");
  const std::string Output = Out.Path() + "o";
  TExec R = Cli("--html --css --js --filter '*.bak' " + Quote(Site.Path()) + " " + Quote(Output));
  ASSERT_EQ(R.Status, 0) << R.Out;
  const auto In = ReadTree(Site.Path()), Written = ReadTree(Output);
  auto Size = [](const std::map<std::string, std::string>& Tree, const std::string& Name) {
    return std::to_string(Tree.at(Name).size());
  };
  const int64_t ScriptsOut =
      int64_t(Written.at("js/bad.js").size() + Written.at("js/ok.js").size());
  for (const std::string& Line : std::vector<std::string>{
           "  pages         1 file      " + Size(In, "index.html") + " bytes -> " +
               Size(Written, "index.html") + " bytes (saved ",
           "  style sheets  1 file      " + Size(In, "css/site.css") + " bytes -> " +
               Size(Written, "css/site.css") + " bytes (saved ",
           "  scripts       2 files     27 bytes -> " + std::to_string(ScriptsOut) + " bytes",
           "    written unreduced: js/bad.js\n",
           "  other files   1 file      5 bytes -> 5 bytes (saved 0.0%)\n",
           "  filtered      1 file      13 bytes, not written\n",
           "\nDone: ", "\n1 file was copied without compression\n"})
    EXPECT_NE(R.Out.find(Line), std::string::npos) << Line << "\n" << R.Out;
  // Small savings are counted in bytes, never "0.0KB".
  EXPECT_EQ(R.Out.find("0.0KB"), std::string::npos) << R.Out;
  EXPECT_EQ(R.Out.find("0.0 KB"), std::string::npos) << R.Out;

  // The same rows in Chinese, and in the JSON report.
  R = Cli("--lang zh --html --css --js " + Quote(Site.Path()) + " " + Quote(Out.Path() + "zh"));
  EXPECT_NE(R.Out.find("  脚本          2 个文件    27 字节 -> "), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("    未能压缩，原样写出：js/bad.js\n"), std::string::npos) << R.Out;
  R = Cli("--json --html --css --js " + Quote(Site.Path()) + " " + Quote(Out.Path() + "j"));
  EXPECT_NE(
      R.Out.find("{\"kind\":\"scripts\",\"files\":2,\"bytes_in\":27,\"bytes_out\":" +
                 std::to_string(ScriptsOut) + ",\"unreduced\":[\"js/bad.js\"],\"part_kept\":[]}"),
      std::string::npos)
      << R.Out;
}

TEST(CliTest, LatinOnePageUnderTheDefaultCharsetNamesWhatWasLeftUnminified) {
  TTempDir Site("site"), Out("out");
  // Latin-1 read as GB2312: "\xE9\"" is one character, so the script's
  // string never ends and its minifier refuses it; the page around it is
  // minified, the script kept byte for byte.
  const std::string Page =
      "<p>caf\xE9   cr\xE8me</p>\n<script>\n var  s = \"caf\xE9\";\n</script>\n";
  Site.Write("menu.html", Page);
  Site.Write("js/cafe.js", "var  t = [\"caf\xE9\"];\n");
  // Equal pictures: with --dedupe the page is rewritten, then minified in place.
  Site.Write("a.bmp", "bmp");
  Site.Write("b.bmp", "bmp");
  for (const char* Args : {"--html --js", "--dedupe --html --js"}) {
    SCOPED_TRACE(Args);
    const std::string Output = Out.Path() + (Args[2] == 'd' ? "d" : "h");
    const TExec R = Cli(std::string(Args) + " " + Quote(Site.Path()) + " " + Quote(Output));
    ASSERT_EQ(R.Status, 0) << R.Out;
    const auto Written = ReadTree(Output);
    EXPECT_NE(Written.at("menu.html").find(" var  s = \"caf\xE9\";"), std::string::npos);
    EXPECT_EQ(Written.at("menu.html").find("caf\xE9   cr"),
              std::string::npos);  // the page was minified
    for (const std::string& Line :
         {std::string("    partly unminified: menu.html (inline script kept as it was (line 3: "),
          std::string("    written unreduced: js/cafe.js\n")})
      EXPECT_NE(R.Out.find(Line), std::string::npos) << Line << "\n" << R.Out;
  }
  const TExec R = Cli("--json --html --js " + Quote(Site.Path()) + " " + Quote(Out.Path() + "j"));
  EXPECT_NE(R.Out.find("\"part_kept\":[\"menu.html (inline script kept as it was (line 3: "),
            std::string::npos)
      << R.Out;
}

TEST(CliTest, VerboseQuotesControlCharactersInNames) {
  TTempDir Site("site"), Out("out");
  Site.Write("a\nb.txt", "x");
  Site.Write("\x1b[31mred.txt", "y");
  Site.Write("plain name.txt", "z");
  const TExec R = Cli("-v --html " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"));
  ASSERT_EQ(R.Status, 0) << R.Out;
  EXPECT_EQ(R.Out.find('\x1b'), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("  'a'$'\\n''b.txt'\n"), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("  $'\\033''[31mred.txt'\n"), std::string::npos) << R.Out;
  EXPECT_NE(R.Out.find("  plain name.txt\n"), std::string::npos) << R.Out;
  // No line starts with a piece of a name.
  EXPECT_EQ(R.Out.find("\nb.txt"), std::string::npos) << R.Out;
  // Nor in a message on the terminal.
  const std::string Err = Out.Path() + "err.txt";
  EXPECT_EQ(
      Cli("--html " + Quote(Site.Path() + "no\nsuch") + " " + Quote(Out.Path() + "p"), Err).Status,
      2);
  EXPECT_EQ(ReadFileText(Err),
            "larkspan-cli: '" + Site.Path() + "no'$'\\n''such: the site folder does not exist'\n");
}

TEST(CliTest, ChineseReportHasEveryLabelInChinese) {
  TTempDir Site("site"), Out("out");
  const std::string Pic(300, 'p');
  Site.Write("img/a.bmp", Pic);
  Site.Write("img/b.bmp", Pic);
  Site.Write("img/c.bmp", Pic);
  Site.Write("index.html", "<img src=\"img/b.bmp\">\n");
  // Whichever copy is written first, two duplicates are still referred to.
  Site.Write("style.css", "p { background: url(img/a.bmp) url(img/b.bmp) url(img/c.bmp) }\n");
  const TExec R =
      Cli("--lang zh -v --dedupe " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"));
  ASSERT_EQ(R.Status, 0) << R.Out;
  for (const char* Label : {"rewritten:", "kept duplicate:", "referred to", "Done", "Output",
                            "files", "bytes", "saved"})
    EXPECT_EQ(R.Out.find(Label), std::string::npos) << Label << "\n" << R.Out;
  for (const char* Label : {"已改写：", "保留重复：", "仍被引用：", "任务已完成", "输出目录："})
    EXPECT_NE(R.Out.find(Label), std::string::npos) << Label << "\n" << R.Out;
}

TEST(CliTest, LosslessJpegModeIsChosenByOptionOrSettingAndReported) {
  if (FindProgram("jpegoptim").empty()) GTEST_SKIP() << "jpegoptim is not installed";
  TTempDir Site("site"), Out("out"), Home("home");
  Site.Write("p.jpg", SampleFile("img/banner.jpg"));
  const TScopedEnv Xdg("XDG_CONFIG_HOME", Home.Path());
  std::filesystem::create_directories(Home.Path() + "Ostrel Larkspan");
  Home.Write("Ostrel Larkspan/Config.ini", "[Sys]\r\nIsCompressJpg=1\r\nJpegMode=lossless\r\n");
  struct Case {
    std::string Args, Said;
  } Cases[] = {
      {"--jpg", "JPEG: lossy (re-encoded at quality 85 at most; pixels change).\n"},
      {"--jpg --jpeg-mode=lossless", "JPEG: lossless (every pixel kept).\n"},
      {"--settings", "JPEG: lossless (every pixel kept).\n"},
      {"--settings --jpeg-mode lossy", "JPEG: lossy"},
  };
  int N = 0;
  for (const Case& C : Cases) {
    const TExec R =
        Cli(C.Args + " " + Quote(Site.Path()) + " " + Quote(Out.Path() + std::to_string(N++)));
    EXPECT_EQ(R.Status, 0) << R.Out;
    EXPECT_NE(R.Out.find(C.Said), std::string::npos) << C.Args << "\n" << R.Out;
  }
  const std::string Help = Cli("--help").Out;
  for (const char* Word : {"LOSSY", "--jpeg-mode", "lossless"})
    EXPECT_NE(Help.find(Word), std::string::npos) << Word;
}

TEST(CliTest, ReportFollowsTheLocaleUnlessLangIsGiven) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", std::string(2048, 'a'));
  struct Case {
    std::string Env, Args, Starts;
  } Cases[] = {
      {"", "", "\nDone: 2.0 KB -> 2.0 KB, 0 bytes saved (0.0%); 0 duplicate pictures left out.\n"},
      {"LANG=zh_CN.UTF-8", "", "\n任务已完成：2.0 KB -> 2.0 KB，省下 0 字节（0.0%）；其中 0 个"},
      {"LC_ALL=zh_TW.UTF-8 LANG=en_GB.UTF-8", "", "\n任务已完成"},
      {"LC_ALL=C LANG=zh_CN.UTF-8", "", "\nDone: "},
      {"LANG=zh_CN.UTF-8", "--lang en", "\nDone: "},
      {"", "--lang zh", "\n任务已完成"},
  };
  for (const Case& C : Cases) {
    const TExec R = Cli(C.Args + " --dedupe " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"),
                        "/dev/null", C.Env);
    EXPECT_EQ(R.Status, 0);
    EXPECT_NE(R.Out.find(C.Starts), std::string::npos) << C.Env << " " << C.Args << ": " << R.Out;
  }
}

TEST(CliTest, QuietPrintsNothingButErrors) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.txt", "a");
  const std::string Err = Out.Path() + "err.txt";
  TExec R = Cli("-q --dedupe " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out, "");
  EXPECT_EQ(ReadFileText(Err), "");
  R = Cli("--quiet --dedupe " + Quote(Site.Path() + "nope") + " " + Quote(Out.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 2);
  EXPECT_EQ(ReadFileText(Err),
            "larkspan-cli: " + Site.Path() + "nope: the site folder does not exist\n");
}

TEST(CliTest, MissingOptimiserIsSaidAtTheStartAndInTheReport) {
  const std::string Java = FindProgram("java");
  if (Java.empty()) GTEST_SKIP() << "no Java runtime";
  TTempDir Site("site"), Out("out"), Bin("bin");
  Site.Write("p.jpg", SampleFile("img/banner.jpg"));
  // A PATH with the Java launcher and nothing else.
  std::filesystem::create_symlink(Java, Bin.Path() + "java");
  const std::string Err = Out.Path() + "err.txt";
  const TExec R = Cli("--jpg --verbose " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), Err,
                      "PATH=" + Quote(Bin.Path()));
  EXPECT_EQ(R.Status, 0) << R.Out;
  EXPECT_EQ(ReadFileText(Err),
            "larkspan-cli: jpegoptim not found: JPEG pictures are copied unchanged.\n");
  // One line per file (action, bytes in -> out, saved share, path, why),
  // then the count per action.
  const std::string Size = std::to_string(SampleFile("img/banner.jpg").size());
  EXPECT_NE(R.Out.find("copied                   " + Size + " -> " + Size +
                       "           0.0%  p.jpg (not found: jpegoptim)\ncopied 1\n"),
            std::string::npos)
      << R.Out;
  EXPECT_NE(R.Out.find("\njpegoptim not found: JPEG pictures are copied unchanged.\n"),
            std::string::npos);
  EXPECT_EQ(ReadTree(Out.Path() + "o").at("p.jpg"), SampleFile("img/banner.jpg"));
}

// On one worker the stop comes while the first optimiser runs and no other
// starts; on two, both running optimisers are ended and no third starts.
TEST(CliTest, CtrlCStopsASlowToolLeavingWholeFilesOnly) {
  for (const int Jobs : {1, 2}) {
    SCOPED_TRACE(Jobs);
    TTempDir Site("site"), Out("out"), Fake("fake-tools");
    // A fake gifsicle: it notes its process group, writes half a result and a
    // temporary file beside it the way the real optimisers name theirs, then
    // hangs with a child of its own.
    test::WriteScript(Fake.Path() + "gifsicle",
                      "echo $$ >> \"$FAKE_PIDS\"\n"
                      "printf 'GIF89a-half' > \"$3\"\n"
                      "printf 'x' > \"$(dirname \"$3\")/.$(basename \"$3\").4f2a.tmp\"\n"
                      "sleep 60\n");
    Site.Write("a.txt", "first");
    Site.Write("pics/a.gif", "GIF89a-one");
    Site.Write("pics/b.gif", "GIF89a-two");
    Site.Write("pics/c.gif", "GIF89a-three");
    const std::string Output = Out.Path() + "o";
    const std::string Pids = Out.Path() + "pids";
    const std::string Report = Out.Path() + "report.txt";
    const pid_t Pid =
        SpawnCli({"--gif", "--jobs", std::to_string(Jobs), "--lang", "en", Site.Path(), Output},
                 Report, Fake.Path(), Pids);
    ASSERT_GT(Pid, 0);
    const auto Began = std::chrono::steady_clock::now();
    ASSERT_GT(FirstPid(Pids), 0) << Slurp(Report);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the fakes are in their sleep
    ::kill(Pid, SIGINT);
    int Status = 0;
    ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
    EXPECT_LT(std::chrono::steady_clock::now() - Began, std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 130) << Slurp(Report);
    EXPECT_NE(Slurp(Report).find("Stopped after "), std::string::npos) << Slurp(Report);
    // One optimiser per worker at most was started, and no process of any
    // of their groups is left (a killed one may take a moment to be reaped
    // by whoever inherited it).
    std::vector<pid_t> Groups;
    std::istringstream Lines(Slurp(Pids));
    for (std::string Line; std::getline(Lines, Line);)
      if (!Line.empty()) Groups.push_back(pid_t(std::atol(Line.c_str())));
    EXPECT_GE(Groups.size(), 1u);
    EXPECT_LE(Groups.size(), size_t(Jobs)) << "an optimiser was started after the stop";
    for (const pid_t Group : Groups) {
      const auto Killed = std::chrono::steady_clock::now();
      while (::kill(-Group, 0) == 0 &&
             std::chrono::steady_clock::now() - Killed < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      errno = 0;
      EXPECT_EQ(::kill(-Group, 0), -1);
      EXPECT_EQ(errno, ESRCH);
    }
    // Whatever is in the output is a whole copy of its site file; the half
    // results and the temporary files are gone.
    const auto Tree = ReadTree(Output);
    const auto SiteTree = ReadTree(Site.Path());
    for (const auto& [Name, Data] : Tree) {
      ASSERT_EQ(SiteTree.count(Name), 1u) << Name;
      EXPECT_EQ(Data, SiteTree.at(Name)) << Name;
    }
    EXPECT_LE(Tree.size(), 1u);
  }
}

TEST(CliTest, ProgressFitsANarrowTerminalOnOneLine) {
  if (FindProgram("python3").empty()) GTEST_SKIP() << "python3 is not installed";
  TTempDir Site("site"), Out("out");
  for (int I = 0; I < 30; ++I)
    Site.Write("a very long folder name/几个中文字的目录/file number " + std::to_string(I) + ".txt",
               std::string(size_t(100 + I), 'x'));
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  // A pseudo-terminal 32 columns wide; everything the program writes to it
  // is captured.
  const std::string Script = Out.Path() + "narrow_tty.py";
  WriteFileAtomic(Script,
                  "import fcntl, os, pty, struct, sys, termios\n"
                  "pid, fd = pty.fork()\n"
                  "if pid == 0:\n"
                  "    fcntl.ioctl(1, termios.TIOCSWINSZ, struct.pack('HHHH', 24, 32, 0, 0))\n"
                  "    os.execv(sys.argv[1], sys.argv[1:])\n"
                  "data = b''\n"
                  "while True:\n"
                  "    try:\n"
                  "        chunk = os.read(fd, 4096)\n"
                  "    except OSError:\n"
                  "        break\n"
                  "    if not chunk:\n"
                  "        break\n"
                  "    data += chunk\n"
                  "os.waitpid(pid, 0)\n"
                  "sys.stdout.buffer.write(data)\n");
  // The child sets the size on its own terminal before the program starts,
  // so the first line drawn already sees it.
  const TExec R = [&] {
    TExec E;
    FILE* P = ::popen(("env -u LANG -u LC_ALL python3 " + Quote(Script) + " " + Quote(Bin) +
                       " --dedupe " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"))
                          .c_str(),
                      "r");
    char Buf[4096];
    size_t N;
    while ((N = fread(Buf, 1, sizeof Buf, P)) > 0) E.Out.append(Buf, N);
    E.Status = ::pclose(P);
    return E;
  }();
  ASSERT_EQ(R.Status, 0) << R.Out;
  // The progress is drawn in place ("\r" ... erase to the end of the line)
  // and never wraps: no drawn line is wider than the terminal.
  const size_t ReportAt = R.Out.find("  other files ");  // the report's first line
  ASSERT_NE(ReportAt, std::string::npos) << R.Out;
  const std::string Progress = R.Out.substr(0, ReportAt);
  EXPECT_NE(Progress.find("\r["), std::string::npos) << Progress;
  EXPECT_EQ(Progress.find('\n'), std::string::npos) << Progress;
  size_t Pos = 0;
  while ((Pos = Progress.find('\r', Pos)) != std::string::npos) {
    const size_t End = std::min(Progress.find("\x1b[K", Pos), Progress.find('\r', Pos + 1));
    const std::string Line = Progress.substr(Pos + 1, End - Pos - 1);
    EXPECT_LE(DisplayColumns(Line), 31) << Line;
    Pos = End;
  }
}

TEST(CliTest, ProgressLineTable) {
  TRunStatus S;
  S.DoneFiles = 412;
  S.TotalFiles = 993;
  S.Percent = 41;
  S.CurrentFile = "css/site.css";
  struct Case {
    double Elapsed, Left;
    int Columns;
    std::string CurrentFile, Line;
  } Cases[] = {
      {12, 17, 0, "css/site.css", "[412/993 files] work  41%  0:12 ~0:17 left  css/site.css"},
      {12, -1, 80, "css/site.css", "[412/993 files] work  41%  0:12  css/site.css"},
      {3725, 60, 80, "", "[412/993 files] work  41%  1:02:05 ~1:00 left"},
      // The path loses its beginning first, whole characters only ...
      {12, 17, 54, "img/网站/photo.jpg", "[412/993 files] work  41%  0:12 ~0:17 left  …photo.jpg"},
      {12, 17, 55, "img/网站/photo.jpg", "[412/993 files] work  41%  0:12 ~0:17 left  …/photo.jpg"},
      {12, 17, 57, "img/网站/photo.jpg",
       "[412/993 files] work  41%  0:12 ~0:17 left  …站/photo.jpg"},
      {12, 17, 58, "img/网站/photo.jpg",
       "[412/993 files] work  41%  0:12 ~0:17 left  …站/photo.jpg"},
      // ... then the times; the counter alone is cut to the width.
      {12, 17, 30, "css/site.css", "[412/993 files] work  41%"},
      {12, 17, 8, "css/site.css", "ork  41%"},
      // A name with control characters is quoted, never drawn raw.
      {12, -1, 0, "a\x1b[2Kb", "[412/993 files] work  41%  0:12  'a'$'\\033''[2Kb'"},
  };
  for (const Case& C : Cases) {
    S.CurrentFile = C.CurrentFile;
    const std::string Line = ProgressLine(S, C.Elapsed, C.Left, C.Columns);
    EXPECT_EQ(Line, C.Line) << C.Columns;
    if (C.Columns > 0) {
      EXPECT_LE(DisplayColumns(Line), C.Columns) << Line;
    }
  }
  S.TotalFiles = 1000;
  S.DoneFiles = 7;
  S.CurrentFile = "css/site.css";
  EXPECT_EQ(ProgressLine(S, 0, -1, 0).substr(0, 18), "[   7/1000 files] ");
  EXPECT_EQ(ProgressLine(S, 12, 17, 0, TReportLang::Zh),
            "[   7/1000 个文件] 工作量  41%  0:12 剩余约0:17  css/site.css");
  // The estimate comes from the cost model the percentage is taken from.
  struct Estimate {
    int Percent;
    int64_t Done, Total;
    double Elapsed, Left;
  } Estimates[] = {
      {50, 0, 0, 10, 10},                                    // no costs given: by the percentage
      {1, 0, 0, 10, -1},                                     // too early to tell
      {73, 730, 1000, 73, 27},                               // the same share as the percentage
      {25, 251, 1000, 25.1, 74.9}, {99, 999, 1000, 999, 1},  // nearly done is not done
      {100, 1000, 1000, 50, -1},                             // done: nothing left to estimate
      {50, 500, 1000, 0.5, -1},                              // not a second gone yet
  };
  for (const Estimate& E : Estimates) {
    S.Percent = E.Percent;
    S.DoneCost = E.Done;
    S.TotalCost = E.Total;
    if (E.Left < 0)
      EXPECT_LT(EstimateLeft(S, E.Elapsed), 0) << E.Done;
    else
      EXPECT_NEAR(EstimateLeft(S, E.Elapsed), E.Left, 1e-9) << E.Done;
  }
  // The engine's percentage is 100 only once everything is done.
  EXPECT_EQ(ProgressPercent(9995, 10000), 99);
  EXPECT_EQ(ProgressPercent(1, 8), 12);
  EXPECT_EQ(ProgressPercent(7, 8), 88);
  EXPECT_EQ(ProgressPercent(8, 8), 100);
}

// ---- publishing again: the cache of results and the output as a mirror ----

// The arguments for env(1) that give the CLI the cache folder Folder.
std::string CacheEnv(const std::string& Folder) { return "XDG_CACHE_HOME=" + Quote(Folder); }

TEST(CliTest, ASecondRunTakesItsResultsFromTheCacheAndSaysSo) {
  TTempDir Work("work");
  const std::string Site = Work.Path() + "site", Cache = Work.Path() + "cache";
  CopySample(Site);
  const std::string Args = "--all --lang en " + Quote(Site) + " ";
  const TExec First = Cli(Args + Quote(Work.Path() + "one"), "/dev/null", CacheEnv(Cache));
  ASSERT_EQ(First.Status, 0) << First.Out;
  EXPECT_EQ(First.Out.find("from the cache"), std::string::npos) << First.Out;
  const TExec Second = Cli(Args + Quote(Work.Path() + "two"), "/dev/null", CacheEnv(Cache));
  ASSERT_EQ(Second.Status, 0);
  EXPECT_NE(Second.Out.find(" results came from the cache\n"), std::string::npos) << Second.Out;
  const TExec Json =
      Cli("--json " + Args + Quote(Work.Path() + "three"), "/dev/null", CacheEnv(Cache));
  EXPECT_NE(Json.Out.find("\"from_cache\":true"), std::string::npos) << Json.Out;
  EXPECT_EQ(Json.Out.find("\"cache_hits\":0,"), std::string::npos) << Json.Out;
  // --no-cache: the tools run, the cache folder is not even made.
  const std::string Unused = Work.Path() + "unused";
  const TExec Plain =
      Cli("--no-cache " + Args + Quote(Work.Path() + "plain"), "/dev/null", CacheEnv(Unused));
  ASSERT_EQ(Plain.Status, 0);
  EXPECT_EQ(Plain.Out.find("from the cache"), std::string::npos);
  EXPECT_FALSE(DirectoryExists(Unused));
  const auto Tree = ReadTree(Work.Path() + "plain");
  for (const char* Out : {"one", "two", "three"})
    EXPECT_EQ(ReadTree(Work.Path() + Out), Tree) << Out;
  // With XDG_CACHE_HOME empty (or unset) the cache lies in the home's .cache.
  const TExec Home = Cli(Args + Quote(Work.Path() + "four"), "/dev/null",
                         "XDG_CACHE_HOME= HOME=" + Quote(Work.Path() + "home"));
  EXPECT_EQ(Home.Status, 0);
  EXPECT_TRUE(DirectoryExists(Work.Path() + "home/.cache/larkspan"));
}

TEST(CliTest, TwoRunsAtOnceShareOneCache) {
  TTempDir Work("work");
  const std::string Site = Work.Path() + "site", Cache = Work.Path() + "cache";
  CopySample(Site);
  for (int I = 0; I < 30; ++I)
    WriteFileAtomic(Site + "/css/s" + std::to_string(I) + ".css",
                    "p  {  color : red ;  margin : 0px ;  }\n/* " + std::to_string(I) + " */\n");
  ASSERT_EQ(Cli("--all --no-cache " + Quote(Site) + " " + Quote(Work.Path() + "plain")).Status, 0);
  const auto Tree = ReadTree(Work.Path() + "plain");
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  for (const char* Round : {"cold", "warm"}) {
    const std::string A = Work.Path() + Round + "-a", B = Work.Path() + Round + "-b";
    const std::string One =
        "env " + CacheEnv(Cache) + " " + Quote(Bin) + " -q --all " + Quote(Site);
    const int Status =
        std::system(("sh -c " + Quote(One + " " + Quote(A) + " & a=$!; " + One + " " + Quote(B) +
                                      " & b=$!; wait $a && wait $b"))
                        .c_str());
    EXPECT_EQ(Status, 0) << Round;
    EXPECT_EQ(ReadTree(A), Tree) << Round;
    EXPECT_EQ(ReadTree(B), Tree) << Round;
  }
}

TEST(CliTest, AFullDiskUnderTheCacheLeavesTheRunAsItWasWithAWarning) {
  TTempDir Work("work");
  const std::string Site = Work.Path() + "site", Cache = Work.Path() + "cache";
  CopySample(Site);
  for (int I = 0; I < 4; ++I)
    WriteFileAtomic(Site + "/css/big" + std::to_string(I) + ".css",
                    "p  {  content : \"" + std::string(40000, char('a' + I)) + "\"  }\n");
  ASSERT_TRUE(ForceDirectories(Cache));
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  const std::string Err = Work.Path() + "err.txt";
  // A small file system of its own under the cache, in a mount namespace of
  // the test's own (where the system allows one).
  const std::string Script = "mount -t tmpfs -o size=64k tmpfs " + Quote(Cache) + " || exit 77; " +
                             "exec env -u LANG -u LC_ALL " + CacheEnv(Cache) + " " + Quote(Bin) +
                             " --all --lang en " + Quote(Site) + " " + Quote(Work.Path() + "out") +
                             " >/dev/null 2>" + Quote(Err);
  const int W = std::system(("unshare -rm sh -c " + Quote(Script) + " 2>/dev/null").c_str());
  const int Status = WIFEXITED(W) ? WEXITSTATUS(W) : -1;
  if (Status == 77 || (Status == 1 && !FileExists(Err)))
    GTEST_SKIP() << "no mount namespace here (unshare -rm)";
  EXPECT_EQ(Status, 0) << Slurp(Err);
  EXPECT_NE(Slurp(Err).find("(the cache cannot be written; no more results are kept this run)"),
            std::string::npos)
      << Slurp(Err);
  ASSERT_EQ(Cli("--all --no-cache " + Quote(Site) + " " + Quote(Work.Path() + "plain")).Status, 0);
  EXPECT_EQ(ReadTree(Work.Path() + "out"), ReadTree(Work.Path() + "plain"));
}

TEST(CliTest, DeleteRemovesWhatTheRunDidNotWriteAndNothingElse) {
  TTempDir Work("work"), Elsewhere("elsewhere");
  const std::string Site = Work.Path() + "site", Out = Work.Path() + "out/";
  CopySample(Site);
  ASSERT_EQ(Cli("--html " + Quote(Site) + " " + Quote(Out)).Status, 0);
  ASSERT_TRUE(FileExists(Out + "index.html.bak"));
  // Now filtered in the site; links planted in the output, one into the
  // site and one to a file elsewhere.
  const std::string Outside = Elsewhere.Write("keep.txt", "not the output's");
  ASSERT_EQ(::symlink(Site.c_str(), (Out + "site-link").c_str()), 0);
  ASSERT_EQ(::symlink(Outside.c_str(), (Out + "css/outside-link").c_str()), 0);
  const auto SiteBefore = ReadTree(Site);
  const std::string Args = "--html --lang en --filter '*.bak' " + Quote(Site) + " " + Quote(Out);
  const TExec Counted = Cli("-v " + Args);
  EXPECT_EQ(Counted.Status, 0);
  EXPECT_NE(Counted.Out.find("3 files in the output were not written by this run (deleted, renamed "
                             "or filtered in the site); --delete removes them\n"),
            std::string::npos)
      << Counted.Out;
  EXPECT_NE(Counted.Out.find("stale: " + Out + "index.html.bak\n"), std::string::npos);
  EXPECT_TRUE(FileExists(Out + "index.html.bak"));
  const TExec Removed = Cli("--delete --json " + Args);
  EXPECT_EQ(Removed.Status, 0);
  EXPECT_NE(
      Removed.Out.find("\"stale_files\":[\"css/outside-link\",\"index.html.bak\",\"site-link\"]"
                       ",\"removed_stale\":3"),
      std::string::npos)
      << Removed.Out;
  for (const char* Gone : {"index.html.bak", "site-link", "css/outside-link"})
    EXPECT_FALSE(FileExists(Out + Gone) || IsSymbolicLink(Out + Gone)) << Gone;
  EXPECT_TRUE(FileExists(Out + "index.html"));
  EXPECT_EQ(ReadTree(Site), SiteBefore);
  EXPECT_EQ(Slurp(Outside), "not the output's");
  const TExec Again = Cli("--delete " + Args);
  EXPECT_EQ(Again.Out.find("not written by this run"), std::string::npos) << Again.Out;
}

}  // namespace
}  // namespace larkspan
