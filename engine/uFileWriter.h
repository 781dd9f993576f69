// The work of a run on one file: a picture written through its optimiser,
// a text file through the markup compressor, a page through the reference
// rewriting, or any of them copied as it was when that leaves no usable
// result. Each result reaches the output through a private temporary file,
// so a stopped or failed outside program never leaves a file half written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/uFileResult.h"
#include "engine/uRefCheck.h"

namespace larkspan {

class TAppConfig;
class THtmlCompress;
class TNativeCompress;
class TImageOptimiser;
class TPageRewriter;
class TSiteScan;
class TDuplicateSet;
class TResultCache;
class TLinkedSheets;

// Thrown between files when a stop was asked for; ends the run as stopped.
struct TRunStopped {};

// What handling one file came to, put into the run's record by the
// engine's thread in file order.
struct TFileOutcome {
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

// Why a site file can no longer be copied when that is not a failure of
// the run: it is gone, or no longer a regular file. "" otherwise (an
// unreadable file is a failure).
std::string VanishedReason(const std::string& Path);

// Copies Source to Dest, overwriting; throws naming both on failure.
void CopyOrFail(const std::string& Source, const std::string& Dest);

// Whether Path is a kind of picture one of the optimisers handles (when
// switched on).
bool HasOptimiser(const std::string& Path);

// The tools of one worker of a run: its compressor (one of the two, by the
// Compressor setting), its optimiser and, once pages are rewritten, its page
// rewriter. Used by one thread at a time. Scan, Duplicates and Settings must
// outlive it; StopAsked is called from the worker's thread.
class TFileWriter {
 public:
  // The first worker's tools, from the settings: the archive's bridge
  // checks for Java and throws when it cannot be run.
  TFileWriter(const TAppConfig& ASettings, const TSiteScan& AScan, const TDuplicateSet& ADuplicates,
              std::function<bool()> AStopAsked);
  // Another worker with tools like First's (no new check for Java).
  explicit TFileWriter(const TFileWriter& First);
  TFileWriter& operator=(const TFileWriter&) = delete;
  ~TFileWriter();

  // Writes a file that no compressor takes: through its optimiser when one
  // applies (a picture), or as a plain copy when none does or it leaves no
  // usable result. The record says which, for the site file Source.
  TFileResult WriteOtherFile(const std::string& Source, const std::string& Dest, TFileOutcome& O);
  // Compress; false from the bridge ends the run, a failed compressor run
  // falls back to a copy (or keeps the in-place page). The record is for
  // the site file SiteFile.
  TFileResult CompressOrCopy(const std::string& Source, const std::string& Dest,
                             const std::string& SiteFile, TFileOutcome& O);
  // Rewrites PageFile's references; when any changed, saves the page at
  // DestFile, notes it for RefCheck (when given) with Rank and returns
  // true. False: nothing was written, the page is handled as in a run
  // without duplicates (a UTF-16 page among them).
  bool RewritePage(const std::string& PageFile, const std::string& DestFile, int64_t Rank,
                   TRefCheck* RefCheck);
  // The worker's rewriter, made on first use.
  TPageRewriter& Rewriter();

  // The record of what WriteOtherFile would do to Path, for a dry run:
  // optimised when its optimiser is switched on and not in MissingTools.
  TFileResult PlanOtherFile(const std::string& Path,
                            const std::vector<std::string>& MissingTools) const;
  // The optimisers the settings ask for that cannot be found ("jpegoptim",
  // "gifsicle", "pngout"), then "java" when the archive compressor is used
  // for any kind of file and no Java runtime is found.
  std::vector<std::string> FindMissingTools() const;

  // The run's cache of results, when it uses one (not owned; set before
  // the first file). Optimised pictures (and the verdict that a picture's
  // result was not smaller) and the native compressor's results are taken
  // from it and kept in it; failures are not kept.
  TResultCache* Cache = nullptr;

  // The site's style sheets whose white-space rules pages keep (shared by
  // the run's workers, must outlive their work); null: none are read.
  void UseLinkedSheets(TLinkedSheets* Sheets) { LinkedSheets = Sheets; }

  // Whether this worker's compressor is the archive (a Java program).
  bool UsesArchive() const { return HtmlCompress != nullptr; }
  const TImageOptimiser& Optimiser() const { return *PictureOptimiser; }

 private:
  const TAppConfig& Settings;
  const TSiteScan& Scan;
  const TDuplicateSet& Duplicates;
  std::function<bool()> StopAsked;
  std::unique_ptr<THtmlCompress> HtmlCompress;
  std::unique_ptr<TNativeCompress> NativeCompress;
  std::unique_ptr<TImageOptimiser> PictureOptimiser;
  std::unique_ptr<TPageRewriter> PageRewriter;
  TLinkedSheets* LinkedSheets = nullptr;

  // The archive's run on Source into a private temporary folder (on an
  // ASCII copy of Source when Java could not name it), its result published
  // at Dest through the output's handle when usable. False when the result
  // is unusable; throws when Java cannot start, or TRunStopped when the run
  // was asked to stop meanwhile. A page gets the sheets the site page
  // SiteFile links to.
  bool CompressWithArchive(const std::string& Source, const std::string& Dest,
                           const std::string& SiteFile);
  // The native compressor's result for Input, the content of Source (a
  // page with the rules of the sheets the site page SiteFile links to),
  // from the cache or the minifier, written at Dest (a write failure
  // throws). False when the minifier failed (nothing written).
  bool MinifyText(const std::string& Input, const std::string& Source, const std::string& Dest,
                  const std::string& SiteFile, TFileResult& R);
};

}  // namespace larkspan
