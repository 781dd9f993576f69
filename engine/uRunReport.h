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

// True when the real (link-resolved) output folder is the root folder or
// lies inside it. Both must exist.
bool OutputInsideRoot(const std::string& RootPath, const std::string& OutputPath);

// "%.1fMB" when Bytes is more than 1 MiB, else "%.1fKB"; rounded half away
// from zero; a negative size shows as negative KB.
std::string FormatSavedSize(int64_t Bytes);

// The report after a successful run.
std::string SuccessReport(bool IsReducePic, int DuplicateCount, int64_t SavedBytes);
// The report after a failed run.
std::string FailureReport(const std::string& ErrorText);

}  // namespace larkspan
