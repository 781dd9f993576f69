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
// "N files were copied without compression" ("1 file was ...") and its Chinese.
std::string UncompressedReport(int Count, TReportLang Lang);
// How many results were taken from the cache of results instead of
// running a tool: "12 results came from the cache" ("1 result came ...").
std::string CacheReport(int Hits, TReportLang Lang);
// The files in the output the run did not write: Count of them, and
// Removed of those removed. With none removed it says how to remove them
// (--delete when ForCommandLine, else the window's check box).
std::string StaleReport(int Count, int Removed, bool ForCommandLine, TReportLang Lang);
// SkippedReport in the report's language.
std::string SkippedReport(size_t SkippedCount, TReportLang Lang);
// The command line's last word on a successful run: the site's size before
// and the output's after, what that saves and its share, then, when
// Duplicates >= 0 (duplicates were looked for), how many were left out:
// "Done: 12.0 MB -> 8.7 MB, 3.3 MB saved (27.5%); 29 duplicate pictures
// left out." The window keeps SuccessReport.
std::string DoneReport(int64_t Before, int64_t After, int Duplicates, TReportLang Lang);
// Which JPEG reduction ran: lossy at quality 85, or lossless.
std::string JpegModeReport(bool Lossless, TReportLang Lang);
// Where the copy was written.
std::string OutputFolderReport(const std::string& Output, TReportLang Lang);

// One word or two for an action ("minified", "已压缩").
std::string ActionText(TFileAction Action, TReportLang Lang);
// What a dry run says it would do ("would minify"); for a picture it says
// that its optimiser will be tried, since whether the result is kept
// depends on what the tool makes of it.
std::string PlannedActionText(TFileAction Action, TReportLang Lang);
// A stable name for an action, for machine-read output ("duplicate_left_out").
std::string ActionId(TFileAction Action);
// Why, for a record ("" when there is nothing to say).
std::string ReasonText(const TFileResult& Result, TReportLang Lang);
// The share saved by writing Out bytes for In: "12.5%" ("-3.0%" when it
// grew, "0.0%" for an empty file or one left out).
std::string SavedPercent(int64_t In, int64_t Out);
// "minified 3, copied 2" for the actions that occur, in action order (in a
// dry run's words when Planned).
std::string ActionSummary(const std::vector<TFileResult>& Results, TReportLang Lang,
                          bool Planned = false);

// ---- the summary by kind of file --------------------------------------------

// The kinds the summary groups a run's files by: the written files by their
// extension (a kept duplicate counts as the picture it is), then the
// duplicates left out and the filtered files, which write nothing.
enum class TFileKind {
  Pages,        // .htm, .html
  StyleSheets,  // .css
  Scripts,      // .js, .mjs
  Xml,          // .xml
  Jpeg,         // .jpg, .jpeg
  Gif,
  Png,
  Other,       // every other file written
  Duplicates,  // duplicate pictures left out
  Filtered,    // left out by a file filter
};
constexpr int FileKindCount = 10;

struct TKindSummary {
  TFileKind Kind = TFileKind::Other;
  int Files = 0;
  int64_t BytesIn = 0;   // in the site
  int64_t BytesOut = 0;  // written (0 for the kinds left out, and in a dry run)
  // Files of this kind the compressor or optimiser failed on, written as
  // they were, in scan order.
  std::vector<std::string> Unreduced;
  // Files minified but for a part kept as it was (an inline script its
  // minifier refused): "path (what and why)", in scan order.
  std::vector<std::string> PartKept;
};

// The kind a record counts under; false for an entry that was never read
// (skipped), which no row counts.
bool KindOf(const TFileResult& Result, TFileKind& Kind);

// One row per kind that has files, in the order of TFileKind. The rows add
// up to every file the run read: their BytesIn to the site's size less the
// entries skipped unread, their BytesOut to what the run wrote.
std::vector<TKindSummary> SummaryByKind(const std::vector<TFileResult>& Results);

// "pages", "网页", ...
std::string KindText(TFileKind Kind, TReportLang Lang);

// A size for people, never "0.0KB" for a few bytes: whole bytes below
// 1 KiB ("13 bytes", "1 byte", "13 字节"), then "2.9 KB", then "3.3 MB" from
// 1 MiB on (one decimal, rounded half away from zero); a negative size
// keeps its sign.
std::string FormatBytes(int64_t Bytes, TReportLang Lang);

// "1 file" / "3 files" ("1 个文件" in Chinese).
std::string FileCount(int Count, TReportLang Lang);

// The summary's rows as text, one line each, ending in "\n": kind, files,
// bytes before -> after and the share saved; a kind left out says so and a
// dry run gives the bytes before only. Then a line of totals for what was
// written, and, under a row, the files left unreduced or partly so, named.
std::string KindSummaryText(const std::vector<TKindSummary>& Rows, TReportLang Lang, bool DryRun);

}  // namespace larkspan
