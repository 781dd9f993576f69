// The optimisation engine: scans a site, then writes its reduced copy on a
// worker thread, reporting progress and the result to the main thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/uFileResult.h"
#include "engine/uOutputMirror.h"
#include "engine/uRefCheck.h"
#include "engine/uResultCache.h"
#include "engine/uTextList.h"
#include "platform/FileSystem.h"
#include "platform/Object.h"
#include "platform/Thread.h"

namespace larkspan {

class TAppConfig;
class THtmlCompress;
class TNativeCompress;
class TImageOptimiser;
class TPageRewriter;

struct TMasterItm {
  std::string FileName;  // full path of the first picture found with this content
};

struct TDetailItm {
  int MasterIndex = 0;   // index of its master in MasterList
  std::string FileName;  // full path of the duplicate in the site
  int64_t FileSize = 0;
};

// Duplicates by full path, sorted ignoring ASCII case; binary search.
class TDetailList {
 public:
  // Inserts Item under Path (kept sorted). Paths that differ only in letter
  // case are different files and get an entry each.
  void Add(const std::string& Path, std::unique_ptr<TDetailItm> Item);
  // Index of Path ignoring case (an entry of exactly that name first), or -1.
  int IndexOf(const std::string& Path) const;
  int Count() const { return int(Items.size()); }
  const std::string& Names(int I) const { return Items[size_t(I)].first; }
  TDetailItm* Objects(int I) const { return Items[size_t(I)].second.get(); }
  void Clear() { Items.clear(); }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TDetailItm>>> Items;
};

// Counts of what the scan decided, for reports.
struct TScanCounts {
  int Pictures = 0;    // pictures examined for duplicate content
  int Pages = 0;       // pages whose picture references may be rewritten
  int Compressed = 0;  // files handed to the markup compressor
  int Other = 0;       // copied (pictures possibly optimised)
  int Dropped = 0;     // left out by the file filters
  int Skipped = 0;     // never read: see TWebFilsMgr::SkippedFiles
};

// An entry of the site the scan passed by without reading it.
struct TSkippedFile {
  std::string FileName;  // full path in the site
  std::string Reason;    // why, for the user
};

// Where a run is, for a progress display.
struct TRunStatus {
  int DoneFiles = 0;
  int TotalFiles = 0;
  int Percent = 0;          // as OnProgress reports it (see ProgressCost)
  std::string CurrentFile;  // the file begun last, relative to the site root
  // The cost model Percent is taken from: done and total ProgressCost. A
  // time estimate from these agrees with Percent.
  int64_t DoneCost = 0;
  int64_t TotalCost = 0;
};

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
// What the run records (Results, UncompressedFiles, RewrittenPages, ...)
// is put together by the engine's thread in the order of the files within
// each phase, so the output tree and the report are the same whatever the
// number of jobs. The first failure (the one of the earliest file, when
// several fail at once) ends the run: no further file is begun, the files
// being written are finished, and ErrorText names that failure.
class TWebFilsMgr : public TThread, public TObject {
 public:
  using TProgressEvent = std::function<void(TObject* Sender, int Percent)>;
  using TNotifyEvent = std::function<void(TObject* Sender)>;
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
  // ("java"; the native compressor needs none). Start fills MissingTools
  // with the same list.
  std::vector<std::string> FindMissingTools() const;

  using TFileCallback =
      std::function<void(const std::string& FolderPath, const std::string& FileName)>;
  // Depth-first walk in the order the system lists entries; Callback gets
  // the file's folder (ending in "/") and bare name. A link to a folder is
  // followed like a web server would, unless it leads back to a folder on
  // the current path (a loop) or into the output folder; those, dangling
  // links and FIFOs, sockets and devices are never opened but recorded in
  // SkippedFiles (and Results, as skipped). A folder that cannot be listed throws Exception naming
  // it with the system's reason. Adds the size of every file met to ScanSize.
  void ScanFolder(const std::string& Folder, const TFileCallback& Callback);
  void AddFile(const std::string& FolderPath, const std::string& FileName);
  // False when FilePath, relative to BaseDir, is an exception file.
  bool CanCompress(const std::string& BaseDir, const std::string& FilePath) const;
  // OutputDir + "/" + FileName's path relative to RootDir.
  std::string GetOutputFileName(const std::string& FileName) const;

