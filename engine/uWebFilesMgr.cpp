#include "engine/uWebFilesMgr.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "compress/uHtmlCompress.h"
#include "compress/uNativeCompress.h"
#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "engine/uImageOptimiser.h"
#include "engine/uPictureDigest.h"
#include "engine/uRunReport.h"
#include "htmlparser/clHtmlParser.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace larkspan {

// ---- TDetailList -----------------------------------------------------------

namespace {
bool PathLess(const std::pair<std::string, std::unique_ptr<TDetailItm>>& A, const std::string& B) {
  return CompareText(A.first, B) < 0;
}
}  // namespace

void TDetailList::Add(const std::string& Path, std::unique_ptr<TDetailItm> Item) {
  // After every entry equal to Path ignoring case: "img/B.gif" and
  // "img/b.gif" are two files here, and each must stay in the list (one
  // replacing the other would leave a picture neither written nor counted).
  auto It = std::upper_bound(Items.begin(), Items.end(), Path,
                             [](const std::string& P, const auto& E) { return CompareText(P, E.first) < 0; });
  Items.emplace(It, Path, std::move(Item));
}

int TDetailList::IndexOf(const std::string& Path) const {
  auto It = std::lower_bound(Items.begin(), Items.end(), Path, PathLess);
  const auto First = It;
  for (; It != Items.end() && CompareText(It->first, Path) == 0; ++It)
    if (It->first == Path) return int(It - Items.begin());  // the exact name first
  if (First != Items.end() && CompareText(First->first, Path) == 0) return int(First - Items.begin());
  return -1;
}

// ---- construction and scan -------------------------------------------------

TWebFilsMgr::TWebFilsMgr(TAppConfig* AConfig) : Config(AConfig) {
  HtmlParser = std::make_unique<TclHtmlParser>();
  // Only the archive needs (and checks for) a Java runtime.
  if (SameText(Config->Compressor, "archive")) {
    HtmlCompress = std::make_unique<THtmlCompress>(HelperFolderOf("htmlcompressor.jar"));
    HtmlCompress->IsCompressCSS = Config->IsCompressCSS;
    HtmlCompress->IsCompressJS = Config->IsCompressJS;
    HtmlCompress->CharSet = Config->CharSet;
  } else {
    NativeCompress = std::make_unique<TNativeCompress>();
    NativeCompress->IsCompressCSS = Config->IsCompressCSS;
    NativeCompress->IsCompressJS = Config->IsCompressJS;
    NativeCompress->CharSet = Config->CharSet;
  }
  Optimiser = std::make_unique<TImageOptimiser>(Config, ProgramFolder());
}

TWebFilsMgr::~TWebFilsMgr() = default;

void TWebFilsMgr::Start(const std::string& RootPath, const std::string& OutputPath) {
  if (!DirectoryExists(RootPath)) throw Exception("目录不存在");
  // Whatever the caller checked, the run never writes into the site: both
  // folders are resolved and compared before anything is created.
  if (FoldersConflict(RootPath, OutputPath)) throw Exception("网站根目录和输出目录不能相同！");
  if (const std::string Problem = ToolTimeoutProblem(); !Problem.empty()) throw Exception(Problem);
  if (!DirectoryExists(OutputPath) && !ForceDirectories(OutputPath))
    ThrowSystemError("创建目录失败 " + OutputPath, errno);

  FileFilterList.Clear();
  for (const std::string& E : ListTextEntries(Config->FileFilters)) FileFilterList.Add(E);
  CompressFilterList.Clear();
  for (const std::string& E : ListTextEntries(Config->CompressFilters)) CompressFilterList.Add(E);

  MasterList.clear();
  MasterIndexByMD5.clear();
  DetailList.Clear();

  RootDir = RootPath;
  OutputDir = OutputPath;
  RealRoot = ResolvePath(RootDir);
  RealOutput = ResolvePath(OutputDir);
  IsSuccess = false;
  Counts = TScanCounts();
  SkippedFiles.clear();
  // The scan meets every file once (linked folders included), so it
  // measures the site as it goes.
  ScanSize = 0;
  ScanFolder(RootDir, [this](const std::string& Folder, const std::string& Name) {
    AddFile(Folder, Name);
  });
  SourceSize = ScanSize;

  // Every folder the run will write into, looked at before anything is
  // written: a link in the output that leads into the site refuses the run.
  std::unordered_set<std::string> Checked;
  for (const auto* List : {&PicFiles, &PageFiles, &CompressFiles, &OtherFiles})
    for (const std::string& File : *List) {
      const std::string Folder = ExtractFilePath(GetOutputFileName(File));
      if (Checked.insert(Folder).second) CheckOutputFolder(Folder);
    }
  Resume();
}

