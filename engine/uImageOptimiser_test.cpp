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

// An optimiser that exits 0 is still not trusted: a result that is not a
// regular file of its own, does not decode, or shows other pixels is thrown
// away (the original is then copied) and the picture listed with the
// reason. Fakes stand in, as real optimisers do not misbehave on cue; the
// site's file, which one of them links to, stays as it was.
TEST(TImageOptimiserTest, ResultThatIsNotTheSamePictureIsNotTaken) {
  const std::string RedPixel =
      "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/"
      "pLvAAAAAElFTkSuQmCC";
  // gifsicle: $3 is the result, $4 the source; pngout: $1 the source, $2
  // the result; jpegoptim: $7 the source, $8 "-d" and the result's folder.
  const std::string JpegOut = "d=${8#-d}; out=\"$d$(basename \"$7\")\"; ";
  struct Case {
    const char* Label;
    const char* Program;
    std::string Script;
    const char* Source;
    const char* Reason;  // found in LastFailure
  } Cases[] = {
      {"gifsicle writes 50 random bytes", "gifsicle", "head -c 50 /dev/urandom > \"$3\"",
       "shrink.gif", "readable GIF"},
      {"gifsicle writes a truncated GIF", "gifsicle", "head -c 200 \"$4\" > \"$3\"", "shrink.gif",
       "readable GIF"},
      {"gifsicle reduces the colours", "gifsicle",
       "[ -x /usr/bin/gifsicle ] || exit 9; /usr/bin/gifsicle --colors 2 -o \"$3\" \"$4\"",
       "grow.gif", "other pixels"},
      {"gifsicle leaves a link to the original", "gifsicle", "ln -s \"$4\" \"$3\"", "shrink.gif",
       "not a regular file"},
      {"gifsicle leaves a FIFO", "gifsicle", "mkfifo \"$3\"", "shrink.gif", "not a regular file"},
      {"pngout writes random bytes", "pngout", "head -c 300 /dev/urandom > \"$2\"", "small.png",
       "readable PNG"},
      {"pngout writes another picture", "pngout", "echo " + RedPixel + " | base64 -d > \"$2\"",
       "small.png", "other pixels"},
      {"pngout leaves a link", "pngout", "ln -s \"$1\" \"$2\"", "small.png", "not a regular file"},
      {"jpegoptim writes a truncated JPEG", "jpegoptim", JpegOut + "head -c 600 \"$7\" > \"$out\"",
       "shrink.jpg", "readable JPEG"},
      {"jpegoptim writes random bytes", "jpegoptim",
       JpegOut + "head -c 500 /dev/urandom > \"$out\"", "shrink.jpg", "readable JPEG"},
      // A whole, smaller JPEG, but 8x8 in place of 48x64.
      {"jpegoptim writes another picture", "jpegoptim",
       JpegOut + "cp '" + std::filesystem::absolute(TestData + "grow.jpg").string() + "' \"$out\"",
       "shrink.jpg", "another size"},
      {"jpegoptim leaves a link", "jpegoptim", JpegOut + "ln -s \"$7\" \"$out\"", "shrink.jpg",
       "not a regular file"},
  };
  Settings S(true, true, true);
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Label);
    test::TTempDir Bin;
    WriteScript(Bin.Path() + C.Program, C.Script);
    Folders F;
    const std::string Ext = ExtractFileExt(C.Source);
    const std::string Src = F.Put(C.Source, "p q" + Ext);
    const std::string Dst = F.OutOf("p q" + Ext);
    TImageOptimiser O(&S.Config, Bin.Path());
    EXPECT_FALSE(O.ReducePicture(Src, Dst));
    if (O.LastFailure == "exit status 9") continue;  // no real gifsicle to make one
    EXPECT_TRUE(O.LastFailed);
    EXPECT_NE(O.LastFailure.find(C.Reason), std::string::npos) << O.LastFailure;
    struct stat St {};
    EXPECT_NE(::lstat(Dst.c_str(), &St), 0) << "a result is left at the destination";
    EXPECT_EQ(ReadFileText(Src), ReadFileText(TestData + C.Source));
  }
}

