#include "platform/FileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "platform/Error.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string T = TempFolder() + "fs-XXXXXX";
    ASSERT_NE(::mkdtemp(T.data()), nullptr);
    Dir = T + "/";
  }
  void TearDown() override {
    ::chmod(Dir.c_str(), 0755);
    std::filesystem::remove_all(Dir);
  }
  void Put(const std::string& Rel, const std::string& Data) {
    std::filesystem::create_directories(std::filesystem::path(Dir + Rel).parent_path());
    std::ofstream(Dir + Rel, std::ios::binary) << Data;
  }
  std::string Dir;
};

TEST_F(FileSystemTest, ListingSeesHiddenEntriesAndDoesNotFollowFolderLinks) {
  Put(".hidden", "h");
  Put("sub/a.txt", "abc");
  ASSERT_EQ(::symlink(Dir.c_str(), (Dir + "loop").c_str()), 0);
  ASSERT_EQ(::symlink((Dir + "sub/a.txt").c_str(), (Dir + "alink").c_str()), 0);
  auto Entries = ListDirectory(Dir);
  std::sort(Entries.begin(), Entries.end(),
            [](const TDirEntry& A, const TDirEntry& B) { return A.Name < B.Name; });
  ASSERT_EQ(Entries.size(), 4u);
  EXPECT_EQ(Entries[0].Name, ".hidden");
  EXPECT_EQ(Entries[1].Name, "alink");
  EXPECT_FALSE(Entries[1].IsDirectory);
  EXPECT_EQ(Entries[1].Size, 3);  // a link to a file is that file
  EXPECT_EQ(Entries[2].Name, "loop");
  EXPECT_FALSE(Entries[2].IsDirectory);  // never descended into
  EXPECT_TRUE(Entries[2].IsFolderLink);
  EXPECT_TRUE(Entries[3].IsDirectory);
  EXPECT_TRUE(ListDirectory(Dir + "missing").empty());
}

TEST_F(FileSystemTest, ForceDirectoriesCreatesTheChainAndReportsFailure) {
  EXPECT_TRUE(ForceDirectories(Dir + "a/b/c/"));
  EXPECT_TRUE(DirectoryExists(Dir + "a/b/c"));
  EXPECT_TRUE(ForceDirectories(Dir + "a/b/c"));  // already there
  Put("file", "x");
  EXPECT_FALSE(ForceDirectories(Dir + "file/sub"));
}

TEST_F(FileSystemTest, CopyOverwritesAndLeavesNoPartialFileOnFailure) {
  Put("src.bin", std::string(300000, 'x'));
  Put("dst.bin", "old content");
  ASSERT_TRUE(CopyFileOverwrite(Dir + "src.bin", Dir + "dst.bin"));
  EXPECT_EQ(ReadFileText(Dir + "dst.bin"), std::string(300000, 'x'));
  Put("empty", "");
  ASSERT_TRUE(CopyFileOverwrite(Dir + "empty", Dir + "empty2"));
  EXPECT_TRUE(FileExists(Dir + "empty2"));
  EXPECT_EQ(FileSizeOf(Dir + "empty2"), 0);

  EXPECT_FALSE(CopyFileOverwrite(Dir + "missing", Dir + "x"));
  EXPECT_FALSE(FileExists(Dir + "x"));
  if (::geteuid() != 0) {  // root writes into read-only folders anyway
    ForceDirectories(Dir + "ro");
    ::chmod((Dir + "ro").c_str(), 0555);
    EXPECT_FALSE(CopyFileOverwrite(Dir + "src.bin", Dir + "ro/dst"));
    ::chmod((Dir + "ro").c_str(), 0755);
  }
  EXPECT_FALSE(CopyFileOverwrite(Dir + "src.bin", Dir + "nofolder/dst"));
  for (const TDirEntry& E : ListDirectory(Dir))
    EXPECT_EQ(E.Name.find("larkspan-tmp"), std::string::npos) << E.Name;
}