void TWebFilsMgr::CheckOutputFolder(const std::string& Folder) const {
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

void TWebFilsMgr::ScanFolder(const std::string& Folder, const TFileCallback& Callback) {
  std::vector<TFileId> Ancestors;
  ScanTree(IncludeTrailingDelimiter(ExcludeTrailingDelimiter(Folder)), Callback, Ancestors);
}

void TWebFilsMgr::ScanTree(const std::string& Dir, const TFileCallback& Callback,
                           std::vector<TFileId>& Ancestors) {
  TFileId Id;
  if (GetFileId(Dir, Id)) Ancestors.push_back(Id);
  const size_t Depth = Ancestors.size();
  for (const TDirEntry& E : ReadDirectory(Dir)) {
    const std::string Full = Dir + E.Name;
    auto Skip = [&](const char* Reason) {
      SkippedFiles.push_back({Full, Reason});
      ++Counts.Skipped;
    };
    if (E.IsSpecial) {
      Skip("不是普通文件（管道、套接字或设备），未读取 (not a regular file)");
    } else if (E.IsDangling) {
      Skip("链接的目标不存在 (dangling link)");
    } else if (E.IsDirectory || E.IsFolderLink) {
      TFileId Sub;
      if (!GetFileId(Full, Sub)) {
        Skip("链接的目标不存在 (dangling link)");
      } else if (std::find(Ancestors.begin(), Ancestors.end(), Sub) != Ancestors.end()) {
        Skip("链接指向其所在的目录，形成循环 (link loop)");
      } else if (E.IsFolderLink && !RealOutput.empty() &&
                 IsPathWithin(ResolvePath(Full), RealOutput)) {
        Skip("链接指向输出目录 (link into the output folder)");
      } else {
        ScanTree(Full + "/", Callback, Ancestors);
      }
    } else {
      ScanSize += E.Size;
      Callback(Dir, E.Name);
    }
  }
  Ancestors.resize(Depth > 0 ? Depth - 1 : 0);
}

namespace {
bool IsOneOf(const std::string& Ext, std::initializer_list<const char*> List) {
  for (const char* E : List)
    if (Ext == E) return true;
  return false;
}
}  // namespace

void TWebFilsMgr::AddFile(const std::string& FolderPath, const std::string& FileName) {
  const std::string Ext = UpperCaseAscii(ExtractFileExt(FileName));
  const std::string Path = FolderPath + FileName;
  if (FileFilterList.Contains("*" + Ext) || FileFilterList.Contains(FileName)) {
    ++Counts.Dropped;
    return;
  }
  const bool IsPage = IsOneOf(Ext, {".HTM", ".HTML"});
  if (Config->IsReducePic && IsPage) {
    PageFiles.push_back(Path);
    ++Counts.Pages;
    return;
  }
  if (Config->IsReducePic && IsOneOf(Ext, {".GIF", ".JPG", ".JPEG", ".BMP", ".PNG"})) {
    PicFiles.push_back(Path);
    ++Counts.Pictures;
    return;
  }
  if ((Config->IsCompressHtml && IsPage) || (Config->IsCompressJS && IsOneOf(Ext, {".JS", ".MJS"})) ||
      (Config->IsCompressCSS && Ext == ".CSS") || (Config->IsCompressXML && Ext == ".XML")) {
    if (CanCompress(RootDir, Path)) {
      CompressFiles.push_back(Path);
      ++Counts.Compressed;
      return;
    }
  }
  OtherFiles.push_back(Path);
  ++Counts.Other;
}

bool TWebFilsMgr::CanCompress(const std::string& BaseDir, const std::string& FilePath) const {
  const std::string Base = IncludeTrailingDelimiter(BaseDir);
  std::string Relative = FilePath;
  if (StartsText(Base, FilePath)) Relative = FilePath.substr(Base.size());
  return !CompressFilterList.Contains(Relative);
}

int64_t TWebFilsMgr::FileSizeOf(const std::string& Path) { return larkspan::FileSizeOf(Path); }

int64_t TWebFilsMgr::FolderSizeOf(const std::string& Folder) {
  const std::string Dir = IncludeTrailingDelimiter(Folder);
  int64_t Sum = 0;
  for (const TDirEntry& E : ListDirectory(Dir)) {
    if (E.IsDirectory)
      Sum += FolderSizeOf(Dir + E.Name + "/");
    else
      Sum += E.Size;
  }
  return Sum;
}

std::string TWebFilsMgr::GetOutputFileName(const std::string& FileName) const {
  const std::string Root = IncludeTrailingDelimiter(RootDir);
  std::string Relative = FileName;
  if (StartsText(Root, FileName)) Relative = FileName.substr(Root.size());
  return IncludeTrailingDelimiter(OutputDir) + Relative;
}

int64_t TWebFilsMgr::GetSavedSize() const {
  if (!IsSuccess) return 0;
  int64_t Written = 0;
  for (const std::string& F : WrittenFiles) Written += larkspan::FileSizeOf(F);
  return SourceSize - Written;
}

int TWebFilsMgr::GetDuplicateCount() const {
  return DetailList.Count() - int(KeptDuplicates.size());
}

int TWebFilsMgr::ProgressPercent(int Done, int Total) {
  if (Total <= 0) return 0;
  const int64_t N = int64_t(Done) * 100;
  int64_t Q = N / Total;
  const int64_t R2 = (N % Total) * 2;
  if (R2 > Total || (R2 == Total && (Q & 1))) ++Q;
  return int(Q);
}

// ---- the run ---------------------------------------------------------------

void TWebFilsMgr::ReportProgress() {
  const int Percent = ProgressPercent(DoneSteps, TotalSteps);
  // Every hand-off stops the worker until the window has run the handler; on
  // a large site most steps repeat the last percentage, so those are skipped.
  if (!OnProgress || Percent == LastPercent) return;
  LastPercent = Percent;
  Synchronize([&] { OnProgress(this, Percent); });
}

void TWebFilsMgr::PrepareDestination(const std::string& Dest) {
  const std::string Folder = ExtractFilePath(Dest);
  if (PreparedFolders.insert(Folder).second) {
    if (!Folder.empty() && !DirectoryExists(Folder))
      ForceDirectories(Folder);
    else
      RemoveStaleTempFiles(Folder);  // left by a run that was killed
  }
  WrittenFiles.push_back(Dest);
}

void TWebFilsMgr::CopyOrFail(const std::string& Source, const std::string& Dest) {
  if (!CopyFileOverwrite(Source, Dest))
    ThrowSystemError("复制文件失败！" + Source + " -> " + Dest, errno);
}

namespace {
// An outside program's result that is missing, or empty while the source
// was not, is no result at all.
bool UsableResult(const std::string& Source, const std::string& Dest) {
  if (!FileExists(Dest)) return false;
  return larkspan::FileSizeOf(Dest) > 0 || larkspan::FileSizeOf(Source) == 0;
}
}  // namespace

void TWebFilsMgr::WritePicture(const std::string& Source, const std::string& Dest) {
  if (Optimiser->HasRuleFor(Source)) {
    // The optimiser writes into a private folder beside Dest, never through
    // whatever stands at Dest; its result is published by a rename.
    TTempFolder Work(ExtractFilePath(Dest));
    const std::string Result = Work.Path() + ExtractFileName(Dest);
    if (Optimiser->ReducePicture(Source, Result)) {
      if (UsableResult(Source, Result)) {
        if (!PublishFile(Result, Dest, Source)) ThrowSystemError("无法创建文件 " + Dest, errno);
        return;
      }
      UncompressedFiles.push_back(Source);
    } else if (Optimiser->LastFailed) {
      UncompressedFiles.push_back(Source);
    }
  }
  CopyOrFail(Source, Dest);
}

bool TWebFilsMgr::CompressWithArchive(const std::string& Source, const std::string& Dest) {
  // The compressor writes a fresh temporary file: a page minified in place
  // stays whole when the compressor empties or truncates its result.
  TTempFile Result(Dest);
  Result.Close();
  std::unique_ptr<TTempFolder> Ascii;
  std::string From = Source, To = Result.Path();
  if (!IsValidUtf8(Source) || !IsValidUtf8(Result.Path())) {
    // The Java runtime cannot name such a path: hand it ASCII names.
    Ascii = std::make_unique<TTempFolder>();
    From = Ascii->Path() + "in" + ExtractFileExt(ExtractFileName(Source));
    To = Ascii->Path() + "out" + ExtractFileExt(ExtractFileName(Source));
    CopyOrFail(Source, From);
  }
  if (!HtmlCompress->Compress(From, To)) throw Exception(HtmlCompress->ErrorMessage);
  if (HtmlCompress->LastExitCode == 0 && UsableResult(From, To)) {
    if (Ascii) CopyOrFail(To, Result.Path());
    Result.Publish(Source);
    return true;
  }
  return false;
}

void TWebFilsMgr::CompressOrCopy(const std::string& Source, const std::string& Dest) {
  if (NativeCompress) {
    if (NativeCompress->Compress(Source, Dest)) return;
    CompressErrors[Source] = NativeCompress->ErrorMessage;
  } else if (CompressWithArchive(Source, Dest)) {
    return;
  }
  UncompressedFiles.push_back(Source);
  if (Source == Dest) return;  // a page minified in place stays as it was written
  CopyOrFail(Source, Dest);
}

void TWebFilsMgr::RunPhases() {
  TotalSteps = 2 * int(PicFiles.size()) + int(OtherFiles.size()) + int(PageFiles.size()) +
               int(CompressFiles.size());
  DoneSteps = 0;

  // Phase 1: duplicate detection by content digest. A picture that no other
  // picture can equal (by size, then by its first bytes) gets an empty key
  // and becomes a master without being digested to its end.
  TPictureDigests Digests(PicFiles);
  for (size_t I = 0; I < PicFiles.size(); ++I) {
    const std::string& Path = PicFiles[I];
    int64_t Size = 0;
    const std::string MD5 = Digests.KeyOf(I, Size);
    if (MD5.empty()) {
      auto Item = std::make_unique<TMasterItm>();
      Item->FileName = Path;
      MasterList.emplace_back(std::string(), std::move(Item));
      ++DoneSteps;
      ReportProgress();
      continue;
    }
    auto Found = MasterIndexByMD5.find(MD5);
    if (Found != MasterIndexByMD5.end()) {
      auto Item = std::make_unique<TDetailItm>();
      Item->MasterIndex = Found->second;
      Item->FileName = Path;
      Item->FileSize = Size;
      DetailList.Add(Path, std::move(Item));
      ++DoneSteps;  // the writing step this picture will not have
    } else {
      MasterIndexByMD5.emplace(MD5, int(MasterList.size()));
      auto Item = std::make_unique<TMasterItm>();
      Item->FileName = Path;
      MasterList.emplace_back(MD5, std::move(Item));
    }
    ++DoneSteps;
    ReportProgress();
  }
  PicFiles.clear();

  // Phase 2: every distinct picture once.
  for (const auto& Entry : MasterList) {
    const std::string Dest = GetOutputFileName(Entry.second->FileName);
    PrepareDestination(Dest);
    WritePicture(Entry.second->FileName, Dest);
    ++DoneSteps;
    ReportProgress();
  }

  // Phase 3: pages, rewritten when duplicates were found.
  for (const std::string& Page : PageFiles) {
    const std::string Dest = GetOutputFileName(Page);
    PrepareDestination(Dest);
    if (DetailList.Count() == 0) {
      if (Config->IsCompressHtml && CanCompress(RootDir, Page))
        CompressOrCopy(Page, Dest);
      else
        CopyOrFail(Page, Dest);
    } else {
      RewritePage(Page, Dest);
      RewrittenPages.push_back(Page);
      if (Config->IsCompressHtml && CanCompress(OutputDir, Dest)) CompressOrCopy(Dest, Dest);
    }
    ++DoneSteps;
    ReportProgress();
  }
  if (DetailList.Count() > 0) KeepReferencedDuplicates();

  // Phase 4: style sheets, scripts, XML (and pages when pictures are not reduced).
  for (const std::string& Path : CompressFiles) {
    const std::string Dest = GetOutputFileName(Path);
    PrepareDestination(Dest);
    CompressOrCopy(Path, Dest);
    ++DoneSteps;
    ReportProgress();
  }

  // Phase 5: everything else.
  for (const std::string& Path : OtherFiles) {
    const std::string Dest = GetOutputFileName(Path);
    PrepareDestination(Dest);
    WritePicture(Path, Dest);
    ++DoneSteps;
    ReportProgress();
  }
  IsSuccess = true;
}

void TWebFilsMgr::Execute() {
  FreeOnTerminate = true;
  try {
    RunPhases();
  } catch (const std::exception& E) {
    IsSuccess = false;
    ErrorText = E.what();
  } catch (...) {
    IsSuccess = false;
    ErrorText = "未知错误";
  }
  if (OnFinished) {
    try {
      Synchronize([this] { OnFinished(this); });
    } catch (...) {
      // The window's handler failed; the engine still ends and frees itself.
    }
  }
}

}  // namespace larkspan
