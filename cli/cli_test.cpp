// larkspan-cli as a user runs it: the real binary on real folders.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <tuple>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "engine/EngineTestUtil.h"
#include "minify/Minify.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::ReadTree;
using test::TScopedEnv;
using test::TTempDir;

struct TExec {
  int Status = -1;
  std::string Out;
};

std::string Quote(const std::string& S) {
  std::string R = "'";
  for (char C : S) R += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return R + "'";
}

// Runs larkspan-cli with Args (stdout captured, stderr to a file).
TExec Cli(const std::string& Args, const std::string& ErrFile = "/dev/null") {
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  TExec R;
  FILE* P = ::popen((Quote(Bin) + " " + Args + " 2>" + Quote(ErrFile)).c_str(), "r");
  if (!P) return R;
  char Buf[4096];
  size_t N;
  while ((N = fread(Buf, 1, sizeof Buf, P)) > 0) R.Out.append(Buf, N);
  const int W = ::pclose(P);
  R.Status = WIFEXITED(W) ? WEXITSTATUS(W) : -1;
  return R;
}

TEST(CliTest, RefusesWhatTheWindowRefusesWithExitCode2) {
  TTempDir Site("site"), Out("out");
  Site.Write("a.jpg", "x");
  const std::string Err = Out.Path() + "err.txt";
  struct Case {
    std::string Args;
    std::string Message;
  } Cases[] = {
      {"--jpg " + Quote(Site.Path() + "missing") + " " + Quote(Out.Path() + "o"), "网站根目录不存在！"},
      {"--jpg " + Quote(Site.Path()) + " " + Quote(Site.Path() + "out"), "网站根目录和输出目录不能相同！"},
      {"--jpg " + Quote(Site.Path()) + " " + Quote(Site.Path()), "网站根目录和输出目录不能相同！"},
      {"--bogus " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o"), "未知选项"},
      {"--jpg " + Quote(Site.Path()), "SITE and OUTPUT"},
  };
  for (const Case& C : Cases) {
    const TExec R = Cli(C.Args, Err);
    EXPECT_EQ(R.Status, 2) << C.Args;
    EXPECT_NE(ReadFileText(Err).find(C.Message), std::string::npos) << ReadFileText(Err);
  }
  EXPECT_EQ(ReadTree(Site.Path()).size(), 1u);
  EXPECT_EQ(Cli("--help").Status, 0);
  EXPECT_NE(Cli("--help").Out.find("--dedupe"), std::string::npos);
  EXPECT_EQ(Cli("--version").Out, "larkspan-cli 1.0.2.35\n");
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
  EXPECT_NE(ReadFileText(Err).find("无可处理压缩选项！"), std::string::npos);
  // The command line never writes the settings file.
  EXPECT_EQ(ReadFileText(Home.Path() + "Ostrel Larkspan/Config.ini"), "[Sys]\r\nIsCompressHtml=0\r\n");
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
  TExec R = Cli("--dedupe --filter '*.bak' " + Quote(Site.Path()) + " " + Quote(Output));
  EXPECT_EQ(R.Status, 0) << R.Out;
  EXPECT_EQ(R.Out, "任务已完成：共1个文件出现重复，为您省下2.9KB的空间！\n");
  const auto Tree = ReadTree(Output);
  EXPECT_EQ(Tree.size(), 2u);
  EXPECT_EQ(Tree.at("doc/readme.txt"), "hello");
  EXPECT_EQ(ReadTree(Site.Path()), Before);

  R = Cli("--json --jpg --filter '*.bak' " + Quote(Site.Path()) + " " + Quote(Out.Path() + "j"));
  EXPECT_EQ(R.Status, 0);
  EXPECT_EQ(R.Out,
            "{\"success\":true,\"error\":\"\",\"saved_bytes\":7,\"source_bytes\":6012,"
            "\"output_bytes\":6005,\"duplicates\":0,\"files\":{\"pictures\":0,\"pages\":0,"
            "\"compressed\":0,\"other\":3,\"dropped\":1,\"skipped\":0},\"uncompressed\":0,"
            "\"skipped_files\":[]}\n");
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
  const TExec R = Cli("--all --verbose --filter '*.bak' --filter thumbs.DB " + Quote(Site) + " " +
                          Quote(Output),
                      Err);
  ASSERT_EQ(R.Status, 0) << R.Out << ReadFileText(Err);
  EXPECT_EQ(R.Out.rfind("任务已完成：共", 0), 0u) << R.Out;
  EXPECT_EQ(R.Out.find("copied without compression"), std::string::npos) << ReadFileText(Err);
  EXPECT_EQ(ReadTree(Site), Before);
  const auto After = ReadTree(Output);
  EXPECT_EQ(After.count("index.html.bak") + After.count("img/Thumbs.db"), 0u);
  // Every minified text file is there and smaller.
  for (const char* F : {"index.html", "news/index.html", "css/site.css", "js/app.js",
                        "data/plants.xml"}) {
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
    const std::string Messages = ReadFileText(Err);
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
  const auto Before = ReadTree(Site.Path());
  for (const char* Switches : {"--html", "--html --css --js --xml"}) {
    SCOPED_TRACE(Switches);
    std::string Reports[2];
    std::map<std::string, std::string> Trees[2];
    for (int I = 0; I < 2; ++I) {
      const std::string Dest = Out.Path() + (I ? "archive" : "native");
      std::filesystem::remove_all(Dest);
      const TExec R = Cli(std::string(Switches) + " --compressor " + (I ? "archive" : "native") +
                          " " + Quote(Site.Path()) + " " + Quote(Dest));
      ASSERT_EQ(R.Status, 0) << R.Out;
      Reports[I] = R.Out;
      Trees[I] = ReadTree(Dest);
    }
    EXPECT_EQ(Reports[0], Reports[1]);
    ASSERT_EQ(Trees[0].size(), Before.size());
    for (const auto& [Name, Data] : Trees[0]) EXPECT_EQ(Data, Trees[1][Name]) << Name;
    EXPECT_LT(Trees[0]["index.html"].size(), Before.at("index.html").size());
    EXPECT_NE(Trees[0]["index.html"].find("<div class=\"code\">x\n    y</div>"), std::string::npos);
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
  const char* Argv[] = {"cli", "--css", "--charset=UTF-8", "--filter", "*.bak", "--except",
                        "./js/a.js", "--", "-site", "out"};
  TCliOptions O = ParseCliOptions(10, const_cast<char**>(Argv));
  EXPECT_EQ(O.Site, "-site");
  TAppConfig C("", false);
  C.SaveOnDestroy = false;
  C.FileFilters = "*.tmp|half";  // "half" has no "|": not an entry
  ApplyCliOptions(O, C);
  EXPECT_TRUE(C.IsCompressCSS);
  EXPECT_FALSE(C.IsCompressHtml);  // a switch given replaces the defaults
  EXPECT_EQ(C.CharSet, "UTF-8");
  EXPECT_EQ(C.FileFilters, "*.tmp|*.bak|");
  EXPECT_EQ(C.CompressFilters, "js/a.js|");
  EXPECT_EQ(C.Compressor, "native");  // not given: the setting stays
  const char* Bad[] = {"cli", "--filter", "a|b", "s", "o"};
  EXPECT_THROW(ParseCliOptions(5, const_cast<char**>(Bad)), Exception);
  const char* Archive[] = {"cli", "--compressor=archive", "s", "o"};
  ApplyCliOptions(ParseCliOptions(4, const_cast<char**>(Archive)), C);
  EXPECT_EQ(C.Compressor, "archive");
  const char* Unknown[] = {"cli", "--compressor", "yui", "s", "o"};
  EXPECT_THROW(ParseCliOptions(5, const_cast<char**>(Unknown)), Exception);
  EXPECT_EQ(JsonString("a\"b\\\n\x01"), "\"a\\\"b\\\\\\n\\u0001\"");
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
            "{\"success\":false,\"refused\":true,\"error\":\"网站根目录和输出目录不能相同！\"}\n");
  // A name that is not UTF-8 still gives UTF-8 JSON.
  const std::string Gbk = Top.Path() + "\xC4\xE3";
  R = Cli("--json --jpg " + Quote(Gbk) + " " + Quote(Top.Path() + "o"), Err);
  EXPECT_EQ(R.Status, 2);
  EXPECT_TRUE(IsValidUtf8(R.Out)) << R.Out;
  EXPECT_EQ(JsonString("\xC4\xE3中"), "\"\\udcc4\\udce3中\"");
  R = Cli("--json --bogus a b", Err);
  EXPECT_EQ(R.Status, 2);
  EXPECT_EQ(R.Out.rfind("{\"success\":false,\"refused\":true,\"error\":\"未知选项", 0), 0u)
      << R.Out;
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
  EXPECT_NE(R.Out.find("有 1 个项目未读取"), std::string::npos) << R.Out;
  EXPECT_NE(ReadFileText(Err).find("skipped: " + Site.Path() + "pipe"), std::string::npos);
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

TEST(CliTest, SigtermEndsTheRunningToolAndLeavesNoTemporaryFile) {
  TTempDir Site("site"), Out("out"), Bin("bin");
  Site.Write("index.html", "<p>x</p>");
  // A fake "java" that starts its result and hangs, standing in for a
  // compressor that never ends.
  test::WriteScript(Bin.Path() + "java",
                    "[ $# -eq 0 ] && exit 0\nprev=; for a; do dst=$prev; prev=$a; done\n"
                    ": > \"$dst\"\necho $$ > " +
                        Quote(Bin.Path() + "pid.part") + "; mv " + Quote(Bin.Path() + "pid.part") +
                        " " + Quote(Bin.Path() + "pid") + "\nexec sleep 60\n");
  const std::string Bin0 = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  const std::string Cmd = "PATH=" + Quote(Bin.Path()) + ":\"$PATH\" " + Quote(Bin0) +
                          " --compressor archive --html " + Quote(Site.Path()) + " " + Quote(Out.Path() + "o") +
                          " >/dev/null 2>&1 & echo $!";
  FILE* P = ::popen(Cmd.c_str(), "r");
  ASSERT_NE(P, nullptr);
  char Buf[32] = {};
  ASSERT_NE(std::fgets(Buf, sizeof Buf, P), nullptr);
  ::pclose(P);
  const pid_t Cli = ::atoi(Buf);
  pid_t Tool = 0;
  for (int I = 0; I < 3000 && Tool == 0; ++I) {
    ::usleep(10000);
    Tool = ::atoi(test::Slurp(Bin.Path() + "pid").c_str());
  }
  ASSERT_GT(Tool, 0);
  // The temporary destination exists while the tool runs.
  bool SawTemp = false;
  for (const auto& [Name, Data] : ReadTree(Out.Path() + "o"))
    if (Name.find(TempFilePrefix) != std::string::npos) SawTemp = true;
  EXPECT_TRUE(SawTemp);
  ::kill(Cli, SIGTERM);
  // The front end was started by a shell that has gone: poll for its end.
  bool CliGone = false, ToolGone = false;
  for (int I = 0; I < 2000 && !(CliGone && ToolGone); ++I) {
    ::usleep(10000);
    auto Gone = [](pid_t Pid) {
      const std::string Stat = test::Slurp("/proc/" + std::to_string(Pid) + "/stat");
      return Stat.empty() || Stat.find(") Z") != std::string::npos;
    };
    CliGone = Gone(Cli);
    ToolGone = Gone(Tool);
  }
  EXPECT_TRUE(CliGone);
  EXPECT_TRUE(ToolGone);
  if (!ToolGone) ::kill(Tool, SIGKILL);
  EXPECT_TRUE(ReadTree(Out.Path() + "o").empty());
}

TEST(CliTest, SignalsGiveTheirExitStatus) {
  TTempDir Site("site"), Out("out"), Bin("bin");
  Site.Write("index.html", "<p>x</p>");
  test::WriteScript(Bin.Path() + "java", "[ $# -eq 0 ] && exit 0\n: > " +
                                             Quote(Bin.Path() + "started") + "\nexec sleep 60\n");
  const std::string Bin0 = GetEnv("LARKSPAN_BIN_DIR") + "/larkspan-cli";
  const TScopedEnv Path("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  for (const auto& [Sig, Status] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
    std::filesystem::remove(Bin.Path() + "started");
    const pid_t Child = ::fork();
    if (Child == 0) {
      ::execl(Bin0.c_str(), Bin0.c_str(), "--quiet", "--compressor", "archive", "--html",
              Site.Path().c_str(),
              (Out.Path() + "o").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int I = 0; I < 3000 && !FileExists(Bin.Path() + "started"); ++I) ::usleep(10000);
    ::kill(Child, Sig);
    int W = 0;
    ASSERT_EQ(::waitpid(Child, &W, 0), Child);
    // An exit of its own after cleaning up, not death by the signal.
    ASSERT_TRUE(WIFEXITED(W)) << Sig;
    EXPECT_EQ(WEXITSTATUS(W), Status) << Sig;
  }
}

}  // namespace
}  // namespace larkspan
