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
#include "engine/uPageText.h"
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
    W->HtmlCompress->Level = Config->Level;
  } else {
    W->NativeCompress = std::make_unique<TNativeCompress>();
    W->NativeCompress->IsCompressCSS = Config->IsCompressCSS;
    W->NativeCompress->IsCompressJS = Config->IsCompressJS;
    W->NativeCompress->CodePage = Config->CodePage;
    W->NativeCompress->Level = Config->Level;
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
  // An output that exists is locked at once, before the scan: a second run
  // into it is refused without delay. Nothing is created before every
  // check has passed (OpenOutput after the scan).
  if (!DryRun && DirectoryExists(OutputPath)) OpenOutput(OutputPath);
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
  OutputChain = FolderChainIds(OutputDir);
  OutputExisted = DirectoryExists(OutputDir);
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
  if (!DryRun) {
    // Made where the checks looked (the resolved path), then checked again
    // by identity now that it exists.
    if (!OutputRoot) {
      if (!ForceDirectories(RealOutput)) ThrowSystemError("创建目录失败 " + OutputPath, errno);
      OpenOutput(OutputPath);
    }
    if (FoldersConflict(RootPath, OutputPath)) throw Exception("网站根目录和输出目录不能相同！");
    NoteOutputNames();
    // A result equal to the file already there leaves it untouched.
    OutputRoot->KeepEqualFiles();
    if (UseCache && Config->CacheSize > 0)
      Cache = std::make_unique<TResultCache>(TResultCache::DefaultFolder(),
                                             int64_t(Config->CacheSize) << 20);
  }
  Resume();
}

void TWebFilsMgr::OpenOutput(const std::string& OutputPath) {
  OutputRoot = std::make_unique<TWriteRoot>(OutputPath);
  if (!OutputRoot->TryLock())
    throw Exception(
        "输出目录正被另一个任务使用，请等它结束后再试 (the output folder is in use by another "
        "run): " +
        OutputPath);
}

void TWebFilsMgr::NoteOutputNames() {
  OutputNames.clear();
  const std::string Top = ExcludeTrailingDelimiter(OutputDir);
  for (const auto* List : {&PicFiles, &PageFiles, &CompressFiles, &OtherFiles})
    for (const std::string& File : *List) {
      // The file and every folder above it, up to the output folder.
      std::string Path = GetOutputFileName(File);
      while (Path.size() > Top.size() + 1 && OutputNames.insert(Path).second)
        Path = ExcludeTrailingDelimiter(ExtractFilePath(Path));
    }
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
      } else if ((OutputExisted && !OutputChain.empty() && Sub == OutputChain.front()) ||
                 (E.IsFolderLink && !RealOutput.empty() &&
                  IsPathWithin(ResolvePath(Full), RealOutput))) {
        Skip("链接指向输出目录 (link into the output folder)");
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
      // The optimiser's planned work grows with the picture up to its budget.
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

// Why a site file can no longer be copied when that is not a failure of
// the run: it is gone, or no longer a regular file. "" otherwise (an
// unreadable file is a failure).
std::string VanishedReason(const std::string& Path) {
  switch (PathKind(Path)) {
    case TPathKind::Missing:
      return "扫描后已被删除 (vanished since the scan)";
    case TPathKind::Folder:
    case TPathKind::Special:
      return "扫描后已不是普通文件，未读取 (no longer a regular file)";
    case TPathKind::File:
    case TPathKind::Unknown:
      break;
  }
  return std::string();
}

// A kind of picture one of the optimisers handles (when switched on).
// Whether a file may hold text naming other files: not a picture, a sound,
// a film, a font or an archive, whose bytes never name a file as such.
bool MayNameFiles(const std::string& Path) {
  static const std::unordered_set<std::string> Opaque = {
      ".jpg",  ".jpeg",  ".gif", ".png", ".webp", ".bmp", ".ico", ".avif", ".tif", ".tiff", ".mp3",
      ".mp4",  ".m4a",   ".m4v", ".ogg", ".oga",  ".ogv", ".wav", ".webm", ".avi", ".mov",  ".flac",
      ".woff", ".woff2", ".ttf", ".otf", ".eot",  ".zip", ".gz",  ".bz2",  ".xz",  ".7z",   ".rar"};
  return Opaque.count(LowerCaseAscii(ExtractFileExt(Path))) == 0;
}

bool HasOptimiser(const std::string& Path) {
  return IsOneOf(UpperCaseAscii(ExtractFileExt(Path)), {".GIF", ".JPG", ".JPEG", ".PNG"});
}

}  // namespace

