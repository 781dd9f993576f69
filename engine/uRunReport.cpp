#include "engine/uRunReport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/Text.h"

namespace larkspan {

namespace {
std::string OneDecimal(double V, const char* Unit) {
  // std::round rounds half away from zero; printf alone would round the
  // binary value half to even (1.25 -> "1.2").
  const double Scaled = std::round(V * 10.0);
  char Buf[64];
  std::snprintf(Buf, sizeof Buf, "%.1f%s", Scaled / 10.0, Unit);
  return Buf;
}
}  // namespace

std::string FormatSavedSize(int64_t Bytes) {
  const double M = double(Bytes) / (1024.0 * 1024.0);
  if (M > 1.0) return OneDecimal(M, "MB");
  return OneDecimal(double(Bytes) / 1024.0, "KB");
}

std::string SuccessReport(bool IsReducePic, int DuplicateCount, int64_t SavedBytes) {
  const std::string Size = FormatSavedSize(SavedBytes);
  if (IsReducePic)
    return "任务已完成：共" + std::to_string(DuplicateCount) + "个文件出现重复，为您省下" + Size +
           "的空间！";
  return "任务已完成：为您省下" + Size + "的空间！";
}

std::string SkippedReport(size_t SkippedCount) {
  if (SkippedCount == 0) return std::string();
  return "有 " + std::to_string(SkippedCount) + " 个项目未读取（特殊文件、失效或循环的链接）";
}

std::string FailureReport(const std::string& ErrorText) { return "任务执行失败：" + ErrorText; }

TReportLang LangFromEnvironment() {
  for (const char* Name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* V = std::getenv(Name);
    if (V == nullptr || *V == '\0') continue;
    return V[0] == 'z' && V[1] == 'h' ? TReportLang::Zh : TReportLang::En;
  }
  return TReportLang::En;
}

std::string SuccessReport(bool IsReducePic, int DuplicateCount, int64_t SavedBytes,
                          TReportLang Lang) {
  if (Lang == TReportLang::Zh) return SuccessReport(IsReducePic, DuplicateCount, SavedBytes);
  const std::string Size = FormatSavedSize(SavedBytes);
  if (IsReducePic)
    return "Done: " + std::to_string(DuplicateCount) + " duplicate files left out, " + Size +
           " saved.";
  return "Done: " + Size + " saved.";
}

std::string FailureReport(const std::string& ErrorText, TReportLang Lang) {
  if (Lang == TReportLang::Zh) return FailureReport(ErrorText);
  return "The run failed: " + ErrorText;
}

std::string StoppedReport(int DoneFiles, int TotalFiles, TReportLang Lang) {
  if (Lang == TReportLang::Zh)
    return "任务已停止：已处理" + std::to_string(DoneFiles) + "/" + std::to_string(TotalFiles) +
           "个文件，已写出的文件完整无损。";
  return "Stopped after " + std::to_string(DoneFiles) + " of " + FileCount(TotalFiles, Lang) +
         "; every file written is whole.";
}

namespace {
const char* PictureKind(const std::string& Program, TReportLang Lang) {
  const bool Zh = Lang == TReportLang::Zh;
  if (Program == "jpegoptim") return Zh ? "JPG图片" : "JPEG pictures";
  if (Program == "gifsicle") return Zh ? "GIF图片" : "GIF pictures";
  if (Program == "pngout") return Zh ? "PNG图片" : "PNG pictures";
  if (Program == "java") return Zh ? "网页、样式表和脚本" : "pages, style sheets and scripts";
  return Zh ? "文件" : "files";
}
}  // namespace

std::string MissingToolReport(const std::string& Program, TReportLang Lang) {
  if (Lang == TReportLang::Zh)
    return "未找到" + Program + "：" + PictureKind(Program, Lang) + "将原样复制。";
  return Program + " not found: " + PictureKind(Program, Lang) + " are copied unchanged.";
}

std::string UncompressedReport(int Count, TReportLang Lang) {
  if (Lang == TReportLang::Zh) return std::to_string(Count) + "个文件未能压缩，已原样复制。";
  return FileCount(Count, Lang) + (Count == 1 ? " was" : " were") + " copied without compression";
}

std::string CacheReport(int Hits, TReportLang Lang) {
  if (Lang == TReportLang::Zh) return std::to_string(Hits) + " 个结果取自缓存。";
  return std::to_string(Hits) + (Hits == 1 ? " result came" : " results came") + " from the cache";
}

std::string StaleReport(int Count, int Removed, bool ForCommandLine, TReportLang Lang) {
  const bool Zh = Lang == TReportLang::Zh;
  if (Removed > 0) {
    std::string Text = Zh ? "已从输出目录删除 " + std::to_string(Removed) +
                                " 个本次没有写出的文件（网站中已删除、改名或被过滤）。"
                          : "Removed " + FileCount(Removed, Lang) +
                                " from the output that this run did not write (deleted, renamed "
                                "or filtered in the site)";
    if (Removed < Count)
      Text += Zh ? std::to_string(Count - Removed) + " 个未能删除。"
                 : "; " + std::to_string(Count - Removed) + " could not be removed";
    return Text;
  }
  if (Zh)
    return "输出目录中有 " + std::to_string(Count) +
           " 个文件不是本次写出的（网站中已删除、改名或被过滤）" +
           (ForCommandLine ? "；--delete 可删除它们。"
                           : "；勾选“删除输出目录中的多余文件”可删除它们。");
  return FileCount(Count, Lang) + " in the output " + (Count == 1 ? "was" : "were") +
         " not written by this run (deleted, renamed or filtered in the site)" +
         (ForCommandLine ? "; --delete removes them"
                         : "; tick \"删除输出目录中的多余文件\" to remove them");
}

std::string SkippedReport(size_t SkippedCount, TReportLang Lang) {
  if (Lang == TReportLang::Zh || SkippedCount == 0) return SkippedReport(SkippedCount);
  return std::to_string(SkippedCount) + (SkippedCount == 1 ? " entry was" : " entries were") +
         " passed by unread (special files, broken or looping links)";
}

std::string DoneReport(int64_t Before, int64_t After, int Duplicates, TReportLang Lang) {
  const bool Zh = Lang == TReportLang::Zh;
  std::string Text = (Zh ? "任务已完成：" : "Done: ") + FormatBytes(Before, Lang) + " -> " +
                     FormatBytes(After, Lang) + (Zh ? "，省下 " : ", ") +
                     FormatBytes(Before - After, Lang) + (Zh ? "（" : " saved (") +
                     SavedPercent(Before, After) + (Zh ? "）" : ")");
  if (Duplicates >= 0) {
    if (Zh)
      Text += "；其中 " + std::to_string(Duplicates) + " 个重复图片未写出";
    else
      Text += "; " + std::to_string(Duplicates) +
              (Duplicates == 1 ? " duplicate picture" : " duplicate pictures") + " left out";
  }
  return Text + (Zh ? "。" : ".");
}

std::string JpegModeReport(bool Lossless, TReportLang Lang) {
  if (Lang == TReportLang::Zh)
    return Lossless ? "JPG图片：无损优化，像素不变。"
                    : "JPG图片：有损压缩（质量 85），像素会改变。";
  return Lossless ? "JPEG: lossless (every pixel kept)."
                  : "JPEG: lossy (re-encoded at quality 85 at most; pixels change).";
}

std::string OutputFolderReport(const std::string& Output, TReportLang Lang) {
  if (Lang == TReportLang::Zh) return "输出目录：" + Output;
  return "Output: " + Output;
}

std::string ActionText(TFileAction Action, TReportLang Lang) {
  static const char* const Zh[FileActionCount] = {"已压缩", "已优化",   "已复制",
                                                  "已改写", "重复略去", "保留重复",
                                                  "已过滤", "已跳过",   "失败后复制"};
  static const char* const En[FileActionCount] = {
      "minified",       "optimised", "copied",  "rewritten",     "duplicate left out",
      "kept duplicate", "filtered",  "skipped", "failed, copied"};
  const size_t I = size_t(Action);
  if (I >= size_t(FileActionCount)) return std::string();
  return Lang == TReportLang::Zh ? Zh[I] : En[I];
}

std::string PlannedActionText(TFileAction Action, TReportLang Lang) {
  static const char* const Zh[FileActionCount] = {"将压缩", "将尝试优化", "将复制",
                                                  "将改写", "将略去重复", "将保留重复",
                                                  "将过滤", "将跳过",     "失败后复制"};
  static const char* const En[FileActionCount] = {
      "would minify",     "would try optimiser", "would copy",
      "would rewrite",    "would leave out",     "would keep duplicate",
      "would filter out", "would skip",          "failed, copied"};
  const size_t I = size_t(Action);
  if (I >= size_t(FileActionCount)) return std::string();
  return Lang == TReportLang::Zh ? Zh[I] : En[I];
}

std::string ActionId(TFileAction Action) {
  static const char* const Ids[FileActionCount] = {
      "minified",       "optimised", "copied",  "rewritten",    "duplicate_left_out",
      "kept_duplicate", "filtered",  "skipped", "failed_copied"};
  const size_t I = size_t(Action);
  return I < size_t(FileActionCount) ? Ids[I] : "";
}

std::string ReasonText(const TFileResult& R, TReportLang Lang) {
  const bool Zh = Lang == TReportLang::Zh;
  switch (R.Reason) {
    case TFileReason::None:
      return R.Action == TFileAction::Optimised && !R.Detail.empty() ? R.Detail : std::string();
    case TFileReason::FilterPattern:
      return (Zh ? "过滤条件 " : "filter ") + R.Detail;
    case TFileReason::SameContentAs:
      return (Zh ? "与此文件相同：" : "same content as ") + R.Detail;
    case TFileReason::ReferredBy:
      return (Zh ? "仍被引用：" : "still referred to by ") + R.Detail;
    case TFileReason::ExceptionFile:
      return Zh ? "例外文件" : "exception file";
    case TFileReason::ToolMissing:
      return (Zh ? "未找到 " : "not found: ") + R.Detail;
    case TFileReason::ToolFailed:
      return R.Detail;
    case TFileReason::NotSmaller:
      return Zh ? "优化后没有变小" : "not smaller when optimised";
    case TFileReason::NoOptimiser:
      return Zh ? "未选择此类图片的优化" : "no optimiser switched on";
    case TFileReason::NotAFile: {
      // The engine words it "中文 (English)": each language its half.
      const size_t Open = R.Detail.rfind(" (");
      if (Open == std::string::npos || R.Detail.back() != ')') return R.Detail;
      return Zh ? R.Detail.substr(0, Open) : R.Detail.substr(Open + 2, R.Detail.size() - Open - 3);
    }
    case TFileReason::WouldWrite:
      return Zh ? "试运行" : "dry run";
    case TFileReason::PartKept:
      return (Zh ? "部分未压缩：" : "partly unminified: ") + R.Detail;
  }
  return std::string();
}

std::string SavedPercent(int64_t In, int64_t Out) {
  if (In <= 0) return "0.0%";
  return OneDecimal(double(In - Out) * 100.0 / double(In), "%");
}

std::string ActionSummary(const std::vector<TFileResult>& Results, TReportLang Lang, bool Planned) {
  const std::vector<int> Counts = CountByAction(Results);
  std::string Text;
  for (int I = 0; I < FileActionCount; ++I) {
    if (Counts[size_t(I)] == 0) continue;
    if (!Text.empty()) Text += Lang == TReportLang::Zh ? "，" : ", ";
    Text += (Planned ? PlannedActionText(TFileAction(I), Lang) : ActionText(TFileAction(I), Lang)) +
            " " + std::to_string(Counts[size_t(I)]);
  }
  return Text;
}

// ---- the summary by kind of file --------------------------------------------

bool KindOf(const TFileResult& R, TFileKind& Kind) {
  switch (R.Action) {
    case TFileAction::Skipped:
      return false;
    case TFileAction::DuplicateLeftOut:
      Kind = TFileKind::Duplicates;
      return true;
    case TFileAction::Filtered:
      Kind = TFileKind::Filtered;
      return true;
    default:
      break;
  }
  const std::string Ext = UpperCaseAscii(ExtractFileExt(R.Path));
  struct TExt {
    const char* Ext;
    TFileKind Kind;
  };
  static const TExt Exts[] = {
      {".HTM", TFileKind::Pages},  {".HTML", TFileKind::Pages},  {".CSS", TFileKind::StyleSheets},
      {".JS", TFileKind::Scripts}, {".MJS", TFileKind::Scripts}, {".XML", TFileKind::Xml},
      {".JPG", TFileKind::Jpeg},   {".JPEG", TFileKind::Jpeg},   {".GIF", TFileKind::Gif},
      {".PNG", TFileKind::Png},
  };
  Kind = TFileKind::Other;
  for (const TExt& E : Exts)
    if (Ext == E.Ext) Kind = E.Kind;
  return true;
}

std::vector<TKindSummary> SummaryByKind(const std::vector<TFileResult>& Results) {
  std::vector<TKindSummary> All(FileKindCount);
  for (int I = 0; I < FileKindCount; ++I) All[size_t(I)].Kind = TFileKind(I);
  for (const TFileResult& R : Results) {
    TFileKind Kind = TFileKind::Other;
    if (!KindOf(R, Kind)) continue;
    TKindSummary& Row = All[size_t(Kind)];
    ++Row.Files;
    Row.BytesIn += R.BytesIn;
    Row.BytesOut += R.BytesOut;
    if (R.Action == TFileAction::FailedCopied ||
        (R.Reason == TFileReason::ToolFailed && R.Action == TFileAction::Rewritten))
      Row.Unreduced.push_back(R.Path);
    if (R.Reason == TFileReason::PartKept) Row.PartKept.push_back(R.Path + " (" + R.Detail + ")");
  }
  std::vector<TKindSummary> Rows;
  for (TKindSummary& Row : All)
    if (Row.Files > 0) Rows.push_back(std::move(Row));
  return Rows;
}

std::string KindText(TFileKind Kind, TReportLang Lang) {
  static const char* const Zh[FileKindCount] = {"网页",     "样式表",  "脚本",    "XML",
                                                "JPG图片",  "GIF图片", "PNG图片", "其他文件",
                                                "重复图片", "已过滤"};
  static const char* const En[FileKindCount] = {
      "pages", "style sheets", "scripts",     "XML",        "JPEG",
      "GIF",   "PNG",          "other files", "duplicates", "filtered"};
  const size_t I = size_t(Kind);
  if (I >= size_t(FileKindCount)) return std::string();
  return Lang == TReportLang::Zh ? Zh[I] : En[I];
}

std::string FormatBytes(int64_t Bytes, TReportLang Lang) {
  const bool Zh = Lang == TReportLang::Zh;
  const int64_t Magnitude = Bytes < 0 ? -Bytes : Bytes;
  if (Magnitude < 1024) {
    if (Zh) return std::to_string(Bytes) + " 字节";
    return std::to_string(Bytes) + (Magnitude == 1 ? " byte" : " bytes");
  }
  if (Magnitude < int64_t(1024) * 1024) return OneDecimal(double(Bytes) / 1024.0, " KB");
  return OneDecimal(double(Bytes) / (1024.0 * 1024.0), " MB");
}

std::string FileCount(int Count, TReportLang Lang) {
  if (Lang == TReportLang::Zh) return std::to_string(Count) + " 个文件";
  return std::to_string(Count) + (Count == 1 ? " file" : " files");
}

namespace {
// Text padded with blanks to Columns display columns (a CJK character of
// UTF-8 takes two).
std::string Padded(std::string Text, int Columns) {
  int Used = 0;
  for (size_t I = 0; I < Text.size(); ++I) {
    const auto B = static_cast<unsigned char>(Text[I]);
    if ((B & 0xC0) == 0x80) continue;  // a continuation byte
    Used += B >= 0xE0 ? 2 : 1;
  }
  if (Used < Columns) Text.append(size_t(Columns - Used), ' ');
  return Text;
}
}  // namespace

std::string KindSummaryText(const std::vector<TKindSummary>& Rows, TReportLang Lang, bool DryRun) {
  const bool Zh = Lang == TReportLang::Zh;
  std::string Text;
  int64_t In = 0, Out = 0;
  for (const TKindSummary& Row : Rows) {
    const bool LeftOut = Row.Kind == TFileKind::Duplicates || Row.Kind == TFileKind::Filtered;
    std::string Line = "  " + Padded(KindText(Row.Kind, Lang), 14) +
                       Padded(FileCount(Row.Files, Lang), 12) + FormatBytes(Row.BytesIn, Lang);
    if (LeftOut)
      Line += Zh ? "，未写出" : ", not written";
    else if (!DryRun)
      Line += " -> " + FormatBytes(Row.BytesOut, Lang) + " (" + (Zh ? "省下 " : "saved ") +
              SavedPercent(Row.BytesIn, Row.BytesOut) + ")";
    Text += Line + "\n";
    for (const std::string& Path : Row.Unreduced)
      Text += std::string("    ") + (Zh ? "未能压缩，原样写出：" : "written unreduced: ") +
              QuotedName(Path) + "\n";
    for (const std::string& Part : Row.PartKept)
      Text += std::string("    ") + (Zh ? "部分未压缩：" : "partly unminified: ") +
              QuotedName(Part) + "\n";
    if (!LeftOut) {
      In += Row.BytesIn;
      Out += Row.BytesOut;
    }
  }
  if (!Rows.empty() && !DryRun)
    Text += "  " + Padded(Zh ? "写出合计" : "written in all", 26) + FormatBytes(In, Lang) + " -> " +
            FormatBytes(Out, Lang) + " (" + (Zh ? "省下 " : "saved ") + SavedPercent(In, Out) +
            ")\n";
  return Text;
}

}  // namespace larkspan
