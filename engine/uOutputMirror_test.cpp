#include "engine/uOutputMirror.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/TestUtil.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

using test::TTempDir;

TEST(OutputMirrorTest, FindsAndRemovesOnlyWhatTheRunDidNotWrite) {
  TTempDir Site("site"), Out("out");
  const std::string Secret = Site.Write("secret.txt", "site file");
  Site.Write("img/x.gif", "GIF");
  const std::string O = Out.Path();
  for (const char* F :
       {"a.html", "keep/b.css", "old.html", "gone/x.gif", "gone/deeper/y.txt", "keep/stale.js"})
    Out.Write(F, "x");
  ForceDirectories(O + "empty");
  ASSERT_EQ(::symlink(Site.Path().c_str(), (O + "link-to-site").c_str()), 0);
  ASSERT_EQ(::symlink(Secret.c_str(), (O + "keep/link-to-file").c_str()), 0);
  ASSERT_EQ(::symlink((Site.Path() + "img").c_str(), (O + "gone/img").c_str()), 0);

  TWriteRoot Root(O);
  TOutputMirror M;
  M.Find(Site.Path(), O, {O + "a.html", O + "keep/b.css"});
  const std::vector<std::string> Expected = {"gone/deeper/y.txt", "gone/img",      "gone/x.gif",
                                             "keep/link-to-file", "keep/stale.js", "link-to-site",
                                             "old.html"};
  EXPECT_EQ(M.Stale, Expected);
  EXPECT_EQ(M.Remove(), 7);
  EXPECT_TRUE(M.Failures.empty());
  // What the run wrote, folders still in use and an empty folder of
  // before stay; the folders the removal emptied go; the site is whole.
  EXPECT_TRUE(FileExists(O + "a.html"));
  EXPECT_TRUE(FileExists(O + "keep/b.css"));
  EXPECT_TRUE(DirectoryExists(O + "empty"));
  EXPECT_FALSE(DirectoryExists(O + "gone"));
  EXPECT_EQ(test::ReadTree(Site.Path()).size(), 2u);
  EXPECT_EQ(test::Slurp(Secret), "site file");
  EXPECT_TRUE(DirectoryExists(Site.Path() + "img"));
  // Nothing left to find.
  M.Find(Site.Path(), O, {O + "a.html", O + "keep/b.css"});
  EXPECT_TRUE(M.Stale.empty());
}

TEST(OutputMirrorTest, AFolderSwappedForALinkIsNeverRemovedThrough) {
  TTempDir Site("site"), Out("out"), Elsewhere("elsewhere");
  const std::string O = Out.Path();
  Out.Write("old/a.txt", "x");
  Elsewhere.Write("a.txt", "not ours");
  TWriteRoot Root(O);
  TOutputMirror M;
  M.Find(Site.Path(), O, {});
  ASSERT_EQ(M.Stale, std::vector<std::string>{"old/a.txt"});
  // Between the look and the removal the folder becomes a link elsewhere.
  RemoveTree(O + "old");
  ASSERT_EQ(::symlink(ExcludeTrailingDelimiter(Elsewhere.Path()).c_str(), (O + "old").c_str()), 0);
  EXPECT_EQ(M.Remove(), 0);
  EXPECT_EQ(M.Failures.size(), 1u);
  EXPECT_EQ(test::Slurp(Elsewhere.Path() + "a.txt"), "not ours");
}

}  // namespace
}  // namespace larkspan
