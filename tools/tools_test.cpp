// Runs the built helper programs (java -jar htmlcompressor.jar, larkspan-minify, pngout) on real
// files in a temporary folder, the way the engine starts them: an argument vector, no shell.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "pngout/Plan.h"
#include "pngout/PngFile.h"
#include "pngout/Zopfli.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << data;
}

struct Outcome {
  int status = -1;
  std::string err;
};

// Runs args[0] (looked up on PATH) with its stdout and stderr going to files.
Outcome RunProgram(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string err = (dir / "stderr.txt").string();
  const std::string out = (dir / "stdout.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  Outcome run;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.err = ReadAll(err);
  return run;
}

fs::path BinDir() {
  const char* dir = std::getenv("LARKSPAN_BIN_DIR");
  return dir ? fs::path(dir) : fs::path("bin");
}

// A locale other than C or POSIX in LC_ALL, else LC_CTYPE, else LANG.
bool LocaleChosen() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::strcmp(value, "C") != 0 && std::strcmp(value, "POSIX") != 0;
  }
  return false;
}

class ToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The programs run in a UTF-8 locale, as the engine starts them, also
    // where the machine has none set (Java cannot open non-ASCII paths
    // otherwise).
    setenv("LC_ALL", "C.UTF-8", 1);
    char pattern[] = "/tmp/larkspan-tools-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    // A blank and Chinese characters in the folder: every path must stay one argument.
    dir_ = fs::path(pattern) / "站点 folder";
    fs::create_directories(dir_);
    // The engine starts Java with LC_ALL=C.UTF-8 when no locale is chosen (Java could not
    // open these paths otherwise); so do the tests.
    if (!LocaleChosen()) setenv("LC_ALL", "C.UTF-8", 1);
  }
  void TearDown() override { fs::remove_all(dir_.parent_path()); }

  // java -jar htmlcompressor.jar with the engine's options, from the program's folder.
  Outcome Compress(const std::string& src, const std::string& dst, const std::string& charset,
                   bool css = false, bool js = false, std::vector<std::string> jvm = {}) {
    std::vector<std::string> args = {"java"};
    args.insert(args.end(), jvm.begin(), jvm.end());
    args.insert(args.end(), {"-jar", (BinDir() / "htmlcompressor.jar").string(),
                             "--preserve-comments", "-c", charset});
    if (css) args.push_back("--compress-css");
    if (js) args.insert(args.end(), {"--compress-js", "--nomunge"});
    args.insert(args.end(), {"--preserve-php", "--preserve-server-script", "-o",
                             (dir_ / dst).string(), (dir_ / src).string()});
    return RunProgram(args, dir_);
  }

  Outcome Pngout(const fs::path& src, const fs::path& dst,
                 std::vector<std::string> flags = {"/y", "/q"}) {
    std::vector<std::string> args = {(BinDir() / "pngout").string(), src.string(), dst.string()};
    args.insert(args.end(), flags.begin(), flags.end());
    return RunProgram(args, dir_);
  }

  fs::path dir_;
};

// --- htmlcompressor.jar -------------------------------------------------------------------

// The archive's tests; skipped in a build without it (LARKSPAN_BUILD_ARCHIVE=OFF).
class ArchiveTest : public ToolsTest {
 protected:
  void SetUp() override {
    ToolsTest::SetUp();
    if (!fs::exists(BinDir() / "htmlcompressor.jar"))
      GTEST_SKIP() << "htmlcompressor.jar is not built";
  }
};

TEST_F(ArchiveTest, HtmlMinifiesWhiteSpaceAndKeepsWhatMustStay) {
  struct Case {
    const char* name;
    std::string in;
    std::string out;
  } cases[] = {
      {"runs of white space", "<p>a  \t b</p>\n\n<p>c</p>", "<p>a b</p>\n<p>c</p>"},
      {"tag white space", "<a   href = \"x  y\"\n class=c >t</a >",
       "<a href=\"x  y\" class=c>t</a>"},
      {"comments kept", "<p> <!--  note   here -->  </p>", "<p> <!--  note   here --> </p>"},
      {"pre kept", "<pre>  a\n   b  </pre>  x", "<pre>  a\n   b  </pre> x"},
      {"textarea kept", "<textarea>\n  x  \n</textarea>", "<textarea>\n  x  \n</textarea>"},
      {"script kept", "<p><script>\nvar  a = 1;\n</script>", "<p><script>\nvar  a = 1;\n</script>"},
      {"php block", "<p>\n<?php  if ($a > 1) { echo \"?>  x\"; }  ?>\n</p>",
       "<p>\n<?php  if ($a > 1) { echo \"?>  x\"; }  ?>\n</p>"},
      {"asp block", "<div>  <%  Response.Write(\"a  b\")  %>  </div>",
       "<div> <%  Response.Write(\"a  b\")  %> </div>"},
      {"unclosed tag", "<p>a\n\n<a href=\"x  \n", "<p>a\n<a href=\"x  \n"},
      {"head and frame", "<!DOCTYPE html>\n<html>\n<head>\n<title>t</title>\n</head>\n<body>x",
       "<!DOCTYPE html><html><head><title>t</title></head><body>x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAll(dir_ / "page.html", c.in);
    Outcome r = Compress("page.html", "out.html", "UTF-8");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(dir_ / "out.html"), c.out);
  }
}

