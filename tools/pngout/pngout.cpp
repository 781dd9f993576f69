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
// When Debian's zopfli is installed and the picture's time budget pays for it, the chosen
// rows are handed to it for a stronger compression; its stream is taken when smaller and it
// inflates to the same rows.
//
// Time: each picture gets a budget of work planned from its size alone (so the same picture
// gives the same bytes on every run), about 6 s a million pixels and at most 2 s on the
// machine it was measured on. A wall-clock cap keeps every run within 3 s: at 2.55 s from
// the start no further candidate is started and zopfli is stopped, and a little later (or
// earlier, by the time writing a very large file takes) the best result so far is written,
// whatever the work is doing: the picture unchanged when nothing better is ready, even when
// it was not yet read through. A busy machine reaches the cap, and so does an idle one on
// the few pictures where zopfli runs far slower than planned (9 of the 233 of
// bench/pngout/run.sh: those then get libdeflate's stream).
//
// A caller that optimises several pictures side by side says how many in the environment,
// LARKSPAN_PICTURES_AT_ONCE=N (1 to 64). The plan counts on two cores; when N pictures share
// fewer than 2N cores, each gets a smaller share of them, and the cap grows by 2N / cores (at
// most 16 times) so that a picture gets as much processor time, and the same bytes, as it
// would alone. Without it the cap is as above.
//
// DST is replaced through a temporary file in its folder and a rename, so on any failure it
// is left as it was, with no partial file. SRC may be DST.
//
//   /y  replace DST if it exists (without /y an existing DST is an error)
//   /q  print nothing on success
//   /v  say on stderr what was tried and when it was done
// Exit status: 0 done, 1 SRC unreadable or not a valid PNG, or DST not writable, 2 bad
// command line.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "PngFile.h"
#include "Progress.h"
#include "platform/Thread.h"

