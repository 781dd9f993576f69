#include "engine/uResultCache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "compress/uNativeCompress.h"
#include "config/uConfig.h"
#include "engine/EngineTestUtil.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::TScopedEnv;
using test::TTempDir;

std::string EntryOf(const std::string& Folder, const std::string& Key) {
  return Folder + Key.substr(0, 2) + "/" + Key;
}

TEST(ResultDigestTest, MatchesTheStandardVectorsAndSeparatesFields) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  TResultDigest A, B;
  A.Add("x", "ab");
  A.Add("y", "c");
  B.Add("x", "a");
  B.Add("y", "bc");
  EXPECT_NE(A.Hex(), B.Hex());
}

TEST(ResultCacheTest, KeepsResultsAndDropsDamagedEntries) {
  TTempDir Dir("cache");
  const std::string Folder = Dir.Path() + "larkspan/";
  const std::string Key = Sha256Hex("key");
  {
    TResultCache Cache(Folder, 1 << 20);
    ASSERT_TRUE(Cache.Enabled()) << Cache.Warning();
    TCachedResult Out;
    EXPECT_FALSE(Cache.Find(Key, Out));
    TCachedResult In{TCachedResult::TKind::Minified, "inline script kept",
                     std::string("a\0b\nc", 5)};
    Cache.Store(Key, In);
    ASSERT_TRUE(Cache.Find(Key, Out));
    EXPECT_EQ(Out.Kind, In.Kind);
    EXPECT_EQ(Out.Note, In.Note);
    EXPECT_EQ(Out.Bytes, In.Bytes);
    EXPECT_EQ(Cache.Hits(), 1);
  }
  // Every way an entry can be spoilt: each is found damaged, deleted, and
  // a new result stored under the key is found again.
  const std::string Path = EntryOf(Folder, Key);
  const std::string Whole = ReadFileText(Path);
  const std::string Spoilt[] = {
      Whole.substr(0, Whole.size() - 1),                           // truncated
      Whole.substr(0, Whole.size() - 1) + char(Whole.back() ^ 1),  // one byte changed
      Whole + "x",                                                 // grown
      "",                                                          // emptied
      Whole.substr(0, 30),                                         // cut in the header
  };
  for (const std::string& Bad : Spoilt) {
    WriteFileAtomic(Path, Bad);
    TResultCache Cache(Folder, 1 << 20);
    TCachedResult Out;
    EXPECT_FALSE(Cache.Find(Key, Out)) << Bad.size();
    EXPECT_EQ(Cache.Damaged(), 1);
    EXPECT_FALSE(FileExists(Path));
    Cache.Store(Key, {TCachedResult::TKind::Optimised, "gifsicle", "GIF89a"});
    ASSERT_TRUE(Cache.Find(Key, Out));
    EXPECT_EQ(Out.Bytes, "GIF89a");
  }
  // An entry moved under another key is not that key's.
  const std::string Other = Sha256Hex("other");
  ForceDirectories(ExtractFilePath(EntryOf(Folder, Other)));
  WriteFileAtomic(EntryOf(Folder, Other), ReadFileText(Path));
  TResultCache Cache(Folder, 1 << 20);
  TCachedResult Out;
  EXPECT_FALSE(Cache.Find(Other, Out));
}

