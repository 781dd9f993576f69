#include "engine/uImageOptimiser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "config/uConfig.h"
#include "engine/EngineTestUtil.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

// Small real pictures made for these tests (see testdata/README).
const std::string TestData = ExtractFilePath(__FILE__) + "testdata/";

using ScopedEnv = test::TScopedEnv;
using test::WriteScript;

// The optimiser's arguments for the pair as one text, "" when no rule applies.
std::string BuildParams(const TAppConfig& Config, const std::string& Source,
                        const std::string& Destination) {
  std::string Text;
  for (const std::string& A : OptimiserCallFor(Config, Source, Destination).Args) {
    if (!Text.empty()) Text += ' ';
    Text += A;
  }
  return Text;
}

// A settings object that reads and writes no file.
struct Settings {
  Settings(bool Jpg, bool Gif, bool Png) : Config("/nonexistent/Config.ini", false) {
    Config.SaveOnDestroy = false;
    Config.IsCompressJpg = Jpg;
    Config.IsCompressGif = Gif;
    Config.IsCompressPng = Png;
  }
  TAppConfig Config;
};

// A site folder and an output folder, both with a blank and Chinese
// characters in their paths, each with a subfolder "img 图/".
struct Folders {
  Folders() {
    std::filesystem::create_directories(Site.Path() + "img 图");
    std::filesystem::create_directories(Out.Path() + "img 图");
  }
  std::string Put(const std::string& TestFile, const std::string& Name) {
    std::filesystem::copy_file(TestData + TestFile, Site.Path() + "img 图/" + Name);
    return Site.Path() + "img 图/" + Name;
  }
  std::string OutOf(const std::string& Name) { return Out.Path() + "img 图/" + Name; }
  test::TTempDir Site{"larkspan 站 点"}, Out{"larkspan 输 出"};
};

TEST(TImageOptimiserTest, ParameterTexts) {
  struct Case {
    bool Jpg, Gif, Png;
    const char* Name;
    std::string Expected;
  } Cases[] = {
      {true, true, true, "a.jpg",
       "--strip-com --strip-exif --strip-iptc -q -o -m85 /site/img/a.jpg -d/out/img/"},
      {true, false, false, "a.JPEG",
       "--strip-com --strip-exif --strip-iptc -q -o -m85 /site/img/a.JPEG -d/out/img/"},
      {true, false, false, "a.Jpg",
       "--strip-com --strip-exif --strip-iptc -q -o -m85 /site/img/a.Jpg -d/out/img/"},
      {true, true, true, "a.gif", "--no-warnings -o /out/img/a.gif /site/img/a.gif"},
      {false, true, false, "b.GIF", "--no-warnings -o /out/img/b.GIF /site/img/b.GIF"},
      {true, true, true, "a.png", "/site/img/a.png /out/img/a.png /y /q"},
      {true, true, true, "a.jpe", ""},
      {true, true, true, "a.bmp", ""},
      {true, true, true, "jpg", ""},
      {false, true, true, "a.jpg", ""},
      {true, false, true, "a.gif", ""},
      {true, true, false, "a.png", ""},
  };
  for (const Case& C : Cases) {
    Settings S(C.Jpg, C.Gif, C.Png);
    EXPECT_EQ(BuildParams(S.Config, std::string("/site/img/") + C.Name,
                          std::string("/out/img/") + C.Name),
              C.Expected)
        << C.Name << " " << C.Jpg << C.Gif << C.Png;
  }

  // Every photo loses its EXIF data, turned or not (the orientation is
  // written back afterwards).
  Settings S(true, false, false);
  EXPECT_EQ(BuildParams(S.Config, TestData + "rotated.jpg", "/out/rotated.jpg"),
            "--strip-com --strip-exif --strip-iptc -q -o -m85 " + TestData + "rotated.jpg -d/out/");
  EXPECT_EQ(BuildParams(S.Config, TestData + "upright.jpg", "/out/upright.jpg"),
            "--strip-com --strip-exif --strip-iptc -q -o -m85 " + TestData + "upright.jpg -d/out/");
}