namespace {

using larkspan::png::Chunk;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr uint64_t kMaxPixels = uint64_t{16} << 20;  // 4096 x 4096

// The work a picture gets is planned from its size alone, within a time budget that grows
// with its pixels, so a picture gets the same bytes on every run. The cost figures are
// seconds of one core of this project's build machine, measured with bench/pngout/run.sh
// while it was shared; the wall-clock cap only stops work that overruns the plan on a
// slower or busier machine, and then the best result so far is written.
constexpr double kBudgetBase = 0.05;   // seconds for any picture
constexpr double kBudgetPerMpx = 6.0;  // and per million pixels
constexpr double kBudgetMax = 2.0;     // a plan never asks for more
// The wall-clock cap: the worker starts no extra after kCap from the start and stops zopfli
// then; the main thread takes the best result so far kCapGrace later, whatever the worker
// is doing, or earlier by the time writing the source's size takes (kWriteRate). With the
// program's start and end (0.1-0.2 s each on a loaded machine) the whole run stays within 3 s.
constexpr auto kCap = std::chrono::milliseconds(2550);
constexpr auto kCapGrace = std::chrono::milliseconds(50);
// The cores a plan counts on (zopfli's two pieces run side by side), and the most the cap
// grows for pictures optimised side by side.
constexpr int kPlanCores = 2;
constexpr double kMaxCapScale = 16;
constexpr double kWriteRate = 100e6;  // bytes a second
// Seconds per million bytes of raw rows:
constexpr double kRankCost = 0.012;       // one ranking trial: filter and fast compression
constexpr double kFinalCost = 0.12;       // one finalist at libdeflate's strongest level
constexpr double kQuickFinalCost = 0.06;  // the same at level 10
constexpr double kFastFinalCost = 0.015;  // and at level 6
// zopfli: starting it, and per million filtered bytes its first iteration (which also finds
// every match and splits the blocks) and each one after it. Fitted to 169 runs of it on 206
// real pictures on an idle machine so that 9 in 10 take no longer (half take 0.6 of it, the
// slowest 1.5 times). With the figures fitted as averages (0.03, 1.2 and 0.4 s), 9 in 10
// took up to 2.6 times as long, and 12 runs did not end before the cap even on an idle
// machine: the picture then got nothing for them, and with a larger cap (several jobs)
// other bytes.
constexpr double kZopfliStartCost = 0.12;
constexpr double kZopfliFirstCost = 2.0;
constexpr double kZopfliMoreCost = 1.0;
// Rows that libdeflate compresses to more than this share are photo-like: there zopfli's
// first iterations gained nothing on our pictures, and only kZopfliPhotoIterations or more
// pay.
constexpr double kZopfliPhotoRatio = 0.3;
constexpr int kZopfliPhotoIterations = 5;
// Splitting the rows costs a little compression at each seam; below this a piece is not worth
// it.
constexpr size_t kZopfliMinPiece = 256 << 10;
constexpr size_t kRankSample = 1 << 20;  // ranking trials compress about 1 MB of rows
// Past 4 iterations zopfli gained under 0.2% on our pictures; small ones get up to 15.
constexpr int kZopfliMaxIterations = 15;

struct Failure {
  std::string message;
};

std::string SystemReason(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string ReadFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Failure{SystemReason(path)};
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    throw Failure{path + ": not a regular file"};
  }
  // Read into a buffer of the file's size: growing a string by copies took seconds for a
  // 70 MB picture on a loaded machine.
  std::string data(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  for (;;) {
    if (done == data.size()) data.resize(done + 65536);  // the file grew meanwhile
    ssize_t n = read(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Failure f{SystemReason(path)};
      close(fd);
      throw f;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  data.resize(done);
  return data;
}

// Replaces path with data through a temporary file beside it and a rename.
void ReplaceFile(const std::string& path, const std::string& data) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = dir + (dir.back() == '/' ? "" : "/") + "." + name + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw Failure{SystemReason(dir)};
  // mkstemp makes the file private; give it the mode a new or the replaced file would have.
  struct stat st;
  mode_t mode;
  if (stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = fchmod(fd, mode) == 0;
  size_t done = 0;
  while (ok && done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  Failure failure{SystemReason(path)};
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    failure = Failure{SystemReason(path)};
    ok = false;
  }
  if (!ok) {
    unlink(temp.c_str());
    throw failure;
  }
}

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

// The work planned for a picture of pixel_count pixels whose largest layout takes raw_bytes.
struct Budget {
  double seconds = 0;     // what is left after ranking and finalists
  double final_cost = 0;  // seconds a million raw bytes at effort.final_level
  larkspan::png::Effort effort;
};

Budget PlanBudget(uint64_t pixel_count, size_t raw_bytes, Clock::time_point deadline) {
  Budget b;
  b.seconds = std::min(kBudgetMax, kBudgetBase + kBudgetPerMpx * double(pixel_count) / 1e6);
  const double mb = double(raw_bytes) / 1e6;
  // Ranking: up to 3 layouts of 7 strategies each, on at most kRankSample bytes; on a
  // larger flat picture up to 3 close ones and the unfiltered rows again on every row (fast
  // there, as libdeflate is on flat rows: counted as two).
  const double rank = 21 * kRankCost * std::min(mb, double(kRankSample) / 1e6) +
                      (double(raw_bytes) > double(kRankSample) ? 2 * kRankCost * mb : 0);
  b.effort.rank_sample = kRankSample;
  b.effort.deadline = deadline;
  double final_one = kFinalCost * mb;
  if (rank + final_one > b.seconds) {
    b.effort.final_level = 10;
    final_one = kQuickFinalCost * mb;
  }
  if (rank + final_one > b.seconds) {
    b.effort.final_level = 6;
    final_one = kFastFinalCost * mb;
  }
  // Finalists: as many as a third of what is left pays for, at least one, at most four.
  const double share = (b.seconds - rank) / 3;
  b.effort.finalists = std::clamp<size_t>(size_t(share > 0 ? share / final_one : 0), 1, 4);
  b.seconds -= rank + final_one * double(b.effort.finalists);
  b.final_cost = mb > 0 ? final_one / mb : kFinalCost;
  return b;
}

// How zopfli takes part in a picture, planned from its size alone.
struct ZopfliPlan {
  int iterations = 0;  // 0: not at all
  // The rows' first `bytes` go to zopfli: all of them as one stream, or for a picture too
  // large for that in two pieces compressed side by side, the rest to libdeflate meanwhile.
  size_t bytes = 0;
  bool split = false;
};

// What the rest of the budget pays for on filtered_bytes of rows that libdeflate made into
// compressed_bytes at final_cost seconds a million bytes.
ZopfliPlan PlanZopfli(double seconds_left, size_t filtered_bytes, size_t compressed_bytes,
                      double final_cost) {
  ZopfliPlan z;
  const double mb = double(filtered_bytes) / 1e6;
  if (mb <= 0) return z;
  // On photo-like rows zopfli's first iterations do no better than libdeflate.
  const bool photo_like = double(compressed_bytes) > kZopfliPhotoRatio * double(filtered_bytes);
  const double whole = kZopfliStartCost + kZopfliFirstCost * mb;
  if (seconds_left >= whole) {
    z.iterations = int(std::min<double>(kZopfliMaxIterations,
                                        1 + (seconds_left - whole) / (kZopfliMoreCost * mb)));
    if (photo_like && z.iterations < kZopfliPhotoIterations) z.iterations = 0;
    z.bytes = filtered_bytes;
    return z;
  }
  if (photo_like) return z;
  // Two pieces of p MB, one iteration each, on the two cores, while libdeflate compresses
  // the rest, which shares them: start + first * p + final_cost * (mb - 2p) / 2 <= left.
  const double p =
      (seconds_left - kZopfliStartCost - final_cost * mb / 2) / (kZopfliFirstCost - final_cost);
  if (p * 1e6 < double(kZopfliMinPiece)) return z;
  z.iterations = 1;
  z.split = true;
  z.bytes = std::min(filtered_bytes, size_t(2 * p * 1e6));
  return z;
}

// An anonymous file holding data[0, size), or -1.
int MemoryFile(const char* name, const unsigned char* data, size_t size) {
  const int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  return fd;
}

// The whole content of the file open as fd, "" when it cannot be read.
std::string ReadAll(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return {};
  std::string data(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = pread(fd, data.data() + done, data.size() - done, off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    done += static_cast<size_t>(n);
  }
  return data;
}

// Compresses our chosen rows again as plan says with zopfli (the program of Debian's zopfli
// package), and returns the picture with that IDAT when the stream is smaller and inflates
// to the same rows, else "" (also when zopfli is stopped). zopfli's input and output are
// anonymous files, so nothing is left behind however it ends.
std::string ZopfliPass(const larkspan::png::Encoded& encoded, const ZopfliPlan& plan,
                       int final_level, larkspan::png::Progress& progress,
                       Clock::time_point deadline) {
  const std::vector<unsigned char>& rows = encoded.filtered;
  // The pieces zopfli compresses: [0, bytes) whole, or its two halves.
  std::vector<std::pair<size_t, size_t>> pieces;
  if (plan.split) {
    pieces = {{0, plan.bytes / 2}, {plan.bytes / 2, plan.bytes}};
  } else {
    pieces = {{0, rows.size()}};
  }
  const std::string level = "--i" + std::to_string(plan.iterations);
  std::vector<int> fds;
  std::vector<larkspan::png::Progress::Command> commands;
  for (const auto& [from, to] : pieces) {
    const int in = MemoryFile("pngout-rows", rows.data() + from, to - from);
    const int out = memfd_create("pngout-zopfli", MFD_CLOEXEC);
    fds.push_back(in);
    fds.push_back(out);
    commands.push_back(
        {{"zopfli", plan.split ? "--deflate" : "--zlib", level, "-c", "/dev/fd/3"}, in, out});
  }
  std::string stream;
  if (std::find(fds.begin(), fds.end(), -1) == fds.end()) {
    // The rows past zopfli's share are compressed here while it runs.
    std::string rest;
    std::thread rest_worker;
    if (plan.split && plan.bytes < rows.size()) {
      rest_worker = std::thread([&] {
        rest = larkspan::png::RawDeflate(rows.data() + plan.bytes, rows.size() - plan.bytes,
                                         final_level);
      });
    }
    const bool ok = progress.RunAll(commands, deadline);
    if (rest_worker.joinable()) rest_worker.join();
    if (ok && !plan.split) {
      stream = ReadAll(fds[1]);
    } else if (ok) {
      std::vector<std::string> parts = {ReadAll(fds[1]), ReadAll(fds[3])};
      if (!rest.empty()) parts.push_back(std::move(rest));
      try {
        stream = larkspan::png::JoinDeflate(
            parts, static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), rows.data(),
                                                 static_cast<uInt>(rows.size()))));
      } catch (const larkspan::png::PngError&) {
        stream.clear();
      }
    }
  }
  for (int fd : fds) {
    if (fd >= 0) close(fd);
  }
  const size_t old_idat = encoded.png.size() - encoded.idat_at - 24;
  if (stream.empty() || stream.size() >= old_idat ||
      !larkspan::png::InflatesTo(stream, encoded.filtered)) {
    return {};
  }
  return larkspan::png::WithIdat(encoded, stream);
}

// Offers progress the optimised file, or nothing when there is nothing to gain or the
// picture must stay as it is, and notes what was done. Throws PngError for a damaged picture.
// REQUIRES: runs on the worker thread.
void Optimise(const std::string& source, Clock::time_point start, Clock::duration cap,
              larkspan::png::Progress& progress) {
  const std::vector<Chunk> chunks = larkspan::png::ReadChunks(source);
  const Plan plan = MakePlan(chunks);
  // Too large to hold in memory comfortably (8 bytes a pixel, twice): checked, then copied.
  const std::string& ihdr = chunks.front().data;
  if (ihdr.size() == 13 && uint64_t{Be32(ihdr, 0)} * Be32(ihdr, 4) > kMaxPixels) {
    larkspan::png::CheckDecodes(source);
    progress.Note("too large: copied");
    return;
  }
  const larkspan::png::Pixels pixels = larkspan::png::Decode(source);
  if (plan.keep_as_is) {
    progress.Note("kept as it is");
    return;
  }
  const uint64_t pixel_count = uint64_t{pixels.width} * pixels.height;
  const Clock::time_point deadline = start + cap;
  // The largest layout has a byte a sample at 8 bits, two at 16; an opaque picture has no
  // alpha channel, a grey one a single colour channel.
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
  Budget budget = PlanBudget(pixel_count, size_t(pixel_count) * samples * (deep ? 2 : 1), deadline);
  const auto ms = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  };
  budget.effort.early = [&](std::string png) {
    if (!(larkspan::png::Decode(png) == pixels)) return;
    progress.Note("quick " + std::to_string(png.size()) + " bytes at " + std::to_string(ms()) +
                  " ms; ");
    progress.Offer(std::move(png));
  };
  const larkspan::png::Encoded encoded =
      larkspan::png::Encode(pixels, plan.extra_chunks, plan.has_icc, plan.grey, budget.effort);
  // The encoder is ours; a result that does not decode to the same pixels is never written.
  if (!(larkspan::png::Decode(encoded.png) == pixels)) {
    std::fprintf(stderr, "pngout: internal check failed; the picture is copied unchanged\n");
    return;
  }
  progress.Offer(encoded.png);
  progress.Note(std::to_string(encoded.ranked) + " ranked, " + std::to_string(encoded.finalists) +
                " finalists at level " + std::to_string(budget.effort.final_level) + ", " +
                std::to_string(encoded.png.size()) + " bytes at " + std::to_string(ms()) + " ms");
  const size_t idat_bytes = encoded.png.size() - encoded.idat_at - 24;
  ZopfliPlan zopfli;
  if (!encoded.cut_short) {
    zopfli = PlanZopfli(budget.seconds, encoded.filtered_bytes, idat_bytes, budget.final_cost);
  }
  if (zopfli.iterations > 0) {
    std::string z = ZopfliPass(encoded, zopfli, budget.effort.final_level, progress, deadline);
    progress.Note("; zopfli " + std::to_string(zopfli.iterations) + " iterations on " +
                  (zopfli.split ? std::to_string(zopfli.bytes) + " of " : std::string()) +
                  std::to_string(encoded.filtered_bytes) + " bytes" +
                  (zopfli.split ? " in two pieces" : "") + ": " +
                  (z.empty() ? std::string("none") : std::to_string(z.size()) + " bytes") + " at " +
                  std::to_string(ms()) + " ms");
    if (!z.empty()) progress.Offer(std::move(z));
  }
  if (encoded.cut_short) progress.Note("; cut short by the time cap");
}

