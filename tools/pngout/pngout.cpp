// pngout SRC DST [/y] [/q] [/v]
//
// Writes a losslessly optimised copy of the PNG picture SRC to DST: the same pixels (alpha
// included) in the smallest colour type, bit depth and row filtering this program finds,
// compressed with libdeflate, without the chunks a browser does not use. Colour management
// chunks stay (gAMA and cHRM only go when they just restate sRGB, the browsers' default, or
// an sRGB chunk overrides them), and so does an EXIF orientation other than "normal".
// DST is never larger than SRC: without a gain it gets SRC's bytes. Animated pictures,
// pictures with chunks this program does not know as critical and pictures above 16 M pixels
// (checked that they decode) are copied unchanged.
//
// The chosen rows are then compressed again with zopfli (Debian's libzopfli, in process) when
// the picture's budget pays for it; its stream is taken when smaller and it inflates to the
// same rows.
//
// Work: each picture gets trials and zopfli iterations planned from the picture alone (Plan.h),
// never from the clock or the load, so the same picture gives the same bytes on every run, on
// any machine, however many run side by side. A safety cap (60 s of processor time, or 10
// minutes of wall-clock time for a run that hangs; Plan.h) only stops a runaway run: DST then
// gets SRC's bytes unchanged, stderr says so, and the exit status is 3.
//
// DST is replaced through a temporary file in its folder and a rename, so on any failure it
// is left as it was, with no partial file. SRC may be DST.
//
//   /y  replace DST if it exists (without /y an existing DST is an error)
//   /q  print nothing on success
//   /v  say on stderr what was tried and when it was done
// Exit status: 0 done, 1 SRC unreadable or not a valid PNG, or DST not writable, 2 bad
// command line, 3 the safety cap was reached (DST holds SRC's bytes).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Plan.h"
#include "PngFile.h"
#include "Progress.h"
#include "Zopfli.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace {

using larkspan::png::Chunk;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitTimeCap = 3;
constexpr uint64_t kMaxPixels = uint64_t{16} << 20;  // 4096 x 4096

using Clock = std::chrono::steady_clock;

bool IsCritical(const std::string& type) {
  return !type.empty() && type[0] >= 'A' && type[0] <= 'Z';
}

