// The optimisation engine: scans a site, then writes its reduced copy on a
// worker thread, reporting progress and, at the end, the run's record to
// the main thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/uDuplicates.h"
#include "engine/uFileResult.h"
#include "engine/uFileWriter.h"
#include "engine/uLinkedSheets.h"
#include "engine/uOutputMirror.h"
#include "engine/uOutputTree.h"
#include "engine/uProgressCost.h"
#include "engine/uRefCheck.h"
#include "engine/uResultCache.h"
#include "engine/uRunRecord.h"
#include "engine/uSiteScan.h"
#include "platform/FileSystem.h"
#include "platform/Object.h"
#include "platform/Thread.h"

namespace larkspan {

class TAppConfig;

// One run of the engine. Created on the main thread with the settings (which
// must outlive the run), given its callbacks, then Start()ed once. The run
// goes through its phases in order on the engine's thread; within a phase
// the files are handled by Jobs workers at once (with one job, by the
// engine's thread itself, in order). Only the engine's thread hands
// OnProgress, OnStatus and OnFinished to the main thread, and waits for
// them; after OnFinished has returned the engine deletes itself, so nobody
// may use it from then on. If Start throws, no worker runs and the creator
// still owns (and must delete) the engine.
//
// The scan (the work lists, RootDir, OutputDir, CanCompress, ...) is the
// engine's TSiteScan. What the run did is one TRunRecord, handed to
// OnFinished; its lists are put together by the engine's thread in the
// order of the files within each phase, so the output tree and the report
// are the same whatever the number of jobs. The first failure (the one of
// the earliest file, when several fail at once) ends the run: no further
// file is begun, the files being written are finished, and ErrorText names
// that failure.
class TWebFilsMgr : public TThread, public TObject, public TSiteScan {
 public:
  using TProgressEvent = std::function<void(TObject* Sender, int Percent)>;
  using TFinishedEvent = std::function<void(TObject* Sender, const TRunRecord& Run)>;
  using TStatusEvent = std::function<void(TObject* Sender, const TRunStatus& Status)>;

  // Creates the first worker's compressor bridge with the program's folder;
  // an error of the bridge (no Java runtime, no archive folder) passes to the
  // caller and no engine exists.
  explicit TWebFilsMgr(TAppConfig* AConfig);
  ~TWebFilsMgr() override;

  // Settles Jobs from the settings (Config->Jobs, 0 for one per processor)
  // and makes a worker's tools for each. Checks the folders ("目录不存在";
  // "网站根目录和输出目录不能相同！" when FoldersConflict) and LARKSPAN_TOOL_TIMEOUT,
  // locks an existing output folder (refused, naming it, when another run
  // holds it), reads the filter lists, measures and scans the site
  // (refused when a folder the scan enters holds the output, naming the
  // entry), refuses when a folder the run would write into resolves into
  // the site (naming the link), and only then makes the output folder
  // ("创建目录失败" with the system's reason) and locks it. Every write of
  // the run is then reached from the output folder's handle without
  // following links (TWriteRoot). Then it starts the worker.
  // Throws Exception. REQUIRES: main thread; called once.
  // With DryRun set before Start, the output folder is neither created nor
  // written: the run digests the pictures, decides, and records what it
  // would do to every file (TFileResult with the action it would take).
  void Start(const std::string& RootPath, const std::string& OutputPath);

  // Asks the run to stop: the outside program running now is killed (with
  // every program of the process, StopAllPrograms), no further file is
  // started, the file being written is removed unless it is whole, and the
  // run ends with IsStopped set. Any thread; a run that has ended ignores it.
  void RequestStop();
  // True once RequestStop or StopAllPrograms was called during this run.
  bool StopRequested() const;

  // The optimisers the settings ask for that cannot be found ("jpegoptim",
  // "gifsicle", "pngout"), in that order. Their pictures are copied as they
  // are. With Compressor "archive" a missing Java runtime ends the list
  // ("java"; the native compressor needs none). Start puts the same list
  // into the record's MissingTools.
  std::vector<std::string> FindMissingTools() const;
  // The missing tools Start found (valid from Start until OnFinished).
  const std::vector<std::string>& MissingTools() const { return Run.MissingTools; }

  // The record's SavedSize and DuplicateCount. REQUIRES: run ended.
  int64_t GetSavedSize() const { return Run.SavedSize; }
  int GetDuplicateCount() const { return Run.DuplicateCount; }