  // SourceSize minus the size of what this run wrote (files left in the
  // output by earlier runs do not count); 0 after a failed run.
  // REQUIRES: run ended.
  int64_t GetSavedSize() const;
  // Pictures left out of the output because an equal picture was written.
  int GetDuplicateCount() const;

  // Percentage of Done of Total, rounded half to even, in integers; never
  // 100 while Done < Total (99 instead).
  static int ProgressPercent(int64_t Done, int64_t Total);

  // The percentage OnProgress reports is ProgressPercent of the run's done
  // cost over its total cost, each step of the run weighing what it is
  // expected to take, so that the bar moves evenly through a run of slow
  // pictures and fast pages: ProgressCost of the step's kind and the file's
  // size, in estimated microseconds of one core. DoneSteps and TotalSteps
  // count the steps themselves, as before.
  enum class TStepKind { Digest, Copy, Minify, Rewrite, Jpeg, Gif, Png, ArchiveMinify };
  static int64_t ProgressCost(TStepKind Kind, int64_t Bytes);

  TProgressEvent OnProgress;
  TNotifyEvent OnFinished;
  // Optional: as files begin and end (at most a few times a second) and
  // whenever the percentage changes; on the main thread like OnProgress.
  TStatusEvent OnStatus;
  bool DryRun = false;
  // Take results from (and keep them in) the cache of results in
  // TResultCache::DefaultFolder(), at most Config->CacheSize MiB (0: none).
  // Set before Start; a dry run uses none.
  bool UseCache = false;
  // After a successful run, remove what the output holds that the run did
  // not write (Mirror); OnConfirmDelete, when set, is asked first on the
  // main thread with their count, and false keeps them. Set before Start.
  bool DeleteStale = false;
  std::function<bool(TObject* Sender, int Count)> OnConfirmDelete;
  // Read in OnFinished: results taken from the cache, why the cache could
  // not be used ("" when it could), what the output holds that the run did
  // not write.
  int CacheHits = 0;
  std::string CacheWarning;
  TOutputMirror Mirror;

  TAppConfig* Config;  // not owned
  int Jobs = 1;        // workers per phase, settled by Start
  std::string RootDir;
  std::string OutputDir;
  int64_t SourceSize = 0;
  int64_t ScanSize = 0;  // size of the files ScanFolder has met
  TTextList FileFilterList;
  TTextList CompressFilterList;
  std::vector<std::string> PicFiles;
  std::vector<std::string> PageFiles;
  std::vector<std::string> CompressFiles;
  std::vector<std::string> OtherFiles;

  bool IsSuccess = false;
  bool IsStopped = false;  // the run ended because a stop was asked for
  std::string ErrorText;
  // What was done to each file (written by the worker, read in OnFinished).
  TFileResults Results;
  std::vector<std::string> MissingTools;
  int TotalFiles = 0;
  int DoneFiles = 0;
  int TotalSteps = 0;
  int DoneSteps = 0;
  int64_t TotalCost = 0;  // ProgressCost of every step of the run
  int64_t DoneCost = 0;   // of the steps done
  // (MD5 text, master) in order of first appearance. The key is empty for a
  // picture whose size no other picture of the run shares: it cannot have a
  // duplicate, so it is never read for a digest.
  std::vector<std::pair<std::string, std::unique_ptr<TMasterItm>>> MasterList;
  TDetailList DetailList;