// The archive is a front end: for every file and switch, its output and exit status are
// larkspan-minify's, run beside it with the same arguments.
TEST_F(ArchiveTest, ArchiveWritesWhatTheNativeProgramWrites) {
  const std::string gb = "<p>\xD6\xD0\xCE\xC4  \xD2\xB3\xC3\xE6</p>\n";
  const std::string utf8 = "<p>\xE4\xB8\xAD\xE6\x96\x87  \xE9\xA1\xB5</p>\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"gb.html", gb},
      {"utf8.html", utf8},
      {"bom.html", "\xEF\xBB\xBF" + utf8},
      {"inline.html",
       "<style>\n  p  {  color : #ff0000 ; }\n</style>\n<script>\n  function add(first, second) "
       "{\n    return first + second;  // sum\n  }\n</script>\n"},
      {"style.css", "/* c */\nbody  {  margin : 0px ; color: #ffffff }\n"},
      {"es5.js", "// c\nfunction  twice( value ) {\n  return value * 2;\n}\n"},
      {"bad.js", "var x = ;\n"},
      {"module.mjs", "export  const a = 1;\n"},
      {"feed.xml", "<rss>\n  <item  a=\"1  2\" >\n    <title> Hi </title>\n  </item>\n</rss>\n"},
  };
  const std::string minify = (BinDir() / "larkspan-minify").string();
  for (const auto& [name, data] : files) {
    WriteAll(dir_ / name, data);
    // Each file twice: two character sets, with and without the inline switches.
    for (const char* charset : {"UTF-8", "GB2312"}) {
      {
        const bool inline_code = charset[0] == 'G';
        SCOPED_TRACE(name + " " + charset + (inline_code ? " inline" : ""));
        Outcome jar = Compress(name, "jar-" + name, charset, inline_code, inline_code);
        std::vector<std::string> args = {minify, "--preserve-comments", "-c", charset};
        if (inline_code) args.insert(args.end(), {"--compress-css", "--compress-js", "--nomunge"});
        args.insert(args.end(), {"--preserve-php", "--preserve-server-script", "-o",
                                 (dir_ / ("native-" + name)).string(), (dir_ / name).string()});
        Outcome native = RunProgram(args, dir_);
        EXPECT_EQ(jar.status, native.status) << jar.err << native.err;
        EXPECT_EQ(jar.err, native.err);
        EXPECT_EQ(ReadAll(dir_ / ("jar-" + name)), ReadAll(dir_ / ("native-" + name)));
        fs::remove(dir_ / ("jar-" + name));
        fs::remove(dir_ / ("native-" + name));
      }
    }
  }
}

TEST_F(ToolsTest, ArchiveTakesTheLevelAsTheNativeProgramDoes) {
  WriteAll(dir_ / "a.css", "a { margin : 0px ; color : rgb(255,0,0) }\n");
  WriteAll(dir_ / "p.html", "<p class=\"x\">a</p><div>b</div>\n");
  const std::string minify = (BinDir() / "larkspan-minify").string();
  for (const char* level : {"safe", "smallest"}) {
    for (const char* name : {"a.css", "p.html"}) {
      SCOPED_TRACE(std::string(name) + " " + level);
      const std::string src = (dir_ / name).string();
      Outcome jar = RunProgram({"java", "-jar", (BinDir() / "htmlcompressor.jar").string(),
                                "--level", level, "-o", (dir_ / "jar.out").string(), src},
                               dir_);
      Outcome native =
          RunProgram({minify, "--level", level, "-o", (dir_ / "native.out").string(), src}, dir_);
      EXPECT_EQ(jar.status, 0) << jar.err;
      EXPECT_EQ(native.status, 0) << native.err;
      EXPECT_EQ(ReadAll(dir_ / "jar.out"), ReadAll(dir_ / "native.out"));
    }
  }
  EXPECT_EQ(ReadAll(dir_ / "jar.out"), "<p class=x>a<div>b</div>\n");
  Outcome bad = RunProgram({"java", "-jar", (BinDir() / "htmlcompressor.jar").string(), "--level",
                            "tiny", (dir_ / "a.css").string()},
                           dir_);
  EXPECT_EQ(bad.status, 2);
}

// With comments kept, a page only ever loses white space: with every white space byte taken
// out, input and output must be the same bytes. Checked on pages pieced together at random
// from awkward fragments.
TEST_F(ArchiveTest, MarkupLosesNothingButWhiteSpace) {
  const std::vector<std::string> fragments = {"<p>",
                                              "</p>",
                                              "  \n\t ",
                                              "text",
                                              "\xD6\xD0\xCE\xC4",
                                              "\xE4\xB8\xAD",
                                              "\xA0\xA0",
                                              "<a  href = \"x  y\"  >",
                                              "<a href='a > b'>",
                                              "<!--  c  -->",
                                              "<!-- unclosed",
                                              "<?php echo \"?>\";  ?>",
                                              "<?php  // a ?>",
                                              "<% x  %>",
                                              "<!--#echo  var=\"a\" -->",
                                              "<pre>  a  </pre>",
                                              "<pre>",
                                              "<script> a  <  b </script>",
                                              "<script>",
                                              "<style> p {} </style>",
                                              "<textarea>  t  </textarea>",
                                              "<",
                                              ">",
                                              "< p",
                                              "</",
                                              "<!DOCTYPE  html>",
                                              "<![CDATA[ x  ]]>",
                                              "\r\n",
                                              "\f",
                                              "&amp;  ",
                                              "<br  />",
                                              "<x:y  a=1>",
                                              "<?xml  v ?>",
                                              "\"",
                                              "'",
                                              "="};
  std::mt19937 random(20240611);
  for (int doc = 0; doc < 12; doc++) {
    std::string page;
    for (int k = 0; k < 60; k++) page += fragments[random() % fragments.size()];
    SCOPED_TRACE(page);
    WriteAll(dir_ / "page.html", page);
    Outcome r = Compress("page.html", "out", "UTF-8");
    ASSERT_EQ(r.status, 0) << r.err;
    auto squeeze = [](std::string t) {
      std::erase_if(
          t, [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; });
      return t;
    };
    const std::string out = ReadAll(dir_ / "out");
    EXPECT_EQ(squeeze(out), squeeze(page));
    EXPECT_LE(out.size(), page.size());
  }
}