TEST_F(FileSystemTest, AtomicWriteReplacesWholeOrThrowsNamingTheFile) {
  WriteFileAtomic(Dir + "f.txt", "first");
  WriteFileAtomic(Dir + "f.txt", "second");
  EXPECT_EQ(ReadFileText(Dir + "f.txt"), "second");
  try {
    WriteFileAtomic(Dir + "no/such/f.txt", "x");
    FAIL() << "expected an exception";
  } catch (const Exception& E) {
    EXPECT_NE(std::string(E.what()).find(Dir + "no/such/f.txt"), std::string::npos);
  }
  EXPECT_THROW(ReadFileText(Dir + "missing"), Exception);
  EXPECT_EQ(FileSizeOf(Dir + "missing"), 0);
  EXPECT_EQ(FileSizeOf(Dir), 0);
}

TEST_F(FileSystemTest, AppDataFolderFollowsXdgThenHome) {
  const std::string OldXdg = GetEnv("XDG_CONFIG_HOME"), OldHome = GetEnv("HOME");
  ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  EXPECT_EQ(AppDataFolder(), "/x/cfg/");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(AppDataFolder(), "/home/u/.config/");
  ::unsetenv("HOME");
  EXPECT_EQ(AppDataFolder(), "");
  ::setenv("HOME", OldHome.c_str(), 1);
  if (!OldXdg.empty()) ::setenv("XDG_CONFIG_HOME", OldXdg.c_str(), 1);
  EXPECT_EQ(ProgramFolder().back(), '/');
}

TEST_F(FileSystemTest, ResolvePathTakesEverySpellingApart) {
  Put("a/b/f", "x");
  ASSERT_EQ(::symlink((Dir + "a").c_str(), (Dir + "alink").c_str()), 0);
  const std::string Real = ResolvePath(Dir);  // the scratch folder may sit behind a link
  struct Case {
    std::string In, Out;
  } Cases[] = {
      {Dir + "a/b", Real + "/a/b"},
      {Dir + "a/b/", Real + "/a/b"},
      {Dir + "a/./b/.", Real + "/a/b"},
      {Dir + "alink/b", Real + "/a/b"},
      {Dir + "a/b/../b", Real + "/a/b"},
      {Dir + "alink/missing/x/../y", Real + "/a/missing/y"},  // the rest by components
      {Dir + "a/missing/../../a", Real + "/a"},
      // A link behind a missing folder and its "..", as making it would go.
      {Dir + "missing/../alink/out", Real + "/a/out"},
      {"/", "/"},
  };
  for (const Case& C : Cases) EXPECT_EQ(ResolvePath(C.In), C.Out) << C.In;
  const std::string Cwd = std::filesystem::current_path();
  std::filesystem::current_path(Dir + "a");
  EXPECT_EQ(ResolvePath("./b/."), Real + "/a/b");
  EXPECT_EQ(ResolvePath("new/sub"), Real + "/a/new/sub");
  std::filesystem::current_path(Cwd);
  EXPECT_TRUE(SameFile(Dir + "alink/b/f", Dir + "a/b/f"));
  EXPECT_FALSE(SameFile(Dir + "a/b/f", Dir + "a/b/g"));
}