  TScanCounts Counts;
  // Files copied as they were because the compressor or an optimiser failed
  // on them (full paths in the site; a page rewritten in place is kept as
  // rewritten).
  std::vector<std::string> UncompressedFiles;
  // Why the native compressor left a file of UncompressedFiles alone
  // ("line L, column C: reason"), by its path in the site.
  std::map<std::string, std::string> CompressErrors;
  // Pages whose references the rewriting changed (full paths in the site).
  std::vector<std::string> RewrittenPages;
  std::vector<TKeptDuplicate> KeptDuplicates;
  // Entries of the site passed by unread (special files, dangling links,
  // loops), in the order found.
  std::vector<TSkippedFile> SkippedFiles;
  // Output paths this run has written, in order.
  std::vector<std::string> WrittenFiles;

  // Folder (ending in "/") followed by the reference as written; nothing is
  // resolved, so "..", a leading "/" or a query never match a site path.
  static std::string RefToPath(const std::string& Folder, const std::string& Ref);
  // Path relative to Folder (ending in "/"), "/" between segments, ".." for
  // every folder level to climb. Folder names are compared exactly: two
  // folders whose names differ only in case are different folders here.
  static std::string PathToRef(const std::string& Folder, const std::string& Path);

 protected:
  void Execute() override;

 private:
  // What one worker uses that keeps state from call to call: its
  // compressor (one of the two, by the Compressor setting), its optimiser
  // and, from the page phase on, its page rewriter. Workers[K] is used by
  // worker K alone; Workers[0] is made by the constructor (its bridge checks
  // for Java), the others by Start.
  struct TWorker {
    std::unique_ptr<THtmlCompress> HtmlCompress;
    std::unique_ptr<TNativeCompress> NativeCompress;
    std::unique_ptr<TImageOptimiser> Optimiser;
    std::unique_ptr<TPageRewriter> Rewriter;
    TWorker();
    ~TWorker();
  };
  // What handling one file came to, put into the engine's records by the
  // engine's thread in file order (TFileOutcome is in uWebFilesMgr.cpp).
  struct TFileOutcome;

  void ReportProgress();
  // Runs Handle(Worker, Index, Outcome) for every Index below Count on the
  // run's workers (see ParallelFor), reporting progress as files end, then
  // records the outcomes of the files that were handled, in Index order,
  // also when a failure or a stop ends the phase (which it then passes on).
  void RunPhase(size_t Count,
                const std::function<void(TWorker& W, size_t Index, TFileOutcome& O)>& Handle);
  void Record(TFileOutcome& O);
  // Makes Dest's folder (removing temporary files a killed run left there)
  // and notes Dest as written by this run. Any worker.
  void PrepareDestination(const std::string& Dest, TFileOutcome& O);
  // Opens the output folder as the run's write root and locks it; throws
  // when another run holds the lock.
  void OpenOutput(const std::string& OutputPath);
  // OutputNames from the work lists.
  void NoteOutputNames();
  // Throws when an existing part of Folder (an output folder) resolves into
  // the site, naming the link that leads there.
  void CheckOutputFolder(const std::string& Folder) const;
  // ScanFolder's walk; Ancestors are the folders on the current path.
  void ScanTree(const std::string& Dir, const TFileCallback& Callback,
                std::vector<TFileId>& Ancestors);
  void CopyOrFail(const std::string& Source, const std::string& Dest) const;
  // Writes a file that no compressor takes: through its optimiser when one
  // applies (a picture), or as a plain copy when none does or it leaves no
  // usable result. The record says which, for the site file Source.
  TFileResult WriteOtherFile(TWorker& W, const std::string& Source, const std::string& Dest,
                             TFileOutcome& O);
  // Compress; false from the bridge ends the run, a failed compressor run
  // falls back to a copy (or keeps the in-place page).
  // The record is for the site file SiteFile.
  TFileResult CompressOrCopy(TWorker& W, const std::string& Source, const std::string& Dest,
                             const std::string& SiteFile, TFileOutcome& O);
  // The archive's run on Source into a private temporary folder (on an
  // ASCII copy of Source when Java could not name it), its result published
  // at Dest through the output's handle when usable.
  // False when the result is unusable; throws when Java cannot start, or
  // TRunStopped when the run was asked to stop meanwhile.
  bool CompressWithArchive(TWorker& W, const std::string& Source, const std::string& Dest);
  // The page phase's work on one page.
  void WritePage(TWorker& W, size_t Index, TFileOutcome& O);
  // Rewrites PageFile's references (uPageRewrite.cpp); when any changed,
  // saves the page at DestFile, notes it for the reference check with Rank
  // and returns true. False: nothing was written, the page is handled as in
  // a run without duplicates (a UTF-16 page among them).
  bool RewritePage(TWorker& W, const std::string& PageFile, const std::string& DestFile,
                   int64_t Rank);
  // Writes every left-out duplicate that a text file of the output still
  // refers to, and records it in KeptDuplicates.
  void KeepReferencedDuplicates();
  // RefCheck for the duplicates of DetailList.
  void MakeRefCheck();
  // Notes for RefCheck the references in every page it has not seen and in
  // the site's text files of known kinds (read from the site), and the
  // duplicates' names in the site's other files that may hold text.
  void NoteRemainingReferences();
  // The dry run's reference check: every page rewritten in memory, then as
  // NoteRemainingReferences; fills KeptDuplicates with what the run would
  // keep. Writes nothing.
  void PlanReferenceCheck();
  void RunPhases();
  // Finds what the output holds that the run did not write, and removes it
  // when DeleteStale (and OnConfirmDelete) say so.
  void MirrorOutput();
  // Phase 1: MasterList and DetailList from the pictures' contents, in the
  // order of the scan, on the engine's thread.
  void FindDuplicates();
  // The dry run's decisions after the digests (nothing is written).
  void RecordPlan();
  // A record for the site file FullPath with its size and scan position.
  TFileResult NewRecord(const std::string& FullPath, TFileAction Action,
                        TFileReason Reason = TFileReason::None, std::string Detail = {}) const;
  std::string RelativePath(const std::string& FullPath) const;
  // Before each file (any worker): stops when asked to, notes the file for
  // OnStatus.
  void BeginFile(const std::string& FullPath);
  void HandStatus();
  void RecordLeftOutDuplicates();
  // ProgressCost of writing the file FullPath in the phase of Kind.
  int64_t CostOf(TStepKind Kind, const std::string& FullPath) const;
  TStepKind PictureStepKind(const std::string& FullPath) const;

