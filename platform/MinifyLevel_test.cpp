#include "platform/MinifyLevel.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

TEST(TMinifyLevelTest, NamesReadBackAndStrangersAreRefused) {
  for (TMinifyLevel L : {TMinifyLevel::Spaces, TMinifyLevel::Safe, TMinifyLevel::Smallest})
    EXPECT_EQ(MinifyLevelByName(MinifyLevelName(L)), L);
  EXPECT_EQ(MinifyLevelByName("SAFE"), TMinifyLevel::Safe);
  for (const char* Bad : {"", "safe ", " safe", "fast", "small", "0"})
    EXPECT_FALSE(MinifyLevelByName(Bad).has_value()) << Bad;
}

}  // namespace
}  // namespace larkspan
