#include "engine/uWebFilesMgr.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <thread>

#include "config/uConfig.h"
#include "engine/uDryRun.h"
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

// ---- construction and start -------------------------------------------------

TWebFilsMgr::TWebFilsMgr(TAppConfig* AConfig)
    // The scan fills the record declared below: it only keeps references.
    : TSiteScan(*AConfig, Run, Records), Config(AConfig) {
  Workers.push_back(std::make_unique<TFileWriter>(*Config, *this, Duplicates,
                                                  [this] { return StopRequested(); }));
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
  // check has passed (Output.Make after the scan).
  if (!DryRun && DirectoryExists(OutputPath)) Output.Open(OutputPath);
  // A stop of an earlier run (or of programs before this one) is over.
  AllowPrograms();
  Stopping = false;
  Run = TRunRecord();
  Run.DryRun = DryRun;
  Run.MissingTools = FindMissingTools();

  Jobs = WorkersFor(Config->Jobs);
  while (int(Workers.size()) < Jobs)
    Workers.push_back(std::make_unique<TFileWriter>(*Workers.front()));

  Duplicates.Clear();
  BeginScan(RootPath, OutputPath);
  LinkedSheets =
      std::make_unique<TLinkedSheets>(IncludeTrailingDelimiter(RootDir), Config->CodePage);
  for (auto& W : Workers) W->UseLinkedSheets(LinkedSheets.get());
  ScanSite();
  // Every folder the run will write into, looked at before anything is
  // written: a link in the output that leads into the site refuses the run.
  CheckOutputFolders();
  if (!DryRun) {
    Output.Make(*this);
    // Checked again by identity now that the output exists.
    if (FoldersConflict(RootPath, OutputPath)) throw Exception("网站根目录和输出目录不能相同！");
    if (UseCache && Config->CacheSize > 0) {
      Cache = std::make_unique<TResultCache>(TResultCache::DefaultFolder(),
                                             int64_t(Config->CacheSize) << 20);
      for (const auto& W : Workers) W->Cache = Cache.get();
    }
  }
  Resume();
}

void TWebFilsMgr::RequestStop() {
  Stopping = true;
  StopAllPrograms();
}

bool TWebFilsMgr::StopRequested() const { return Stopping.load() || ProgramsStopped(); }

std::vector<std::string> TWebFilsMgr::FindMissingTools() const {
  return Workers.front()->FindMissingTools();
}

// ---- progress ----------------------------------------------------------------

TStepKind TWebFilsMgr::PictureStepKind(const std::string& FullPath) const {
  const std::string Program = Workers.front()->Optimiser().ProgramFor(FullPath);
  if (Program == "jpegoptim") return TStepKind::Jpeg;
  if (Program == "gifsicle") return TStepKind::Gif;
  if (Program == "pngout") return TStepKind::Png;
  return TStepKind::Copy;
}

void TWebFilsMgr::HandStatus() {
  if (!OnStatus) return;
  LastStatus = std::chrono::steady_clock::now();
  TRunStatus Status;
  Status.DoneFiles = Run.DoneFiles;
  Status.TotalFiles = Run.TotalFiles;
  Status.Percent = ProgressPercent(DoneCost, Plan.Total());
  Status.DoneCost = DoneCost;
  Status.TotalCost = Plan.Total();
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
    Run.DoneFiles = WorkFiles;
    DoneCost = WorkCost;
  }
  const int Percent = ProgressPercent(DoneCost, Plan.Total());
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

// ---- the files of a phase ----------------------------------------------------

void TWebFilsMgr::PrepareDestination(const std::string& Dest, TFileOutcome& O) {
  O.Dest = Dest;
  Output.Prepare(Dest);
}

void TWebFilsMgr::Record(TFileOutcome& O) {
  if (!O.SkipReason.empty()) {
    RecordSkipped(O.Source, O.SkipReason);
    return;
  }
  if (!O.Dest.empty()) WrittenFiles.push_back(O.Dest);
  if (!O.Uncompressed.empty()) Run.UncompressedFiles.push_back(O.Uncompressed);
  if (!O.CompressError.empty()) Run.CompressErrors[O.Uncompressed] = O.CompressError;
  if (!O.Rewritten.empty()) Run.RewrittenPages.push_back(O.Rewritten);
  if (O.Kept) Run.KeptDuplicates.push_back(*O.Kept);
  if (O.HasRecord) Records.Add(std::move(O.Record));
}

