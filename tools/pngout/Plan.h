// How much work pngout gives one picture, and every time figure of the program in one place.
//
// The work is planned from the picture alone (its pixels and the sizes its rows compress to),
// never from the clock, the load or the number of processors: the same picture gets the same
// trials and the same zopfli iterations, and so the same bytes, on every run and machine. The
// cost figures below are seconds of one core of this project's build machine; they are units
// of planned work, read nowhere against a clock. The only clocks are the safety caps, which
// stop a runaway run.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "PngFile.h"

namespace larkspan::png {

// The safety net against a runaway run, counted in processor time (every thread of the
// process), so that a machine merely busy with other work never reaches it: a run that has
// used this much writes SRC's bytes unchanged and exits with status 3. No picture of up to
// 16 M pixels is planned anywhere near it. LARKSPAN_PNGOUT_CAP_MS (milliseconds, 1 to
// 3,600,000) replaces it, for tests.
inline constexpr std::chrono::milliseconds kSafetyCap{60000};
// And against a run that hangs without using the processor: wall-clock time.
inline constexpr std::chrono::minutes kHangCap{10};

// The processor-time cap for this run: LARKSPAN_PNGOUT_CAP_MS when it is a usable number,
// else kSafetyCap.
std::chrono::milliseconds SafetyCap();

// The work planned for a picture.
struct Budget {
  double seconds = 0;     // what is left for zopfli after ranking and finalists
  double final_cost = 0;  // seconds a million raw bytes at effort.final_level
  Effort effort;
};

// The plan for a picture of pixel_count pixels whose largest layout takes raw_bytes.
Budget PlanBudget(uint64_t pixel_count, size_t raw_bytes);

// zopfli splits a stream into at most this many blocks. Its search for split points weighs
// every candidate with whole Huffman trees: at zopfli's own default of 15 that search took up
// to 95% of the time on small flat pictures (0.76 s for a 7 KB logo, 0.05 s at 4), and 4
// blocks with 5 iterations came out smaller than 15 blocks with 1 on 7 of 8 real pictures.
inline constexpr int kZopfliMaxBlocks = 4;

// zopfli's gain is estimated on bands of this many bytes of rows (ZopfliShare).
inline constexpr size_t kZopfliSampleBand = 32 << 10;

// How zopfli takes part in a picture.
struct ZopfliPlan {
  int iterations = 0;                 // 0: not at all
  int max_blocks = kZopfliMaxBlocks;  // the most deflate blocks zopfli splits a stream into
  // The rows' first `bytes` go to zopfli: all of them as one stream, or for a picture too
  // large for that in two pieces compressed side by side, the rest to libdeflate meanwhile.
  size_t bytes = 0;
  bool split = false;
};

// What the rest of the budget (seconds_left) pays for on filtered_bytes of rows that
// libdeflate made into compressed_bytes at final_cost seconds a million bytes.
ZopfliPlan PlanZopfli(double seconds_left, size_t filtered_bytes, size_t compressed_bytes,
                      double final_cost);

// Whether zopfli is worth running on a picture that libdeflate made into encoded_bytes, with
// an IDAT of idat_bytes, when the picture came as source_bytes: true unless the encoding is
// already no smaller than the source and even an IDAT of share (what zopfli made of sampled
// rows against libdeflate, ZopfliShare) less a margin for the whole run's further iterations
// and blocks would leave it so.
bool ZopfliMayWin(size_t encoded_bytes, size_t idat_bytes, double share, size_t source_bytes);

}  // namespace larkspan::png