uint32_t Be32(const std::string& s, size_t at) {
  auto b = reinterpret_cast<const unsigned char*>(s.data() + at);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// gAMA 1/2.2 and cHRM with the sRGB primaries say what a browser assumes anyway.
bool RestatesSrgb(const Chunk* gama, const Chunk* chrm) {
  if (gama == nullptr || gama->data.size() != 4) return false;
  const uint32_t g = Be32(gama->data, 0);
  if (g < 45400 || g > 45500) return false;
  if (chrm == nullptr) return true;
  if (chrm->data.size() != 32) return false;
  static const uint32_t kSrgb[8] = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
  for (int k = 0; k < 8; k++) {
    const int64_t d = int64_t{Be32(chrm->data, 4 * static_cast<size_t>(k))} - kSrgb[k];
    if (d < -1000 || d > 1000) return false;
  }
  return true;
}

// Orientation (EXIF tag 0x0112) of an eXIf chunk, 1 ("normal") when it has none.
int ExifOrientation(const std::string& exif) {
  if (exif.size() < 8) return 1;
  const bool le = exif[0] == 'I' && exif[1] == 'I';
  if (!le && !(exif[0] == 'M' && exif[1] == 'M')) return 1;
  auto u16 = [&](size_t at) -> uint32_t {
    if (at + 2 > exif.size()) return 0;
    auto b = reinterpret_cast<const unsigned char*>(exif.data() + at);
    return le ? b[0] | (b[1] << 8) : (b[0] << 8) | b[1];
  };
  auto u32 = [&](size_t at) -> uint32_t {
    return le ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
  };
  const size_t ifd = u32(4);
  const uint32_t entries = u16(ifd);
  for (uint32_t k = 0; k < entries; k++) {
    const size_t e = ifd + 2 + size_t{k} * 12;
    if (e + 12 > exif.size()) break;
    if (u16(e) == 0x0112) return static_cast<int>(u16(e + 8));
  }
  return 1;
}

struct Plan {
  bool keep_as_is = false;  // animated, or a critical chunk we do not know
  std::string extra_chunks;
  bool has_icc = false;
  bool grey = false;
};

// Which chunks go along. Kept: what changes how the picture looks (colour profile, sRGB,
// gamma and chromaticities unless they only restate sRGB, an EXIF orientation other than
// normal). Dropped: text, time, background colour, physical size and the like.
Plan MakePlan(const std::vector<Chunk>& chunks) {
  static const std::set<std::string> kKnownCritical = {"IHDR", "PLTE", "IDAT", "IEND"};
  Plan plan;
  const Chunk* gama = nullptr;
  const Chunk* chrm = nullptr;
  bool has_srgb = false;
  for (const Chunk& c : chunks) {
    if (c.type == "acTL" || c.type == "fcTL" || c.type == "fdAT" ||
        (IsCritical(c.type) && !kKnownCritical.count(c.type))) {
      plan.keep_as_is = true;
    }
    if (c.type == "gAMA") gama = &c;
    if (c.type == "cHRM") chrm = &c;
    if (c.type == "sRGB") has_srgb = true;
    if (c.type == "iCCP") plan.has_icc = true;
  }
  // With an sRGB chunk (and no profile) gAMA and cHRM are only for old decoders.
  const bool drop_gamma = !plan.has_icc && (has_srgb || RestatesSrgb(gama, chrm));
  for (const Chunk& c : chunks) {
    bool keep = c.type == "sRGB" || c.type == "iCCP" ||
                ((c.type == "gAMA" || c.type == "cHRM") && !drop_gamma) ||
                (c.type == "eXIf" && ExifOrientation(c.data) != 1);
    if (!keep) continue;
    plan.extra_chunks += larkspan::png::MakeChunk(c.type, c.data);
  }
  const std::string& ihdr = chunks.front().data;
  const unsigned char colour_type = ihdr.size() > 9 ? static_cast<unsigned char>(ihdr[9]) : 6;
  plan.grey = colour_type == 0 || colour_type == 4;
  return plan;
}

// The raw bytes of the largest layout pixels can take: a byte a sample at 8 bits, two at 16;
// an opaque picture has no alpha channel, a grey one a single colour channel.
size_t LargestLayoutBytes(const larkspan::png::Pixels& pixels) {
  bool deep = false;
  bool opaque = true;
  bool grey = true;
  for (size_t i = 0; i < pixels.rgba.size(); i += 4) {
    const uint16_t* p = &pixels.rgba[i];
    for (int c = 0; c < 4; c++) deep = deep || (p[c] >> 8) != (p[c] & 0xFF);
    opaque = opaque && p[3] == 0xFFFF;
    grey = grey && p[0] == p[1] && p[1] == p[2];
  }
  const size_t samples = (grey ? 1 : 3) + (opaque ? 0 : 1);
  return size_t{pixels.width} * pixels.height * samples * (deep ? 2 : 1);
}

// Offers progress the optimised file, or nothing when there is nothing to gain or the
// picture must stay as it is, and notes what was done (start: when the run began, for the
// note alone). Throws PngError for a damaged picture.
// REQUIRES: runs on the worker thread.
void Optimise(const std::string& source, Clock::time_point start,
              larkspan::png::Progress& progress) {
  namespace png = larkspan::png;
  const std::vector<Chunk> chunks = png::ReadChunks(source);
  const Plan plan = MakePlan(chunks);
  // Too large to hold in memory comfortably (8 bytes a pixel, twice): checked, then copied.
  const std::string& ihdr = chunks.front().data;
  if (ihdr.size() == 13 && uint64_t{Be32(ihdr, 0)} * Be32(ihdr, 4) > kMaxPixels) {
    png::CheckDecodes(source);
    progress.Note("too large: copied");
    return;
  }
  const png::Pixels pixels = png::Decode(source);
  if (plan.keep_as_is) {
    progress.Note("kept as it is");
    return;
  }
  const png::Budget budget =
      png::PlanBudget(uint64_t{pixels.width} * pixels.height, LargestLayoutBytes(pixels));
  // Wall time since the start, and the processor time of the whole process so far.
  const auto ms = [&] {
    return std::to_string(
               std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                   .count()) +
           " ms (CPU " + std::to_string(std::clock() * 1000 / CLOCKS_PER_SEC) + ")";
  };
  const auto cpu_ms = [](double seconds) { return std::to_string(std::lround(seconds * 1000)); };
  const png::Encoded encoded =
      png::Encode(pixels, plan.extra_chunks, plan.has_icc, plan.grey, budget.effort);
  // The encoder is ours; a result that does not decode to the same pixels is never written.
  if (!(png::Decode(encoded.png) == pixels)) {
    std::fprintf(stderr, "pngout: internal check failed; the picture is copied unchanged\n");
    return;
  }
  progress.Offer(encoded.png);
  progress.Note(std::to_string(encoded.ranked) + " ranked in " + cpu_ms(encoded.rank_cpu) +
                " ms, " + std::to_string(encoded.finalists) + " finalists at level " +
                std::to_string(budget.effort.final_level) + " in " + cpu_ms(encoded.final_cpu) +
                " ms, " + std::to_string(encoded.png.size()) + " bytes at " + ms());
  const size_t idat_bytes = encoded.png.size() - encoded.idat_at - 24;
  const png::ZopfliPlan zopfli =
      png::PlanZopfli(budget.seconds, encoded.filtered_bytes, idat_bytes, budget.final_cost);
  // Where libdeflate's encoding is no smaller than the picture as it came (a picture already
  // optimised), zopfli runs only when a sample of the rows says it may get below it. On rows
  // shorter than two bands the sample would cost as much as zopfli itself.
  if (zopfli.iterations > 0 && encoded.png.size() >= source.size() &&
      encoded.filtered.size() >= 2 * png::kZopfliSampleBand) {
    const double share = png::ZopfliShare(encoded.filtered, zopfli, budget.effort.final_level);
    if (!png::ZopfliMayWin(encoded.png.size(), idat_bytes, share, source.size())) {
      progress.Note("; zopfli left out: a sample gave " + std::to_string(std::lround(share * 100)) +
                    "% of libdeflate's size, too little to beat the source, at " + ms());
      return;
    }
  }
  if (zopfli.iterations > 0) {
    std::string z = png::ZopfliPass(encoded, zopfli, budget.effort.final_level);
    progress.Note("; zopfli " + std::to_string(zopfli.iterations) + " iterations on " +
                  (zopfli.split ? std::to_string(zopfli.bytes) + " of " : std::string()) +
                  std::to_string(encoded.filtered_bytes) + " bytes" +
                  (zopfli.split ? " in two pieces" : "") + ": " +
                  (z.empty() ? std::string("none") : std::to_string(z.size()) + " bytes") + " at " +
                  ms());
    if (!z.empty()) progress.Offer(std::move(z));
  }
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "pngout: %s\nusage: pngout SRC DST [/y] [/q] [/v]\n", message.c_str());
  return kExitUsage;
}