struct TWebFilsMgr::TFileOutcome {
  bool Handled = false;  // the file's work ended without an exception
  std::string Source;    // the site file being written
  // Why the file was passed by after all (it vanished or changed kind since
  // the scan); nothing was written for it.
  std::string SkipReason;
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
      // Reached from the output folder's handle without following links:
      // a folder swapped for a link fails here.
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
    TCachedResult Hit;
    if (Cache && Cache->Find(Cache->PictureKey(*Config, Source), Hit)) {
      R.FromCache = true;
      R.Detail = Hit.Note;
      if (Hit.Kind != TCachedResult::TKind::Optimised) {
        R.Reason = TFileReason::NotSmaller;
        CopyOrFail(Source, Dest);
        return R;
      }
      WriteFileAtomic(Dest, Hit.Bytes, Source);
      R.Action = TFileAction::Optimised;
      return R;
    }
    // The optimiser writes into a private folder beside Dest, never through
    // whatever stands at Dest; its result is published by a rename. A stop
    // leaves Dest untouched, and the folder goes with what the program left.
    TTempFolder Work(ExtractFilePath(Dest));
    const std::string Result = Work.Path() + ExtractFileName(Dest);
    // The program reads a private copy: one that writes into its input
    // changes nothing of the site.
    const std::string Input = Work.Path() + "in/" + ExtractFileName(Source);
    if (!ForceDirectories(Work.Path() + "in")) ThrowSystemError("无法创建目录 " + Input, errno);
    CopyOrFail(Source, Input);
    const bool Done = Optimiser.ReducePicture(Input, Result);
    const bool Usable = Done && UsableResult(Source, Result);
    Outcome = Optimiser.LastOutcome;
    // Kept under the bytes the optimiser read; a failure is not kept.
    if (Cache && (Usable || Outcome == TOutcome::NotSmaller))
      Cache->Store(Cache->PictureKey(*Config, Input),
                   {Usable ? TCachedResult::TKind::Optimised : TCachedResult::TKind::NotSmaller,
                    Optimiser.LastProgram, Usable ? ReadFileText(Result) : std::string()});
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
    R.TimeCapped = Optimiser.LastTimeCapped;
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
  // The compressor writes into a private folder of its own, never into the
  // output by a path (a folder of the output swapped for a link would send
  // it elsewhere); its result reaches a fresh temporary file beside Dest
  // through the output's handle. A page minified in place stays whole when
  // the compressor empties or truncates its result.
  TTempFile Result(Dest);
  Result.Close();
  const TTempFolder Private;
  const std::string Ext = ExtractFileExt(ExtractFileName(Source));
  std::string From = Source;
  const std::string To = Private.Path() + "out" + Ext;
  if (!IsValidUtf8(Source)) {
    // The Java runtime cannot name such a path: hand it an ASCII name.
    From = Private.Path() + "in" + Ext;
    CopyOrFail(Source, From);
  }
  const bool Started = Compress.Compress(From, To);
  // Only the temporary files can be left by a stopped compressor; they go
  // with Result and Private.
  if (StopRequested()) throw TRunStopped();
  if (!Started) throw Exception(Compress.ErrorMessage);
  if (Compress.LastExitCode == 0 && UsableResult(From, To)) {
    CopyOrFail(To, Result.Path());
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
    const std::string Key = Cache ? Cache->MinifyKey(Compress, Source, Source) : std::string();
    TCachedResult Hit;
    bool Done = false;
    if (Cache && Cache->Find(Key, Hit) && Hit.Kind == TCachedResult::TKind::Minified) {
      WriteFileAtomic(Dest, Hit.Bytes, Source);
      Compress.LastNote = Hit.Note;
      R.FromCache = Done = true;
    } else if (Compress.Compress(Source, Dest)) {
      Done = true;
      // Kept only when the file read is still the one the key was made of.
      if (Cache && Cache->MinifyKey(Compress, Source, Source) == Key)
        Cache->Store(Key, {TCachedResult::TKind::Minified, Compress.LastNote, ReadFileText(Dest)});
    }
    if (Done) {
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
    // A page the rewriting leaves is read by NoteRemainingReferences.
    if (W.Rewriter->Rewrite(PageFiles[I]))
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
  TPageRewriter Rewriter(*this, Config->CodePage);
  for (const std::string& Page : PageFiles) {
    if (Dupes && Rewriter.Rewrite(Page))
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
  if (!O.SkipReason.empty()) {
    SkippedFiles.push_back({O.Source, O.SkipReason});
    ++Counts.Skipped;
    Results.Add(NewRecord(O.Source, TFileAction::Skipped, TFileReason::NotAFile, O.SkipReason));
    return;
  }
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
          try {
            Handle(*Workers[size_t(Slot)], Index, O);
          } catch (const Exception&) {
            // A file gone or turned into a FIFO since the scan is passed by
            // like one the scan met so; any other failure ends the run.
            const std::string Why = O.Source.empty() ? std::string() : VanishedReason(O.Source);
            if (Why.empty()) throw;
            O.SkipReason = Why;
          }
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
  O.Source = Page;
  BeginFile(Page);
  PrepareDestination(Dest, O);
  // A page minified after its rewriting is staged beside Dest and minified
  // from there: Dest is written once, and not at all when the result equals
  // the file already there.
  const bool Minify = Config->IsCompressHtml && CanCompress(OutputDir, Dest);
  std::optional<TTempFile> Staged;
  if (DetailList.Count() > 0 && Minify) {
    Staged.emplace(Dest);
    Staged->Close();
  }
  const std::string Rewritten = Staged ? Staged->Path() : Dest;
  // Only a page whose references changed counts as rewritten; any other
  // goes as in a run without duplicates.
  if (DetailList.Count() == 0 || !RewritePage(W, Page, Rewritten, int64_t(Index))) {
    if (Config->IsCompressHtml && CanCompress(RootDir, Page)) {
      O.Record = CompressOrCopy(W, Page, Dest, Page, O);
    } else {
      CopyOrFail(Page, Dest);
      O.Record = NewRecord(Page, TFileAction::Copied,
                           Config->IsCompressHtml ? TFileReason::ExceptionFile : TFileReason::None);
    }
  } else {
    O.Rewritten = Page;
    O.Record = NewRecord(Page, TFileAction::Rewritten);
    if (Minify) {
      const TFileResult C = CompressOrCopy(W, Rewritten, Dest, Page, O);
      O.Record.Reason = C.Reason;
      O.Record.Detail = C.Detail;
      O.Record.FromCache = C.FromCache;
    }
  }
  O.Record.BytesOut = FileSizeOf(Dest);
  O.HasRecord = true;
}

void TWebFilsMgr::NoteRemainingReferences() {
  // Rewritten pages were looked through as they were rewritten; the other
  // pages, and the text files whose references are known (style sheets,
  // scripts, JSON, XML, SVG...), are read the same way: a picture of the
  // same name in another folder does not count. Every other file of the
  // site that may hold text (.htaccess, source maps, templates...), whose
  // references no reading can be sure of, is searched for the duplicates'
  // names. Each file's rank is its place in this order, which decides
  // which reference is reported first.
  enum class TLookKind { Page, Text, Other };
  struct TLook {
    const std::string* File;
    int64_t Rank;
    TLookKind Kind;
  };
  std::vector<TLook> Looks;
  int64_t Rank = 0;
  for (const std::string& Page : PageFiles) {
    if (!RefCheck->Checked(Page)) Looks.push_back({&Page, Rank, TLookKind::Page});
    ++Rank;
  }
  for (const auto* List : {&CompressFiles, &OtherFiles})
    for (const std::string& File : *List) {
      if (IsReferringTextFile(File, nullptr))
        Looks.push_back({&File, Rank, TLookKind::Text});
      else if (MayNameFiles(File))
        Looks.push_back({&File, Rank, TLookKind::Other});
      ++Rank;
    }
  ParallelFor(
      Looks.size(), Jobs,
      [&](int, size_t I) {
        if (StopRequested()) throw TRunStopped();
        const TLook& L = Looks[I];
        if (L.Kind == TLookKind::Other) {
          RefCheck->NoteMentions(*L.File, L.Rank, *L.File);
          return;
        }
        const std::string Bytes = ReadFileText(*L.File);
        bool Big = false;
        // The site's code page decides for pages; other files are
        // read as UTF-16 by their own signs alone.
        if (IsUtf16Page(Bytes, L.Kind == TLookKind::Page ? Config->CodePage : TCodePage::Utf8, Big))
          RefCheck->Note(*L.File, L.Rank, Utf16AsUtf8(Bytes, Big));
        else
          RefCheck->Note(*L.File, L.Rank, Bytes);
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
    std::string MD5;
    try {
      MD5 = Digests.KeyOf(I, Size);
    } catch (const Exception&) {
      // Gone since the scan: passed by like the files of later phases.
      const std::string Why = VanishedReason(Path);
      if (Why.empty()) throw;
      TFileOutcome O;
      O.Source = Path;
      O.SkipReason = Why;
      Record(O);
      std::lock_guard<std::mutex> L(StateLock);
      WorkSteps += 2;  // its digest and the writing it will not have
      ++WorkFiles;
      WorkCost += CostOf(TStepKind::Digest, Path) + CostOf(PictureStepKind(Path), Path);
      continue;
    }
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
    O.Source = Path;
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
  MirrorOutput();
  IsSuccess = true;
}

void TWebFilsMgr::MirrorOutput() {
  try {
    Mirror.Find(RootDir, OutputDir, WrittenFiles);
  } catch (const Exception& E) {
    Mirror.Failures.push_back(E.what());  // the files are written: the run stands
    return;
  }
  if (!DeleteStale || Mirror.Stale.empty()) return;
  bool Yes = true;
  if (OnConfirmDelete) Synchronize([&] { Yes = OnConfirmDelete(this, int(Mirror.Stale.size())); });
  if (Yes) Mirror.Remove();
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
  if (Cache) {
    Cache->Trim();
    CacheHits = Cache->Hits();
    CacheWarning = Cache->Warning();
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