TEST(TImageOptimiserTest, LosslessJpegModeLeavesOutTheQualityCap) {
  Settings S(true, false, false);
  S.Config.JpegMode = "lossless";
  EXPECT_EQ(BuildParams(S.Config, "/site/a.jpg", "/out/a.jpg"),
            "--strip-com --strip-exif --strip-iptc -q -o /site/a.jpg -d/out/");
}

// The pixels of a JPEG file as djpeg decodes them (a PPM file's bytes).
std::string DecodedPixels(const std::string& Jpeg, const std::string& Folder) {
  const std::string Ppm = Folder + "decoded.ppm";
  const TProcessResult R = StartProcess("djpeg", {"-pnm", "-outfile", Ppm, Jpeg});
  EXPECT_EQ(R.ExitCode, 0) << Jpeg;
  return FileExists(Ppm) ? ReadFileText(Ppm) : std::string();
}

TEST(TImageOptimiserTest, LosslessJpegModeKeepsEveryPixelWhereLossyDoesNot) {
  if (FindProgram("djpeg").empty()) GTEST_SKIP() << "djpeg (libjpeg-turbo-progs) not installed";
  if (FindProgram("jpegoptim").empty()) GTEST_SKIP() << "jpegoptim not installed";
  Folders F;
  const test::TTempDir Work("decoded");
  // Quality 100 with an EXIF segment: both modes make it smaller.
  const std::string Src = F.Put("upright.jpg", "a.jpg");
  const std::string Before = DecodedPixels(Src, Work.Path());
  ASSERT_FALSE(Before.empty());
  for (const bool Lossless : {true, false}) {
    Settings S(true, false, false);
    S.Config.JpegMode = Lossless ? "lossless" : "lossy";
    TImageOptimiser O(&S.Config, ProgramFolder());
    ASSERT_TRUE(O.ReducePicture(Src, F.OutOf("a.jpg"))) << Lossless;
    EXPECT_LT(FileSizeOf(F.OutOf("a.jpg")), FileSizeOf(Src)) << Lossless;
    const std::string After = DecodedPixels(F.OutOf("a.jpg"), Work.Path());
    ASSERT_EQ(After.size(), Before.size()) << Lossless;  // same size and depth
    EXPECT_EQ(After == Before, Lossless) << Lossless;
    DeleteFile(F.OutOf("a.jpg"));
  }
}

// Builds an Exif APP1 segment around a TIFF body.
std::string App1(const std::string& Tiff) {
  const std::string Body = std::string("Exif\0\0", 6) + Tiff;
  const size_t Len = Body.size() + 2;
  return std::string("\xFF\xE1", 2) + char(Len >> 8) + char(Len & 0xFF) + Body;
}