// An animation is compared frame by frame as a viewer composes it: the real
// gifsicle's frame optimisation (cropped frames, transparency, every kind
// of disposal) shows the same picture and is taken; fewer colours are not.
TEST(TImageOptimiserTest, AnimationIsComparedFrameByFrame) {
  if (!FileExists("/usr/bin/gifsicle")) GTEST_SKIP() << "gifsicle is not installed";
  Folders F;
  const std::string Src = F.Site.Path() + "img 图/anim.gif";
  const std::string Grow = "'" + TestData + "grow.gif'", Shrink = "'" + TestData + "shrink.gif'";
  const std::string Make = "/usr/bin/gifsicle --no-warnings " + Grow + " --disposal=previous " +
                           Shrink + " --disposal=background " + Grow + " --disposal=none " + Grow +
                           " " + Shrink + " " + Grow + " > '" + Src + "'";
  ASSERT_EQ(std::system(Make.c_str()), 0) << Make;
  Settings S(false, true, false);
  for (const bool Lossy : {false, true}) {
    SCOPED_TRACE(Lossy ? "four colours" : "frames optimised");
    test::TTempDir Bin;
    WriteScript(Bin.Path() + "gifsicle", std::string("/usr/bin/gifsicle --no-warnings ") +
                                             (Lossy ? "--colors 4" : "-O3") + " -o \"$3\" \"$4\"");
    TImageOptimiser O(&S.Config, Bin.Path());
    EXPECT_EQ(O.ReducePicture(Src, F.OutOf("anim.gif")), !Lossy) << O.LastFailure;
    EXPECT_EQ(O.LastFailed, Lossy);
    if (Lossy) {
      EXPECT_NE(O.LastFailure.find("other pixels in frame 1"), std::string::npos) << O.LastFailure;
    }
  }
}

TEST(TImageOptimiserTest, OptimiserRunsInItsFolderWithOnePathPerArgument) {
  test::TTempDir Bin;
  // A fake pngout that records its folder and its arguments, then copies.
  WriteScript(Bin.Path() + "pngout",
              "{ pwd; for a; do echo \"[$a]\"; done; } > \"$0.log\"; cp \"$1\" \"$2\"");
  Folders F;
  const std::string Src = F.Put("small.png", "a b.png");
  Settings S(false, false, true);
  TImageOptimiser O(&S.Config, Bin.Path());
  ASSERT_TRUE(O.ReducePicture(Src, F.OutOf("a b.png")));
  EXPECT_EQ(ReadFileText(Bin.Path() + "pngout.log"), ExcludeTrailingDelimiter(Bin.Path()) + "\n[" +
                                                         Src + "]\n[" + F.OutOf("a b.png") +
                                                         "]\n[/y]\n[/q]\n");
}

TEST(TImageOptimiserTest, PngoutAtItsSafetyCapIsAFailureTheCallerCopies) {
  test::TTempDir Bin;
  // A fake pngout that does what the real one does at its cap: the picture
  // unchanged at the destination, exit status 3. Another exit status is a
  // plain failure, and 3 from another optimiser means nothing special.
  WriteScript(Bin.Path() + "pngout", "cp \"$1\" \"$2\"; exit 3");
  WriteScript(Bin.Path() + "gifsicle", "cp \"$4\" \"$3\"; exit 3");
  Folders F;
  Settings S(false, true, true);
  TImageOptimiser O(&S.Config, Bin.Path());
  const std::string Png = F.Put("small.png", "a.png");
  EXPECT_FALSE(O.ReducePicture(Png, F.OutOf("a.png")));
  EXPECT_TRUE(O.LastFailed);
  EXPECT_TRUE(O.LastTimeCapped);
  EXPECT_EQ(O.LastFailure, "time cap reached");
  EXPECT_FALSE(FileExists(F.OutOf("a.png")));
  const std::string Gif = F.Put("small.png", "a.gif");
  EXPECT_FALSE(O.ReducePicture(Gif, F.OutOf("a.gif")));
  EXPECT_TRUE(O.LastFailed);
  EXPECT_FALSE(O.LastTimeCapped);
  EXPECT_EQ(O.LastFailure, "exit status 3");
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