TEST(ResultCacheTest, KeysChangeWithInputSettingsAndTool) {
  TTempDir Dir("cache"), Bin("bin");
  test::WriteScript(Bin.Path() + "jpegoptim", "exit 0\n");
  TScopedEnv Path("PATH", Bin.Path() + ":/usr/bin:/bin");
  TResultCache Cache(Dir.Path() + "c", 1 << 20);
  ASSERT_TRUE(Cache.Enabled());
  TAppConfig Config = test::BlankConfig();
  Config.IsCompressJpg = true;
  const std::string Base = Cache.PictureKey(Config, "a.jpg", "jpeg bytes");
  ASSERT_EQ(Base.size(), 64u);
  EXPECT_EQ(Cache.PictureKey(Config, "sub/same.JPG", "jpeg bytes"), Base);  // names play no part
  EXPECT_NE(Cache.PictureKey(Config, "a.jpg", "jpeg bytez"), Base);
  Config.JpegMode = "lossless";
  EXPECT_NE(Cache.PictureKey(Config, "a.jpg", "jpeg bytes"), Base);
  Config.JpegMode = "lossy";
  {
    // Another program file (a new version) under the same name: a new run
    // finds nothing of the old one's.
    test::WriteScript(Bin.Path() + "jpegoptim", "exit 0 # 1.5\n");
    TResultCache Later(Dir.Path() + "c", 1 << 20);
    EXPECT_NE(Later.PictureKey(Config, "a.jpg", "jpeg bytes"), Base);
  }
  EXPECT_EQ(Cache.PictureKey(Config, "a.png", "jpeg bytes"), "");  // no optimiser, no key
  Config.IsCompressJpg = false;
  EXPECT_EQ(Cache.PictureKey(Config, "a.jpg", "jpeg bytes"), "");

  TNativeCompress C;
  const std::string Css = "a { color : red }";
  const std::string M = Cache.MinifyKey(C, "s.css", Css);
  const std::string Kinds[] = {"s.js", "s.html", "s.xml", "s.mjs"};
  for (const std::string& Other : Kinds) EXPECT_NE(Cache.MinifyKey(C, Other, Css), M) << Other;
  EXPECT_NE(Cache.MinifyKey(C, "s.css", Css + " "), M);
  C.Level = TMinifyLevel::Smallest;
  EXPECT_NE(Cache.MinifyKey(C, "s.css", Css), M);
  C.Level = TMinifyLevel::Spaces;
  C.CodePage = TCodePage::Big5;
  EXPECT_NE(Cache.MinifyKey(C, "s.css", Css), M);
  C.CodePage = TCodePage::Gbk;
  C.IsCompressJS = true;
  EXPECT_NE(Cache.MinifyKey(C, "s.css", Css), M);
  C.IsCompressJS = false;
  EXPECT_EQ(Cache.MinifyKey(C, "other/name.CSS", Css), M);

  // A page's key takes the rules of its linked sheets; any other kind has
  // none to take.
  const std::string Page = Cache.MinifyKey(C, "p.html", "<p>a</p>", "");
  EXPECT_NE(Cache.MinifyKey(C, "p.html", "<p>a</p>", "c4:code"), Page);
  EXPECT_NE(Cache.MinifyKey(C, "p.html", "<p>a</p>", "*"), Page);
  EXPECT_EQ(Cache.MinifyKey(C, "s.css", Css, "c4:code"), M);
}

TEST(ResultCacheTest, AFolderThatCannotBeWrittenTurnsTheCacheOffWithAWarning) {
  TTempDir Dir("cache");
  Dir.Write("file", "x");
  // A folder that cannot be made (beneath a file): refused for every user.
  TResultCache Cache(Dir.Path() + "file/larkspan", 1 << 20);
  EXPECT_FALSE(Cache.Enabled());
  EXPECT_NE(Cache.Warning().find("the run goes on without it"), std::string::npos);
  TCachedResult Out;
  Cache.Store(Sha256Hex("k"), {TCachedResult::TKind::Optimised, "", "x"});
  EXPECT_FALSE(Cache.Find(Sha256Hex("k"), Out));

  // Storing that fails later (the entry's folder taken by a file) stops
  // storing with a warning; finding goes on.
  TResultCache Later(Dir.Path() + "ok", 1 << 20);
  ASSERT_TRUE(Later.Enabled());
  const std::string Key = Sha256Hex("k");
  Dir.Write("ok/" + Key.substr(0, 2), "in the way");
  Later.Store(Key, {TCachedResult::TKind::Optimised, "", "x"});
  EXPECT_NE(Later.Warning().find("the cache cannot be written"), std::string::npos);
  EXPECT_FALSE(Later.Find(Key, Out));
}

