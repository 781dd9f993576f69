// What one run of the engine did: the one value the run fills and hands to
// its OnFinished handler, read by the window, the command line and tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/uFileResult.h"
#include "engine/uRefCheck.h"

namespace larkspan {

// Counts of what the scan decided, for reports.
struct TScanCounts {
  int Pictures = 0;    // pictures examined for duplicate content
  int Pages = 0;       // pages whose picture references may be rewritten
  int Compressed = 0;  // files handed to the markup compressor
  int Other = 0;       // copied (pictures possibly optimised)
  int Dropped = 0;     // left out by the file filters
  int Skipped = 0;     // never read: see TRunRecord::SkippedFiles
};

// An entry of the site the run passed by without reading it.
struct TSkippedFile {
  std::string FileName;  // full path in the site
  std::string Reason;    // why, for the user
};

// The record of a run. Filled by the engine; final when OnFinished is
// called, and valid only during that call (copy what is needed).
struct TRunRecord {
  bool IsSuccess = false;  // every phase completed
  bool IsStopped = false;  // the run ended because a stop was asked for
  bool DryRun = false;     // nothing was written; Results say what would be done
  std::string ErrorText;   // the failure that ended the run; empty otherwise
  int64_t SourceSize = 0;  // bytes of every file the scan met
  // SourceSize minus the bytes this run wrote (files left in the output by
  // earlier runs do not count); 0 after a failed run or a dry run.
  int64_t SavedSize = 0;
  // Pictures left out of the output because an equal picture was written.
  int DuplicateCount = 0;
  TScanCounts Counts;
  // Files copied as they were because the compressor or an optimiser failed
  // on them (full paths in the site; a page rewritten in place is kept as
  // rewritten).
  std::vector<std::string> UncompressedFiles;
  // Why the native compressor left a file of UncompressedFiles alone
  // ("line L, column C: reason"), by its path in the site.
  std::map<std::string, std::string> CompressErrors;
  // Pages whose references the rewriting changed (full paths in the site).
  std::vector<std::string> RewrittenPages;
  // Duplicates written after all, because something still refers to them.
  std::vector<TKeptDuplicate> KeptDuplicates;
  // Entries of the site passed by unread (special files, dangling links,
  // loops, files gone since the scan), in the order found.
  std::vector<TSkippedFile> SkippedFiles;
  std::vector<TFileResult> Results;  // what was done to each file, in scan order
  // The optimisers (and Java, for the archive compressor) the settings ask
  // for that cannot be found; their files are copied as they are.
  std::vector<std::string> MissingTools;
  int DoneFiles = 0;   // files handled when the run ended
  int TotalFiles = 0;  // files the run set out to handle
  // Results taken from the cache of results instead of running a tool.
  int CacheHits = 0;
  // Why the cache could not be used (or stopped storing); "" when it could.
  std::string CacheWarning;
  // Files in the output this run did not write (relative to it), those
  // removed of them (DeleteStale), and those that could not be removed
  // ("path: reason"; also a folder that could not be looked through).
  std::vector<std::string> StaleFiles;
  int RemovedStale = 0;
  std::vector<std::string> StaleFailures;
};

}  // namespace larkspan
