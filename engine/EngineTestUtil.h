// Test helpers for engine tests: a whole run, synchronously, on real folders
// (the folder helpers themselves are in platform/TestUtil.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/uConfig.h"
#include "platform/TestUtil.h"

namespace larkspan::test {

struct TRunResult {
  bool Started = false;    // Start did not throw
  std::string StartError;  // its message otherwise
  bool IsSuccess = false;
  std::string ErrorText;
  int64_t SavedSize = 0;
  int DuplicateCount = 0;
  std::vector<int> Progress;  // every percentage reported, in order
  int FinishedCalls = 0;
  std::vector<std::string> UncompressedFiles;
  std::vector<std::string> RewrittenPages;
  std::vector<std::string> KeptDuplicates;  // full paths in the site
  std::vector<std::string> SkippedFiles;    // full paths in the site
};

// Runs a whole engine on Root -> Output with Config, the worker handing its
// callbacks to this (main) thread, and waits until the engine is gone.
TRunResult RunEngine(TAppConfig& Config, const std::string& Root, const std::string& Output);

// A settings object with every switch off and no file behind it.
TAppConfig BlankConfig();

}  // namespace larkspan::test
