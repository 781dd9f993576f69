// One whole engine run on the calling thread, for front ends without an event
// loop of their own (the command line) and for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/uWebFilesMgr.h"

namespace larkspan {

class TAppConfig;

// What a run left behind, read inside OnFinished.
struct TRunOutcome {
  // The engine could not be created (no Java runtime, ...): CreateError holds
  // why, and nothing else was done.
  std::string CreateError;
  // Start refused the folders: StartError holds why; nothing was written.
  bool Started = false;
  std::string StartError;
  int FinishedCalls = 0;
  bool IsSuccess = false;
  std::string ErrorText;
  int64_t SourceSize = 0;
  int64_t SavedSize = 0;
  int DuplicateCount = 0;
  TScanCounts Counts;
  std::vector<std::string> UncompressedFiles;
  std::map<std::string, std::string> CompressErrors;
  std::vector<std::string> RewrittenPages;
  std::vector<TKeptDuplicate> KeptDuplicates;
  std::vector<TSkippedFile> SkippedFiles;
  // The run was stopped (IsSuccess false, ErrorText empty).
  bool IsStopped = false;
  bool DryRun = false;
  std::vector<TFileResult> Results;  // in scan order
  std::vector<std::string> MissingTools;
  int DoneFiles = 0;
  int TotalFiles = 0;
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

struct TRunHooks {
  // Every percentage the engine reports.
  std::function<void(int Percent)> OnProgress;
  // Where the run is; Engine may be asked to stop here.
  std::function<void(const TRunStatus& Status, TWebFilsMgr& Engine)> OnStatus;
  // Once Start has scanned the site, before the first file: the optimisers
  // that are missing.
  std::function<void(const std::vector<std::string>& MissingTools)> OnStarted;
  bool DryRun = false;
  // Use the cache of results (TWebFilsMgr::UseCache).
  bool UseCache = false;
  // Remove the files the run did not write from the output
  // (TWebFilsMgr::DeleteStale); ConfirmDelete, when set, is asked first
  // with their count, on this thread.
  bool DeleteStale = false;
  std::function<bool(int Count)> ConfirmDelete;
};

// Creates an engine for Config, starts it on Root -> Output and runs the
// worker's hand-offs on this thread until the engine is gone. OnProgress
// (may be empty) gets every percentage the engine reports. Installs its own
// main-thread dispatcher for the length of the call.
// REQUIRES: no other dispatcher or engine is in use meanwhile; Config stays
// unchanged during the call.
TRunOutcome RunEngineToEnd(TAppConfig& Config, const std::string& Root, const std::string& Output,
                           const std::function<void(int Percent)>& OnProgress = {});
TRunOutcome RunEngineToEnd(TAppConfig& Config, const std::string& Root, const std::string& Output,
                           const TRunHooks& Hooks);

}  // namespace larkspan
