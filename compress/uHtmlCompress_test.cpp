#include "compress/uHtmlCompress.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TestUtil.h"

namespace larkspan {
namespace {

struct TempDir : test::TTempDir {
  TempDir() : test::TTempDir("larkspan 压缩") {}
};
using ScopedEnv = test::TScopedEnv;
using ScopedCwd = test::TScopedCwd;
using test::Slurp;

// A fake "java" for checking exactly what the launcher receives: it writes
// its working folder and each argument on a line of $0.log and exits with
// FAKE_JAVA_EXIT. Without arguments (the runtime test) it only exits.
std::string MakeFakeJava(const std::string& Dir, const std::string& Extra = "") {
  const std::string Path = Dir + "java";
  std::ofstream(Path) << "#!/bin/sh\n"
                      << "[ $# -eq 0 ] && exit 0\n"
                      << Extra << "\n"
                      << "{ pwd; for a; do echo \"[$a]\"; done; } > \"$0.log\"\n"
                      << "exit ${FAKE_JAVA_EXIT:-0}\n";
  ::chmod(Path.c_str(), 0755);
  return Path + ".log";
}

TEST(THtmlCompressTest, ArgumentsForEveryCombination) {
  TempDir Jar;
  THtmlCompress C(Jar.Path());
  EXPECT_EQ(C.CharSet, "GB2312");
  EXPECT_EQ(C.ErrorMessage, "");
  EXPECT_FALSE(C.IsCompressCSS);
  EXPECT_FALSE(C.IsCompressJS);

  using TArgs = std::vector<std::string>;
  const TArgs Head = {"-jar", "htmlcompressor.jar", "--preserve-comments", "-c"};
  const TArgs Tail = {"--preserve-php", "--preserve-server-script", "-o", "/o/p.html", "/o/p.html"};
  struct Case {
    const char* CharSet;
    bool Css, Js;
    TArgs Middle;
  } Cases[] = {
      {"GB2312", false, false, {"GB2312"}},
      {"GB2312", true, false, {"GB2312", "--compress-css"}},
      {"UTF-8", false, true, {"UTF-8", "--compress-js", "--nomunge"}},
      {"GB2312", true, true, {"GB2312", "--compress-css", "--compress-js", "--nomunge"}},
  };
  for (const Case& K : Cases) {
    C.CharSet = K.CharSet;
    C.IsCompressCSS = K.Css;
    C.IsCompressJS = K.Js;
    TArgs Expected = Head;
    Expected.insert(Expected.end(), K.Middle.begin(), K.Middle.end());
    Expected.insert(Expected.end(), Tail.begin(), Tail.end());
    // One file as both input and output: the same path twice.
    EXPECT_EQ(C.BuildArgs("/o/p.html", "/o/p.html"), Expected) << K.CharSet;
  }
  // A level above spaces is named before the paths.
  C.CharSet = "GB2312";
  C.IsCompressCSS = C.IsCompressJS = false;
  C.Level = TMinifyLevel::Smallest;
  TArgs Expected = Head;
  Expected.insert(Expected.end(), {"GB2312", "--preserve-php", "--preserve-server-script",
                                   "--level", "smallest", "-o", "/o/q.html", "/o/p.html"});
  EXPECT_EQ(C.BuildArgs("/o/p.html", "/o/q.html"), Expected);
}

TEST(THtmlCompressTest, ArgumentVectorKeepsEachPathWhole) {
  TempDir Jar;
  THtmlCompress C(Jar.Path());
  C.IsCompressCSS = C.IsCompressJS = true;
  EXPECT_EQ(C.BuildArgs("/site 站点/a b.css", "/out/a b.css"),
            (std::vector<std::string>{"-jar", "htmlcompressor.jar", "--preserve-comments", "-c",
                                      "GB2312", "--compress-css", "--compress-js", "--nomunge",
                                      "--preserve-php", "--preserve-server-script", "-o",
                                      "/out/a b.css", "/site 站点/a b.css"}));
  C.CharSet = "";
  C.IsCompressCSS = C.IsCompressJS = false;
  EXPECT_EQ(
      C.BuildArgs("/s", "/d"),
      (std::vector<std::string>{"-jar", "htmlcompressor.jar", "--preserve-comments",
                                "--preserve-php", "--preserve-server-script", "-o", "/d", "/s"}));
  C.PreSheets = {"/site 站点/a b.css", "/site/c.css"};
  EXPECT_EQ(C.BuildArgs("/s", "/d"),
            (std::vector<std::string>{"-jar", "htmlcompressor.jar", "--preserve-comments",
                                      "--preserve-php", "--preserve-server-script", "--pre-sheet",
                                      "/site 站点/a b.css", "--pre-sheet", "/site/c.css", "-o",
                                      "/d", "/s"}));
}

TEST(THtmlCompressTest, ConstructorChecksRuntimeFirstThenFolder) {
  TempDir Dir;
  std::ofstream(Dir.Path() + "a-file") << "x";
  auto MessageOf = [](const std::string& Folder) {
    try {
      THtmlCompress C(Folder);
      return std::string();
    } catch (const Exception& E) {
      return E.Message();
    }
  };
  EXPECT_EQ(MessageOf(Dir.Path()), "");
  EXPECT_EQ(MessageOf(Dir.Path() + "missing/"), "Jar路径不存在！");
  EXPECT_EQ(MessageOf(Dir.Path() + "a-file"), "Jar路径不存在！");
  EXPECT_EQ(MessageOf(""), "Jar路径不存在！");

  TempDir NoJava;
  ScopedEnv Path("PATH", NoJava.Path());
  EXPECT_EQ(MessageOf(Dir.Path()), "请安装java运行环境！");
  // Both would fail: only the runtime is reported.
  EXPECT_EQ(MessageOf(Dir.Path() + "missing/"), "请安装java运行环境！");
}

TEST(THtmlCompressTest, LauncherRunsInArchiveFolderWithOnePathPerArgument) {
  TempDir Bin, Site, Elsewhere;
  const std::string Log = MakeFakeJava(Bin.Path());
  ScopedEnv Path("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  TempDir JarFolder;
  THtmlCompress C(JarFolder.Path());
  C.CharSet = "UTF-8";

  ScopedCwd Cwd(Elsewhere.Path());
  std::filesystem::create_directory(Elsewhere.Path() + "rel dir");
  ASSERT_TRUE(C.Compress(Site.Path() + "页 面.html", "rel dir/页 面.html"));
  EXPECT_EQ(C.LastExitCode, 0);
  // The relative destination is resolved against our folder, not the
  // launcher's.
  EXPECT_EQ(Slurp(Log), JarFolder.Path().substr(0, JarFolder.Path().size() - 1) +
                            "\n[-jar]\n[htmlcompressor.jar]\n[--preserve-comments]\n[-c]\n"
                            "[UTF-8]\n[--preserve-php]\n[--preserve-server-script]\n[-o]\n[" +
                            Elsewhere.Path() + "rel dir/页 面.html]\n[" + Site.Path() +
                            "页 面.html]\n");

  // A stale destination is gone before the compressor runs (this one writes
  // nothing); a page minified in place is of course kept.
  std::ofstream(Site.Path() + "stale.html") << "old run";
  std::ofstream(Site.Path() + "same.html") << "page";
  EXPECT_TRUE(C.Compress(Site.Path() + "new.html", Site.Path() + "stale.html"));
  EXPECT_FALSE(FileExists(Site.Path() + "stale.html"));
  EXPECT_TRUE(C.Compress(Site.Path() + "same.html", Site.Path() + "./same.html"));
  EXPECT_EQ(Slurp(Site.Path() + "same.html"), "page");

  // The compressor's own failure is no failed start: true, with its status.
  ScopedEnv Exit("FAKE_JAVA_EXIT", "7");
  EXPECT_TRUE(C.Compress(Site.Path() + "a.html", Site.Path() + "a.html"));
  EXPECT_EQ(C.LastExitCode, 7);
  EXPECT_EQ(C.ErrorMessage, "");
}

TEST(THtmlCompressTest, LauncherAlwaysGetsTheUtf8Locale) {
  TempDir Bin, JarFolder;
  MakeFakeJava(Bin.Path(), "echo \"$LC_ALL|$LC_CTYPE|$LANG\" > \"$0.locale\"");
  ScopedEnv Path("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  THtmlCompress C(JarFolder.Path());
  const struct {
    const char *All, *Ctype, *Lang;  // nullptr: unset
    const char* Seen;
  } Cases[] = {
      // The paths it gets are UTF-8 (other bytes get ASCII names), so
      // whatever locale the user runs in, Java must read them as UTF-8.
      {nullptr, nullptr, nullptr, "C.UTF-8||\n"},
      {nullptr, nullptr, "C", "C.UTF-8||C\n"},
      {"POSIX", nullptr, "zh_CN.GBK", "C.UTF-8||zh_CN.GBK\n"},
      {nullptr, nullptr, "zh_CN.GBK", "C.UTF-8||zh_CN.GBK\n"},
      {nullptr, "zh_CN.GB18030", "C", "C.UTF-8|zh_CN.GB18030|C\n"},
      {"en_US.UTF-8", nullptr, nullptr, "C.UTF-8||\n"},
  };
  for (const auto& K : Cases) {
    ScopedEnv All("LC_ALL", K.All ? K.All : "", !K.All);
    ScopedEnv Ctype("LC_CTYPE", K.Ctype ? K.Ctype : "", !K.Ctype);
    ScopedEnv Lang("LANG", K.Lang ? K.Lang : "", !K.Lang);
    ASSERT_TRUE(C.Compress("/s.html", "/d.html"));
    EXPECT_EQ(Slurp(Bin.Path() + "java.locale"), K.Seen) << K.Seen;
  }
}

TEST(THtmlCompressTest, ErrorMessageKeptUntilNextFailure) {
  TempDir Bin, JarFolder;
  MakeFakeJava(Bin.Path());
  ScopedEnv Path("PATH", Bin.Path());
  THtmlCompress C(JarFolder.Path());

  ASSERT_EQ(::setenv("PATH", JarFolder.Path().c_str(), 1), 0);  // no launcher any more
  EXPECT_FALSE(C.Compress("/s.html", "/d.html"));
  EXPECT_EQ(C.ErrorMessage, SystemErrorText(ENOENT));
  EXPECT_EQ(C.LastExitCode, -1);

  ASSERT_EQ(::setenv("PATH", Bin.Path().c_str(), 1), 0);
  EXPECT_TRUE(C.Compress("/s.html", "/d.html"));
  EXPECT_EQ(C.ErrorMessage, SystemErrorText(ENOENT));
  EXPECT_EQ(C.LastExitCode, 0);
}

TEST(THtmlCompressTest, HangingCompressorIsKilledAtTimeLimit) {
  TempDir Bin, JarFolder;
  MakeFakeJava(Bin.Path(), "sleep 30");
  ScopedEnv Path("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  ScopedEnv Limit("LARKSPAN_TOOL_TIMEOUT", "1");
  THtmlCompress C(JarFolder.Path());
  EXPECT_TRUE(C.Compress("/s.html", "/d.html"));
  EXPECT_EQ(C.LastExitCode, -1);
}

TEST(THtmlCompressTest, RealRuntimeWithoutArchiveStartsButFails) {
  TempDir Empty, Site;
  THtmlCompress C(Empty.Path());
  std::ofstream(Site.Path() + "a.html") << "<p>  x  </p>\n";
  EXPECT_TRUE(C.Compress(Site.Path() + "a.html", Site.Path() + "b.html"));
  EXPECT_NE(C.LastExitCode, 0);
  EXPECT_FALSE(FileExists(Site.Path() + "b.html"));
}

TEST(THtmlCompressTest, RealArchiveMinifiesFromAnyFolder) {
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR");
  if (Bin.empty() || !FileExists(Bin + "/htmlcompressor.jar"))
    GTEST_SKIP() << "htmlcompressor.jar not built (LARKSPAN_BIN_DIR unset or without it)";
  TempDir Site, Elsewhere;
  const std::string Page = "<html>\n  <body>\n\n    <p>a   b</p>\n  </body>\n</html>\n";
  std::ofstream(Site.Path() + "页 面.html") << Page;
  ScopedCwd Cwd(Elsewhere.Path());
  THtmlCompress C(Bin + "/");
  C.CharSet = "UTF-8";
  ASSERT_TRUE(C.Compress(Site.Path() + "页 面.html", Site.Path() + "out 面.html"));
  EXPECT_EQ(C.LastExitCode, 0);
  const std::string Out = Slurp(Site.Path() + "out 面.html");
  EXPECT_FALSE(Out.empty());
  EXPECT_LT(Out.size(), Page.size());
  EXPECT_EQ(Slurp(Site.Path() + "页 面.html"), Page);

  // In place: the one file is both input and output.
  ASSERT_TRUE(C.Compress(Site.Path() + "页 面.html", Site.Path() + "页 面.html"));
  EXPECT_EQ(C.LastExitCode, 0);
  EXPECT_EQ(Slurp(Site.Path() + "页 面.html"), Out);
}

}  // namespace
}  // namespace larkspan
