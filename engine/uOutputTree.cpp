#include "engine/uOutputTree.h"

#include <cerrno>

#include "engine/uSiteScan.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace larkspan {

void TOutputTree::Open(const std::string& OutputPath) {
  Root = std::make_unique<TWriteRoot>(OutputPath);
  // A result equal to the file already there leaves it untouched.
  Root->KeepEqualFiles();
  if (!Root->TryLock())
    throw Exception(
        "输出目录正被另一个任务使用，请等它结束后再试 (the output folder is in use by another "
        "run): " +
        OutputPath);
}

void TOutputTree::Make(const TSiteScan& Scan) {
  // Made where the checks looked (the resolved path).
  if (!Root) {
    if (!ForceDirectories(Scan.ResolvedOutput()))
      ThrowSystemError("创建目录失败 " + Scan.OutputDir, errno);
    Open(Scan.OutputDir);
  }
  OutputNames.clear();
  const std::string Top = ExcludeTrailingDelimiter(Scan.OutputDir);
  for (const auto* List : {&Scan.PicFiles, &Scan.PageFiles, &Scan.CompressFiles, &Scan.OtherFiles})
    for (const std::string& File : *List) {
      // The file and every folder above it, up to the output folder.
      std::string Path = Scan.GetOutputFileName(File);
      while (Path.size() > Top.size() + 1 && OutputNames.insert(Path).second)
        Path = ExcludeTrailingDelimiter(ExtractFilePath(Path));
    }
}

void TOutputTree::Prepare(const std::string& Dest) {
  const std::string Folder = ExtractFilePath(Dest);
  // Held while the folder is made, so that no worker writes into a folder
  // that is not there yet, or whose leftovers are being removed.
  std::lock_guard<std::mutex> L(Lock);
  if (!PreparedFolders.insert(Folder).second) return;
  try {
    // Reached from the output folder's handle without following links.
    if (!Folder.empty() && !ForceDirectories(Folder))
      ThrowSystemError("创建目录失败 " + Folder, errno);
    // Left by a run that was killed; a site entry of the same form that
    // this run writes is not a leftover.
    RemoveStaleTempFiles(Folder, [&](const std::string& Name) {
      return OutputNames.count(IncludeTrailingDelimiter(Folder) + Name) != 0;
    });
  } catch (...) {
    PreparedFolders.erase(Folder);
    throw;
  }
}

}  // namespace larkspan
