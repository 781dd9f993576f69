#include "engine/uRunReport.h"

#include <cmath>
#include <cstdio>

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
  return "Stopped after " + std::to_string(DoneFiles) + " of " + std::to_string(TotalFiles) +
         " files; every file written is whole.";
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
  return std::to_string(Count) + " files were copied without compression";
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
  }
  return std::string();
}

std::string SavedPercent(int64_t In, int64_t Out) {
  if (In <= 0) return "0.0%";
  return OneDecimal(double(In - Out) * 100.0 / double(In), "%");
}

std::string ActionSummary(const std::vector<TFileResult>& Results, TReportLang Lang) {
  const std::vector<int> Counts = CountByAction(Results);
  std::string Text;
  for (int I = 0; I < FileActionCount; ++I) {
    if (Counts[size_t(I)] == 0) continue;
    if (!Text.empty()) Text += Lang == TReportLang::Zh ? "，" : ", ";
    Text += ActionText(TFileAction(I), Lang) + " " + std::to_string(Counts[size_t(I)]);
  }
  return Text;
}

}  // namespace larkspan