TEST_F(ArchiveTest, FailuresLeaveTheOutputUntouched) {
  WriteAll(dir_ / "bad.js", "var x = \"open;\n");  // an unterminated string
  WriteAll(dir_ / "out.js", "previous");
  for (const char* src : {"bad.js", "missing.js"}) {
    SCOPED_TRACE(src);
    Outcome r = Compress(src, "out.js", "UTF-8", false, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(src), std::string::npos) << r.err;
    EXPECT_EQ(ReadAll(dir_ / "out.js"), "previous");
  }
  // Nothing but the output itself in the folder: no temporary file left behind.
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir_)) {
    files += e.path().filename().string().find("tmp") != std::string::npos;
  }
  EXPECT_EQ(files, 0);

  // A folder that does not exist: failure, nothing written.
  WriteAll(dir_ / "a.html", "<p>a</p>");
  EXPECT_EQ(Compress("a.html", "no/such/out.html", "UTF-8").status, 1);
}

TEST_F(ArchiveTest, CommandLineErrorsAreUsageErrors) {
  const std::string jar = (BinDir() / "htmlcompressor.jar").string();
  WriteAll(dir_ / "a.html", "<p>a</p>");
  const std::string src = (dir_ / "a.html").string();
  const std::vector<std::vector<std::string>> lines = {
      {"java", "-jar", jar, "--bogus", src},
      {"java", "-jar", jar, "-o"},
      {"java", "-jar", jar, src, src},
      {"java", "-jar", jar},
  };
  for (const auto& args : lines) {
    Outcome r = RunProgram(args, dir_);
    EXPECT_EQ(r.status, 2) << (args.size() > 3 ? args[3] : "");
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
  // An empty character set name (empty argument, or none before the next option) is the
  // default, and an unknown one is read as the in-process compressor reads it, with a
  // warning: a setting left blank or mistyped must not stop every page.
  const std::string out = (dir_ / "out.html").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"java", "-jar", jar, "-c", "", "-o", out, src},
        std::vector<std::string>{"java", "-jar", jar, "-c", "--preserve-php", "-o", out, src},
        std::vector<std::string>{"java", "-jar", jar, "-c", "NO-SUCH-CHARSET", "-o", out, src}}) {
    fs::remove(out);
    Outcome r = RunProgram(args, dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(out), "<p>a</p>");
  }
}

TEST_F(ArchiveTest, MinifiesInPlace) {
  const std::string page = "<html>\n  <body>\n    <p>a   b</p>\n  </body>\n</html>\n";
  WriteAll(dir_ / "page.html", page);
  Outcome r = Compress("page.html", "page.html", "GB2312", true, true);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll(dir_ / "page.html"), "<html><body>\n<p>a b</p>\n</body></html>");
  struct stat st;
  ASSERT_EQ(stat((dir_ / "page.html").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IROTH, 0u) << "the minified page must stay readable";
}

TEST_F(ArchiveTest, ArchiveFallsBackToTheProgramAndFailsCleanlyWithoutIt) {
  // A copy of the archive in a folder with larkspan-minify but not the library: the program
  // does the work. Then the archive alone, with a PATH that has java but no larkspan-minify:
  // status 1 and the reason, the output untouched. In an ASCII folder: without a UTF-8 locale
  // the JVM cannot hand a Chinese path on to a program it starts (the library reads its own
  // command line instead, so the archive beside it has no such limit).
  const fs::path dir = dir_.parent_path() / "fallback";
  fs::create_directories(dir);
  std::string java_dir;
  for (const char* d : {"/usr/bin", "/usr/local/bin", "/bin"}) {
    if (fs::exists(fs::path(d) / "java") && !fs::exists(fs::path(d) / "larkspan-minify")) {
      java_dir = d;
      break;
    }
  }
  if (java_dir.empty()) GTEST_SKIP() << "no java outside a folder holding larkspan-minify";
  fs::copy_file(BinDir() / "htmlcompressor.jar", dir / "htmlcompressor.jar");
  fs::copy_file(BinDir() / "larkspan-minify", dir / "larkspan-minify");
  WriteAll(dir / "a.html", "<p>a  b</p>");
  WriteAll(dir / "out.html", "previous");
  const char* saved = std::getenv("PATH");
  const std::string old_path = saved ? saved : "";
  setenv("PATH", java_dir.c_str(), 1);
  const std::vector<std::string> args = {java_dir + "/java",
                                         "-jar",
                                         (dir / "htmlcompressor.jar").string(),
                                         "-o",
                                         (dir / "out.html").string(),
                                         (dir / "a.html").string()};
  Outcome with_program = RunProgram(args, dir);
  const std::string minified = ReadAll(dir / "out.html");
  WriteAll(dir / "out.html", "previous");
  fs::remove(dir / "larkspan-minify");
  Outcome alone = RunProgram(args, dir);
  setenv("PATH", old_path.c_str(), 1);
  EXPECT_EQ(with_program.status, 0) << with_program.err;
  EXPECT_EQ(minified, "<p>a b</p>");
  EXPECT_EQ(alone.status, 1);
  EXPECT_NE(alone.err.find("cannot run larkspan-minify"), std::string::npos) << alone.err;
  EXPECT_EQ(ReadAll(dir / "out.html"), "previous");
}

