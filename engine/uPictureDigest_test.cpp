#include "engine/uPictureDigest.h"

#include <gtest/gtest.h>

#include "engine/EngineTestUtil.h"
#include "platform/Error.h"

namespace larkspan {
namespace {

TEST(PictureDigestTest, OnlyPicturesThatMayBeEqualGetTheirMD5) {
  test::TTempDir Dir("digest");
  const std::string Big(200000, 'p');
  std::string LateDiff = Big;
  LateDiff[150000] = 'q';       // same size, same head, different after it
  std::string EarlyDiff = Big;  // differs inside the head
  EarlyDiff[10] = 'q';          // same size, different head
  const std::vector<std::string> Paths = {
      Dir.Write("a.gif", "abc"),     Dir.Write("b.png", "abc"),
      Dir.Write("c.jpg", "xyz"),     Dir.Write("d.jpg", "unique length"),
      Dir.Write("e.gif", Big),       Dir.Write("f.gif", LateDiff),
      Dir.Write("g.gif", EarlyDiff), Dir.Write("h.gif", Big),
      Dir.Write("i.bmp", ""),        Dir.Write("j.bmp", ""),
  };
  TPictureDigests D(Paths);
  int64_t Size = 0;
  // RFC 1321 test vector, in upper-case hex.
  EXPECT_EQ(D.KeyOf(0, Size), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(Size, 3);
  EXPECT_EQ(D.KeyOf(1, Size), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(D.KeyOf(2, Size), "");  // same size as a.gif but another head
  EXPECT_EQ(D.KeyOf(3, Size), "");  // a size of its own
  const std::string E = D.KeyOf(4, Size);
  EXPECT_EQ(Size, 200000);
  EXPECT_EQ(E.size(), 32u);
  EXPECT_EQ(D.KeyOf(7, Size), E);  // equal content
  const std::string F = D.KeyOf(5, Size);
  EXPECT_EQ(F.size(), 32u);  // shares the head, so fully digested...
  EXPECT_NE(F, E);           // ...and found different
  EXPECT_EQ(D.KeyOf(6, Size), "");
  EXPECT_EQ(D.KeyOf(8, Size), "D41D8CD98F00B204E9800998ECF8427E");  // empty pictures are equal
  EXPECT_EQ(D.KeyOf(9, Size), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(PictureDigestTest, UnreadablePictureThatMustBeReadThrowsNamingIt) {
  test::TTempDir Dir("digest");
  const std::vector<std::string> Paths = {Dir.Write("a.gif", "same"), Dir.Write("b.gif", "same"),
                                          Dir.Path() + "gone.gif"};
  TPictureDigests D(Paths);
  int64_t Size = 0;
  EXPECT_EQ(D.KeyOf(2, Size), "");  // nothing to compare it with: never opened
  std::remove(Paths[1].c_str());
  try {
    D.KeyOf(0, Size);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_NE(std::string(E.what()).find(Paths[1]), std::string::npos) << E.what();
  }
}

}  // namespace
}  // namespace larkspan