TEST(ResultCacheTest, TrimRemovesTheLeastRecentlyUsedFirst) {
  TTempDir Dir("cache");
  const std::string Folder = Dir.Path() + "c/";
  const std::string Big(1000, 'x');
  std::vector<std::string> Keys;
  {
    TResultCache Cache(Folder, 3500);
    for (const char* K : {"old", "used", "new"}) {
      Keys.push_back(Sha256Hex(K));
      Cache.Store(Keys.back(), {TCachedResult::TKind::Optimised, "", Big});
      // Distinct times, oldest first, whatever the file system's clock step.
      const std::string P = EntryOf(Folder, Keys.back());
      const timespec T[2] = {{1000000000 + long(Keys.size()) * 10, 0},
                             {1000000000 + long(Keys.size()) * 10, 0}};
      ::utimensat(AT_FDCWD, P.c_str(), T, 0);
    }
    TCachedResult Out;
    ASSERT_TRUE(Cache.Find(Keys[1], Out));  // "used" is now the most recent
    Cache.Store(Sha256Hex("huge"), {TCachedResult::TKind::Optimised, "", std::string(5000, 'y')});
    EXPECT_FALSE(FileExists(EntryOf(Folder, Sha256Hex("huge"))));  // above the whole limit
  }
  {
    TResultCache Cache(Folder, 3500);
    Cache.Trim();  // within the limit: nothing goes
    EXPECT_TRUE(FileExists(EntryOf(Folder, Keys[0])));
  }
  // A run that stores nothing still trims to a lower limit than the last.
  TResultCache Cache(Folder, 2500);
  Cache.Trim();
  EXPECT_FALSE(FileExists(EntryOf(Folder, Keys[0])));
  EXPECT_TRUE(FileExists(EntryOf(Folder, Keys[1])));
  EXPECT_TRUE(FileExists(EntryOf(Folder, Keys[2])));
  TResultCache Lower(Folder, 1500);
  Lower.Trim();
  EXPECT_FALSE(FileExists(EntryOf(Folder, Keys[2])));
  EXPECT_TRUE(FileExists(EntryOf(Folder, Keys[1])));
}

TEST(ResultCacheTest, CachesSharingAFolderNeverSeeHalfAnEntry) {
  TTempDir Dir("cache");
  const std::string Folder = Dir.Path() + "c/";
  std::vector<std::thread> Threads;
  std::atomic<int> Wrong{0};
  for (int T = 0; T < 4; ++T)
    Threads.emplace_back([&, T] {
      TResultCache Cache(Folder, 200000);
      for (int I = 0; I < 200; ++I) {
        const std::string Key = Sha256Hex(std::to_string(I % 20));
        const std::string Bytes(size_t(20000 + (I % 20)), char('a' + I % 20));
        TCachedResult Out;
        if (Cache.Find(Key, Out) && Out.Bytes != Bytes) ++Wrong;
        Cache.Store(Key, {TCachedResult::TKind::Optimised, std::to_string(T), Bytes});
        if (I % 50 == 0) Cache.Trim();
      }
      if (Cache.Damaged() != 0) ++Wrong;
    });
  for (std::thread& T : Threads) T.join();
  EXPECT_EQ(Wrong.load(), 0);
}

TEST(ResultCacheTest, DefaultFolderFollowsXdgCacheHome) {
  {
    TScopedEnv Xdg("XDG_CACHE_HOME", "/x/cache");
    EXPECT_EQ(TResultCache::DefaultFolder(), "/x/cache/larkspan/");
  }
  TScopedEnv Home("HOME", "/home/u");
  for (const char* Value : {"", "relative/cache"}) {
    TScopedEnv Xdg("XDG_CACHE_HOME", Value);
    EXPECT_EQ(TResultCache::DefaultFolder(), "/home/u/.cache/larkspan/") << Value;
  }
}

// Tests run by ctest (which sets LARKSPAN_BIN_DIR) get a cache folder in
// the build tree: none of them may fill the cache of whoever builds.
TEST(ResultCacheTest, TestsRunByCtestKeepTheirResultsInTheBuildTree) {
  const char* BinDir = std::getenv("LARKSPAN_BIN_DIR");
  if (BinDir == nullptr) GTEST_SKIP() << "not run by ctest (no LARKSPAN_BIN_DIR)";
  const char* Xdg = std::getenv("XDG_CACHE_HOME");
  ASSERT_NE(Xdg, nullptr) << "ctest gave the test no XDG_CACHE_HOME";
  EXPECT_NE(std::string(Xdg).find("/test-cache"), std::string::npos) << Xdg;
}

}  // namespace
}  // namespace larkspan