TEST_F(FileSystemTest, TemporaryFilesAreFreshShortAndGoneUnlessPublished) {
  const std::string Long = Dir + std::string(250, 'n') + ".html";
  std::string TempName;
  {
    TTempFile T(Long);
    TempName = T.Path();
    EXPECT_EQ(ExtractFilePath(T.Path()), Dir);
    EXPECT_LE(ExtractFileName(T.Path()).size(), 40u);
    EXPECT_EQ(ExtractFileName(T.Path()).rfind(TempFilePrefix, 0), 0u);
    EXPECT_TRUE(FileExists(T.Path()));
  }
  EXPECT_FALSE(FileExists(TempName));  // dropped uncommitted
  WriteFileAtomic(Long, "long");
  EXPECT_EQ(ReadFileText(Long), "long");
  // Two temporary files for one destination never share a name.
  TTempFile A(Dir + "x"), B(Dir + "x");
  EXPECT_NE(A.Path(), B.Path());
  // A link at the destination is replaced, not written through.
  Put("target", "keep");
  ASSERT_EQ(::symlink((Dir + "target").c_str(), (Dir + "dest").c_str()), 0);
  WriteFileAtomic(Dir + "dest", "new");
  EXPECT_EQ(ReadFileText(Dir + "target"), "keep");
  EXPECT_EQ(ReadFileText(Dir + "dest"), "new");
  // Leftovers of a killed run go; live ones and other files stay.
  // Only names of their exact form are leftovers; Keep spares one of it.
  const std::string Stale = std::string(TempFilePrefix) + "abcdefgh12345678";
  Put(Stale + ".txt", "s");
  Put(Stale + "/x", "s");
  Put(std::string(TempFilePrefix) + "x", "a site's own name");
  Put(std::string(TempFilePrefix) + "ABCDEFGH12345678", "capitals: not ours");
  Put(std::string(TempFilePrefix) + "zzzzzzzz12345678.gif", "kept");
  EXPECT_EQ(RemoveStaleTempFiles(Dir, [](const std::string& Name) { return Name.back() == 'f'; }),
            2);
  EXPECT_FALSE(FileExists(Dir + Stale + ".txt"));
  EXPECT_FALSE(DirectoryExists(Dir + Stale));
  for (const std::string& Left : {std::string(TempFilePrefix) + "x", A.Path(), Dir + "target",
                                  std::string(TempFilePrefix) + "ABCDEFGH12345678",
                                  std::string(TempFilePrefix) + "zzzzzzzz12345678.gif"})
    EXPECT_TRUE(FileExists(Left.front() == '/' ? Left : Dir + Left)) << Left;
}

TEST_F(FileSystemTest, WritesBeneathAWriteRootNeverFollowALinkThere) {
  Put("out/keep.txt", "k");
  Put("site/page.html", "site");
  Put("site/" + std::string(TempFilePrefix) + "abcdefgh12345678", "site's");
  ASSERT_EQ(::symlink((Dir + "site").c_str(), (Dir + "out/zz").c_str()), 0);
  const std::string Out = Dir + "out";
  {
    TWriteRoot Root(Out);
    EXPECT_TRUE(Root.TryLock());
    TWriteRoot Again(Out);
    EXPECT_FALSE(Again.TryLock());  // one run at a time
    errno = 0;
    EXPECT_FALSE(ForceDirectories(Out + "/zz/deeper"));
    EXPECT_TRUE(errno == ELOOP || errno == ENOTDIR) << std::strerror(errno);
    EXPECT_THROW(WriteFileAtomic(Out + "/zz/page.html", "overwritten"), Exception);
    EXPECT_FALSE(CopyFileOverwrite(Dir + "out/keep.txt", Out + "/zz/page.html"));
    EXPECT_EQ(RemoveStaleTempFiles(Out + "/zz"), 0);
    EXPECT_THROW(TTempFolder Work(Out + "/zz"), Exception);
    EXPECT_FALSE(PublishFile(Out + "/keep.txt", Out + "/zz/keep.txt", ""));
    EXPECT_THROW(WriteFileAtomic(Out + "/../escape.txt", "x"), Exception);
    // Real folders beneath work as ever.
    EXPECT_TRUE(ForceDirectories(Out + "/a/b"));
    WriteFileAtomic(Out + "/a/b/c.txt", "c");
    EXPECT_EQ(ReadFileText(Dir + "out/a/b/c.txt"), "c");
  }
  EXPECT_EQ(ReadFileText(Dir + "site/page.html"), "site");
  EXPECT_TRUE(FileExists(Dir + "site/" + std::string(TempFilePrefix) + "abcdefgh12345678"));
  EXPECT_FALSE(FileExists(Dir + "escape.txt"));
  EXPECT_EQ(ListDirectory(Dir + "site").size(), 2u);
}

