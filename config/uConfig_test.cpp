#include "config/uConfig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "config/IniFile.h"
#include "config/uGlobal.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace larkspan {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string T = TempFolder() + "cfg-XXXXXX";
    ASSERT_NE(::mkdtemp(T.data()), nullptr);
    Dir = T + "/";
    OldXdg = GetEnv("XDG_CONFIG_HOME");
    ::setenv("XDG_CONFIG_HOME", (Dir + "xdg").c_str(), 1);
  }
  void TearDown() override {
    if (OldXdg.empty())
      ::unsetenv("XDG_CONFIG_HOME");
    else
      ::setenv("XDG_CONFIG_HOME", OldXdg.c_str(), 1);
    std::filesystem::remove_all(Dir);
  }
  void Put(const std::string& Path, const std::string& Data) {
    std::ofstream(Path, std::ios::binary) << Data;
  }
  std::string Dir, OldXdg;
};

TEST_F(ConfigTest, MissingFileGivesDefaultsAndSavingWritesEveryKeyInOrder) {
  const std::string Ini = GetConfigFolder() + "Config.ini";
  EXPECT_EQ(GetConfigFolder(), Dir + "xdg/Ostrel Larkspan/");
  {
    TAppConfig C("Config.ini");
    EXPECT_EQ(C.IniFileName, Ini);
    EXPECT_EQ(C.RootPath, "");
    EXPECT_EQ(C.CharSet, "GB2312");
    EXPECT_EQ(C.Compressor, "native");
    EXPECT_TRUE(C.IsCompressHtml);
    EXPECT_FALSE(C.IsCompressJS || C.IsCompressCSS || C.IsCompressXML || C.IsReducePic ||
                 C.IsCompressJpg || C.IsCompressGif || C.IsCompressPng);
  }
  EXPECT_EQ(ReadFileText(Ini),
            "[Sys]\r\nFileFilters=\r\nRootPath=\r\nOutputPath=\r\nCompressFilters=\r\n"
            "IsCompressHtml=1\r\nIsCompressJS=0\r\nIsCompressXML=0\r\nIsCompressCSS=0\r\n"
            "IsReducePic=0\r\nCharSet=GB2312\r\nIsCompressJpg=0\r\nIsCompressGif=0\r\n"
            "IsCompressPng=0\r\nCompressor=native\r\nJobs=0\r\nJpegMode=lossy\r\nLevel="
            "safe\r\nCacheSize=300\r\n");
}

TEST_F(ConfigTest, FileWithoutTheCompressorKeyReadsAsBeforeAndKeepsAChoice) {
  const std::string Ini = Dir + "c.ini";
  Put(Ini, "[Sys]\r\nCharSet=Big5\r\nIsCompressPng=1\r\n");
  {
    TAppConfig C(Ini, true);
    EXPECT_EQ(C.Compressor, "native");
    EXPECT_EQ(C.CharSet, "Big5");
    EXPECT_TRUE(C.IsCompressPng);
    C.Compressor = "archive";
  }
  EXPECT_EQ(ReadFileText(Ini),
            "[Sys]\r\nCharSet=Big5\r\nIsCompressPng=1\r\n"
            "FileFilters=\r\nRootPath=\r\nOutputPath=\r\nCompressFilters=\r\n"
            "IsCompressHtml=1\r\nIsCompressJS=0\r\nIsCompressXML=0\r\n"
            "IsCompressCSS=0\r\nIsReducePic=0\r\nIsCompressJpg=0\r\n"
            "IsCompressGif=0\r\nCompressor=archive\r\nJobs=0\r\nJpegMode=lossy\r\nLevel="
            "safe\r\nCacheSize=300\r\n");
  TAppConfig Again(Ini, true);
  Again.SaveOnDestroy = false;
  EXPECT_EQ(Again.Compressor, "archive");
}

