// The texts a front end needs around a run, shared by the window and the
// command line so both report in the same words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/uFileResult.h"

namespace larkspan {

// "%.1fMB" when Bytes is more than 1 MiB, else "%.1fKB"; rounded half away
// from zero; a negative size shows as negative KB.
std::string FormatSavedSize(int64_t Bytes);

// The report after a successful run.
std::string SuccessReport(bool IsReducePic, int DuplicateCount, int64_t SavedBytes);
// One line on the site's entries a run passed by unread, "" when none:
// "有 N 个项目未读取（特殊文件、失效或循环的链接）". Front ends add it to
// their report and may list the entries.
std::string SkippedReport(size_t SkippedCount);

// The report after a failed run.
std::string FailureReport(const std::string& ErrorText);

// The language of the reports: Chinese (the window's words) or English.
enum class TReportLang { Zh, En };
// Chinese when the first of LC_ALL, LC_MESSAGES, LANG that is set and not
// empty begins with "zh", English otherwise (also with none set).
TReportLang LangFromEnvironment();

std::string SuccessReport(bool IsReducePic, int DuplicateCount, int64_t SavedBytes,
                          TReportLang Lang);
std::string FailureReport(const std::string& ErrorText, TReportLang Lang);
// A run stopped by the user after DoneFiles of TotalFiles files.
std::string StoppedReport(int DoneFiles, int TotalFiles, TReportLang Lang);
// An optimiser that is not installed: its pictures are copied unchanged.
std::string MissingToolReport(const std::string& Program, TReportLang Lang);
// "N files were copied without compression" and its Chinese.
std::string UncompressedReport(int Count, TReportLang Lang);
// Where the copy was written.
std::string OutputFolderReport(const std::string& Output, TReportLang Lang);

// One word or two for an action ("minified", "已压缩").
std::string ActionText(TFileAction Action, TReportLang Lang);
// A stable name for an action, for machine-read output ("duplicate_left_out").
std::string ActionId(TFileAction Action);
// Why, for a record ("" when there is nothing to say).
std::string ReasonText(const TFileResult& Result, TReportLang Lang);
// The share saved by writing Out bytes for In: "12.5%" ("-3.0%" when it
// grew, "0.0%" for an empty file or one left out).
std::string SavedPercent(int64_t In, int64_t Out);
// "minified 3, copied 2" for the actions that occur, in action order.
std::string ActionSummary(const std::vector<TFileResult>& Results, TReportLang Lang);

}  // namespace larkspan