TEST_F(FileSystemTest, FolderChainIdsClimbFromTheFolderOrWhereItWouldBeMade) {
  Put("a/b/f", "x");
  TFileId A, B, Top;
  ASSERT_TRUE(GetFileId(Dir + "a", A));
  ASSERT_TRUE(GetFileId(Dir + "a/b", B));
  ASSERT_TRUE(GetFileId("/", Top));
  const std::vector<TFileId> Chain = FolderChainIds(Dir + "a/b");
  ASSERT_GE(Chain.size(), 3u);
  EXPECT_EQ(Chain[0], B);
  EXPECT_EQ(Chain[1], A);
  EXPECT_EQ(Chain.back(), Top);
  EXPECT_EQ(FolderChainIds(Dir + "a/b/new/deeper"), Chain);
}

TEST_F(FileSystemTest, CopyKeepsTimeAndModeAndNeverReadsSpecialFiles) {
  Put("secret", "s");
  ::chmod((Dir + "secret").c_str(), 0600);
  const timespec T[2] = {{1000000000, 0}, {1000000000, 0}};
  ::utimensat(AT_FDCWD, (Dir + "secret").c_str(), T, 0);
  ASSERT_TRUE(CopyFileOverwrite(Dir + "secret", Dir + "copy"));
  struct stat St;
  ASSERT_EQ(::stat((Dir + "copy").c_str(), &St), 0);
  EXPECT_EQ(St.st_mode & 07777, 0600u);
  EXPECT_EQ(St.st_mtim.tv_sec, 1000000000);
  // A FIFO nobody writes to would block a reader forever; a device would
  // fill the disk.
  ASSERT_EQ(::mkfifo((Dir + "fifo").c_str(), 0644), 0);
  for (const std::string& Special : {Dir + "fifo", std::string("/dev/zero")}) {
    errno = 0;
    EXPECT_FALSE(CopyFileOverwrite(Special, Dir + "out"));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_THROW(ReadFileText(Special), Exception);
  }
  EXPECT_FALSE(FileExists(Dir + "out"));
  auto Entries = ListDirectory(Dir);
  const auto Fifo = std::find_if(Entries.begin(), Entries.end(),
                                 [](const TDirEntry& E) { return E.Name == "fifo"; });
  ASSERT_NE(Fifo, Entries.end());
  EXPECT_TRUE(Fifo->IsSpecial);
  EXPECT_THROW(ReadDirectory(Dir + "missing"), Exception);
}

TEST_F(FileSystemTest, HelperFoldersAreOwnFolderThenInstalledFolders) {
  const struct {
    const char* Program;
    const char* Prefix;
  } Cases[] = {
      {"/usr/bin/", "/usr/"},
      {"/usr/bin", "/usr/"},
      {"/opt/长 名/bin/", "/opt/长 名/"},
      {"/bin/", "/"},
      {"/", "/"},  // the root is its own parent
  };
  for (const auto& C : Cases) {
    const std::vector<std::string> F = HelperFolders(C.Program);
    ASSERT_EQ(F.size(), 3u) << C.Program;
    EXPECT_EQ(F[0], IncludeTrailingDelimiter(C.Program)) << C.Program;
    EXPECT_EQ(F[1], std::string(C.Prefix) + "libexec/larkspan/") << C.Program;
    EXPECT_EQ(F[2], std::string(C.Prefix) + "share/larkspan/") << C.Program;
  }
}

