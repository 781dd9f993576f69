#include "Zopfli.h"

#include <zlib.h>
#include <zopfli/zopfli.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace larkspan::png {
namespace {

// data[0, size) compressed by zopfli as plan says, as a zlib stream or a raw deflate one.
std::string Compress(const unsigned char* data, size_t size, const ZopfliPlan& plan, bool zlib) {
  ZopfliOptions options;
  ZopfliInitOptions(&options);
  options.numiterations = plan.iterations;
  options.blocksplittingmax = plan.max_blocks;
  unsigned char* out = nullptr;
  size_t out_size = 0;
  ZopfliCompress(&options, zlib ? ZOPFLI_FORMAT_ZLIB : ZOPFLI_FORMAT_DEFLATE, data, size, &out,
                 &out_size);
  // zopfli grows its output with realloc and gives up silently when that fails.
  if (out == nullptr) throw std::bad_alloc();
  std::string stream(reinterpret_cast<const char*>(out), out_size);
  std::free(out);
  return stream;
}

}  // namespace

double ZopfliShare(const std::vector<unsigned char>& rows, const ZopfliPlan& plan, int level) {
  if (rows.empty()) return 1;
  ZopfliPlan quick = plan;
  quick.iterations = std::clamp(plan.iterations, 1, 2);
  const size_t band = kZopfliSampleBand;
  const size_t bands = rows.size() < 2 * band ? 0 : std::max<size_t>(1, rows.size() / 8 / band);
  size_t zopfli = 0;
  size_t deflate = 0;
  if (bands == 0) {
    zopfli = Compress(rows.data(), rows.size(), quick, false).size();
    deflate = RawDeflate(rows.data(), rows.size(), level).size();
  } else {
    for (size_t k = 0; k < bands; k++) {
      // Band k starts at the middle of the k-th of `bands` equal stretches, less half a band.
      const size_t at = (rows.size() - band) * (2 * k + 1) / (2 * bands);
      zopfli += Compress(rows.data() + at, band, quick, false).size();
      deflate += RawDeflate(rows.data() + at, band, level).size();
    }
  }
  return deflate == 0 ? 1 : double(zopfli) / double(deflate);
}

std::string ZopfliPass(const Encoded& encoded, const ZopfliPlan& plan, int final_level) {
  const std::vector<unsigned char>& rows = encoded.filtered;
  if (plan.iterations <= 0 || rows.empty()) return {};
  std::string stream;
  if (!plan.split) {
    stream = Compress(rows.data(), rows.size(), plan, true);
  } else {
    const size_t middle = plan.bytes / 2;
    std::vector<std::string> parts(2);
    std::string rest;
    std::exception_ptr error;
    // The second piece and the rows past zopfli's share on a thread of their own, the first
    // piece here.
    std::thread other([&] {
      try {
        parts[1] = Compress(rows.data() + middle, plan.bytes - middle, plan, false);
        if (plan.bytes < rows.size()) {
          rest = RawDeflate(rows.data() + plan.bytes, rows.size() - plan.bytes, final_level);
        }
      } catch (...) {
        error = std::current_exception();
      }
    });
    try {
      parts[0] = Compress(rows.data(), middle, plan, false);
    } catch (...) {
      other.join();
      throw;
    }
    other.join();
    if (error) std::rethrow_exception(error);
    if (!rest.empty()) parts.push_back(std::move(rest));
    const auto adler = static_cast<uint32_t>(
        adler32(adler32(0, nullptr, 0), rows.data(), static_cast<uInt>(rows.size())));
    try {
      stream = JoinDeflate(parts, adler);
    } catch (const PngError&) {
      return {};
    }
  }
  const size_t old_idat = encoded.png.size() - encoded.idat_at - 24;
  if (stream.size() >= old_idat || !InflatesTo(stream, rows)) return {};
  return WithIdat(encoded, stream);
}

}  // namespace larkspan::png
