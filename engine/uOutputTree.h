// The output folder of one run: locked while the run writes into it, its
// folders made as the first file of each is written, and the leftovers of
// an earlier, killed run cleared from them.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "platform/FileSystem.h"

namespace larkspan {

class TSiteScan;

// Open and Make on one thread before the run's files are written; Prepare
// from any number of workers at once.
class TOutputTree {
 public:
  // Opens OutputPath as the run's write root (every write then reaches it
  // from the folder's handle, without following links) and locks it;
  // throws Exception when it cannot be opened, or naming it when another
  // run holds the lock.
  void Open(const std::string& OutputPath);
  // Makes Scan's output folder where the scan resolved it, when it is not
  // open yet, and opens it; notes the output paths of Scan's work lists and
  // of the folders above them, which the cleanup of leftovers leaves alone.
  // Throws Exception ("创建目录失败" with the system's reason).
  void Make(const TSiteScan& Scan);
  // Makes Dest's folder, once per folder, removing temporary files a
  // killed run left there. Throws Exception ("创建目录失败" with the system's
  // reason); a folder swapped for a link fails here.
  void Prepare(const std::string& Dest);

 private:
  std::unique_ptr<TWriteRoot> Root;  // none for a dry run
  std::unordered_set<std::string> OutputNames;
  std::mutex Lock;  // guards PreparedFolders and the making of folders
  std::unordered_set<std::string> PreparedFolders;
};

}  // namespace larkspan
