// The scan of a site before a run: the folders checked, the filter lists
// read, every file of the site met once and put into one work list or left
// out, and the folders the run will write into checked against the site.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/uFileResult.h"
#include "engine/uRunRecord.h"
#include "engine/uTextList.h"
#include "platform/FileSystem.h"

namespace larkspan {

class TAppConfig;

// Works on the thread that calls it; not for use by two threads at once.
// What it finds beyond the work lists (counts, entries passed by, filtered
// files) goes into the run's record.
class TSiteScan {
 public:
  // Settings, Run and Records must outlive the scan. They are only stored
  // here, so they may be members of a class that derives from this one.
  TSiteScan(const TAppConfig& ASettings, TRunRecord& ARun, TFileResults& ARecords);

  // Takes the two folders (RootDir, OutputDir as passed), where they resolve
  // to, and the filter lists from the settings; empties the work lists.
  void BeginScan(const std::string& RootPath, const std::string& OutputPath);
  // Walks the whole site into the work lists, measuring it (SourceSize).
  // Throws Exception as ScanFolder does.
  void ScanSite();
  // Throws when a folder the run will write into (the output folder of a
  // file of the work lists) resolves into the site, naming the link that
  // leads there.
  void CheckOutputFolders() const;

  using TFileCallback =
      std::function<void(const std::string& FolderPath, const std::string& FileName)>;
  // Depth-first walk in the order the system lists entries; Callback gets
  // the file's folder (ending in "/") and bare name. A link to a folder is
  // followed like a web server would, unless it leads back to a folder on
  // the current path (a loop) or into the output folder; those, dangling
  // links and FIFOs, sockets and devices are never opened but recorded in
  // the run's SkippedFiles (and Records, as skipped). A folder that cannot
  // be listed throws Exception naming it with the system's reason. Adds the
  // size of every file met to ScanSize.
  void ScanFolder(const std::string& Folder, const TFileCallback& Callback);
  // Puts the file into its work list, or records it as filtered.
  void AddFile(const std::string& FolderPath, const std::string& FileName);
  // False when FilePath, relative to BaseDir, is an exception file.
  bool CanCompress(const std::string& BaseDir, const std::string& FilePath) const;
  // OutputDir + "/" + FileName's path relative to RootDir.
  std::string GetOutputFileName(const std::string& FileName) const;
  // FullPath relative to RootDir (FullPath itself when outside it).
  std::string RelativePath(const std::string& FullPath) const;
  // A record for the site file FullPath with its size and scan position.
  TFileResult NewRecord(const std::string& FullPath, TFileAction Action,
                        TFileReason Reason = TFileReason::None, std::string Detail = {}) const;
  // Records FullPath as passed by unread for Reason.
  void RecordSkipped(const std::string& FullPath, const std::string& Reason);
  // Whether FullPath is an exception file the scan met in a work list of
  // its own kind (copied rather than minified).
  bool IsExcepted(const std::string& FullPath) const { return ExceptedFiles.count(FullPath) != 0; }
  // The size FullPath had when the scan met it (0 for a file it did not).
  int64_t ScannedSize(const std::string& FullPath) const;
  // Where OutputDir resolved to when the scan began (ResolvePath).
  const std::string& ResolvedOutput() const { return RealOutput; }

  std::string RootDir;    // as passed
  std::string OutputDir;  // as passed
  int64_t SourceSize = 0;
  int64_t ScanSize = 0;  // size of the files ScanFolder has met
  TTextList FileFilterList;
  TTextList CompressFilterList;
  std::vector<std::string> PicFiles;
  std::vector<std::string> PageFiles;
  std::vector<std::string> CompressFiles;
  std::vector<std::string> OtherFiles;

 private:
  const TAppConfig& Settings;
  TRunRecord& Run;
  TFileResults& Records;

  // ScanFolder's walk; Ancestors are the folders on the current path.
  void ScanTree(const std::string& Dir, const TFileCallback& Callback,
                std::vector<TFileId>& Ancestors);
  void CheckOutputFolder(const std::string& Folder) const;

  std::unordered_map<std::string, int64_t> ScanOrder;
  std::unordered_map<std::string, int64_t> ScanSizes;          // full path -> size
  std::unordered_map<std::string, std::string> ExceptedFiles;  // full path -> ""
  std::string RealRoot, RealOutput;                            // ResolvePath of both
  // FolderChainIds of the output folder, and whether it existed: the scan
  // never enters the output and refuses a link above it.
  std::vector<TFileId> OutputChain;
  bool OutputExisted = false;
};

}  // namespace larkspan