struct Options {
  std::string src;
  std::string dst;
  bool overwrite = false;
  bool quiet = false;
  bool verbose = false;
};

// Reads the command line into options; returns -1 to go on, else the exit status.
int ParseCommandLine(int argc, char** argv, Options& options) {
  std::vector<std::string> paths;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    // Options are two characters ("/y", "-q"); longer words starting with '/' are paths.
    if (a == "/y" || a == "-y" || a == "/Y") {
      options.overwrite = true;
    } else if (a == "/q" || a == "-q" || a == "/Q") {
      options.quiet = true;
    } else if (a == "/v" || a == "-v" || a == "/V") {
      options.verbose = true;
    } else if (a == "/?" || a == "-h" || a == "--help") {
      Usage("help");
      return 0;
    } else if ((a.size() == 2 && a[0] == '/') || (a.size() > 1 && a[0] == '-')) {
      return Usage("unknown option " + a);
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() != 2) return Usage("SRC and DST are both needed");
  options.src = paths[0];
  options.dst = paths[1];
  if (!options.overwrite && options.src != options.dst &&
      (larkspan::FileExists(options.dst) || larkspan::DirectoryExists(options.dst))) {
    return Usage(options.dst + " exists; /y replaces it");
  }
  return -1;
}

// Optimises options.src into options.dst; returns the exit status. Throws for an unreadable
// or damaged source or a destination that cannot be written.
int Run(const Options& options) {
  const Clock::time_point start = Clock::now();
  const std::string source = larkspan::ReadFileText(options.src);
  // The work runs on a worker thread so that the safety caps hold whatever it is doing.
  larkspan::png::Progress progress(source);
  const std::chrono::milliseconds cap = larkspan::png::SafetyCap();
  progress.Note("cap " + std::to_string(cap.count()) + " ms; ");
  std::thread worker([&] {
    try {
      Optimise(source, start, progress);
      progress.Finish(nullptr);
    } catch (...) {
      progress.Finish(std::current_exception());
    }
  });
  std::exception_ptr error;
  const std::optional<std::string> result =
      progress.Take(cap, start + larkspan::png::kHangCap, error);
  if (!result) {
    // How far the work got depends on the machine: none of it is written. The worker may be
    // inside a long compression: end here rather than wait for it.
    worker.detach();
    int status = kExitTimeCap;
    try {
      larkspan::WriteFileAtomic(options.dst, source);
      std::fprintf(stderr, "pngout: %s: time cap reached; written unchanged\n",
                   options.src.c_str());
    } catch (const larkspan::Exception& e) {
      std::fprintf(stderr, "pngout: %s\n", e.what());
      status = kExitFailed;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
  }
  worker.join();
  if (error) std::rethrow_exception(error);
  if (options.verbose) {
    std::fprintf(stderr, "pngout: %s: %s\n", options.src.c_str(), progress.note().c_str());
  }
  larkspan::WriteFileAtomic(options.dst, *result);
  if (!options.quiet) {
    const double saved =
        source.empty() ? 0.0
                       : 100.0 * double(source.size() - result->size()) / double(source.size());
    std::printf("%s: %zu -> %zu bytes (%.1f%% saved)\n", options.dst.c_str(), source.size(),
                result->size(), saved);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = ParseCommandLine(argc, argv, options); status >= 0) return status;
  try {
    return Run(options);
  } catch (const larkspan::Exception& e) {
    std::fprintf(stderr, "pngout: %s\n", e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pngout: %s: %s\n", options.src.c_str(), e.what());
  }
  return kExitFailed;
}