  std::atomic<bool> Stopping{false};
  std::unordered_map<std::string, int64_t> ScanOrder;
  std::unordered_map<std::string, int64_t> ScanSizes;          // full path -> size
  std::unordered_map<std::string, std::string> ExceptedFiles;  // full path -> "" (exception files)
  std::chrono::steady_clock::time_point LastStatus{};
  std::thread::id EngineThread;  // the thread that runs Execute
  int LastPercent = -1;          // the percentage last handed to OnProgress

  std::vector<std::unique_ptr<TWorker>> Workers;  // Jobs of them once started
  std::unordered_map<std::string, int> MasterIndexByMD5;
  std::string RealRoot, RealOutput;  // ResolvePath of both, set by Start
  // FolderChainIds of the output folder, and whether it existed at Start:
  // the scan never enters the output and refuses a link above it.
  std::vector<TFileId> OutputChain;
  bool OutputExisted = false;
  // Every write lands beneath this handle, locked for the run (none for a
  // dry run).
  std::unique_ptr<TWriteRoot> OutputRoot;
  std::unique_ptr<TResultCache> Cache;  // when UseCache, made by Start
  // Output paths of the run's files and of the folders above them: names
  // the cleanup of leftovers leaves alone.
  std::unordered_set<std::string> OutputNames;
  // The reference check of the run, made when duplicates are known.
  std::unique_ptr<TRefCheck> RefCheck;

  // Guards what the workers share while a phase runs: the folders made, the
  // file begun last, and the steps and cost done (which the engine's thread
  // reads for its reports).
  mutable std::mutex StateLock;
  std::unordered_set<std::string> PreparedFolders;
  std::string CurrentFile;
  int WorkSteps = 0;
  int WorkFiles = 0;
  int64_t WorkCost = 0;
};

}  // namespace larkspan
