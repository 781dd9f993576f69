// Test helpers for engine tests: real folders on disk and a synchronous run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/uConfig.h"

namespace larkspan::test {

// A fresh empty folder under the temp folder, removed with its content when
// the object dies. Path() ends with "/".
class TTempDir {
 public:
  explicit TTempDir(const std::string& Hint = "larkspan");
  ~TTempDir();
  const std::string& Path() const { return Dir; }
  // Writes Data to Path()+Relative, creating folders.
  std::string Write(const std::string& Relative, const std::string& Data) const;

 private:
  std::string Dir;
};

// Relative path -> content of every file below Folder (links not followed).
std::map<std::string, std::string> ReadTree(const std::string& Folder);

struct TRunResult {
  bool Started = false;      // Start did not throw
  std::string StartError;    // its message otherwise
  bool IsSuccess = false;
  std::string ErrorText;
  int64_t SavedSize = 0;
  int DuplicateCount = 0;
  std::vector<int> Progress;  // every percentage reported, in order
  int FinishedCalls = 0;
  std::vector<std::string> UncompressedFiles;
  std::vector<std::string> RewrittenPages;
  std::vector<std::string> KeptDuplicates;  // full paths in the site
};

// Runs a whole engine on Root -> Output with Config, the worker handing its
// callbacks to this (main) thread, and waits until the engine is gone.
TRunResult RunEngine(TAppConfig& Config, const std::string& Root, const std::string& Output);

// A settings object with every switch off and no file behind it.
TAppConfig BlankConfig();

}  // namespace larkspan::test
