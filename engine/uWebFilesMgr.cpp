#include "engine/uWebFilesMgr.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <thread>
#include <unordered_set>

#include "compress/uHtmlCompress.h"
#include "compress/uNativeCompress.h"
#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "engine/uFolderCheck.h"
#include "engine/uImageOptimiser.h"
#include "engine/uPageRewriter.h"
#include "engine/uPictureDigest.h"
#include "platform/CodePage.h"
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
  auto It = std::upper_bound(
      Items.begin(), Items.end(), Path,
      [](const std::string& P, const auto& E) { return CompareText(P, E.first) < 0; });
  Items.emplace(It, Path, std::move(Item));
}

int TDetailList::IndexOf(const std::string& Path) const {
  auto It = std::lower_bound(Items.begin(), Items.end(), Path, PathLess);
  const auto First = It;
  for (; It != Items.end() && CompareText(It->first, Path) == 0; ++It)
    if (It->first == Path) return int(It - Items.begin());  // the exact name first
  if (First != Items.end() && CompareText(First->first, Path) == 0)
    return int(First - Items.begin());
  return -1;
}

// ---- construction and scan -------------------------------------------------

TWebFilsMgr::TWorker::TWorker() = default;
TWebFilsMgr::TWorker::~TWorker() = default;

TWebFilsMgr::TWebFilsMgr(TAppConfig* AConfig) : Config(AConfig) {
  auto W = std::make_unique<TWorker>();
  // Only the archive needs (and checks for) a Java runtime.
  if (SameText(Config->Compressor, "archive")) {
    W->HtmlCompress = std::make_unique<THtmlCompress>(HelperFolderOf("htmlcompressor.jar"));
    W->HtmlCompress->IsCompressCSS = Config->IsCompressCSS;
    W->HtmlCompress->IsCompressJS = Config->IsCompressJS;
    // The archive takes a name: the usual one of the code page the run uses.
    W->HtmlCompress->CharSet = CodePageName(Config->CodePage);
  } else {
    W->NativeCompress = std::make_unique<TNativeCompress>();
    W->NativeCompress->IsCompressCSS = Config->IsCompressCSS;
    W->NativeCompress->IsCompressJS = Config->IsCompressJS;
    W->NativeCompress->CodePage = Config->CodePage;
  }
  W->Optimiser = std::make_unique<TImageOptimiser>(Config, ProgramFolder());
  Workers.push_back(std::move(W));
}

TWebFilsMgr::~TWebFilsMgr() = default;