TEST_F(FileSystemTest, HelperFolderOfTakesTheFirstFolderHoldingTheName) {
  // An installed tree: bin/ with the program, libexec/larkspan/ with the
  // helper programs, share/larkspan/ with the archive and the skin.
  Put("bin/larkspan-cli", "x");
  Put("libexec/larkspan/pngout", "elf");
  Put("share/larkspan/htmlcompressor.jar", "jar");
  Put("share/larkspan/Skins/Mint/skin.qss", "qss");
  const std::string Bin = Dir + "bin/", Exec = Dir + "libexec/larkspan/",
                    Data = Dir + "share/larkspan/";
  EXPECT_EQ(HelperFolderOf("pngout", Bin), Exec);
  EXPECT_EQ(HelperFolderOf("htmlcompressor.jar", Bin), Data);
  EXPECT_EQ(HelperFolderOf("Skins", Bin), Data);  // a folder counts too
  EXPECT_EQ(HelperFolderOf("missing.jar", Bin), Bin);
  // A build tree: the same names beside the program win.
  Put("bin/pngout", "elf");
  Put("bin/htmlcompressor.jar", "jar");
  Put("bin/Skins/Mint/skin.qss", "qss");
  EXPECT_EQ(HelperFolderOf("pngout", Bin), Bin);
  EXPECT_EQ(HelperFolderOf("htmlcompressor.jar", Bin), Bin);
  EXPECT_EQ(HelperFolderOf("Skins", Bin), Bin);
}

// Identity and time of a file as the system sees it, links not followed.
struct TStamp {
  ino_t Inode = 0;
  timespec Mtime{};
  mode_t Mode = 0;
};
TStamp StampOf(const std::string& Path) {
  struct stat St {};
  ::lstat(Path.c_str(), &St);
  return {St.st_ino, St.st_mtim, mode_t(St.st_mode & 07777)};
}

TEST_F(FileSystemTest, AWriteRootThatKeepsEqualFilesLeavesThemUntouched) {
  // Every way of publishing into the output, each with the same bytes as
  // the file already there (kept: inode and time stay, the mode follows)
  // and with other bytes (replaced).
  Put("src.txt", "same");
  Put("other.txt", "different");
  ::chmod((Dir + "src.txt").c_str(), 0640);
  const timespec Old[2] = {{1000000000, 0}, {1000000000, 0}};
  ForceDirectories(Dir + "out");
  TWriteRoot Root(Dir + "out");
  Root.KeepEqualFiles();
  const std::string Out = Dir + "out/";
  struct Case {
    const char* Name;
    std::function<void(const std::string& Dest, const std::string& From)> Write;
  } Cases[] = {
      {"copy",
       [](const std::string& D, const std::string& F) { ASSERT_TRUE(CopyFileOverwrite(F, D)); }},
      {"atomic",
       [](const std::string& D, const std::string& F) { WriteFileAtomic(D, ReadFileText(F), F); }},
      {"temp",
       [](const std::string& D, const std::string& F) {
         TTempFile T(D);
         const std::string Data = ReadFileText(F);
         ASSERT_EQ(::write(T.Descriptor(), Data.data(), Data.size()), ssize_t(Data.size()));
         T.Publish(F);
       }},
      {"publish",
       [this](const std::string& D, const std::string& F) {
         const std::string Tmp = Dir + "out/" + TempFilePrefix + "abcdefghijklmnop";
         ASSERT_TRUE(CopyFileOverwrite(F, Tmp + ".x"));
         ASSERT_TRUE(PublishFile(Tmp + ".x", D, F));
         EXPECT_FALSE(FileExists(Tmp + ".x"));
       }},
  };
  for (const Case& C : Cases) {
    const std::string Dest = Out + C.Name;
    WriteFileAtomic(Dest, "same");
    ::chmod(Dest.c_str(), 0600);
    ::utimensat(AT_FDCWD, Dest.c_str(), Old, 0);
    const TStamp Before = StampOf(Dest);
    C.Write(Dest, Dir + "src.txt");
    const TStamp After = StampOf(Dest);
    EXPECT_EQ(After.Inode, Before.Inode) << C.Name;
    EXPECT_EQ(After.Mtime.tv_sec, 1000000000) << C.Name;
    EXPECT_EQ(After.Mode, mode_t(0640)) << C.Name;
    C.Write(Dest, Dir + "other.txt");
    EXPECT_EQ(ReadFileText(Dest), "different") << C.Name;
    EXPECT_NE(StampOf(Dest).Mtime.tv_sec, 1000000000) << C.Name;
    // A link with the same bytes behind it is replaced, never written through.
    DeleteFile(Dest);
    ASSERT_EQ(::symlink((Dir + "src.txt").c_str(), Dest.c_str()), 0);
    C.Write(Dest, Dir + "src.txt");
    EXPECT_FALSE(IsSymbolicLink(Dest)) << C.Name;
    EXPECT_EQ(ReadFileText(Dir + "src.txt"), "same");
  }
  std::vector<std::string> Left;
  for (const TDirEntry& E : ListDirectory(Out))
    if (IsTempFileName(E.Name)) Left.push_back(E.Name);
  EXPECT_TRUE(Left.empty());
  // Without the switch an equal file is replaced as before.
  Root.KeepEqualFiles(false);
  const TStamp Before = StampOf(Out + "copy");
  ASSERT_TRUE(CopyFileOverwrite(Dir + "other.txt", Out + "copy"));
  EXPECT_NE(StampOf(Out + "copy").Inode, Before.Inode);
}

