#include "engine/uRunReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine/EngineTestUtil.h"
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

TEST(RunReportTest, SizesForPeopleAndCountsInTheRightNumber) {
  struct Case {
    long long Bytes;
    const char *En, *Zh;
  } Cases[] = {
      {13, "13 bytes", "13 字节"},      {1, "1 byte", "1 字节"},
      {0, "0 bytes", "0 字节"},         {1023, "1023 bytes", "1023 字节"},
      {-13, "-13 bytes", "-13 字节"},   {1024, "1.0 KB", "1.0 KB"},
      {1536, "1.5 KB", "1.5 KB"},       {1048575, "1024.0 KB", "1024.0 KB"},
      {1048576, "1.0 MB", "1.0 MB"},    {3460300, "3.3 MB", "3.3 MB"},
      {-5242880, "-5.0 MB", "-5.0 MB"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(FormatBytes(C.Bytes, TReportLang::En), C.En) << C.Bytes;
    EXPECT_EQ(FormatBytes(C.Bytes, TReportLang::Zh), C.Zh) << C.Bytes;
  }
  const std::pair<std::string, std::string> Texts[] = {
      {FileCount(1, TReportLang::En), "1 file"},
      {FileCount(0, TReportLang::En), "0 files"},
      {FileCount(2, TReportLang::Zh), "2 个文件"},
      {UncompressedReport(1, TReportLang::En), "1 file was copied without compression"},
      {UncompressedReport(2, TReportLang::En), "2 files were copied without compression"},
      {StoppedReport(0, 1, TReportLang::En),
       "Stopped after 0 of 1 file; every file written is whole."},
      {SkippedReport(1, TReportLang::En),
       "1 entry was passed by unread (special files, broken or looping links)"},
      {SkippedReport(2, TReportLang::Zh), "有 2 个项目未读取（特殊文件、失效或循环的链接）"},
      {DoneReport(1000, 987, -1, TReportLang::En),
       "Done: 1000 bytes -> 987 bytes, 13 bytes saved (1.3%)."},
      {DoneReport(12582912, 9122611, 1, TReportLang::En),
       "Done: 12.0 MB -> 8.7 MB, 3.3 MB saved (27.5%); 1 duplicate picture left out."},
      {DoneReport(2048, 1024, 29, TReportLang::En),
       "Done: 2.0 KB -> 1.0 KB, 1.0 KB saved (50.0%); 29 duplicate pictures left out."},
      {DoneReport(2048, 1024, 29, TReportLang::Zh),
       "任务已完成：2.0 KB -> 1.0 KB，省下 1.0 KB（50.0%）；其中 29 个重复图片未写出。"},
      {PlannedActionText(TFileAction::Optimised, TReportLang::En), "would try optimiser"},
      {JpegModeReport(true, TReportLang::En), "JPEG: lossless (every pixel kept)."},
  };
  for (const auto& [Got, Want] : Texts) EXPECT_EQ(Got, Want);
}

TFileResult Rec(const char* Path, TFileAction Action, int64_t In, int64_t Out,
                TFileReason Reason = TFileReason::None) {
  TFileResult R;
  R.Path = Path;
  R.Action = Action;
  R.Reason = Reason;
  R.BytesIn = In;
  R.BytesOut = Out;
  return R;
}

TEST(RunReportTest, SummaryByKindGroupsByExtensionAndLeftOutFilesSeparately) {
  using A = TFileAction;
  const std::vector<TFileResult> Rs = {
      Rec("index.HTML", A::Minified, 1000, 600),
      Rec("news/a.htm", A::Rewritten, 500, 450),
      Rec("news/b.htm", A::Rewritten, 300, 300, TFileReason::ToolFailed),  // minifier failed
      Rec("css/site.css", A::Minified, 200, 150),
      Rec("js/app.js", A::FailedCopied, 90, 90, TFileReason::ToolFailed),
      Rec("js/m.mjs", A::Minified, 10, 8),
      Rec("feed.xml", A::Copied, 40, 40, TFileReason::ExceptionFile),  // unminified on purpose
      Rec("p/a.JPEG", A::Optimised, 4000, 3000),
      Rec("p/b.jpg", A::KeptDuplicate, 4000, 3000),  // written: counts as a JPEG
      Rec("p/c.jpg", A::DuplicateLeftOut, 4000, 0),
      Rec("p/d.gif", A::Copied, 70, 70),
      Rec("p/e.png", A::Optimised, 900, 800),
      Rec("doc/readme", A::Copied, 5, 5),
      Rec("old.bak", A::Filtered, 13, 0),
      Rec("fifo", A::Skipped, 0, 0),
  };
  const std::vector<TKindSummary> Rows = SummaryByKind(Rs);
  struct Want {
    TFileKind Kind;
    int Files;
    int64_t In, Out;
    std::vector<std::string> Unreduced;
  } Wants[] = {
      {TFileKind::Pages, 3, 1800, 1350, {"news/b.htm"}},
      {TFileKind::StyleSheets, 1, 200, 150, {}},
      {TFileKind::Scripts, 2, 100, 98, {"js/app.js"}},
      {TFileKind::Xml, 1, 40, 40, {}},
      {TFileKind::Jpeg, 2, 8000, 6000, {}},
      {TFileKind::Gif, 1, 70, 70, {}},
      {TFileKind::Png, 1, 900, 800, {}},
      {TFileKind::Other, 1, 5, 5, {}},
      {TFileKind::Duplicates, 1, 4000, 0, {}},
      {TFileKind::Filtered, 1, 13, 0, {}},
  };
  ASSERT_EQ(Rows.size(), std::size(Wants));
  for (size_t I = 0; I < Rows.size(); ++I) {
    SCOPED_TRACE(KindText(Wants[I].Kind, TReportLang::En));
    EXPECT_EQ(Rows[I].Kind, Wants[I].Kind);
    EXPECT_EQ(Rows[I].Files, Wants[I].Files);
    EXPECT_EQ(Rows[I].BytesIn, Wants[I].In);
    EXPECT_EQ(Rows[I].BytesOut, Wants[I].Out);
    EXPECT_EQ(Rows[I].Unreduced, Wants[I].Unreduced);
  }
  // Kinds without files have no row.
  EXPECT_EQ(SummaryByKind({Rs[0], Rs[14]}).size(), 1u);

  const std::string Text =
      KindSummaryText(SummaryByKind({Rs[0], Rs[4], Rs[13]}), TReportLang::En, false);
  EXPECT_EQ(Text,
            "  pages         1 file      1000 bytes -> 600 bytes (saved 40.0%)\n"
            "  scripts       1 file      90 bytes -> 90 bytes (saved 0.0%)\n"
            "    written unreduced: js/app.js\n"
            "  filtered      1 file      13 bytes, not written\n"
            "  written in all            1.1 KB -> 690 bytes (saved 36.7%)\n");
  // A dry run gives the sizes before only.
  EXPECT_EQ(KindSummaryText(SummaryByKind({Rs[0]}), TReportLang::Zh, true),
            "  网页          1 个文件    1000 字节\n");
}

TEST(RunReportTest, SummaryOfARealRunAddsUpToTheSiteAndTheOutput) {
  test::TTempDir Site("site"), Out("out");
  Site.Write("index.html", "<p>\n   a   </p>\n<img src=\"img/b.gif\">\n");
  Site.Write("js/app.js", "var  a = 1;\n");
  Site.Write("img/a.gif", std::string(300, 'g'));
  Site.Write("img/b.gif", std::string(300, 'g'));  // a duplicate, referred to by the page
  Site.Write("img/c.gif", std::string(300, 'g'));  // a duplicate nothing refers to
  Site.Write("x.bak", "old");
  Site.Write("readme.txt", "hello");
  TAppConfig C = test::BlankConfig();
  C.IsCompressHtml = C.IsCompressJS = C.IsReducePic = true;
  C.FileFilters = "*.bak|";
  const test::TRunResult R = test::RunEngine(C, Site.Path(), Out.Path() + "o");
  ASSERT_TRUE(R.IsSuccess) << R.ErrorText;
  int64_t In = 0, Written = 0;
  int Files = 0;
  for (const TKindSummary& Row : SummaryByKind(R.Results)) {
    In += Row.BytesIn;
    Written += Row.BytesOut;
    Files += Row.Files;
  }
  EXPECT_EQ(Files, 7);
  EXPECT_EQ(In, R.SourceSize);
  EXPECT_EQ(Written, R.SourceSize - R.SavedSize);
  int64_t OnDisk = 0;
  for (const auto& [Name, Data] : test::ReadTree(Out.Path() + "o")) OnDisk += int64_t(Data.size());
  EXPECT_EQ(Written, OnDisk);
}

}  // namespace larkspan
