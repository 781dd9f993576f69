// The checks and texts a front end needs around a run, shared by the window
// and the command line so both refuse and report in the same words.
#pragma once

#include <cstdint>
#include <string>

namespace larkspan {

// True when one folder text begins with the other: blanks and control
// characters around both are ignored and ASCII letters compare without
// case. Refuses equal folders and one inside the other (and, like the
// window always did, a pair such as "/web" and "/web2").
bool FoldersOverlap(const std::string& RootPath, const std::string& OutputPath);

// The one test of whether a run could write into the site: true when the
// two folders, each resolved with ResolvePath (links followed, relative
// paths from the current folder, "x/." and ".." taken apart), are one
// folder or one lies inside the other, compared by whole path components
// ("/web" and "/web2" do not overlap). Neither folder needs to exist; an
// empty or unresolvable text overlaps everything (refused). The engine's
// Start, the command line and the window all use it; the window in
// addition to FoldersOverlap.
bool FoldersConflict(const std::string& RootPath, const std::string& OutputPath);

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

}  // namespace larkspan