TEST_F(ConfigTest, JobsKeyKeepsACountAndReadsAnythingElseAsTheDefault) {
  const std::string Ini = Dir + "c.ini";
  const std::pair<std::string, int> Cases[] = {{"3", 3},  {"1", 1},   {"0", 0},  {"", 0},
                                               {"-2", 0}, {"two", 0}, {"4x", 0}, {"99999999", 0}};
  for (const auto& [Written, Read] : Cases) {
    Put(Ini, "[Sys]\r\nJobs=" + Written + "\r\n");
    TAppConfig C(Ini, true);
    C.SaveOnDestroy = false;
    EXPECT_EQ(C.Jobs, Read) << Written;
  }
  {
    TAppConfig C(Ini, true);
    C.Jobs = 6;
  }
  TAppConfig Again(Ini, true);
  Again.SaveOnDestroy = false;
  EXPECT_EQ(Again.Jobs, 6);
}

TEST_F(ConfigTest, JpegModeKeyKeepsLosslessAndReadsAnythingElseAsLossy) {
  const std::string Ini = Dir + "c.ini";
  const std::pair<std::string, bool> Cases[] = {
      {"lossless", true}, {"lossy", false}, {"", false}, {"LOSSLESS", false}, {"85", false}};
  for (const auto& [Written, Lossless] : Cases) {
    Put(Ini, "[Sys]\r\nJpegMode=" + Written + "\r\n");
    TAppConfig C(Ini, true);
    C.SaveOnDestroy = false;
    EXPECT_EQ(C.IsJpegLossless(), Lossless) << Written;
  }
  {
    TAppConfig C(Ini, true);
    C.JpegMode = "lossless";
  }
  TAppConfig Again(Ini, true);
  Again.SaveOnDestroy = false;
  EXPECT_TRUE(Again.IsJpegLossless());
}

TEST_F(ConfigTest, CharSetIsParsedOnceAndAnUnknownNameWarnsAndGivesTheDefault) {
  const std::string Ini = Dir + "c.ini";
  const struct {
    const char* Written;
    const char* Name;  // CharSet after loading
    TCodePage Page;
    bool Warned;
  } Cases[] = {
      {"Big5", "Big5", TCodePage::Big5, false},
      // Known to the code page rules though not one of the window's items:
      // kept as written (the window then selects nothing).
      {"utf-8", "utf-8", TCodePage::Utf8, false},
      {"Unicode", "Unicode", TCodePage::Utf16LE, false},
      // What the window stores with no item selected: the compressor's default.
      {"", "", TCodePage::Utf8, false},
      {"UTF8X", "GB2312", TCodePage::Gbk, true},
      {"klingon", "GB2312", TCodePage::Gbk, true},
  };
  for (const auto& K : Cases) {
    Put(Ini, std::string("[Sys]\r\nCharSet=") + K.Written + "\r\n");
    TAppConfig C(Ini, true);
    C.SaveOnDestroy = false;
    EXPECT_EQ(C.CharSet, K.Name) << K.Written;
    EXPECT_EQ(C.CodePage, K.Page) << K.Written;
    ASSERT_EQ(C.LoadWarnings.size(), K.Warned ? 1u : 0u) << K.Written;
    if (K.Warned) {
      EXPECT_NE(C.LoadWarnings[0].find(K.Written), std::string::npos);
    }
  }
  // A refused name leaves both halves as they were.
  TAppConfig C(Ini, false);
  ASSERT_TRUE(C.SetCharSet("UTF-16BE"));
  EXPECT_FALSE(C.SetCharSet("UTF8X"));
  EXPECT_EQ(C.CharSet, "UTF-16BE");
  EXPECT_EQ(C.CodePage, TCodePage::Utf16BE);
}

