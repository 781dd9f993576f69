// What a run did to each file of the site, kept by the engine for the
// reports of both front ends.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace larkspan {

enum class TFileAction {
  Minified,          // written through the markup compressor
  Optimised,         // a picture written through its optimiser
  Copied,            // written unchanged (no optimisation applies)
  Rewritten,         // a page whose references were rewritten (then minified when asked)
  DuplicateLeftOut,  // equal to a picture written under another name; not written
  KeptDuplicate,     // a duplicate written after all: something still refers to it
  Filtered,          // left out by a file filter
  Skipped,           // not a file the run can publish (a FIFO, a dangling link, ...)
  FailedCopied,      // the compressor or optimiser failed; written unchanged
};
constexpr int FileActionCount = 9;

// Why an action was taken, for the reports.
enum class TFileReason {
  None,
  FilterPattern,  // Detail: the filter entry that matched
  SameContentAs,  // Detail: the written picture's path, relative to the site
  ReferredBy,     // Detail: "file:line" of a reference, relative to the site
  ExceptionFile,  // on the list of exception files
  ToolMissing,    // Detail: the program's name
  ToolFailed,     // Detail: the program's name and what it did
  NotSmaller,     // the optimised picture was not smaller
  NoOptimiser,    // no optimiser is switched on for this kind of file
  NotAFile,       // Detail: why the entry was passed by unread
  WouldWrite,     // a dry run: nothing was written
  PartKept,       // minified, but Detail: a part kept as it was and why
};

struct TFileResult {
  std::string Path;  // relative to the site root, "/" between folders
  TFileAction Action = TFileAction::Copied;
  TFileReason Reason = TFileReason::None;
  std::string Detail;
  int64_t BytesIn = 0;   // size in the site
  int64_t BytesOut = 0;  // size written to the output; 0 when nothing was written
  int64_t Order = 0;     // position of the file in the scan
  // The optimiser stopped at its safety cap (pngout, on a machine all but
  // stopped); the picture was written unchanged (FailedCopied).
  bool TimeCapped = false;
  // The result was taken from the cache of results: no tool ran.
  bool FromCache = false;
};

// The records of one run. Add may be called from any thread; Sorted returns
// them in scan order (equal orders in the order they were added).
class TFileResults {
 public:
  void Add(TFileResult Result);
  std::vector<TFileResult> Sorted() const;
  void Clear();
  size_t Size() const;

 private:
  mutable std::mutex Lock;
  std::vector<TFileResult> Items;
};

// Count of Results per action, indexed by int(TFileAction).
std::vector<int> CountByAction(const std::vector<TFileResult>& Results);

}  // namespace larkspan