void TWebFilsMgr::Start(const std::string& RootPath, const std::string& OutputPath) {
  if (!DirectoryExists(RootPath)) throw Exception("目录不存在");
  // Whatever the caller checked, the run never writes into the site: both
  // folders are resolved and compared before anything is created.
  if (FoldersConflict(RootPath, OutputPath)) throw Exception("网站根目录和输出目录不能相同！");
  if (const std::string Problem = ToolTimeoutProblem(); !Problem.empty()) throw Exception(Problem);
  // A dry run creates nothing, not even the output folder.
  if (!DryRun && !DirectoryExists(OutputPath) && !ForceDirectories(OutputPath))
    ThrowSystemError("创建目录失败 " + OutputPath, errno);
  // A stop of an earlier run (or of programs before this one) is over.
  AllowPrograms();
  Stopping = false;
  MissingTools = FindMissingTools();

  Jobs = WorkersFor(Config->Jobs);
  const TWorker& First = *Workers.front();
  while (int(Workers.size()) < Jobs) {
    auto W = std::make_unique<TWorker>();
    if (First.HtmlCompress) W->HtmlCompress = std::make_unique<THtmlCompress>(*First.HtmlCompress);
    if (First.NativeCompress)
      W->NativeCompress = std::make_unique<TNativeCompress>(*First.NativeCompress);
    W->Optimiser = std::make_unique<TImageOptimiser>(Config, ProgramFolder());
    Workers.push_back(std::move(W));
  }
  for (const auto& W : Workers) W->Optimiser->PicturesAtOnce = Jobs;

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
  Results.Clear();
  ScanOrder.clear();
  ScanSizes.clear();
  // The scan meets every file once (linked folders included), so it
  // measures the site as it goes.
  ScanSize = 0;
  ScanFolder(RootDir,
             [this](const std::string& Folder, const std::string& Name) { AddFile(Folder, Name); });
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

void TWebFilsMgr::RequestStop() {
  Stopping = true;
  StopAllPrograms();
}

bool TWebFilsMgr::StopRequested() const { return Stopping.load() || ProgramsStopped(); }

std::vector<std::string> TWebFilsMgr::FindMissingTools() const {
  std::vector<std::string> Missing;
  const std::pair<bool, const char*> Tools[] = {{Config->IsCompressJpg, "jpegoptim"},
                                                {Config->IsCompressGif, "gifsicle"},
                                                {Config->IsCompressPng, "pngout"}};
  for (const auto& [On, Name] : Tools)
    if (On && FindProgram(Name, ProgramFolder()).empty()) Missing.push_back(Name);
  // The native compressor needs no outside program; the archive needs Java.
  const bool Minifies = Config->IsCompressHtml || Config->IsCompressCSS || Config->IsCompressJS ||
                        Config->IsCompressXML;
  if (Workers.front()->HtmlCompress && Minifies && FindProgram("java", std::string()).empty())
    Missing.push_back("java");
  return Missing;
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
      ScanOrder.emplace(Full, int64_t(ScanOrder.size()));
      Results.Add(NewRecord(Full, TFileAction::Skipped, TFileReason::NotAFile, Reason));
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
      ScanSizes.emplace(Full, E.Size);
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
  ScanOrder.emplace(Path, int64_t(ScanOrder.size()));
  const bool ByExt = FileFilterList.Contains("*" + Ext);
  if (ByExt || FileFilterList.Contains(FileName)) {
    ++Counts.Dropped;
    // The entry as the user wrote it.
    const std::string Key = ByExt ? "*" + ExtractFileExt(FileName) : FileName;
    std::string Entry = Key;
    for (int I = 0; I < FileFilterList.Count(); ++I)
      if (SameText(FileFilterList[I], Key)) Entry = FileFilterList[I];
    Results.Add(NewRecord(Path, TFileAction::Filtered, TFileReason::FilterPattern, Entry));
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
  if ((Config->IsCompressHtml && IsPage) ||
      (Config->IsCompressJS && IsOneOf(Ext, {".JS", ".MJS"})) ||
      (Config->IsCompressCSS && Ext == ".CSS") || (Config->IsCompressXML && Ext == ".XML")) {
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

bool TWebFilsMgr::CanCompress(const std::string& BaseDir, const std::string& FilePath) const {
  const std::string Base = IncludeTrailingDelimiter(BaseDir);
  std::string Relative = FilePath;
  if (StartsText(Base, FilePath)) Relative = FilePath.substr(Base.size());
  return !CompressFilterList.Contains(Relative);
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
  for (const std::string& F : WrittenFiles) Written += FileSizeOf(F);
  return SourceSize - Written;
}

int TWebFilsMgr::GetDuplicateCount() const {
  return DetailList.Count() - int(KeptDuplicates.size());
}

int TWebFilsMgr::ProgressPercent(int64_t Done, int64_t Total) {
  if (Total <= 0) return 0;
  // Done * 100 stays far inside 64 bits: a cost is at most a few seconds
  // of microseconds per file.
  const int64_t N = Done * 100;
  int64_t Q = N / Total;
  const int64_t R2 = (N % Total) * 2;
  if (R2 > Total || (R2 == Total && (Q & 1))) ++Q;
  // A run with files left is not done, however cheap they are expected to be.
  if (Q >= 100 && Done < Total) Q = 99;
  return int(Q);
}

int64_t TWebFilsMgr::ProgressCost(TStepKind Kind, int64_t Bytes) {
  // Measured on this project's benchmark sites, one core: what a file costs
  // to open and publish, plus its bytes at the speed of its tool. Only the
  // ratios matter; the figures are microseconds.
  const int64_t B = std::max<int64_t>(Bytes, 0);
  switch (Kind) {
    case TStepKind::Digest:
      return 20 + B / 400;
    case TStepKind::Copy:
      return 150 + B / 800;
    case TStepKind::Minify:
      return 250 + B / 60;
    case TStepKind::Rewrite:
      return 300 + B / 40;
    case TStepKind::Jpeg:
      return 8000 + B / 8;
    case TStepKind::Gif:
      return 5000 + B / 10;
    case TStepKind::Png:
      // The optimiser's effort grows with the picture up to its time cap.
      return std::min<int64_t>(30000 + B * 25, 2600000);
    case TStepKind::ArchiveMinify:
      return 300000 + B / 50;
  }
  return 150;
}

// ---- the run ---------------------------------------------------------------

namespace {
// Thrown between files when a stop was asked for; ends the run as stopped.
struct TRunStopped {};

// An outside program's result that is missing, or empty while the source
// was not, is no result at all.
bool UsableResult(const std::string& Source, const std::string& Dest) {
  if (!FileExists(Dest)) return false;
  return FileSizeOf(Dest) > 0 || FileSizeOf(Source) == 0;
}

// A kind of picture one of the optimisers handles (when switched on).
bool HasOptimiser(const std::string& Path) {
  return IsOneOf(UpperCaseAscii(ExtractFileExt(Path)), {".GIF", ".JPG", ".JPEG", ".PNG"});
}

}  // namespace

struct TWebFilsMgr::TFileOutcome {
  bool Handled = false;  // the file's work ended without an exception
  bool HasRecord = false;
  TFileResult Record;         // with BytesOut set
  std::string Dest;           // the output path written ("" for none)
  std::string Uncompressed;   // the site file, when its compressor or optimiser failed
  std::string CompressError;  // the native compressor's reason, for CompressErrors
  std::string Rewritten;      // the page, when it went through the rewriting
  std::optional<TKeptDuplicate> Kept;
  // What the file adds to the progress once handled.
  int Steps = 1;
  int Files = 1;
  int64_t Cost = 0;
};

std::string TWebFilsMgr::RelativePath(const std::string& FullPath) const {
  const std::string Root = IncludeTrailingDelimiter(RootDir);
  if (StartsText(Root, FullPath)) return FullPath.substr(Root.size());
  return FullPath;
}

TFileResult TWebFilsMgr::NewRecord(const std::string& FullPath, TFileAction Action,
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

TWebFilsMgr::TStepKind TWebFilsMgr::PictureStepKind(const std::string& FullPath) const {
  const std::string Program = Workers.front()->Optimiser->ProgramFor(FullPath);
  if (Program == "jpegoptim") return TStepKind::Jpeg;
  if (Program == "gifsicle") return TStepKind::Gif;
  if (Program == "pngout") return TStepKind::Png;
  return TStepKind::Copy;
}

int64_t TWebFilsMgr::CostOf(TStepKind Kind, const std::string& FullPath) const {
  const auto Found = ScanSizes.find(FullPath);
  return ProgressCost(Kind, Found == ScanSizes.end() ? 0 : Found->second);
}

void TWebFilsMgr::HandStatus() {
  if (!OnStatus) return;
  LastStatus = std::chrono::steady_clock::now();
  TRunStatus Status;
  Status.DoneFiles = DoneFiles;
  Status.TotalFiles = TotalFiles;
  Status.Percent = ProgressPercent(DoneCost, TotalCost);
  Status.DoneCost = DoneCost;
  Status.TotalCost = TotalCost;
  {
    std::lock_guard<std::mutex> L(StateLock);
    Status.CurrentFile = CurrentFile;
  }
  Synchronize([&] { OnStatus(this, Status); });
}

void TWebFilsMgr::BeginFile(const std::string& FullPath) {
  if (StopRequested()) throw TRunStopped();
  {
    std::lock_guard<std::mutex> L(StateLock);
    CurrentFile = RelativePath(FullPath);
  }
  // Only the engine's thread hands anything to the main thread; with
  // several workers it looks at the status as files end and a few times a
  // second between (RunPhase).
  if (std::this_thread::get_id() == EngineThread &&
      std::chrono::steady_clock::now() - LastStatus >= std::chrono::milliseconds(150))
    HandStatus();
}

void TWebFilsMgr::ReportProgress() {
  // The workers count into WorkSteps and the rest; DoneSteps and its kin,
  // which the main thread reads in the callbacks, change only here, on the
  // engine's thread.
  bool Moved = false;
  {
    std::lock_guard<std::mutex> L(StateLock);
    Moved = WorkSteps != DoneSteps || WorkCost != DoneCost;
    DoneSteps = WorkSteps;
    DoneFiles = WorkFiles;
    DoneCost = WorkCost;
  }
  const int Percent = ProgressPercent(DoneCost, TotalCost);
  // Every hand-off stops the engine's thread until the window has run the
  // handler; on a large site most files leave the percentage as it was, so
  // those are skipped, and the status is handed a few times a second.
  if (Moved && Percent != LastPercent) {
    LastPercent = Percent;
    if (OnProgress) Synchronize([&] { OnProgress(this, Percent); });
    HandStatus();
  } else if (std::chrono::steady_clock::now() - LastStatus >= std::chrono::milliseconds(150)) {
    HandStatus();
  }
}

void TWebFilsMgr::PrepareDestination(const std::string& Dest, TFileOutcome& O) {
  const std::string Folder = ExtractFilePath(Dest);
  O.Dest = Dest;
  // Held while the folder is made, so that no worker writes into a folder
  // that is not there yet, or whose leftovers are being removed.
  std::lock_guard<std::mutex> L(StateLock);
  if (PreparedFolders.insert(Folder).second) {
    try {
      if (!Folder.empty() && !DirectoryExists(Folder))
        ForceDirectories(Folder);
      else
        RemoveStaleTempFiles(Folder);  // left by a run that was killed
    } catch (...) {
      PreparedFolders.erase(Folder);
      throw;
    }
  }
}

void TWebFilsMgr::CopyOrFail(const std::string& Source, const std::string& Dest) const {
  if (!CopyFileOverwrite(Source, Dest))
    ThrowSystemError("复制文件失败！" + Source + " -> " + Dest, errno);
}

TFileResult TWebFilsMgr::WriteOtherFile(TWorker& W, const std::string& Source,
                                        const std::string& Dest, TFileOutcome& O) {
  using TOutcome = TImageOptimiser::TOutcome;
  TImageOptimiser& Optimiser = *W.Optimiser;
  TFileResult R = NewRecord(Source, TFileAction::Copied);
  TOutcome Outcome = TOutcome::NoRule;
  bool Failed = false;
  if (Optimiser.HasRuleFor(Source)) {
    // The optimiser writes into a private folder beside Dest, never through
    // whatever stands at Dest; its result is published by a rename. A stop
    // leaves Dest untouched, and the folder goes with what the program left.
    TTempFolder Work(ExtractFilePath(Dest));
    const std::string Result = Work.Path() + ExtractFileName(Dest);
    const bool Done = Optimiser.ReducePicture(Source, Result);
    const bool Usable = Done && UsableResult(Source, Result);
    Outcome = Optimiser.LastOutcome;
    Failed = Done || Optimiser.LastFailed;  // done yet unusable counts as failed
    if (Outcome == TOutcome::Stopped || (StopRequested() && !Usable)) throw TRunStopped();
    if (Usable) {
      if (!PublishFile(Result, Dest, Source)) ThrowSystemError("无法创建文件 " + Dest, errno);
      R.Action = TFileAction::Optimised;
      R.Detail = Optimiser.LastProgram;
      return R;
    }
  }
  if (Failed) {
    O.Uncompressed = Source;
    R.Action = TFileAction::FailedCopied;
    R.Reason = TFileReason::ToolFailed;
    R.Detail =
        Optimiser.LastProgram + ": " +
        (Optimiser.LastFailure.empty() ? std::string("empty result") : Optimiser.LastFailure);
  } else if (Outcome == TOutcome::Missing) {
    R.Reason = TFileReason::ToolMissing;
    R.Detail = Optimiser.LastProgram;
  } else if (Outcome == TOutcome::NotSmaller) {
    R.Reason = TFileReason::NotSmaller;
    R.Detail = Optimiser.LastProgram;
  } else if (ExceptedFiles.count(Source)) {
    R.Reason = TFileReason::ExceptionFile;
  } else if (HasOptimiser(Source)) {
    R.Reason = TFileReason::NoOptimiser;
  }
  CopyOrFail(Source, Dest);
  return R;
}

bool TWebFilsMgr::CompressWithArchive(TWorker& W, const std::string& Source,
                                      const std::string& Dest) {
  THtmlCompress& Compress = *W.HtmlCompress;
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
  const bool Started = Compress.Compress(From, To);
  // Only the temporary files can be left by a stopped compressor; they go
  // with Result and Ascii.
  if (StopRequested()) throw TRunStopped();
  if (!Started) throw Exception(Compress.ErrorMessage);
  if (Compress.LastExitCode == 0 && UsableResult(From, To)) {
    if (Ascii) CopyOrFail(To, Result.Path());
    Result.Publish(Source);
    return true;
  }
  return false;
}

TFileResult TWebFilsMgr::CompressOrCopy(TWorker& W, const std::string& Source,
                                        const std::string& Dest, const std::string& SiteFile,
                                        TFileOutcome& O) {
  TFileResult R = NewRecord(SiteFile, TFileAction::Minified);
  if (W.NativeCompress) {
    TNativeCompress& Compress = *W.NativeCompress;
    if (Compress.Compress(Source, Dest)) {
      if (!Compress.LastNote.empty()) {
        R.Reason = TFileReason::PartKept;
        R.Detail = Compress.LastNote;
      }
      return R;
    }
    O.CompressError = Compress.ErrorMessage;
    R.Detail = "compressor: " + Compress.ErrorMessage;
  } else {
    if (CompressWithArchive(W, Source, Dest)) return R;
    const int Code = W.HtmlCompress->LastExitCode;
    R.Detail = Code < 0 ? std::string("compressor: killed")
                        : "compressor: exit status " + std::to_string(Code);
  }
  O.Uncompressed = SiteFile;
  R.Action = TFileAction::FailedCopied;
  R.Reason = TFileReason::ToolFailed;
  if (Source == Dest) return R;  // a page minified in place stays as it was written
  CopyOrFail(Source, Dest);
  return R;
}

void TWebFilsMgr::RecordLeftOutDuplicates() {
  std::unordered_set<std::string> Kept;
  for (const TKeptDuplicate& K : KeptDuplicates) Kept.insert(K.FileName);
  for (int I = 0; I < DetailList.Count(); ++I) {
    const TDetailItm* D = DetailList.Objects(I);
    if (Kept.count(D->FileName) != 0) continue;
    const size_t Master = size_t(D->MasterIndex);
    Results.Add(NewRecord(D->FileName, TFileAction::DuplicateLeftOut, TFileReason::SameContentAs,
                          Master < MasterList.size()
                              ? RelativePath(MasterList[Master].second->FileName)
                              : std::string()));
  }
}

void TWebFilsMgr::PlanReferenceCheck() {
  MakeRefCheck();
  // The pages as the run would rewrite them, in memory only.
  TWorker& W = *Workers.front();
  if (!W.Rewriter) W.Rewriter = std::make_unique<TPageRewriter>(*this, Config->CodePage);
  for (size_t I = 0; I < PageFiles.size(); ++I) {
    BeginFile(PageFiles[I]);
    W.Rewriter->Rewrite(PageFiles[I]);
    RefCheck->Note(PageFiles[I], int64_t(I), W.Rewriter->PageText);
  }
  NoteRemainingReferences();
  for (const TKeptDuplicate& Ref : RefCheck->Found())
    if (Ref.RefLine > 0) KeptDuplicates.push_back(Ref);
}

void TWebFilsMgr::RecordPlan() {
  const bool Dupes = DetailList.Count() > 0;
  if (Dupes) PlanReferenceCheck();
  const TImageOptimiser& Optimiser = *Workers.front()->Optimiser;
  auto Picture = [&](const std::string& Path) {
    const std::string Program = Optimiser.ProgramFor(Path);
    TFileResult R = NewRecord(Path, TFileAction::Copied, TFileReason::NoOptimiser);
    if (!Program.empty()) {
      const bool Missing =
          std::find(MissingTools.begin(), MissingTools.end(), Program) != MissingTools.end();
      R.Action = Missing ? TFileAction::Copied : TFileAction::Optimised;
      R.Reason = Missing ? TFileReason::ToolMissing : TFileReason::None;
      R.Detail = Program;
    } else if (ExceptedFiles.count(Path)) {
      R.Reason = TFileReason::ExceptionFile;
    } else if (!HasOptimiser(Path)) {
      R.Reason = TFileReason::None;
    }
    Results.Add(std::move(R));
  };
  for (const auto& Entry : MasterList) Picture(Entry.second->FileName);
  for (const std::string& Page : PageFiles) {
    if (Dupes)
      Results.Add(NewRecord(Page, TFileAction::Rewritten));
    else if (Config->IsCompressHtml && CanCompress(RootDir, Page))
      Results.Add(NewRecord(Page, TFileAction::Minified));
    else
      Results.Add(
          NewRecord(Page, TFileAction::Copied,
                    Config->IsCompressHtml ? TFileReason::ExceptionFile : TFileReason::None));
  }
  for (const std::string& Path : CompressFiles) Results.Add(NewRecord(Path, TFileAction::Minified));
  for (const std::string& Path : OtherFiles) Picture(Path);
  for (const TKeptDuplicate& Ref : KeptDuplicates) {
    Results.Add(NewRecord(Ref.FileName, TFileAction::KeptDuplicate, TFileReason::ReferredBy,
                          RelativePath(Ref.RefFile) + ":" + std::to_string(Ref.RefLine)));
  }
  RecordLeftOutDuplicates();
  DoneFiles = TotalFiles;
}

void TWebFilsMgr::Record(TFileOutcome& O) {
  if (!O.Dest.empty()) WrittenFiles.push_back(O.Dest);
  if (!O.Uncompressed.empty()) UncompressedFiles.push_back(O.Uncompressed);
  if (!O.CompressError.empty()) CompressErrors[O.Uncompressed] = O.CompressError;
  if (!O.Rewritten.empty()) RewrittenPages.push_back(O.Rewritten);
  if (O.Kept) KeptDuplicates.push_back(*O.Kept);
  if (O.HasRecord) Results.Add(std::move(O.Record));
}

void TWebFilsMgr::RunPhase(
    size_t Count, const std::function<void(TWorker& W, size_t Index, TFileOutcome& O)>& Handle) {
  std::vector<TFileOutcome> Outcomes(Count);
  auto RecordHandled = [&] {
    for (TFileOutcome& O : Outcomes)
      if (O.Handled) Record(O);
  };
  try {
    ParallelFor(
        Count, Jobs,
        [&](int Slot, size_t Index) {
          TFileOutcome& O = Outcomes[Index];
          Handle(*Workers[size_t(Slot)], Index, O);
          O.Handled = true;
          std::lock_guard<std::mutex> L(StateLock);
          WorkSteps += O.Steps;
          WorkFiles += O.Files;
          WorkCost += O.Cost;
        },
        [this] { ReportProgress(); });
  } catch (...) {
    RecordHandled();
    throw;
  }
  RecordHandled();
}

void TWebFilsMgr::WritePage(TWorker& W, size_t Index, TFileOutcome& O) {
  const std::string& Page = PageFiles[Index];
  const std::string Dest = GetOutputFileName(Page);
  BeginFile(Page);
  PrepareDestination(Dest, O);
  if (DetailList.Count() == 0) {
    if (Config->IsCompressHtml && CanCompress(RootDir, Page)) {
      O.Record = CompressOrCopy(W, Page, Dest, Page, O);
    } else {
      CopyOrFail(Page, Dest);
      O.Record = NewRecord(Page, TFileAction::Copied,
                           Config->IsCompressHtml ? TFileReason::ExceptionFile : TFileReason::None);
    }
  } else {
    RewritePage(W, Page, Dest, int64_t(Index));
    O.Rewritten = Page;
    O.Record = NewRecord(Page, TFileAction::Rewritten);
    if (Config->IsCompressHtml && CanCompress(OutputDir, Dest)) {
      const TFileResult C = CompressOrCopy(W, Dest, Dest, Page, O);
      O.Record.Reason = C.Reason;
      O.Record.Detail = C.Detail;
    }
  }
  O.Record.BytesOut = FileSizeOf(Dest);
  O.HasRecord = true;
}

void TWebFilsMgr::NoteRemainingReferences() {
  // Pages were looked through as they were rewritten; one that was not is
  // read back from the output. Minifying keeps every reference, so the
  // site's own text files tell for the rest. Each file's rank is its place
  // in this order, which decides which reference is reported first.
  struct TLook {
    const std::string* File;
    std::string ReadFrom;
    int64_t Rank;
  };
  std::vector<TLook> Looks;
  int64_t Rank = 0;
  for (const std::string& Page : PageFiles) {
    if (!RefCheck->Checked(Page)) {
      std::string Dest = GetOutputFileName(Page);
      if (FileExists(Dest)) Looks.push_back({&Page, std::move(Dest), Rank});
    }
    ++Rank;
  }
  for (const auto* List : {&CompressFiles, &OtherFiles})
    for (const std::string& File : *List) {
      if (IsReferringTextFile(File, nullptr)) Looks.push_back({&File, File, Rank});
      ++Rank;
    }
  ParallelFor(Looks.size(), Jobs,
              [&](int, size_t I) {
                if (StopRequested()) throw TRunStopped();
                RefCheck->Note(*Looks[I].File, Looks[I].Rank, ReadFileText(Looks[I].ReadFrom));
              },
              {});
}

void TWebFilsMgr::KeepReferencedDuplicates() {
  if (!RefCheck) return;
  NoteRemainingReferences();

  std::vector<const TKeptDuplicate*> Keep;
  for (const TKeptDuplicate& Ref : RefCheck->Found())
    if (Ref.RefLine > 0) Keep.push_back(&Ref);
  RunPhase(Keep.size(), [&](TWorker& W, size_t I, TFileOutcome& O) {
    const TKeptDuplicate& Ref = *Keep[I];
    if (StopRequested()) throw TRunStopped();
    const std::string Dest = GetOutputFileName(Ref.FileName);
    PrepareDestination(Dest, O);
    O.Record = WriteOtherFile(W, Ref.FileName, Dest, O);
    O.Record.Action = TFileAction::KeptDuplicate;
    O.Record.Reason = TFileReason::ReferredBy;
    O.Record.Detail = RelativePath(Ref.RefFile) + ":" + std::to_string(Ref.RefLine);
    O.Record.BytesOut = FileSizeOf(Dest);
    O.HasRecord = true;
    O.Kept = Ref;
    O.Steps = 0;  // not a step of the plan: the progress is already whole
    O.Files = 0;
  });
}

void TWebFilsMgr::MakeRefCheck() {
  std::vector<std::string> Duplicates;
  Duplicates.reserve(size_t(DetailList.Count()));
  for (int I = 0; I < DetailList.Count(); ++I)
    Duplicates.push_back(DetailList.Objects(I)->FileName);
  RefCheck = std::make_unique<TRefCheck>(RootDir, Duplicates);
}

void TWebFilsMgr::FindDuplicates() {
  // Duplicate detection by content digest, in the order of the
  // scan. A picture that no other picture can equal (by size, then by its
  // first bytes) gets an empty key and becomes a master without being
  // digested to its end.
  TPictureDigests Digests(PicFiles);
  for (size_t I = 0; I < PicFiles.size(); ++I) {
    const std::string& Path = PicFiles[I];
    BeginFile(Path);
    int64_t Size = 0;
    const std::string MD5 = Digests.KeyOf(I, Size);
    int Steps = 1, Files = 0;
    int64_t Cost = CostOf(TStepKind::Digest, Path);
    if (MD5.empty()) {
      auto Item = std::make_unique<TMasterItm>();
      Item->FileName = Path;
      MasterList.emplace_back(std::string(), std::move(Item));
    } else if (auto Found = MasterIndexByMD5.find(MD5); Found != MasterIndexByMD5.end()) {
      auto Item = std::make_unique<TDetailItm>();
      Item->MasterIndex = Found->second;
      Item->FileName = Path;
      Item->FileSize = Size;
      DetailList.Add(Path, std::move(Item));
      // The writing step this picture will not have.
      ++Steps;
      ++Files;
      Cost += CostOf(PictureStepKind(Path), Path);
    } else {
      MasterIndexByMD5.emplace(MD5, int(MasterList.size()));
      auto Item = std::make_unique<TMasterItm>();
      Item->FileName = Path;
      MasterList.emplace_back(MD5, std::move(Item));
    }
    {
      std::lock_guard<std::mutex> L(StateLock);
      WorkSteps += Steps;
      WorkFiles += Files;
      WorkCost += Cost;
    }
    ReportProgress();
  }
}

void TWebFilsMgr::RunPhases() {
  TotalSteps = 2 * int(PicFiles.size()) + int(OtherFiles.size()) + int(PageFiles.size()) +
               int(CompressFiles.size());
  TotalFiles = int(PicFiles.size() + OtherFiles.size() + PageFiles.size() + CompressFiles.size());
  DoneSteps = 0;
  DoneFiles = 0;
  WorkSteps = WorkFiles = 0;
  WorkCost = DoneCost = 0;

  // The cost of every step, known before the first one (the pages' kind of
  // step depends on whether duplicates are found: assumed to be rewritten,
  // and settled once phase 1 has ended).
  const TStepKind MinifyKind =
      Workers.front()->HtmlCompress ? TStepKind::ArchiveMinify : TStepKind::Minify;
  auto PageCost = [&](const std::string& Page, bool Rewrite) {
    const bool Minify = Config->IsCompressHtml && CanCompress(RootDir, Page);
    return (Rewrite ? CostOf(TStepKind::Rewrite, Page) : 0) + (Minify ? CostOf(MinifyKind, Page)
                                                               : Rewrite
                                                                   ? 0
                                                                   : CostOf(TStepKind::Copy, Page));
  };
  TotalCost = 0;
  for (const std::string& Path : PicFiles)
    TotalCost += CostOf(TStepKind::Digest, Path) + CostOf(PictureStepKind(Path), Path);
  int64_t PagesCost = 0;
  for (const std::string& Page : PageFiles) PagesCost += PageCost(Page, true);
  TotalCost += PagesCost;
  for (const std::string& Path : CompressFiles) TotalCost += CostOf(MinifyKind, Path);
  for (const std::string& Path : OtherFiles) TotalCost += CostOf(PictureStepKind(Path), Path);

  // Phase 1.
  FindDuplicates();
  PicFiles.clear();
  if (DryRun) {
    RecordPlan();
    IsSuccess = true;
    return;
  }
  if (DetailList.Count() == 0) {
    // No page is rewritten after all.
    TotalCost -= PagesCost;
    for (const std::string& Page : PageFiles) TotalCost += PageCost(Page, false);
  } else {
    MakeRefCheck();
  }

  // A file of phases 2, 4 and 5: Write puts it at its output path and gives
  // its record; the file is counted at the cost of its kind of step.
  auto WriteOne = [&](const std::string& Path, TStepKind Kind, TFileOutcome& O,
                      const std::function<TFileResult(const std::string& Dest)>& Write) {
    const std::string Dest = GetOutputFileName(Path);
    BeginFile(Path);
    PrepareDestination(Dest, O);
    O.Record = Write(Dest);
    O.Record.BytesOut = FileSizeOf(Dest);
    O.HasRecord = true;
    O.Cost = CostOf(Kind, Path);
  };

  // Phase 2: every distinct picture once.
  RunPhase(MasterList.size(), [&](TWorker& W, size_t I, TFileOutcome& O) {
    const std::string& Path = MasterList[I].second->FileName;
    WriteOne(Path, PictureStepKind(Path), O,
             [&](const std::string& Dest) { return WriteOtherFile(W, Path, Dest, O); });
  });

  // Phase 3: pages, rewritten when duplicates were found.
  const bool Rewrite = DetailList.Count() > 0;
  RunPhase(PageFiles.size(), [&](TWorker& W, size_t I, TFileOutcome& O) {
    WritePage(W, I, O);
    O.Cost = PageCost(PageFiles[I], Rewrite);
  });
  if (Rewrite) {
    if (StopRequested()) throw TRunStopped();
    KeepReferencedDuplicates();
  }

  // Phase 4: style sheets, scripts, XML (and pages when pictures are not reduced).
  RunPhase(CompressFiles.size(), [&](TWorker& W, size_t I, TFileOutcome& O) {
    const std::string& Path = CompressFiles[I];
    WriteOne(Path, MinifyKind, O,
             [&](const std::string& Dest) { return CompressOrCopy(W, Path, Dest, Path, O); });
  });

  // Phase 5: everything else.
  RunPhase(OtherFiles.size(), [&](TWorker& W, size_t I, TFileOutcome& O) {
    const std::string& Path = OtherFiles[I];
    WriteOne(Path, PictureStepKind(Path), O,
             [&](const std::string& Dest) { return WriteOtherFile(W, Path, Dest, O); });
  });
  {
    std::lock_guard<std::mutex> L(StateLock);
    CurrentFile.clear();
  }
  IsSuccess = true;
}

void TWebFilsMgr::Execute() {
  FreeOnTerminate = true;
  EngineThread = std::this_thread::get_id();
  try {
    RunPhases();
  } catch (const TRunStopped&) {
    IsSuccess = false;
    IsStopped = true;
  } catch (const std::exception& E) {
    IsSuccess = false;
    ErrorText = E.what();
  } catch (...) {
    IsSuccess = false;
    ErrorText = "未知错误";
  }
  if (!DryRun) {
    try {
      RecordLeftOutDuplicates();
    } catch (...) {
      // Records only; the run's outcome stands.
    }
  }
  // The counts as the workers left them, for the report.
  {
    std::lock_guard<std::mutex> L(StateLock);
    if (!DryRun) {
      DoneSteps = WorkSteps;
      DoneFiles = WorkFiles;
      DoneCost = WorkCost;
    }
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