// --- pngout -------------------------------------------------------------------------------

const fs::path kTestData = LARKSPAN_TOOLS_TESTDATA;

// A 16-bit colour picture with a smooth pattern and a little noise here and there (or flat
// colours), its rows filtered with Sub and quickly compressed: a small file of much work.
std::string MakeDeepPicture(uint32_t width, uint32_t height, bool flat) {
  std::string rows;
  rows.reserve(size_t{height} * (1 + size_t{width} * 6));
  std::mt19937 random(7);
  for (uint32_t y = 0; y < height; y++) {
    rows.push_back('\0');
    for (uint32_t x = 0; x < width; x++) {
      for (uint32_t c = 0; c < 3; c++) {
        const uint32_t v = flat ? ((x / 40 + y / 30 + c) % 3) * 0x5151
                                : (x * 7 + y * 3 + c * 5000) * 4 + (x % 61 ? 0 : random() % 4);
        rows.push_back(static_cast<char>(v >> 8));
        rows.push_back(static_cast<char>(v));
      }
    }
    // Sub: each byte less the one a pixel (6 bytes) before it, from the end of the row back.
    rows[rows.size() - size_t{width} * 6 - 1] = '\1';
    for (size_t i = rows.size() - 1; i >= rows.size() - size_t{width} * 6 + 6; i--) {
      rows[i] = static_cast<char>(rows[i] - rows[i - 6]);
    }
  }
  uLongf size = compressBound(rows.size());
  std::string idat(size, '\0');
  compress2(reinterpret_cast<Bytef*>(idat.data()), &size,
            reinterpret_cast<const Bytef*>(rows.data()), rows.size(), 1);
  idat.resize(size);
  std::string ihdr;
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) ihdr.push_back(static_cast<char>(v >> shift));
  }
  ihdr += std::string("\x10\x02\0\0\0", 5);  // 16 bits, colour, no interlace
  return std::string("\x89PNG\r\n\x1a\n", 8) + larkspan::png::MakeChunk("IHDR", ihdr) +
         larkspan::png::MakeChunk("IDAT", idat) + larkspan::png::MakeChunk("IEND", "");
}

