#include "engine/uSiteScan.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_set>

#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace larkspan {

namespace {
bool IsOneOf(const std::string& Ext, std::initializer_list<const char*> List) {
  for (const char* E : List)
    if (Ext == E) return true;
  return false;
}
}  // namespace

TSiteScan::TSiteScan(const TAppConfig& ASettings, TRunRecord& ARun, TFileResults& ARecords)
    : Settings(ASettings), Run(ARun), Records(ARecords) {}

void TSiteScan::BeginScan(const std::string& RootPath, const std::string& OutputPath) {
  FileFilterList.Clear();
  for (const std::string& E : ListTextEntries(Settings.FileFilters)) FileFilterList.Add(E);
  CompressFilterList.Clear();
  for (const std::string& E : ListTextEntries(Settings.CompressFilters)) CompressFilterList.Add(E);
  RootDir = RootPath;
  OutputDir = OutputPath;
  RealRoot = ResolvePath(RootDir);
  RealOutput = ResolvePath(OutputDir);
  OutputChain = FolderChainIds(OutputDir);
  OutputExisted = DirectoryExists(OutputDir);
  for (auto* List : {&PicFiles, &PageFiles, &CompressFiles, &OtherFiles}) List->clear();
  Run.Counts = TScanCounts();
  Run.SkippedFiles.clear();
  Records.Clear();
  ScanOrder.clear();
  ScanSizes.clear();
  ExceptedFiles.clear();
}

void TSiteScan::ScanSite() {
  // The scan meets every file once (linked folders included), so it
  // measures the site as it goes.
  ScanSize = 0;
  ScanFolder(RootDir,
             [this](const std::string& Folder, const std::string& Name) { AddFile(Folder, Name); });
  SourceSize = ScanSize;
  Run.SourceSize = SourceSize;
}

void TSiteScan::CheckOutputFolders() const {
  std::unordered_set<std::string> Checked;
  for (const auto* List : {&PicFiles, &PageFiles, &CompressFiles, &OtherFiles})
    for (const std::string& File : *List) {
      const std::string Folder = ExtractFilePath(GetOutputFileName(File));
      if (Checked.insert(Folder).second) CheckOutputFolder(Folder);
    }
}

void TSiteScan::CheckOutputFolder(const std::string& Folder) const {
  const std::string Resolved = ResolvePath(Folder);
  if (!IsPathWithin(Resolved, RealRoot)) return;
  // Find the link: the first component below the output folder that is one.
  std::string Path = ExcludeTrailingDelimiter(OutputDir);
  const std::string Rest =
      Folder.substr(std::min(Folder.size(), IncludeTrailingDelimiter(OutputDir).size()));
  size_t I = 0;
  std::string Link = Folder;
  for (;;) {
    if (IsSymbolicLink(Path) && IsPathWithin(ResolvePath(Path), RealRoot)) {
      Link = Path;
      break;
    }
    if (I >= Rest.size()) break;
    const size_t J = std::min(Rest.find(PathDelim, I), Rest.size());
    Path += "/" + Rest.substr(I, J - I);
    I = J + 1;
  }
  throw Exception("网站根目录和输出目录不能相同！输出目录中的链接指向网站根目录：" + Link);
}

void TSiteScan::ScanFolder(const std::string& Folder, const TFileCallback& Callback) {
  std::vector<TFileId> Ancestors;
  ScanTree(IncludeTrailingDelimiter(ExcludeTrailingDelimiter(Folder)), Callback, Ancestors);
}

void TSiteScan::RecordSkipped(const std::string& FullPath, const std::string& Reason) {
  Run.SkippedFiles.push_back({FullPath, Reason});
  ++Run.Counts.Skipped;
  ScanOrder.emplace(FullPath, int64_t(ScanOrder.size()));
  Records.Add(NewRecord(FullPath, TFileAction::Skipped, TFileReason::NotAFile, Reason));
}