void TWebFilsMgr::RunPhase(
    size_t Count,
    const std::function<void(TFileWriter& W, size_t Index, TFileOutcome& O)>& Handle) {
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

void TWebFilsMgr::WriteOne(const std::string& Path, TFileOutcome& O,
                           const std::function<TFileResult(const std::string& Dest)>& Write) {
  const std::string Dest = GetOutputFileName(Path);
  O.Source = Path;
  BeginFile(Path);
  PrepareDestination(Dest, O);
  O.Record = Write(Dest);
  O.Record.BytesOut = FileSizeOf(Dest);
  O.HasRecord = true;
  O.Cost = Plan.WriteCost(Path);
}

void TWebFilsMgr::WritePage(TFileWriter& W, size_t Index, TFileOutcome& O) {
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
  if (!Duplicates.Empty() && Minify) {
    Staged.emplace(Dest);
    Staged->Close();
  }
  const std::string Rewritten = Staged ? Staged->Path() : Dest;
  // Only a page whose references changed counts as rewritten; any other
  // goes as in a run without duplicates.
  if (Duplicates.Empty() || !W.RewritePage(Page, Rewritten, int64_t(Index), RefCheck.get())) {
    if (Config->IsCompressHtml && CanCompress(RootDir, Page)) {
      O.Record = W.CompressOrCopy(Page, Dest, Page, O);
    } else {
      CopyOrFail(Page, Dest);
      O.Record = NewRecord(Page, TFileAction::Copied,
                           Config->IsCompressHtml ? TFileReason::ExceptionFile : TFileReason::None);
    }
  } else {
    O.Rewritten = Page;
    O.Record = NewRecord(Page, TFileAction::Rewritten);
    if (Minify) {
      const TFileResult C = W.CompressOrCopy(Rewritten, Dest, Page, O);
      O.Record.Reason = C.Reason;
      O.Record.Detail = C.Detail;
      O.Record.FromCache = C.FromCache;
    }
  }
  O.Record.BytesOut = FileSizeOf(Dest);
  O.HasRecord = true;
  O.Cost = Plan.WriteCost(Page);
}

// ---- duplicates and the references to them -----------------------------------

void TWebFilsMgr::FindDuplicates() {
  // Duplicate detection by content digest, in the order of the scan. A
  // picture that no other picture can equal (by size, then by its first
  // bytes) gets an empty key and becomes a master without being digested
  // to its end.
  TPictureDigests Digests(PicFiles);
  for (size_t I = 0; I < PicFiles.size(); ++I) {
    const std::string& Path = PicFiles[I];
    BeginFile(Path);
    int64_t Size = 0;
    std::string MD5;
    // Its digest and, for a duplicate or a picture gone since the scan, the
    // writing it will not have.
    int Steps = 1, Files = 0;
    int64_t Cost = Plan.DigestCost(Path);
    try {
      MD5 = Digests.KeyOf(I, Size);
      if (Duplicates.Add(Path, MD5, Size)) {
        ++Steps;
        ++Files;
        Cost += Plan.WriteCost(Path);
      }
    } catch (const Exception&) {
      // Gone since the scan: passed by like the files of later phases.
      const std::string Why = VanishedReason(Path);
      if (Why.empty()) throw;
      RecordSkipped(Path, Why);
      std::lock_guard<std::mutex> L(StateLock);
      WorkSteps += 2;
      ++WorkFiles;
      WorkCost += Cost + Plan.WriteCost(Path);
      continue;
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

void TWebFilsMgr::MakeRefCheck() {
  RefCheck = std::make_unique<TRefCheck>(RootDir, Duplicates.DuplicateFiles());
}

void TWebFilsMgr::NoteRemainingReferences() {
  // Rewritten pages were looked through as they were rewritten.
  NoteSiteReferences(*RefCheck, PageFiles, {&CompressFiles, &OtherFiles}, Config->CodePage, Jobs,
                     [this] {
                       if (StopRequested()) throw TRunStopped();
                     });
}

void TWebFilsMgr::KeepReferencedDuplicates() {
  if (!RefCheck) return;
  NoteRemainingReferences();

  const std::vector<TKeptDuplicate> Keep = TDuplicateSet::StillReferred(*RefCheck);
  RunPhase(Keep.size(), [&](TFileWriter& W, size_t I, TFileOutcome& O) {
    const TKeptDuplicate& Ref = Keep[I];
    if (StopRequested()) throw TRunStopped();
    const std::string Dest = GetOutputFileName(Ref.FileName);
    PrepareDestination(Dest, O);
    O.Record = W.WriteOtherFile(Ref.FileName, Dest, O);
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

// ---- the dry run ---------------------------------------------------------------

void TWebFilsMgr::RecordPlan() {
  TDryRun Plan(*this, *Config, Duplicates, *Workers.front(), Jobs);
  Plan.Record(
      Records, Run, [this](const std::string& Page) { BeginFile(Page); },
      [this] {
        if (StopRequested()) throw TRunStopped();
      });
  Run.DoneFiles = Run.TotalFiles;
}

// ---- the run -------------------------------------------------------------------

void TWebFilsMgr::PlanRun() {
  TotalSteps = 2 * int(PicFiles.size()) + int(OtherFiles.size()) + int(PageFiles.size()) +
               int(CompressFiles.size());
  Run.TotalFiles =
      int(PicFiles.size() + OtherFiles.size() + PageFiles.size() + CompressFiles.size());
  DoneSteps = 0;
  Run.DoneFiles = 0;
  WorkSteps = WorkFiles = 0;
  WorkCost = DoneCost = 0;
  // The cost of every step, known before the first one (the pages' kind of
  // step depends on whether duplicates are found: assumed to be rewritten,
  // and settled once phase 1 has ended).
  Plan.Build(
      *this, Workers.front()->UsesArchive() ? TStepKind::ArchiveMinify : TStepKind::Minify,
      [this](const std::string& Path) { return PictureStepKind(Path); },
      [this](const std::string& Page) {
        return Config->IsCompressHtml && CanCompress(RootDir, Page);
      });
}

void TWebFilsMgr::WritePhases() {
  // Phase 2: every distinct picture once.
  RunPhase(Duplicates.MasterList.size(), [&](TFileWriter& W, size_t I, TFileOutcome& O) {
    const std::string& Path = Duplicates.MasterList[I].second->FileName;
    WriteOne(Path, O, [&](const std::string& Dest) { return W.WriteOtherFile(Path, Dest, O); });
  });

  // Phase 3: pages, rewritten when duplicates were found.
  RunPhase(PageFiles.size(),
           [&](TFileWriter& W, size_t I, TFileOutcome& O) { WritePage(W, I, O); });
  if (!Duplicates.Empty()) {
    if (StopRequested()) throw TRunStopped();
    KeepReferencedDuplicates();
  }

  // Phase 4: style sheets, scripts, XML (and pages when pictures are not reduced).
  RunPhase(CompressFiles.size(), [&](TFileWriter& W, size_t I, TFileOutcome& O) {
    const std::string& Path = CompressFiles[I];
    WriteOne(Path, O,
             [&](const std::string& Dest) { return W.CompressOrCopy(Path, Dest, Path, O); });
  });

  // Phase 5: everything else.
  RunPhase(OtherFiles.size(), [&](TFileWriter& W, size_t I, TFileOutcome& O) {
    const std::string& Path = OtherFiles[I];
    WriteOne(Path, O, [&](const std::string& Dest) { return W.WriteOtherFile(Path, Dest, O); });
  });
}

void TWebFilsMgr::RunPhases() {
  PlanRun();
  // Phase 1.
  FindDuplicates();
  PicFiles.clear();
  if (DryRun) {
    RecordPlan();
    Run.IsSuccess = true;
    return;
  }
  // Pages are rewritten only when there are duplicates to refer away from.
  Plan.SettlePages(!Duplicates.Empty());
  if (!Duplicates.Empty()) MakeRefCheck();
  WritePhases();
  {
    std::lock_guard<std::mutex> L(StateLock);
    CurrentFile.clear();
  }
  MirrorOutput();
  Run.IsSuccess = true;
}

void TWebFilsMgr::MirrorOutput() {
  TOutputMirror Mirror;
  Mirror.Mirror(RootDir, OutputDir, WrittenFiles, DeleteStale, [this](int Count) {
    bool Yes = true;
    if (OnConfirmDelete) Synchronize([&] { Yes = OnConfirmDelete(this, Count); });
    return Yes;
  });
  Run.StaleFiles = Mirror.Stale;
  Run.RemovedStale = Mirror.Removed;
  Run.StaleFailures = Mirror.Failures;
}

void TWebFilsMgr::FinishRecord() {
  if (!DryRun) {
    try {
      RecordLeftOutDuplicates(*this, Duplicates, Run.KeptDuplicates, Records);
    } catch (...) {
      // Records only; the run's outcome stands.
    }
    // The counts as the workers left them, for the report.
    std::lock_guard<std::mutex> L(StateLock);
    DoneSteps = WorkSteps;
    Run.DoneFiles = WorkFiles;
    DoneCost = WorkCost;
  }
  Run.Results = Records.Sorted();
  Run.DuplicateCount = Duplicates.LeftOutCount(Run.KeptDuplicates);
  // What this run wrote counts against the site; files left in the output
  // by earlier runs do not.
  Run.SavedSize = 0;
  if (Run.IsSuccess && !DryRun) {
    int64_t Written = 0;
    for (const std::string& F : WrittenFiles) Written += FileSizeOf(F);
    Run.SavedSize = SourceSize - Written;
  }
}

void TWebFilsMgr::Execute() {
  FreeOnTerminate = true;
  EngineThread = std::this_thread::get_id();
  try {
    RunPhases();
  } catch (const TRunStopped&) {
    Run.IsSuccess = false;
    Run.IsStopped = true;
  } catch (const std::exception& E) {
    Run.IsSuccess = false;
    Run.ErrorText = E.what();
  } catch (...) {
    Run.IsSuccess = false;
    Run.ErrorText = "未知错误";
  }
  if (Cache) {
    Cache->Trim();
    Run.CacheHits = Cache->Hits();
    Run.CacheWarning = Cache->Warning();
  }
  FinishRecord();
  if (OnFinished) {
    try {
      Synchronize([this] { OnFinished(this, Run); });
    } catch (...) {
      // The window's handler failed; the engine still ends and frees itself.
    }
  }
}

}  // namespace larkspan