TEST_F(FileSystemTest, ListTreeNeverFollowsLinksNorEntersFencedFolders) {
  Put("t/a.txt", "a");
  Put("t/sub/b.txt", "b");
  Put("t/fenced/c.txt", "c");
  Put("elsewhere/secret.txt", "s");
  ASSERT_EQ(::symlink((Dir + "elsewhere").c_str(), (Dir + "t/dirlink").c_str()), 0);
  ASSERT_EQ(::symlink((Dir + "elsewhere/secret.txt").c_str(), (Dir + "t/filelink").c_str()), 0);
  TFileId Fenced;
  ASSERT_TRUE(GetFileId(Dir + "t/fenced", Fenced));
  std::vector<TTreeEntry> Entries =
      ListTree(Dir + "t", [&](const TFileId& Id) { return Id == Fenced; });
  std::map<std::string, std::pair<bool, bool>> Seen;
  for (const TTreeEntry& E : Entries) Seen[E.Path] = {E.IsFolder, E.IsFenced};
  const std::map<std::string, std::pair<bool, bool>> Expected = {
      {"a.txt", {false, false}}, {"sub", {true, false}},      {"sub/b.txt", {false, false}},
      {"fenced", {true, true}},  {"dirlink", {false, false}}, {"filelink", {false, false}}};
  EXPECT_EQ(Seen, Expected);
  EXPECT_THROW(ListTree(Dir + "missing"), Exception);
  {
    // Through a write root, as often as asked: each listing reads the
    // folder from its start.
    const size_t All = ListTree(Dir + "t").size();  // the fenced folder's file too
    TWriteRoot Root(Dir + "t");
    EXPECT_EQ(ListTree(Dir + "t").size(), All);
    EXPECT_EQ(RemoveStaleTempFiles(Dir + "t"), 0);
    EXPECT_EQ(ListTree(Dir + "t/").size(), All);
  }

  EXPECT_FALSE(RemoveEmptyFolder(Dir + "t/sub"));  // not empty
  ASSERT_TRUE(DeleteFile(Dir + "t/sub/b.txt"));
  EXPECT_TRUE(RemoveEmptyFolder(Dir + "t/sub"));
  EXPECT_FALSE(RemoveEmptyFolder(Dir + "t/dirlink"));  // a link is no folder
  EXPECT_TRUE(FileExists(Dir + "elsewhere/secret.txt"));
}

}  // namespace
}  // namespace larkspan