TEST_F(ConfigTest, LevelKeyIsKeptAndAnUnknownNameWarnsAndGivesSafe) {
  const std::string Ini = Dir + "c.ini";
  const struct {
    const char* Written;
    TMinifyLevel Read;
    bool Warned;
  } Cases[] = {
      {"spaces", TMinifyLevel::Spaces, false}, {"Smallest", TMinifyLevel::Smallest, false},
      {"", TMinifyLevel::Safe, false},         {"fast", TMinifyLevel::Safe, true},
      {"safe2", TMinifyLevel::Safe, true},
  };
  for (const auto& K : Cases) {
    Put(Ini, std::string("[Sys]\r\nLevel=") + K.Written + "\r\n");
    TAppConfig C(Ini, true);
    C.SaveOnDestroy = false;
    EXPECT_EQ(C.Level, K.Read) << K.Written;
    ASSERT_EQ(C.LoadWarnings.size(), K.Warned ? 1u : 0u) << K.Written;
    if (K.Warned) {
      EXPECT_NE(C.LoadWarnings[0].find(K.Written), std::string::npos);
    }
  }
  {
    TAppConfig C(Ini, true);
    C.Level = TMinifyLevel::Spaces;
  }
  EXPECT_NE(ReadFileText(Ini).find("Level=spaces\r\n"), std::string::npos);
  TAppConfig Again(Ini, true);
  Again.SaveOnDestroy = false;
  EXPECT_EQ(Again.Level, TMinifyLevel::Spaces);
}

TEST_F(ConfigTest, CacheSizeIsWholeMebibytesAndABadValueWarnsAndGivesTheDefault) {
  const std::string Ini = Dir + "c.ini";
  const struct {
    const char* Written;
    int Read;
    bool Warned;
  } Cases[] = {
      {"", 300, false},       {"0", 0, false},   {"1024", 1024, false}, {"1048576", 1048576, false},
      {"1048577", 300, true}, {"-1", 300, true}, {"12MB", 300, true},   {"99999999999", 300, true},
  };
  for (const auto& K : Cases) {
    Put(Ini, std::string("[Sys]\r\nCacheSize=") + K.Written + "\r\n");
    TAppConfig C(Ini, true);
    C.SaveOnDestroy = false;
    EXPECT_EQ(C.CacheSize, K.Read) << K.Written;
    EXPECT_EQ(C.LoadWarnings.size(), K.Warned ? 1u : 0u) << K.Written;
  }
  {
    TAppConfig C(Ini, true);
    C.CacheSize = 50;
  }
  TAppConfig Again(Ini, true);
  Again.SaveOnDestroy = false;
  EXPECT_EQ(Again.CacheSize, 50);
}

TEST_F(ConfigTest, RoundTripKeepsOtherLinesAndMatchesNamesWithoutCase) {
  const std::string Ini = Dir + "c.ini";
  Put(Ini,
      "; comment\n[Other]\nRootPath=keep me\n[sys]\nrootpath = \"/web/site/\" \nFoo=bar\n"
      "ISREDUCEPIC=2\nIsCompressHtml=0x0\nIsCompressJS=yes\nIsCompressCSS=$1F\n"
      "IsCompressXML= -3\nIsCompressJpg=\nCharSet='UTF-8'\n\n[Tail]\nx=1\n");
  {
    TAppConfig C(Ini, true);
    EXPECT_EQ(C.RootPath, "/web/site/");
    EXPECT_TRUE(C.IsReducePic);      // 2
    EXPECT_FALSE(C.IsCompressHtml);  // 0x0
    EXPECT_FALSE(C.IsCompressJS);    // a word: the default
    EXPECT_TRUE(C.IsCompressCSS);    // $1F
    EXPECT_TRUE(C.IsCompressXML);    // -3
    EXPECT_FALSE(C.IsCompressJpg);   // empty: the default
    EXPECT_EQ(C.CharSet, "UTF-8");
    C.OutputPath = "/out/";
    C.FileFilters = "*.bak|Thumbs.db|";
  }
  const std::string Saved = ReadFileText(Ini);
  EXPECT_NE(Saved.find("[Other]\r\nRootPath=keep me\r\n"), std::string::npos);
  EXPECT_NE(Saved.find("Foo=bar\r\n"), std::string::npos);
  EXPECT_NE(Saved.find("[sys]\r\nRootPath=/web/site/\r\n"), std::string::npos) << Saved;
  EXPECT_NE(Saved.find("[Tail]\r\nx=1\r\n"), std::string::npos);
  // New keys go to the end of their own section, before the next one.
  EXPECT_LT(Saved.find("OutputPath=/out/"), Saved.find("[Tail]"));
  TAppConfig Again(Ini, true);
  Again.SaveOnDestroy = false;
  EXPECT_EQ(Again.FileFilters, "*.bak|Thumbs.db|");
  EXPECT_EQ(Again.OutputPath, "/out/");
  EXPECT_TRUE(Again.IsReducePic);
}

