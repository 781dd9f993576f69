#include "engine/uRunReport.h"

#include <gtest/gtest.h>

namespace larkspan {

TEST(RunReportTest, OverlapIsAPrefixTestOnTrimmedTextsIgnoringLetterCase) {
  struct Case {
    const char* Root;
    const char* Output;
    bool Overlap;
  } Cases[] = {
      {"/Site", "/site/out", true},  {"/web", "/web2", true},     {"/a/b", "/a/b", true},
      {" /a/b\t", "/A/B", true},     {"/a/out", "/a", true},      {"/site", "/out", false},
      {"/site/", "/sit", true},      {"/a/b", "/a/c", false},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(FoldersOverlap(C.Root, C.Output), C.Overlap) << C.Root << " " << C.Output;
}

TEST(RunReportTest, SizeTextRoundsHalfAwayFromZero) {
  struct Case {
    long long Bytes;
    const char* Text;
  } Cases[] = {
      {1310720, "1.3MB"},  // exactly 1.25 MB
      {1048576, "1024.0KB"},  // 1.0 MB is not more than 1.0
      {1048577, "1.0MB"},  {0, "0.0KB"},         {1536, "1.5KB"},
      {1587, "1.5KB"},     {-2048, "-2.0KB"},    {-5242880, "-5120.0KB"},
      {52, "0.1KB"},       {51, "0.0KB"},
  };
  for (const Case& C : Cases) EXPECT_EQ(FormatSavedSize(C.Bytes), C.Text) << C.Bytes;
}

TEST(RunReportTest, ReportTexts) {
  EXPECT_EQ(SuccessReport(true, 3, 1310720), "任务已完成：共3个文件出现重复，为您省下1.3MB的空间！");
  EXPECT_EQ(SuccessReport(false, 3, 1536), "任务已完成：为您省下1.5KB的空间！");
  EXPECT_EQ(FailureReport("目录不存在"), "任务执行失败：目录不存在");
}

}  // namespace larkspan