TEST(TImageOptimiserTest, JpegOrientationSurvivesMalformedFiles) {
  test::TTempDir Dir;
  const std::string Soi("\xFF\xD8", 2);
  const std::string Sos("\xFF\xDA\x00\x02", 4);
  // Little-endian TIFF, IFD at 8 with one entry: orientation SHORT 1 = 8.
  const std::string Le8("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x08\0\0\0\0\0\0\0", 26);
  const std::string Be3("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x03\0\0\0\0\0\0", 26);
  std::string BigComments;  // five full-size comment segments
  for (int I = 0; I < 5; ++I)
    BigComments += std::string("\xFF\xFE\xFF\xFF", 4) + std::string(65533, 'c');
  const std::string LongType("II*\0\x08\0\0\0\x01\0\x12\x01\x04\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 26);
  struct Case {
    const char* Label;
    std::string Bytes;
    int Expected;
  } Cases[] = {
      {"empty", "", 1},
      {"not a jpeg", "GIF89a\xFF\xE1", 1},
      {"only SOI", Soi, 1},
      {"little endian", Soi + App1(Le8) + Sos, 8},
      {"big endian", Soi + App1(Be3) + Sos, 3},
      {"after a comment and fill bytes",
       Soi + std::string("\xFF\xFE\x00\x04hi\xFF\xFF", 8) + App1(Be3), 3},
      {"orientation not a SHORT", Soi + App1(LongType), 1},
      {"exif after start of scan", Soi + Sos + App1(Le8), 1},
      {"segment longer than file", Soi + App1(Le8).substr(0, 20), 1},
      {"IFD offset past end", Soi + App1(std::string("II*\0\xFF\xFF\xFF\x7F\x01\0", 10)), 1},
      {"entry count past end", Soi + App1(std::string("II*\0\x08\0\0\0\xFF\xFF\x12\x01", 12)), 1},
      {"bad byte order", Soi + App1("XX" + Le8.substr(2)), 1},
      {"length below two", Soi + std::string("\xFF\xE1\x00\x01", 4), 1},
      {"garbage after SOI", Soi + std::string(100, '\x12'), 1},
      {"exif behind 320 KiB of comments", Soi + BigComments + App1(Le8) + Sos, 8},
  };
  for (const Case& C : Cases) {
    const std::string Path = Dir.Path() + "t.jpg";
    WriteFileAtomic(Path, C.Bytes);
    EXPECT_EQ(JpegOrientation(Path), C.Expected) << C.Label;
  }
  EXPECT_EQ(JpegOrientation(Dir.Path() + "missing.jpg"), 1);
  EXPECT_EQ(JpegOrientation(TestData + "rotated.jpg"), 6);
  EXPECT_EQ(JpegOrientation(TestData + "upright.jpg"), 1);
  EXPECT_EQ(JpegOrientation(TestData + "shrink.jpg"), 1);
}

TEST(TImageOptimiserTest, RealJpegAndGifKeptOnlyWhenNotLarger) {
  struct Case {
    const char* TestFile;
    bool Expected;
  } Cases[] = {
      {"shrink.jpg", true},  {"grow.jpg", false},  // jpegoptim cannot shrink it and writes nothing
      {"rotated.jpg", true}, {"upright.jpg", true},
      {"shrink.gif", true},  {"grow.gif", false},  // gifsicle writes a larger file: thrown away
  };
  Settings S(true, true, true);
  for (const Case& C : Cases) {
    Folders F;
    const std::string Name = std::string("a b 图 ") + C.TestFile;
    const std::string Src = F.Put(C.TestFile, Name);
    const std::string Dst = F.OutOf(Name);
    // A file from an earlier run must not be taken for the result.
    WriteFileAtomic(Dst, std::string(50000, 'x'));
    TImageOptimiser O(&S.Config, ProgramFolder());
    EXPECT_EQ(O.ReducePicture(Src, Dst), C.Expected) << C.TestFile;
    EXPECT_FALSE(O.LastFailed) << C.TestFile;
    EXPECT_EQ(ReadFileText(Src), ReadFileText(TestData + C.TestFile))
        << "source changed: " << C.TestFile;
    if (C.Expected) {
      ASSERT_TRUE(FileExists(Dst)) << C.TestFile;
      EXPECT_GT(FileSizeOf(Dst), 0) << C.TestFile;
      EXPECT_LE(FileSizeOf(Dst), FileSizeOf(Src)) << C.TestFile;
      EXPECT_EQ(ReadFileText(Dst).substr(0, 2), ReadFileText(Src).substr(0, 2)) << C.TestFile;
    } else {
      EXPECT_FALSE(FileExists(Dst)) << C.TestFile;
    }
  }
}

TEST(TImageOptimiserTest, TurnedPhotoKeepsOrientationCommentsStillStripped) {
  Settings S(true, false, false);
  Folders F;
  const std::string Src = F.Put("rotated.jpg", "r.jpg");
  TImageOptimiser O(&S.Config, ProgramFolder());
  ASSERT_TRUE(O.ReducePicture(Src, F.OutOf("r.jpg")));
  EXPECT_EQ(JpegOrientation(F.OutOf("r.jpg")), 6);
  EXPECT_EQ(ReadFileText(F.OutOf("r.jpg")).find("larkspan test comment"), std::string::npos);
  EXPECT_NE(ReadFileText(Src).find("larkspan test comment"), std::string::npos);

  const std::string Up = F.Put("upright.jpg", "u.jpg");
  ASSERT_TRUE(O.ReducePicture(Up, F.OutOf("u.jpg")));
  EXPECT_EQ(ReadFileText(F.OutOf("u.jpg")).find("Exif"), std::string::npos);

  // A turned photo whose EXIF names its camera (or where it was taken) keeps
  // the orientation and nothing else of it.
  const std::string Tiff(
      "II*\0\x08\0\0\0\x02\0\x0F\x01\x02\0\x04\0\0\0Spy\0"
      "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0",
      38);
  const std::string Body = ReadFileText(TestData + "upright.jpg").substr(2);
  const test::TTempDir Other("other");
  const std::string Spy = Other.Write("spy.jpg", std::string("\xFF\xD8", 2) + App1(Tiff) + Body);
  ASSERT_EQ(JpegOrientation(Spy), 6);
  ASSERT_TRUE(O.ReducePicture(Spy, F.OutOf("spy.jpg")));
  EXPECT_EQ(JpegOrientation(F.OutOf("spy.jpg")), 6);
  EXPECT_EQ(ReadFileText(F.OutOf("spy.jpg")).find("Spy"), std::string::npos);
}

TEST(TImageOptimiserTest, NoRuleOrMissingOptimiserMeansPlainCopy) {
  Folders F;
  const std::string Jpe = F.Put("shrink.jpg", "a.jpe");
  const std::string Bmp = F.Put("shrink.jpg", "a.bmp");
  const std::string Jpg = F.Put("shrink.jpg", "a.jpg");
  const std::string Gif = F.Put("shrink.gif", "a.gif");
  Settings All(true, true, true), NoJpg(false, true, true);
  struct Case {
    const TAppConfig* Config;
    std::string Src, Name;
  } Cases[] = {
      {&All.Config, Jpe, "a.jpe"}, {&All.Config, Bmp, "a.bmp"}, {&NoJpg.Config, Jpg, "a.jpg"}};
  for (const Case& C : Cases) {
    TImageOptimiser O(C.Config, ProgramFolder());
    EXPECT_FALSE(O.ReducePicture(C.Src, F.OutOf(C.Name))) << C.Name;
    EXPECT_FALSE(O.LastFailed) << C.Name;
    EXPECT_FALSE(FileExists(F.OutOf(C.Name))) << C.Name;
  }

  // No optimiser anywhere: false, and not counted as a failed optimiser.
  test::TTempDir Empty;
  ScopedEnv Path("PATH", Empty.Path());
  TImageOptimiser O(&All.Config, Empty.Path());
  for (const std::string& Src : {Jpg, Gif}) {
    EXPECT_FALSE(O.ReducePicture(Src, F.OutOf(ExtractFileName(Src)))) << Src;
    EXPECT_FALSE(O.LastFailed) << Src;
    EXPECT_FALSE(FileExists(F.OutOf(ExtractFileName(Src)))) << Src;
  }
}

TEST(TImageOptimiserTest, SourceIsNeverItsOwnDestination) {
  Folders F;
  const std::string Src = F.Put("shrink.jpg", "a.jpg");
  Settings S(true, true, true);
  TImageOptimiser O(&S.Config, ProgramFolder());
  EXPECT_FALSE(O.ReducePicture(Src, Src));
  EXPECT_FALSE(O.ReducePicture(Src, F.Site.Path() + "img 图/./a.jpg"));
  EXPECT_EQ(ReadFileText(Src), ReadFileText(TestData + "shrink.jpg"));
}

// Fake optimisers stand in where the real ones cannot be made to fail,
// hang or write a partial file on cue. They sit in the optimiser folder,
// which is searched first.
TEST(TImageOptimiserTest, FailingOptimiserLeavesNothingAndIsCounted) {
  struct Case {
    const char* Label;
    const char* Program;
    const char* Script;  // $1.. are the optimiser's arguments
    const char* Source;
  } Cases[] = {
      {"pngout exits non-zero after a partial write", "pngout", "printf x > \"$2\"; exit 2",
       "small.png"},
      {"pngout writes an empty file", "pngout", ": > \"$2\"", "small.png"},
      {"pngout writes nothing", "pngout", "exit 0", "small.png"},
      {"gifsicle writes nothing", "gifsicle", "exit 0", "shrink.gif"},
      {"gifsicle writes an empty file", "gifsicle", ": > \"$3\"", "shrink.gif"},
      {"gifsicle killed by a signal", "gifsicle", "printf x > \"$3\"; kill -9 $$", "shrink.gif"},
      {"gifsicle runs past the time limit", "gifsicle", "printf x > \"$3\"; sleep 30",
       "shrink.gif"},
  };
  ScopedEnv Limit("LARKSPAN_TOOL_TIMEOUT", "1");
  Settings S(true, true, true);
  for (const Case& C : Cases) {
    test::TTempDir Bin;
    WriteScript(Bin.Path() + C.Program, C.Script);
    Folders F;
    const std::string Name = std::string("p q.") + (C.Program[0] == 'p' ? "png" : "gif");
    const std::string Src = F.Put(C.Source, Name);
    TImageOptimiser O(&S.Config, Bin.Path());
    EXPECT_FALSE(O.ReducePicture(Src, F.OutOf(Name))) << C.Label;
    EXPECT_TRUE(O.LastFailed) << C.Label;
    EXPECT_FALSE(FileExists(F.OutOf(Name))) << C.Label;
    EXPECT_EQ(ReadFileText(Src), ReadFileText(TestData + C.Source)) << C.Label;
  }
}

TEST(TImageOptimiserTest, OptimiserRunsInItsFolderWithOnePathPerArgument) {
  test::TTempDir Bin;
  // A fake pngout that records its folder, its arguments and how many
  // pictures it is told run beside it, then copies.
  WriteScript(
      Bin.Path() + "pngout",
      "{ pwd; for a; do echo \"[$a]\"; done; echo \"${LARKSPAN_PICTURES_AT_ONCE-alone}\"; } "
      "> \"$0.log\"; cp \"$1\" \"$2\"");
  Folders F;
  const std::string Src = F.Put("small.png", "a b.png");
  Settings S(false, false, true);
  TImageOptimiser O(&S.Config, Bin.Path());
  ASSERT_TRUE(O.ReducePicture(Src, F.OutOf("a b.png")));
  EXPECT_EQ(ReadFileText(Bin.Path() + "pngout.log"), ExcludeTrailingDelimiter(Bin.Path()) + "\n[" +
                                                         Src + "]\n[" + F.OutOf("a b.png") +
                                                         "]\n[/y]\n[/q]\nalone\n");
  // With pictures side by side, pngout is told how many; the others are not.
  O.PicturesAtOnce = 3;
  ASSERT_TRUE(O.ReducePicture(Src, F.OutOf("a b.png")));
  const std::string Log = ReadFileText(Bin.Path() + "pngout.log");
  EXPECT_EQ(Log.substr(Log.rfind(']') + 1), "\n3\n");
}

TEST(TImageOptimiserTest, RealPngout) {
  const std::string BinDir = GetEnv("LARKSPAN_BIN_DIR");
  if (BinDir.empty() || !FileExists(BinDir + "/pngout"))
    GTEST_SKIP() << "pngout stand-in not built (LARKSPAN_BIN_DIR unset or without it)";
  Folders F;
  const std::string Src = F.Put("small.png", "图 a.png");
  WriteFileAtomic(F.OutOf("图 a.png"), std::string(50000, 'x'));
  Settings S(false, false, true);
  TImageOptimiser O(&S.Config, IncludeTrailingDelimiter(BinDir));
  ASSERT_TRUE(O.ReducePicture(Src, F.OutOf("图 a.png")));
  EXPECT_FALSE(O.LastFailed);
  const std::string Out = ReadFileText(F.OutOf("图 a.png"));
  EXPECT_EQ(Out.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_LE(Out.size(), ReadFileText(Src).size());
  EXPECT_EQ(ReadFileText(Src), ReadFileText(TestData + "small.png"));
}

}  // namespace
}  // namespace larkspan