  TProgressEvent OnProgress;
  // Once, when the run ends, with the run's record (see TRunRecord).
  TFinishedEvent OnFinished;
  // Optional: as files begin and end (at most a few times a second) and
  // whenever the percentage changes; on the main thread like OnProgress.
  TStatusEvent OnStatus;
  bool DryRun = false;
  // Take results from (and keep them in) the cache of results in
  // TResultCache::DefaultFolder(), at most Config->CacheSize MiB (0: none).
  // Set before Start; a dry run uses none. The record says how many came
  // from it (CacheHits) and why it could not be used (CacheWarning).
  bool UseCache = false;
  // After a successful run, remove what the output holds that the run did
  // not write (the record's StaleFiles); OnConfirmDelete, when set, is
  // asked first on the main thread with their count, and false keeps them.
  // Set before Start.
  bool DeleteStale = false;
  std::function<bool(TObject* Sender, int Count)> OnConfirmDelete;

  TAppConfig* Config;  // not owned
  int Jobs = 1;        // workers per phase, settled by Start
  // Progress steps of the run and those done: two for a picture (its
  // digest and its writing), one for any other file. The percentage
  // OnProgress reports weighs them by TProgressPlan instead.
  int TotalSteps = 0;
  int DoneSteps = 0;
  // The pictures' masters and duplicates (MasterList, DetailList), final
  // once the digests are done.
  TDuplicateSet Duplicates;

 protected:
  void Execute() override;

 private:
  TRunRecord Run;
  TFileResults Records;  // what was done to each file, from any worker

  void ReportProgress();
  // Runs Handle(Worker, Index, Outcome) for every Index below Count on the
  // run's workers (see ParallelFor), reporting progress as files end, then
  // records the outcomes of the files that were handled, in Index order,
  // also when a failure or a stop ends the phase (which it then passes on).
  void RunPhase(size_t Count,
                const std::function<void(TFileWriter& W, size_t Index, TFileOutcome& O)>& Handle);
  void Record(TFileOutcome& O);
  // Makes Dest's folder (removing temporary files a killed run left there)
  // and notes Dest as written by this run. Any worker.
  void PrepareDestination(const std::string& Dest, TFileOutcome& O);
  // A file of phases 2, 4 and 5: Write puts it at its output path and gives
  // its record; the file counts at its planned cost.
  void WriteOne(const std::string& Path, TFileOutcome& O,
                const std::function<TFileResult(const std::string& Dest)>& Write);
  // The page phase's work on one page.
  void WritePage(TFileWriter& W, size_t Index, TFileOutcome& O);
  // Writes every left-out duplicate that a text file of the output still
  // refers to, and records it in KeptDuplicates.
  void KeepReferencedDuplicates();
  // RefCheck for the duplicates.
  void MakeRefCheck();
  // Notes for RefCheck the references in every page it has not seen and in
  // the site's text files of known kinds (read from the site), and the
  // duplicates' names in the site's other files that may hold text.
  void NoteRemainingReferences();
  // The counts and the cost of every step, before the first one.
  void PlanRun();
  void RunPhases();
  // Finds what the output holds that the run did not write, and removes it
  // when DeleteStale (and OnConfirmDelete) say so.
  void MirrorOutput();
  // Phases 2 to 5: the masters, the pages (and the duplicates still
  // referred to), the minified files, the rest.
  void WritePhases();
  // Phase 1: the duplicates from the pictures' contents, in the order of
  // the scan, on the engine's thread.
  void FindDuplicates();
  // The dry run's decisions after the digests (TDryRun; nothing is written).
  void RecordPlan();
  // The record's closing figures, once the phases are over.
  void FinishRecord();
  // Before each file (any worker): stops when asked to, notes the file for
  // OnStatus.
  void BeginFile(const std::string& FullPath);
  void HandStatus();
  TStepKind PictureStepKind(const std::string& FullPath) const;

  std::atomic<bool> Stopping{false};
  std::chrono::steady_clock::time_point LastStatus{};
  std::thread::id EngineThread;  // the thread that runs Execute
  int LastPercent = -1;          // the percentage last handed to OnProgress

  std::vector<std::unique_ptr<TFileWriter>> Workers;  // Jobs of them once started
  // The site's style sheets pages link to, read for the page minifier;
  // made by Start, shared by the workers.
  std::unique_ptr<TLinkedSheets> LinkedSheets;
  TProgressPlan Plan;
  TOutputTree Output;
  // Output paths this run has written, in order.
  std::vector<std::string> WrittenFiles;
  // The reference check of the run, made when duplicates are known.
  std::unique_ptr<TRefCheck> RefCheck;
  std::unique_ptr<TResultCache> Cache;  // when UseCache, made by Start
  int64_t DoneCost = 0;                 // planned cost of the steps done

  // Guards what the workers share while a phase runs: the file begun last,
  // and the steps and cost done (which the engine's thread reads for its
  // reports).
  mutable std::mutex StateLock;
  std::string CurrentFile;
  int WorkSteps = 0;
  int WorkFiles = 0;
  int64_t WorkCost = 0;
};

}  // namespace larkspan