void TSiteScan::ScanTree(const std::string& Dir, const TFileCallback& Callback,
                         std::vector<TFileId>& Ancestors) {
  TFileId Id;
  if (GetFileId(Dir, Id)) Ancestors.push_back(Id);
  const size_t Depth = Ancestors.size();
  for (const TDirEntry& E : ReadDirectory(Dir)) {
    const std::string Full = Dir + E.Name;
    if (E.IsSpecial) {
      RecordSkipped(Full, "不是普通文件（管道、套接字或设备），未读取 (not a regular file)");
    } else if (E.IsDangling) {
      RecordSkipped(Full, "链接的目标不存在 (dangling link)");
    } else if (E.IsDirectory || E.IsFolderLink) {
      TFileId Sub;
      if (!GetFileId(Full, Sub)) {
        RecordSkipped(Full, "链接的目标不存在 (dangling link)");
      } else if (std::find(Ancestors.begin(), Ancestors.end(), Sub) != Ancestors.end()) {
        RecordSkipped(Full, "链接指向其所在的目录，形成循环 (link loop)");
      } else if ((OutputExisted && !OutputChain.empty() && Sub == OutputChain.front()) ||
                 (E.IsFolderLink && !RealOutput.empty() &&
                  IsPathWithin(ResolvePath(Full), RealOutput))) {
        RecordSkipped(Full, "链接指向输出目录 (link into the output folder)");
      } else if (std::find(OutputChain.begin(), OutputChain.end(), Sub) != OutputChain.end()) {
        // The scan would reach the output: every run would copy the last
        // one's output into itself.
        throw Exception("网站根目录和输出目录不能相同！网站中的链接通向输出目录所在的目录：" +
                        Full);
      } else {
        ScanTree(Full + "/", Callback, Ancestors);
      }
    } else {
      ScanSize += E.Size;
      ScanSizes.emplace(Full, E.Size);
      Callback(Dir, E.Name);
    }
  }
  Ancestors.resize(Depth > 0 ? Depth - 1 : 0);
}

void TSiteScan::AddFile(const std::string& FolderPath, const std::string& FileName) {
  const std::string Ext = UpperCaseAscii(ExtractFileExt(FileName));
  const std::string Path = FolderPath + FileName;
  ScanOrder.emplace(Path, int64_t(ScanOrder.size()));
  const bool ByExt = FileFilterList.Contains("*" + Ext);
  TScanCounts& Counts = Run.Counts;
  if (ByExt || FileFilterList.Contains(FileName)) {
    ++Counts.Dropped;
    // The entry as the user wrote it.
    const std::string Key = ByExt ? "*" + ExtractFileExt(FileName) : FileName;
    std::string Entry = Key;
    for (int I = 0; I < FileFilterList.Count(); ++I)
      if (SameText(FileFilterList[I], Key)) Entry = FileFilterList[I];
    Records.Add(NewRecord(Path, TFileAction::Filtered, TFileReason::FilterPattern, Entry));
    return;
  }
  const bool IsPage = IsOneOf(Ext, {".HTM", ".HTML"});
  if (Settings.IsReducePic && IsPage) {
    PageFiles.push_back(Path);
    ++Counts.Pages;
    return;
  }
  if (Settings.IsReducePic && IsOneOf(Ext, {".GIF", ".JPG", ".JPEG", ".BMP", ".PNG"})) {
    PicFiles.push_back(Path);
    ++Counts.Pictures;
    return;
  }
  if ((Settings.IsCompressHtml && IsPage) ||
      (Settings.IsCompressJS && IsOneOf(Ext, {".JS", ".MJS"})) ||
      (Settings.IsCompressCSS && Ext == ".CSS") || (Settings.IsCompressXML && Ext == ".XML")) {
    if (CanCompress(RootDir, Path)) {
      CompressFiles.push_back(Path);
      ++Counts.Compressed;
      return;
    }
    ExceptedFiles.emplace(Path, std::string());
  }
  OtherFiles.push_back(Path);
  ++Counts.Other;
}

bool TSiteScan::CanCompress(const std::string& BaseDir, const std::string& FilePath) const {
  const std::string Base = IncludeTrailingDelimiter(BaseDir);
  std::string Relative = FilePath;
  if (StartsText(Base, FilePath)) Relative = FilePath.substr(Base.size());
  return !CompressFilterList.Contains(Relative);
}

std::string TSiteScan::GetOutputFileName(const std::string& FileName) const {
  return IncludeTrailingDelimiter(OutputDir) + RelativePath(FileName);
}

std::string TSiteScan::RelativePath(const std::string& FullPath) const {
  const std::string Root = IncludeTrailingDelimiter(RootDir);
  if (StartsText(Root, FullPath)) return FullPath.substr(Root.size());
  return FullPath;
}

TFileResult TSiteScan::NewRecord(const std::string& FullPath, TFileAction Action,
                                 TFileReason Reason, std::string Detail) const {
  TFileResult R;
  R.Path = RelativePath(FullPath);
  R.Action = Action;
  R.Reason = Reason;
  R.Detail = std::move(Detail);
  R.BytesIn = FileSizeOf(FullPath);
  const auto Found = ScanOrder.find(FullPath);
  R.Order = Found == ScanOrder.end() ? int64_t(ScanOrder.size()) : Found->second;
  return R;
}

int64_t TSiteScan::ScannedSize(const std::string& FullPath) const {
  const auto Found = ScanSizes.find(FullPath);
  return Found == ScanSizes.end() ? 0 : Found->second;
}

}  // namespace larkspan
