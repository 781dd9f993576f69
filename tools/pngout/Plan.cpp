#include "Plan.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace larkspan::png {
namespace {

// A picture's budget grows with its pixels. Past 4 s a million pixels, zopfli's further
// iterations and larger shares of split rows bought 0.1% of the sample set's bytes
// (bench/pngout/make-sample.sh) for a fifth more processor time.
constexpr double kBudgetBase = 0.1;    // seconds for any picture
constexpr double kBudgetPerMpx = 4.0;  // and per million pixels
constexpr double kBudgetMax = 2.0;     // a plan never asks for more
// Seconds per million bytes of raw rows:
constexpr double kRankCost = 0.012;       // one ranking trial: filter and fast compression
constexpr double kFinalCost = 0.12;       // one finalist at libdeflate's strongest level
constexpr double kQuickFinalCost = 0.06;  // the same at level 10
constexpr double kFastFinalCost = 0.015;  // and at level 6
constexpr size_t kRankSample = 1 << 20;   // ranking trials compress about 1 MB of rows
// Only pictures whose rows take at most this have more than one finalist. On 170 pictures
// of a real site and the sample set, finalists after the best won 0.05% on larger rows for
// twice the cost of the first; on smaller rows they win icons a few percent for a few
// milliseconds.
constexpr size_t kFinalistsMaxBytes = 64 << 10;
// zopfli: setting it up, and per million filtered bytes its first iteration (which also
// finds every match, keeping them for the next, and splits the blocks) and each one after
// it, at kZopfliMaxBlocks (Plan.h). Measured on real pictures of three sets: the first costs 0.9 to
// 3.8 s a million bytes (the flatter the rows, the more), each one after it 0.13 to 0.52.
constexpr double kZopfliStartCost = 0.01;
constexpr double kZopfliFirstCost = 2.0;
constexpr double kZopfliMoreCost = 0.4;
// zopfli runs at least this many iterations on a whole stream: the second costs a fifth of
// the first and gained a third as much again on real pictures.
constexpr int kZopfliMinIterations = 2;
// Rows that libdeflate compresses to more than this share are photo-like: there zopfli's
// first iterations gained nothing on our pictures, and only kZopfliPhotoIterations or more
// pay.
constexpr double kZopfliPhotoRatio = 0.3;
constexpr int kZopfliPhotoIterations = 5;
// Splitting the rows costs a little compression at each seam; below this a piece is not worth
// it.
constexpr size_t kZopfliMinPiece = 256 << 10;
// Past 4 iterations zopfli gained under 0.2% on our pictures; small ones get up to 15.
constexpr int kZopfliMaxIterations = 15;

// On real pictures the whole run (up to 15 iterations, whole rows) made an IDAT up to 3% of
// libdeflate's smaller than the share zopfli's sample run predicted.
constexpr double kZopfliShareMargin = 0.04;

constexpr long kMaxCapMs = 3600000;

}  // namespace

std::chrono::milliseconds SafetyCap() {
  const char* text = std::getenv("LARKSPAN_PNGOUT_CAP_MS");
  if (text == nullptr) return kSafetyCap;
  char* end = nullptr;
  errno = 0;
  const long ms = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || ms < 1 || ms > kMaxCapMs) return kSafetyCap;
  return std::chrono::milliseconds(ms);
}

Budget PlanBudget(uint64_t pixel_count, size_t raw_bytes) {
  Budget b;
  b.seconds = std::min(kBudgetMax, kBudgetBase + kBudgetPerMpx * double(pixel_count) / 1e6);
  const double mb = double(raw_bytes) / 1e6;
  // Ranking: up to 3 layouts of 7 strategies each, on at most kRankSample bytes; on a
  // larger flat picture up to 3 close ones and the unfiltered rows again on every row (fast
  // there, as libdeflate is on flat rows: counted as two).
  const double rank = 21 * kRankCost * std::min(mb, double(kRankSample) / 1e6) +
                      (double(raw_bytes) > double(kRankSample) ? 2 * kRankCost * mb : 0);
  b.effort.rank_sample = kRankSample;
  double final_one = kFinalCost * mb;
  if (rank + final_one > b.seconds) {
    b.effort.final_level = 10;
    final_one = kQuickFinalCost * mb;
  }
  if (rank + final_one > b.seconds) {
    b.effort.final_level = 6;
    final_one = kFastFinalCost * mb;
  }
  // Finalists: on small rows as many as a third of what is left pays for, at least one, at
  // most four.
  const double share = (b.seconds - rank) / 3;
  b.effort.finalists = raw_bytes > kFinalistsMaxBytes
                           ? 1
                           : std::clamp<size_t>(size_t(share > 0 ? share / final_one : 0), 1, 4);
  b.seconds -= rank + final_one * double(b.effort.finalists);
  b.final_cost = mb > 0 ? final_one / mb : kFinalCost;
  return b;
}

ZopfliPlan PlanZopfli(double seconds_left, size_t filtered_bytes, size_t compressed_bytes,
                      double final_cost) {
  ZopfliPlan z;
  const double mb = double(filtered_bytes) / 1e6;
  if (mb <= 0) return z;
  // On photo-like rows zopfli's first iterations do no better than libdeflate.
  const bool photo_like = double(compressed_bytes) > kZopfliPhotoRatio * double(filtered_bytes);
  const double whole = kZopfliStartCost + kZopfliFirstCost * mb;
  if (seconds_left >= whole) {
    // Where the first iteration fits, the second comes with it, even past the budget by
    // that fifth.
    z.iterations = int(std::clamp<double>(1 + (seconds_left - whole) / (kZopfliMoreCost * mb),
                                          kZopfliMinIterations, kZopfliMaxIterations));
    if (photo_like && z.iterations < kZopfliPhotoIterations) z.iterations = 0;
    z.bytes = filtered_bytes;
    return z;
  }
  if (photo_like) return z;
  // Two pieces of p MB, one iteration each (on rows this large a second one gains less than
  // the first on more rows), on the two threads, while libdeflate compresses the rest beside
  // them: start + first * p + final_cost * (mb - 2p) / 2 <= left.
  const double p =
      (seconds_left - kZopfliStartCost - final_cost * mb / 2) / (kZopfliFirstCost - final_cost);
  if (p * 1e6 < double(kZopfliMinPiece)) return z;
  z.iterations = 1;
  z.split = true;
  z.bytes = std::min(filtered_bytes, size_t(2 * p * 1e6));
  return z;
}

bool ZopfliMayWin(size_t encoded_bytes, size_t idat_bytes, double share, size_t source_bytes) {
  if (encoded_bytes < source_bytes) return true;
  const double saved = double(idat_bytes) * (1 - share + kZopfliShareMargin);
  return double(encoded_bytes) - saved < double(source_bytes);
}

}  // namespace larkspan::png
