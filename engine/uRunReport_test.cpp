#include "engine/uRunReport.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/TestUtil.h"

namespace larkspan {

TEST(RunReportTest, SizeTextRoundsHalfAwayFromZero) {
  struct Case {
    long long Bytes;
    const char* Text;
  } Cases[] = {
      {1310720, "1.3MB"},     // exactly 1.25 MB
      {1048576, "1024.0KB"},  // 1.0 MB is not more than 1.0
      {1048577, "1.0MB"},      {0, "0.0KB"},  {1536, "1.5KB"}, {1587, "1.5KB"}, {-2048, "-2.0KB"},
      {-5242880, "-5120.0KB"}, {52, "0.1KB"}, {51, "0.0KB"},
  };
  for (const Case& C : Cases) EXPECT_EQ(FormatSavedSize(C.Bytes), C.Text) << C.Bytes;
}

TEST(RunReportTest, ReportTexts) {
  EXPECT_EQ(SuccessReport(true, 3, 1310720),
            "任务已完成：共3个文件出现重复，为您省下1.3MB的空间！");
  EXPECT_EQ(SuccessReport(false, 3, 1536), "任务已完成：为您省下1.5KB的空间！");
  EXPECT_EQ(FailureReport("目录不存在"), "任务执行失败：目录不存在");
}

TEST(RunReportTest, TextsInBothLanguages) {
  TFileResult Dup;
  Dup.Action = TFileAction::DuplicateLeftOut;
  Dup.Reason = TFileReason::SameContentAs;
  Dup.Detail = "img/a.gif";
  struct Case {
    std::string Got, Zh, En;
  } Cases[] = {
      {SuccessReport(true, 2, 1536, TReportLang::Zh),
       "任务已完成：共2个文件出现重复，为您省下1.5KB的空间！",
       SuccessReport(true, 2, 1536, TReportLang::En)},
      {SuccessReport(false, 2, 1536, TReportLang::Zh), "任务已完成：为您省下1.5KB的空间！",
       SuccessReport(false, 2, 1536, TReportLang::En)},
      {StoppedReport(3, 10, TReportLang::Zh),
       "任务已停止：已处理3/10个文件，已写出的文件完整无损。",
       StoppedReport(3, 10, TReportLang::En)},
      {MissingToolReport("gifsicle", TReportLang::Zh), "未找到gifsicle：GIF图片将原样复制。",
       MissingToolReport("gifsicle", TReportLang::En)},
      {ReasonText(Dup, TReportLang::Zh), "与此文件相同：img/a.gif",
       ReasonText(Dup, TReportLang::En)},
      {ActionText(TFileAction::FailedCopied, TReportLang::Zh), "失败后复制",
       ActionText(TFileAction::FailedCopied, TReportLang::En)},
  };
  for (const Case& C : Cases) EXPECT_EQ(C.Got, C.Zh);
  EXPECT_EQ(Cases[0].En, "Done: 2 duplicate files left out, 1.5KB saved.");
  EXPECT_EQ(Cases[1].En, "Done: 1.5KB saved.");
  EXPECT_EQ(Cases[2].En, "Stopped after 3 of 10 files; every file written is whole.");
  EXPECT_EQ(Cases[3].En, "gifsicle not found: GIF pictures are copied unchanged.");
  EXPECT_EQ(Cases[4].En, "same content as img/a.gif");
  EXPECT_EQ(Cases[5].En, "failed, copied");
  // Every action has a word in both languages and a distinct name.
  std::set<std::string> Ids;
  for (int I = 0; I < FileActionCount; ++I) {
    EXPECT_FALSE(ActionText(TFileAction(I), TReportLang::Zh).empty());
    EXPECT_FALSE(ActionText(TFileAction(I), TReportLang::En).empty());
    Ids.insert(ActionId(TFileAction(I)));
  }
  EXPECT_EQ(Ids.size(), size_t(FileActionCount));
}

TEST(RunReportTest, SavedPercentAndSummary) {
  EXPECT_EQ(SavedPercent(200, 50), "75.0%");
  EXPECT_EQ(SavedPercent(200, 210), "-5.0%");
  EXPECT_EQ(SavedPercent(0, 0), "0.0%");
  EXPECT_EQ(SavedPercent(3, 0), "100.0%");
  std::vector<TFileResult> Rs(4);
  Rs[0].Action = TFileAction::Copied;
  Rs[1].Action = TFileAction::Minified;
  Rs[2].Action = TFileAction::Copied;
  Rs[3].Action = TFileAction::Filtered;
  EXPECT_EQ(ActionSummary(Rs, TReportLang::En), "minified 1, copied 2, filtered 1");
  EXPECT_EQ(ActionSummary(Rs, TReportLang::Zh), "已压缩 1，已复制 2，已过滤 1");
  EXPECT_EQ(ActionSummary({}, TReportLang::En), "");
}

TEST(RunReportTest, LanguageFromTheLocale) {
  struct Case {
    const char *All, *Messages, *Lang;
    TReportLang Want;
  } Cases[] = {
      {nullptr, nullptr, nullptr, TReportLang::En},
      {nullptr, nullptr, "zh_CN.UTF-8", TReportLang::Zh},
      {nullptr, "en_US.UTF-8", "zh_CN.UTF-8", TReportLang::En},
      {"zh_TW", "en_US.UTF-8", nullptr, TReportLang::Zh},
      {"", "", "zh_CN.GBK", TReportLang::Zh},
      {"C", nullptr, "zh_CN.UTF-8", TReportLang::En},
  };
  for (const Case& C : Cases) {
    test::TScopedEnv A("LC_ALL", C.All ? C.All : "", C.All == nullptr);
    test::TScopedEnv M("LC_MESSAGES", C.Messages ? C.Messages : "", C.Messages == nullptr);
    test::TScopedEnv L("LANG", C.Lang ? C.Lang : "", C.Lang == nullptr);
    EXPECT_EQ(LangFromEnvironment(), C.Want) << (C.Lang ? C.Lang : "-");
  }
}

}  // namespace larkspan
