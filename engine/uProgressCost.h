// How far a run is: each step of the run weighs what it is expected to
// take, so that a progress bar moves evenly through a run of slow pictures
// and fast pages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

namespace larkspan {

class TSiteScan;

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

// Percentage of Done of Total, rounded half to even, in integers; never
// 100 while Done < Total (99 instead); 0 when Total is not above 0.
int ProgressPercent(int64_t Done, int64_t Total);

// The kinds of step a run takes on a file.
enum class TStepKind { Digest, Copy, Minify, Rewrite, Jpeg, Gif, Png, ArchiveMinify };

// What a step of Kind on a file of Bytes is expected to cost, in estimated
// microseconds of one core; only the ratios matter.
int64_t ProgressCost(TStepKind Kind, int64_t Bytes);

// The cost of every step of one run, each file costed once from the size
// the scan met. Built on the engine's thread before the first step; read
// by any worker afterwards (const).
class TProgressPlan {
 public:
  // Which step writes a picture (or any file no compressor takes): Jpeg,
  // Gif, Png by its optimiser, Copy when none applies.
  using TPictureKind = std::function<TStepKind(const std::string& FullPath)>;

  // Costs the files of Scan's work lists. MinifyKind is the compressor's
  // step; a page is minified when MinifyPage says so. Pages are costed as
  // rewritten until SettlePages says otherwise.
  void Build(const TSiteScan& Scan, TStepKind MinifyKind, const TPictureKind& PictureKind,
             const std::function<bool(const std::string& Page)>& MinifyPage);
  // Once the duplicates are known: whether the pages are rewritten; their
  // costs and Total follow.
  void SettlePages(bool Rewritten);

  // The digest step of a picture of the scan.
  int64_t DigestCost(const std::string& FullPath) const;
  // The step that writes FullPath (for a page, as settled).
  int64_t WriteCost(const std::string& FullPath) const;
  int64_t Total() const { return TotalCost; }

 private:
  struct TFileCost {
    int64_t Digest = 0;
    int64_t Write = 0;
    int64_t PlainPage = -1;  // a page's writing when not rewritten; -1: not a page
  };
  std::unordered_map<std::string, TFileCost> Costs;
  int64_t TotalCost = 0;
  bool PagesRewritten = true;
};

}  // namespace larkspan
