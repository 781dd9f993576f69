#include "compress/uNativeCompress.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "compress/uMinifyCommand.h"
#include "minify/PagePreRules.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/TestUtil.h"

namespace larkspan {
namespace {

using test::Slurp;

const char* const Messy = "<html>\n  <body>\n    <p>a   b</p>\n  </body>\n</html>\n";
const char* const Tidy = "<html><body>\n<p>a b</p>\n</body></html>";

// Names of the files in Dir whose name holds a temporary file's mark.
int TemporaryFiles(const std::string& Dir) {
  int N = 0;
  for (const TDirEntry& E : ListDirectory(Dir)) N += E.Name.find("tmp") != std::string::npos;
  return N;
}

TEST(TNativeCompressTest, MinifiesIntoAnotherFileAndInPlace) {
  test::TTempDir Dir("larkspan 原生");
  const std::string Src = Dir.Write("站点/a page.html", Messy);
  TNativeCompress C;
  ASSERT_TRUE(C.Compress(Src, Dir.Path() + "out.html")) << C.ErrorMessage;
  EXPECT_EQ(C.LastExitCode, 0);
  EXPECT_EQ(Slurp(Dir.Path() + "out.html"), Tidy);
  EXPECT_EQ(Slurp(Src), Messy);
  ASSERT_TRUE(C.Compress(Src, Src));
  EXPECT_EQ(Slurp(Src), Tidy);
  struct stat St;
  ASSERT_EQ(::stat(Src.c_str(), &St), 0);
  EXPECT_NE(St.st_mode & S_IROTH, 0u) << "the minified page must stay readable";
  EXPECT_EQ(TemporaryFiles(Dir.Path() + "站点/"), 0);
}

TEST(TNativeCompressTest, FailuresLeaveTheDestinationAsItWasAndAreLogged) {
  test::TTempDir Dir("larkspan 原生");
  const std::string Log = Dir.Path() + "tool.log";
  test::TScopedEnv LogEnv("LARKSPAN_TOOL_LOG", Log);
  const std::string Old = Dir.Write("out.html", "previous");
  const std::string Blank = Dir.Write("blank.html", "\n\n");
  // Over the size limit (a sparse file: it is refused before it is read).
  const std::string Huge = Dir.Write("huge.html", "<p>");
  std::filesystem::resize_file(Huge, uintmax_t(MaxMinifySize) + 1);
  TNativeCompress C;
  struct Case {
    std::string Source, Dest, Reason;
  } Cases[] = {
      {Dir.Path() + "missing.html", Old, "missing.html"},
      {Blank, Old, "the result would be empty"},
      {Huge, Old, "larger than 32 MB (32 MB), not minified"},
  };
  for (const Case& K : Cases) {
    EXPECT_FALSE(C.Compress(K.Source, K.Dest)) << K.Source;
    EXPECT_EQ(C.LastExitCode, 1);
    // The reason alone; the log line names the file.
    EXPECT_NE(C.ErrorMessage.rfind(K.Source + ": ", 0), 0u) << C.ErrorMessage;
    EXPECT_NE(C.ErrorMessage.find(K.Reason), std::string::npos) << C.ErrorMessage;
    EXPECT_NE(Slurp(Log).find("larkspan-minify: " + K.Source + ": " + C.ErrorMessage + "\n"),
              std::string::npos);
  }
  // A destination that cannot take the result (no folder, a full disk) is
  // the output failing, not the minifier: it throws with the reason.
  try {
    C.Compress(Dir.Write("a.html", "<p>a</p>"), Dir.Path() + "no/such/folder/out.html");
    ADD_FAILURE() << "no exception";
  } catch (const Exception& E) {
    EXPECT_NE(std::string(E.what()).find("out.html: No such file or directory"), std::string::npos)
        << E.what();
  }
  EXPECT_EQ(Slurp(Old), "previous");
  EXPECT_FALSE(FileExists(Dir.Path() + "no/such/folder/out.html"));
  EXPECT_EQ(TemporaryFiles(Dir.Path()), 0);
  // An empty file stays empty and counts as done.
  const std::string Empty = Dir.Write("empty.html", "");
  EXPECT_TRUE(C.Compress(Empty, Dir.Path() + "empty-out.html"));
  EXPECT_EQ(C.LastExitCode, 0);
  EXPECT_TRUE(FileExists(Dir.Path() + "empty-out.html"));
}

TEST(TNativeCompressTest, EngineOptionsAreTheArchiveCommandLine) {
  TNativeCompress C;
  minify::TMinifyOptions O = C.Options();
  EXPECT_TRUE(O.PreserveComments && O.NoMunge && O.PreservePhp && O.PreserveServerScript);
  EXPECT_FALSE(O.CompressCss || O.CompressJs);
  C.IsCompressCSS = true;
  C.IsCompressJS = true;
  O = C.Options();
  EXPECT_TRUE(O.CompressCss && O.CompressJs);
  EXPECT_EQ(MinifyKindOf("/site/a.HTML"), minify::TMinifyKind::Page);
  EXPECT_EQ(MinifyKindOf("/site/a.php"), minify::TMinifyKind::Page);
  EXPECT_EQ(MinifyKindOf("/site/noext"), minify::TMinifyKind::Page);
}

struct TRun {
  int Status;
  std::string Out, Err;
};

TRun Command(const std::vector<std::string>& Args) {
  std::ostringstream Out, Err;
  const int Status = RunMinifyCommand(Args, Out, Err);
  return {Status, Out.str(), Err.str()};
}

TEST(MinifyCommandTest, CommandLineAndExitStatus) {
  test::TTempDir Dir("larkspan 命令");
  const std::string Src = Dir.Write("a b.html", Messy);
  const std::string Dest = Dir.Path() + "out.html";
  const std::vector<std::vector<std::string>> Usage = {
      {"--bogus", Src},     {"-o"},          {Src, Src}, {}, {"--type", "svg", Src},
      {"--nomunge=1", Src}, {"-o", "", Src}, {"-"},
  };
  for (const auto& Args : Usage) {
    const TRun R = Command(Args);
    EXPECT_EQ(R.Status, 2) << (Args.empty() ? "" : Args[0]);
    EXPECT_NE(R.Err.find("usage:"), std::string::npos);
  }
  // An empty character set (empty, or none before the next option) is the default.
  for (const std::vector<std::string>& Args :
       {std::vector<std::string>{"-c", "", "-o", Dest, Src},
        std::vector<std::string>{"-c", "--preserve-php", "--output=" + Dest, "--", Src}}) {
    DeleteFile(Dest);
    const TRun R = Command(Args);
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(Slurp(Dest), Tidy);
  }
  // Standard output without -o.
  const TRun ToOut = Command({"--preserve-comments", "-c", "GB2312", Src});
  EXPECT_EQ(ToOut.Status, 0);
  EXPECT_EQ(ToOut.Out, Tidy);
  // A file that cannot be read: status 1 naming it.
  const TRun Missing = Command({"-o", Dest, Dir.Path() + "missing.html"});
  EXPECT_EQ(Missing.Status, 1);
  EXPECT_NE(Missing.Err.find("missing.html"), std::string::npos);
  // A file over the size limit, also to standard output.
  const std::string Huge = Dir.Write("huge.html", "<p>");
  std::filesystem::resize_file(Huge, uintmax_t(MaxMinifySize) + 1);
  for (const std::vector<std::string>& Args :
       {std::vector<std::string>{"-o", Dest, Huge}, std::vector<std::string>{Huge}}) {
    const TRun R = Command(Args);
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Err.find("larger than 32 MB"), std::string::npos) << R.Err;
  }
  EXPECT_EQ(Command({"--help"}).Status, 0);
}

TEST(MinifyCommandTest, TheProgramRunsTheSameCommandLine) {
  const std::string Bin = GetEnv("LARKSPAN_BIN_DIR");
  if (Bin.empty() || !FileExists(Bin + "/larkspan-minify"))
    GTEST_SKIP() << "larkspan-minify not built";
  test::TTempDir Dir("larkspan 命令");
  const std::string Src = Dir.Write("a.html", Messy);
  const TProcessResult R = StartProcess(Bin + "/larkspan-minify",
                                        {"--preserve-comments", "-c", "GB2312", "--preserve-php",
                                         "--preserve-server-script", "-o", Src, Src});
  ASSERT_TRUE(R.Started);
  EXPECT_EQ(R.ExitCode, 0);
  EXPECT_EQ(Slurp(Src), Tidy);
  EXPECT_EQ(StartProcess(Bin + "/larkspan-minify", {"--what"}).ExitCode, 2);
  EXPECT_EQ(StartProcess(Bin + "/larkspan-minify", {Dir.Path() + "none.html"}).ExitCode, 1);
}

TEST(MinifyCommandTest, LevelReachesTheMinifiersAndStrangersAreRefused) {
  test::TTempDir Dir("larkspan 级别");
  const std::string Src = Dir.Write("a.css", "a { opacity : 0.50 ; color : #aabbcc }\n");
  const std::string Page = Dir.Write("p.html", "<ul><li class=\"x\">a</li><li>b</li></ul>");
  const struct {
    const char* Level;
    std::string File;
    const char* Out;
  } Cases[] = {
      {"spaces", Src, "a{opacity:0.50;color:#aabbcc}"},
      {"SAFE", Src, "a{opacity:.5;color:#abc}"},
      {"safe", Page, "<ul><li class=x>a</li><li>b</li></ul>"},
      {"smallest", Page, "<ul><li class=x>a<li>b</ul>"},
  };
  for (const auto& C : Cases) {
    const TRun R = Command({"--level", C.Level, C.File});
    EXPECT_EQ(R.Status, 0) << C.Level << R.Err;
    EXPECT_EQ(R.Out, C.Out) << C.Level;
  }
  EXPECT_EQ(Command({"--level=safe", Src}).Out, "a{opacity:.5;color:#abc}");
  // Without --level the command line keeps its old meaning.
  EXPECT_EQ(Command({Src}).Out, "a{opacity:0.50;color:#aabbcc}");
  for (const std::vector<std::string>& Args :
       {std::vector<std::string>{"--level", "fast", Src}, std::vector<std::string>{"--level=", Src},
        std::vector<std::string>{Src, "--level"}}) {
    const TRun R = Command(Args);
    EXPECT_EQ(R.Status, 2) << Args[0];
    EXPECT_TRUE(R.Out.empty());
  }
  EXPECT_NE(Command({"--level", "fast", Src}).Err.find("spaces, safe, smallest"),
            std::string::npos);

  // The engine's compressor passes its level on.
  TNativeCompress N;
  N.Level = TMinifyLevel::Safe;
  ASSERT_TRUE(N.Compress(Src, Dir.Path() + "out.css")) << N.ErrorMessage;
  EXPECT_EQ(Slurp(Dir.Path() + "out.css"), "a{opacity:.5;color:#abc}");
}

TEST(MinifyCommandTest, PreSheetsKeepTheWhiteSpaceTheySetAsTheEngineDoes) {
  test::TTempDir Dir("larkspan 样式");
  const std::string Sheet = Dir.Write("css/s.css", "div.code{white-space:pre}");
  const std::string Page =
      Dir.Write("p.html", "<link rel=stylesheet href=css/s.css><div class=code>a\n   b</div>");
  const std::string Kept = "<link rel=stylesheet href=css/s.css><div class=code>a\n   b</div>";
  EXPECT_EQ(Command({"--pre-sheet", Sheet, Page}).Out, Kept);
  // A sheet that cannot be read adds nothing; without one the run is as before.
  const std::string Collapsed = "<link rel=stylesheet href=css/s.css><div class=code>a\nb</div>";
  EXPECT_EQ(Command({"--pre-sheet=" + Dir.Path() + "none.css", Page}).Out, Collapsed);
  EXPECT_EQ(Command({Page}).Out, Collapsed);
  EXPECT_EQ(Command({Page, "--pre-sheet"}).Status, 2);
  // The in-process compressor takes the same rules through its hook.
  TNativeCompress Native;
  Native.CodePage = TCodePage::Gbk;
  Native.LinkedPreRules = [&](std::string_view, minify::TPreRules& Rules) {
    minify::CollectPreRules(Slurp(Sheet), Rules);
  };
  const std::string Out = Dir.Path() + "out.html";
  ASSERT_TRUE(Native.Compress(Page, Out)) << Native.ErrorMessage;
  EXPECT_EQ(Slurp(Out), Kept);
}

}  // namespace
}  // namespace larkspan