TEST_F(ConfigTest, LongValuesAreCutAt2047BytesAndBlanksTrimmed) {
  const std::string Ini = Dir + "c.ini";
  {
    TAppConfig C(Ini, false);
    C.FileFilters = std::string(2040, 'a') + "|bcdefghij|";
    C.RootPath = "  /padded  ";
  }
  TAppConfig C(Ini, true);
  C.SaveOnDestroy = false;
  EXPECT_EQ(C.FileFilters.size(), 2047u);
  EXPECT_EQ(ListTextEntries(C.FileFilters).size(), 1u);  // the cut entry is lost
  EXPECT_EQ(C.RootPath, "/padded");
}

TEST_F(ConfigTest, FailedSaveThrowsAndLeavesTheOldFileWhole) {
  TAppConfig C(Dir + "missing-folder/c.ini", false);
  C.SaveOnDestroy = false;
  try {
    C.SaveToFile();
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()), "Unable to write to " + Dir + "missing-folder/c.ini");
  }
  if (::geteuid() != 0) {
    const std::string Ini = Dir + "ro/c.ini";
    std::filesystem::create_directories(Dir + "ro");
    Put(Ini, "[Sys]\r\nRootPath=old\r\n");
    ::chmod((Dir + "ro").c_str(), 0555);
    TAppConfig D(Ini, true);
    D.SaveOnDestroy = false;
    D.RootPath = "new";
    EXPECT_THROW(D.SaveToFile(), Exception);
    ::chmod((Dir + "ro").c_str(), 0755);
    EXPECT_EQ(ReadFileText(Ini), "[Sys]\r\nRootPath=old\r\n");
  }
}

TEST(GlobalTest, ListTextsAndFields) {
  EXPECT_EQ(CountChar("", '|'), 0);
  EXPECT_EQ(CountChar("a|b|", '|'), 2);
  struct Case {
    std::string Text;
    std::vector<std::string> Entries;
  } Cases[] = {
      {"", {}},
      {"|", {""}},
      {"A|B", {"A"}},
      {"A||B|", {"A", "", "B"}},
      {"*.bak|Thumbs.db|", {"*.bak", "Thumbs.db"}},
  };
  for (const Case& C : Cases) EXPECT_EQ(ListTextEntries(C.Text), C.Entries) << C.Text;
  EXPECT_EQ(GetField("A|B", 1, '|'), "B");
  EXPECT_EQ(GetField("A|B", -1, '|'), "");
  EXPECT_EQ(GetField("A|B", 2, '|'), "");
  EXPECT_EQ(GetField("A|B|", 2, '|'), "");
  EXPECT_EQ(MakeListText({"x", "y"}), "x|y|");
}

TEST(GlobalTest, IniIntegers) {
  struct Case {
    const char* Text;
    bool Ok;
    long long Value;
  } Cases[] = {{"2", true, 2},
               {"0x0", true, 0},
               {"$ff", true, 255},
               {"x10", true, 16},
               {" -3", true, -3},
               {"+1", true, 1},
               {"", false, 0},
               {"yes", false, 0},
               {"1a", false, 0},
               {"0x", false, 0},
               {"99999999999999999999999", true, 1}};
  for (const Case& C : Cases) {
    long long V = 0;
    EXPECT_EQ(ParseIniInteger(C.Text, V), C.Ok) << C.Text;
    if (C.Ok && C.Value != 1) {
      EXPECT_EQ(V, C.Value) << C.Text;
    }
    if (C.Ok && C.Value == 1) {
      EXPECT_NE(V, 0) << C.Text;
    }
  }
}

}  // namespace
}  // namespace larkspan
