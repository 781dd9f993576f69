#include "engine/uFolderCheck.h"

#include <gtest/gtest.h>

namespace larkspan {

TEST(FolderCheckTest, OverlapIsAPrefixTestOnTrimmedTextsIgnoringLetterCase) {
  struct Case {
    const char* Root;
    const char* Output;
    bool Overlap;
  } Cases[] = {
      {"/Site", "/site/out", true}, {"/web", "/web2", true}, {"/a/b", "/a/b", true},
      {" /a/b\t", "/A/B", true},    {"/a/out", "/a", true},  {"/site", "/out", false},
      {"/site/", "/sit", true},     {"/a/b", "/a/c", false},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(FoldersOverlap(C.Root, C.Output), C.Overlap) << C.Root << " " << C.Output;
}

}  // namespace larkspan