TEST_F(ToolsTest, PngoutShrinksWithoutChangingPixels) {
  for (const char* name : {"rgba-opaque.png", "icon-alpha.png", "grey16.png", "interlaced.png"}) {
    SCOPED_TRACE(name);
    const std::string source = ReadAll(kTestData / name);
    WriteAll(dir_ / "old.png", "an older file that must be replaced");
    Outcome r = Pngout(kTestData / name, dir_ / "old.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string result = ReadAll(dir_ / "old.png");
    EXPECT_LT(result.size(), source.size());
    EXPECT_EQ(larkspan::png::Decode(result), larkspan::png::Decode(source));
    // Text and time chunks go.
    EXPECT_EQ(result.find("tEXt"), std::string::npos);
    EXPECT_EQ(result.find("tIME"), std::string::npos);
  }
}

TEST_F(ToolsTest, PngoutNeverGrowsAndCopiesWhatItMustNotTouch) {
  // Already small: the result is the source, byte for byte.
  const std::string small = ReadAll(kTestData / "already-small.png");
  // An animated picture (acTL before IDAT): optimising the first frame would drop the rest.
  std::string animated = ReadAll(kTestData / "rgba-opaque.png");
  animated.insert(33, larkspan::png::MakeChunk("acTL", std::string("\0\0\0\1\0\0\0\0", 8)));
  // A colour profile and a turned EXIF orientation stay.
  std::string tagged = ReadAll(kTestData / "rgba-opaque.png");
  const std::string exif("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
  tagged.insert(33, larkspan::png::MakeChunk("eXIf", exif));
  struct Case {
    const char* name;
    std::string in;
    bool same;
  } cases[] = {{"small", small, true}, {"animated", animated, true}, {"tagged", tagged, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAll(dir_ / "in.png", c.in);
    Outcome r = Pngout(dir_ / "in.png", dir_ / "out.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = ReadAll(dir_ / "out.png");
    if (c.same) {
      EXPECT_EQ(out, c.in);
    } else {
      EXPECT_LT(out.size(), c.in.size());
      EXPECT_NE(out.find(exif), std::string::npos);
      EXPECT_EQ(larkspan::png::Decode(out), larkspan::png::Decode(c.in));
    }
  }
}

TEST_F(ToolsTest, PngoutGivesTheSameBytesOnEveryRun) {
  // The work is planned from the picture alone: two runs write the same file. /v says what
  // was done on stderr and nothing changes in the result.
  for (const char* name : {"rgba-opaque.png", "icon-alpha.png", "grey16.png"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(Pngout(kTestData / name, dir_ / "a.png").status, 0);
    Outcome r = Pngout(kTestData / name, dir_ / "b.png", {"/y", "/q", "/v"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("ranked"), std::string::npos) << r.err;
    EXPECT_EQ(ReadAll(dir_ / "a.png"), ReadAll(dir_ / "b.png"));
  }
  // Flat colours (a palette of three) that zopfli compresses again: its stream is the same on
  // every run too.
  WriteAll(dir_ / "flat.png", MakeDeepPicture(400, 300, true));
  Outcome first = Pngout(dir_ / "flat.png", dir_ / "a.png", {"/y", "/q", "/v"});
  Outcome second = Pngout(dir_ / "flat.png", dir_ / "b.png", {"/y", "/q", "/v"});
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(first.err.find("zopfli"), std::string::npos) << first.err;
  EXPECT_EQ(ReadAll(dir_ / "a.png"), ReadAll(dir_ / "b.png"));
  EXPECT_EQ(larkspan::png::Decode(ReadAll(dir_ / "a.png")),
            larkspan::png::Decode(ReadAll(dir_ / "flat.png")));
}

TEST_F(ToolsTest, PngoutAtItsSafetyCapWritesThePictureUnchanged) {
  // A run that has used up the safety cap's processor time writes the source's bytes,
  // whatever the work had made by then, says so, and exits with 3; no temporary file is
  // left. The cap is shortened for the test; a value that is not a number of milliseconds
  // from 1 to an hour leaves the usual 60 s, as /v says.
  const std::string source = MakeDeepPicture(2048, 2048, false);
  WriteAll(dir_ / "big.png", source);
  const std::string pngout = (BinDir() / "pngout").string();
  const auto start = std::chrono::steady_clock::now();
  Outcome r = RunProgram({"env", "LARKSPAN_PNGOUT_CAP_MS=50", pngout, (dir_ / "big.png").string(),
                          (dir_ / "out.png").string(), "/y", "/q"},
                         dir_);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_LT(seconds, 30.0);  // not the whole work, which takes longer on any machine
  EXPECT_NE(r.err.find("time cap reached"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadAll(dir_ / "out.png") == source);
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
  }
  for (const char* value : {"", "0", "-5", "50x", "3600001", "lots"}) {
    SCOPED_TRACE(value);
    r = RunProgram(
        {"env", std::string("LARKSPAN_PNGOUT_CAP_MS=") + value, pngout,
         (kTestData / "icon-alpha.png").string(), (dir_ / "out.png").string(), "/y", "/q", "/v"},
        dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("cap 60000 ms"), std::string::npos) << r.err;
  }
}

// Busy-loop child processes, two for every processor this test may use, from construction
// to destruction; killed by the system too should the test process die first.
class CpuHog {
 public:
  CpuHog() {
    cpu_set_t set;
    CPU_ZERO(&set);
    const int cores = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
    for (int k = 0; k < 2 * cores; k++) {
      const pid_t pid = fork();
      if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        volatile unsigned long spins = 0;
        for (;;) spins = spins + 1;
      }
      if (pid > 0) children_.push_back(pid);
    }
  }
  CpuHog(const CpuHog&) = delete;
  CpuHog& operator=(const CpuHog&) = delete;
  ~CpuHog() {
    for (pid_t pid : children_) kill(pid, SIGKILL);
    for (pid_t pid : children_) waitpid(pid, nullptr, 0);
  }
  size_t size() const { return children_.size(); }

 private:
  std::vector<pid_t> children_;
};

TEST_F(ToolsTest, PngoutGivesTheSameBytesBesideACpuHog) {
  // The work is planned from the picture alone: a machine busy with other work makes pngout
  // slower, never its pictures different. Small pictures of every layout, each taken through
  // zopfli.
  WriteAll(dir_ / "flat.png", MakeDeepPicture(200, 150, true));
  const std::vector<fs::path> pictures = {kTestData / "rgba-opaque.png",
                                          kTestData / "icon-alpha.png", kTestData / "grey16.png",
                                          dir_ / "flat.png"};
  const auto run_all = [&](const std::string& suffix) {
    std::vector<std::string> out;
    for (size_t k = 0; k < pictures.size(); k++) {
      const fs::path dst = dir_ / ("out" + std::to_string(k) + suffix + ".png");
      const Outcome r = Pngout(pictures[k], dst);
      EXPECT_EQ(r.status, 0) << pictures[k] << r.err;
      out.push_back(ReadAll(dst));
    }
    return out;
  };
  const std::vector<std::string> quiet = run_all("-quiet");
  std::vector<std::string> loaded;
  {
    CpuHog hog;
    ASSERT_GT(hog.size(), 0u);
    loaded = run_all("-loaded");
  }
  for (size_t k = 0; k < pictures.size(); k++) {
    SCOPED_TRACE(pictures[k].string());
    EXPECT_TRUE(quiet[k] == loaded[k]);
    EXPECT_LT(quiet[k].size(), ReadAll(pictures[k]).size());
  }
}

TEST_F(ToolsTest, PngoutInPlaceAndFailures) {
  // In place.
  fs::copy_file(kTestData / "rgba-opaque.png", dir_ / "p.png");
  ASSERT_EQ(Pngout(dir_ / "p.png", dir_ / "p.png").status, 0);
  EXPECT_LT(fs::file_size(dir_ / "p.png"), fs::file_size(kTestData / "rgba-opaque.png"));

  // Bad inputs: exit 1, the destination left as it was, no temporary file.
  const std::string png = ReadAll(kTestData / "rgba-opaque.png");
  WriteAll(dir_ / "text.png", "not a picture at all");
  WriteAll(dir_ / "cut.png", png.substr(0, png.size() / 2));
  std::string crc = png;
  crc[40] ^= 0x55;  // inside IDAT: its CRC no longer matches
  WriteAll(dir_ / "crc.png", crc);
  WriteAll(dir_ / "empty.png", "");
  for (const char* name : {"text.png", "cut.png", "crc.png", "empty.png", "missing.png"}) {
    SCOPED_TRACE(name);
    WriteAll(dir_ / "dst.png", "previous");
    Outcome r = Pngout(dir_ / name, dir_ / "dst.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(ReadAll(dir_ / "dst.png"), "previous");
  }
  EXPECT_EQ(Pngout(kTestData / "rgba-opaque.png", dir_ / "none" / "x.png").status, 1);
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
  }

  // Command line: an existing destination needs /y; unknown options and missing paths.
  EXPECT_EQ(Pngout(kTestData / "rgba-opaque.png", dir_ / "dst.png", {"/q"}).status, 2);
  EXPECT_EQ(ReadAll(dir_ / "dst.png"), "previous");
  EXPECT_EQ(Pngout(kTestData / "rgba-opaque.png", dir_ / "dst.png", {"/y", "/z"}).status, 2);
  EXPECT_EQ(RunProgram({(BinDir() / "pngout").string(), "a.png"}, dir_).status, 2);
}

}  // namespace

// The encoder's reductions (palette depths, grey depths, transparency keys, 16 bits) on
// made-up pictures: whatever it picks must decode to the same pixels.
TEST(PngFileTest, EncodingKeepsThePixelsForEveryReduction) {
  using larkspan::png::Pixels;
  auto make = [](uint32_t w, uint32_t h, auto colour) {
    Pixels p;
    p.width = w;
    p.height = h;
    for (uint32_t y = 0; y < h; y++) {
      for (uint32_t x = 0; x < w; x++) {
        std::array<uint16_t, 4> c = colour(x, y);
        p.rgba.insert(p.rgba.end(), c.begin(), c.end());
      }
    }
    return p;
  };
  auto eight = [](int r, int g, int b, int a) {
    return std::array<uint16_t, 4>{uint16_t(r * 257), uint16_t(g * 257), uint16_t(b * 257),
                                   uint16_t(a * 257)};
  };
  struct Case {
    const char* name;
    Pixels pixels;
    int depth = 0;  // the bit depth it must get, when it matters
  } cases[] = {
      {"black and white, odd width",
       make(13, 5,
            [&](uint32_t x, uint32_t y) {
              return eight((x + y) % 2 * 255, (x + y) % 2 * 255, (x + y) % 2 * 255, 255);
            }),
       1},
      {"four greys",
       make(7, 3,
            [&](uint32_t x, uint32_t) {
              int v = x % 4 * 85;
              return eight(v, v, v, 255);
            }),
       2},
      {"sixteen greys",
       make(9, 4,
            [&](uint32_t x, uint32_t y) {
              int v = (x + y) % 16 * 17;
              return eight(v, v, v, 255);
            }),
       4},
      {"grey ramp", make(300, 2,
                         [&](uint32_t x, uint32_t) {
                           int v = x % 256;
                           return eight(v, v, v, 255);
                         })},
      {"grey with a key colour", make(300, 3,
                                      [&](uint32_t x, uint32_t) {
                                        return x % 5 == 0 ? eight(7, 7, 7, 0)
                                                          : eight(x % 250 + 6, x % 250 + 6,
                                                                  x % 250 + 6, 255);
                                      })},
      {"grey with alpha", make(40, 3, [&](uint32_t x, uint32_t) { return eight(x, x, x, x * 6); })},
      {"colour with a key colour", make(300, 3,
                                        [&](uint32_t x, uint32_t y) {
                                          return x % 3 == 0 ? eight(1, 2, 3, 0)
                                                            : eight(x % 256, y * 60, 200, 255);
                                        })},
      {"transparent pixels of different colours", make(300, 3,
                                                       [&](uint32_t x, uint32_t) {
                                                         return x % 3 == 0
                                                                    ? eight(x % 256, 0, 0, 0)
                                                                    : eight(x % 256, 9, 200, 255);
                                                       })},
      {"two colours with alpha", make(5, 5,
                                      [&](uint32_t x, uint32_t) {
                                        return x % 2 ? eight(255, 0, 0, 128)
                                                     : eight(0, 0, 255, 255);
                                      })},
      {"translucent gradient",
       make(64, 64, [&](uint32_t x, uint32_t y) { return eight(x * 4, y * 4, 128, (x + y) * 2); })},
      {"sixteen bits",
       make(20, 20,
            [](uint32_t x, uint32_t y) {
              return std::array<uint16_t, 4>{uint16_t(x * 3001), uint16_t(y * 2999), 12345, 65535};
            }),
       16},
      {"one pixel", make(1, 1, [&](uint32_t, uint32_t) { return eight(10, 20, 30, 40); })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string png = larkspan::png::Encode(c.pixels, "", false, false).png;
    EXPECT_EQ(larkspan::png::Decode(png), c.pixels);
    if (c.depth) {
      EXPECT_EQ(png[24], c.depth);  // IHDR's bit depth
    }
  }
}

// Less effort may cost bytes but never pixels: ranking on sampled rows, one finalist or
// several, a quicker level all give a valid encoding, the same one every time.
TEST(PngFileTest, EveryEffortKeepsThePixels) {
  using larkspan::png::Effort;
  using larkspan::png::Pixels;
  // Tall enough to be sampled in bands; a palette picture, a colour one and one with alpha.
  auto make = [](int kind) {
    Pixels p;
    p.width = 61;
    p.height = 200;
    std::mt19937 random(kind);
    for (uint32_t y = 0; y < p.height; y++) {
      for (uint32_t x = 0; x < p.width; x++) {
        const uint16_t noise = static_cast<uint16_t>(random() % 8);
        const uint16_t r = static_cast<uint16_t>(kind == 0 ? (x / 10 % 4) * 60 : x + noise);
        const uint16_t g = static_cast<uint16_t>(kind == 0 ? (y / 10 % 4) * 60 : y % 256);
        const uint16_t a = static_cast<uint16_t>(kind == 2 ? (x * y) % 256 : 255);
        p.rgba.insert(p.rgba.end(),
                      {uint16_t(r * 257), uint16_t(g * 257), 40 * 257, uint16_t(a * 257)});
      }
    }
    return p;
  };
  struct Case {
    const char* name;
    Effort effort;
  } cases[] = {
      {"whole rows, one finalist", {0, 1, 12}},
      {"sampled rows", {1000, 1, 12}},
      {"three finalists", {0, 3, 12}},
      {"quicker level", {0, 1, 10}},
      {"fast level", {0, 1, 6}},
      {"sampled rows, fast level", {1000, 1, 6}},
  };
  for (int kind = 0; kind < 3; kind++) {
    const Pixels pixels = make(kind);
    size_t whole = 0;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", picture " + std::to_string(kind));
      const larkspan::png::Encoded e = larkspan::png::Encode(pixels, "", false, false, c.effort);
      EXPECT_EQ(larkspan::png::Decode(e.png), pixels);
      EXPECT_EQ(larkspan::png::Encode(pixels, "", false, false, c.effort).png, e.png);
      EXPECT_GE(e.ranked, 1u);
      EXPECT_GE(e.finalists, 1u);
      EXPECT_LE(e.finalists, std::max<size_t>(1, c.effort.finalists));
      // Whole rows at least as well ranked as sampled ones; more finalists never worse.
      if (whole == 0) whole = e.png.size();
      if (c.effort.finalists > 1) {
        EXPECT_LE(e.png.size(), whole);
      }
    }
  }
}

// The plan of a picture's work, from an icon to the largest picture pngout optimises: more
// than one finalist only on small rows, where a finalist costs milliseconds; zopfli within
// its bounds, and on photo-like rows only with the iterations that pay there or not at all.
TEST(PlanTest, ExtraFinalistsOnSmallRowsOnlyAndZopfliWithinBounds) {
  struct Case {
    const char* name;
    uint64_t pixels;
    size_t raw;               // raw bytes of the largest layout (and, plus a byte a row, filtered)
    double compressed_share;  // what libdeflate makes of the rows
    size_t finalists;         // 0: any from 1 to 4
    bool zopfli;
  } cases[] = {
      {"16-pixel icon", 16, 64, 0.5, 4, true},
      {"small logo, flat", 16000, 48000, 0.05, 0, true},
      {"just over small rows", 22000, (64 << 10) + 1, 0.05, 1, true},
      {"screenshot, flat", 400000, 1200000, 0.02, 1, true},
      {"photo", 300000, 900000, 0.6, 1, false},
      {"large screenshot", 2000000, 6000000, 0.02, 1, true},
      {"largest, 16 bits with alpha", uint64_t{16} << 20, size_t{128} << 20, 0.05, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const larkspan::png::Budget b = larkspan::png::PlanBudget(c.pixels, c.raw);
    if (c.finalists != 0) {
      EXPECT_EQ(b.effort.finalists, c.finalists);
    }
    EXPECT_GE(b.effort.finalists, 1u);
    EXPECT_LE(b.effort.finalists, 4u);
    const size_t filtered = c.raw + c.raw / 100;
    const auto compressed = static_cast<size_t>(double(filtered) * c.compressed_share);
    const larkspan::png::ZopfliPlan z =
        larkspan::png::PlanZopfli(b.seconds, filtered, compressed, b.final_cost);
    EXPECT_EQ(z.iterations > 0, c.zopfli) << z.iterations;
    EXPECT_LE(z.iterations, 15);
    EXPECT_LE(z.bytes, filtered);
    if (z.split) {
      EXPECT_EQ(z.iterations, 1);
    } else if (z.iterations > 0) {
      // A whole stream gets a second iteration, which costs a fifth of the first.
      EXPECT_GE(z.iterations, 2);
    }
    // zopfli's own default of 15 blocks spends most of its time choosing where to split.
    EXPECT_GE(z.max_blocks, 1);
    EXPECT_LE(z.max_blocks, 8);
    if (c.compressed_share > 0.3 && z.iterations > 0) {
      EXPECT_GE(z.iterations, 5);
    }
  }
}

// zopfli is left out only where libdeflate's encoding is already no smaller than the source
// and the sampled share, less its margin, cannot bring it below: a picture pngout already
// shrinks always gets zopfli, whatever the sample says.
TEST(PlanTest, ZopfliIsLeftOutOnlyWhereItCannotBeatTheSource) {
  struct Case {
    const char* name;
    size_t encoded, idat;
    double share;
    size_t source;
    bool run;
  } cases[] = {
      {"already smaller than the source", 9000, 8000, 1.2, 10000, true},
      {"one byte smaller", 9999, 8000, 1.0, 10000, true},
      {"as large as the source, no gain in sight", 10000, 9000, 1.0, 10000, true},
      {"5% over, zopfli 10% smaller", 10500, 9500, 0.90, 10000, true},
      {"5% over, zopfli 1% larger", 10500, 9500, 1.01, 10000, false},
      {"15% over, zopfli 6% smaller", 11500, 10500, 0.94, 10000, false},
      {"palette chunks weigh: 10% over, IDAT half the file", 11000, 5500, 0.90, 10000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(larkspan::png::ZopfliMayWin(c.encoded, c.idat, c.share, c.source), c.run);
  }
}

// The sampled share is a function of the rows alone and compares like with like: on short
// rows the whole of them, on long ones bands of them; flat rows compress better by zopfli.
TEST(PlanTest, ZopfliShareIsStableAndMeasuresTheRows) {
  std::mt19937 random(5);
  std::vector<unsigned char> flat(200000);
  for (size_t k = 0; k < flat.size(); k++) {
    flat[k] = static_cast<unsigned char>(k % 997 < 30 ? random() % 4 : (k / 3000) % 5);
  }
  std::vector<unsigned char> noise(40000);
  for (unsigned char& b : noise) b = static_cast<unsigned char>(random());
  larkspan::png::ZopfliPlan plan;
  plan.iterations = 15;
  for (const auto* rows : {&flat, &noise}) {
    const double share = larkspan::png::ZopfliShare(*rows, plan, 12);
    EXPECT_EQ(share, larkspan::png::ZopfliShare(*rows, plan, 12));
    EXPECT_GT(share, 0.5);
    EXPECT_LT(share, 1.1);
  }
  EXPECT_EQ(larkspan::png::ZopfliShare({}, plan, 12), 1.0);
}

// Another compressor's stream is taken only when it inflates to exactly the encoder's rows,
// and then replaces the IDAT of a picture that still decodes to the same pixels.
TEST(PngFileTest, AnotherStreamMustInflateToTheSameRows) {
  using larkspan::png::Pixels;
  Pixels p;
  p.width = 40;
  p.height = 30;
  for (uint32_t k = 0; k < p.width * p.height; k++) {
    const uint16_t v = static_cast<uint16_t>((k * 37 % 251) * 257);
    p.rgba.insert(p.rgba.end(), {v, uint16_t(65535 - v), uint16_t((k % 7) * 257), 65535});
  }
  const larkspan::png::Encoded e = larkspan::png::Encode(p, "", false, false);
  ASSERT_FALSE(e.filtered.empty());
  uLongf size = compressBound(e.filtered.size());
  std::string stream(size, '\0');
  compress2(reinterpret_cast<Bytef*>(stream.data()), &size, e.filtered.data(), e.filtered.size(),
            9);
  stream.resize(size);
  std::vector<unsigned char> other = e.filtered;
  other[other.size() / 2] ^= 1;
  struct Case {
    const char* name;
    std::string stream;
    std::vector<unsigned char> rows;
    bool taken;
  } cases[] = {
      {"the same rows", stream, e.filtered, true},
      {"cut short", stream.substr(0, stream.size() - 5), e.filtered, false},
      {"bytes after the stream", stream + "x", e.filtered, false},
      {"other rows", stream, other, false},
      {"not zlib", "not a stream", e.filtered, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(larkspan::png::InflatesTo(c.stream, c.rows), c.taken);
  }
  EXPECT_EQ(larkspan::png::Decode(larkspan::png::WithIdat(e, stream)), p);
}

// Pieces compressed apart join into one stream of the whole, wherever in its last byte each
// piece ends (the sizes and levels below end them at many bit offsets), empty pieces too; a
// piece that is not a complete stream is refused.
TEST(PngFileTest, PiecesJoinIntoOneStream) {
  std::mt19937 random(3);
  std::vector<unsigned char> data(300000);
  for (size_t k = 0; k < data.size(); k++) {
    data[k] = static_cast<unsigned char>(k % 1000 < 600 ? (k / 7) % 13 : random() % 256);
  }
  for (const int level : {1, 6, 12}) {
    for (const size_t cut : {size_t{0}, size_t{1}, size_t{77}, size_t{4099}, size_t{65536},
                             size_t{123457}, size_t{299999}}) {
      for (size_t second = cut; second <= data.size(); second += 70001) {
        SCOPED_TRACE("level " + std::to_string(level) + ", cuts " + std::to_string(cut) + " " +
                     std::to_string(second));
        std::vector<std::string> pieces = {
            larkspan::png::RawDeflate(data.data(), cut, level),
            larkspan::png::RawDeflate(data.data() + cut, second - cut, level),
            larkspan::png::RawDeflate(data.data() + second, data.size() - second, level)};
        const uint32_t adler =
            static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), data.data(), data.size()));
        EXPECT_TRUE(larkspan::png::InflatesTo(larkspan::png::JoinDeflate(pieces, adler), data));
      }
    }
  }
  EXPECT_THROW(larkspan::png::JoinDeflate({"\x01\x02\x03", "x"}, 1), larkspan::png::PngError);
  std::string cut = larkspan::png::RawDeflate(data.data(), 5000, 6);
  cut.pop_back();
  EXPECT_THROW(larkspan::png::JoinDeflate({cut, cut}, 1), larkspan::png::PngError);
}