// How much longer than kCap a picture may take because the caller runs others beside it:
// LARKSPAN_PICTURES_AT_ONCE pictures with kPlanCores each, on the cores this process may use.
double CapScale() {
  const char* text = std::getenv("LARKSPAN_PICTURES_AT_ONCE");
  if (text == nullptr) return 1;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || n < 1 || n > 64) return 1;
  return std::clamp(double(n) * kPlanCores / larkspan::ProcessorCount(), 1.0, kMaxCapScale);
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "pngout: %s\nusage: pngout SRC DST [/y] [/q] [/v]\n", message.c_str());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> paths;
  bool overwrite = false;
  bool quiet = false;
  bool verbose = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    // Options are two characters ("/y", "-q"); longer words starting with '/' are paths.
    if (a == "/y" || a == "-y" || a == "/Y") {
      overwrite = true;
    } else if (a == "/q" || a == "-q" || a == "/Q") {
      quiet = true;
    } else if (a == "/v" || a == "-v" || a == "/V") {
      verbose = true;
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
  const std::string& src = paths[0];
  const std::string& dst = paths[1];
  try {
    struct stat st;
    if (!overwrite && src != dst && stat(dst.c_str(), &st) == 0) {
      return Usage(dst + " exists; /y replaces it");
    }
    const Clock::time_point start = Clock::now();
    const auto cap = std::chrono::duration_cast<Clock::duration>(kCap * CapScale());
    const std::string source = ReadFile(src);
    // The work runs on a worker thread so that the cap holds whatever it is doing: at the cap
    // the best result so far is written and the process ends without waiting for it.
    larkspan::png::Progress progress(source);
    progress.Note(
        "cap " +
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(cap).count()) +
        " ms; ");
    std::thread worker([&] {
      try {
        Optimise(source, start, cap, progress);
        progress.Finish(nullptr);
      } catch (...) {
        progress.Finish(std::current_exception());
      }
    });
    bool finished = false;
    std::exception_ptr error;
    const auto write_time = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(source.size()) / kWriteRate));
    const std::string result = progress.Take(start + cap + kCapGrace - write_time, finished, error);
    if (finished) {
      worker.join();
    } else {
      worker.detach();
      progress.Note("; stopped by the time cap");
    }
    if (error) std::rethrow_exception(error);
    if (verbose) std::fprintf(stderr, "pngout: %s: %s\n", src.c_str(), progress.note().c_str());
    ReplaceFile(dst, result);
    if (!quiet) {
      std::printf(
          "%s: %zu -> %zu bytes (%.1f%% saved)\n", dst.c_str(), source.size(), result.size(),
          source.empty() ? 0.0
                         : 100.0 * double(source.size() - result.size()) / double(source.size()));
    }
    if (!finished) {
      // The worker may be inside a long compression: end here rather than wait for it.
      std::fflush(stdout);
      std::fflush(stderr);
      std::_Exit(0);
    }
    return 0;
  } catch (const Failure& f) {
    std::fprintf(stderr, "pngout: %s\n", f.message.c_str());
  } catch (const larkspan::png::PngError& e) {
    std::fprintf(stderr, "pngout: %s: %s\n", src.c_str(), e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pngout: %s: %s\n", src.c_str(), e.what());
  }
  return kExitFailed;
}
