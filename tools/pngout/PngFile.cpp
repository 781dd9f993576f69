#include "PngFile.h"

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>
#include <unordered_map>

namespace larkspan::png {
namespace {

constexpr std::string_view kSignature{"\x89PNG\r\n\x1a\n", 8};

uint32_t ReadBe32(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

void AppendBe32(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v >> 24));
  out.push_back(static_cast<char>(v >> 16));
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v));
}

// --- decoding -----------------------------------------------------------------------------

struct ReadState {
  std::string_view file;
  size_t pos = 0;
  char message[200] = {};
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* s = static_cast<ReadState*>(png_get_io_ptr(png));
  if (length > s->file.size() - s->pos) png_error(png, "the file ends too early");
  std::memcpy(out, s->file.data() + s->pos, length);
  s->pos += length;
}

void OnError(png_structp png, png_const_charp message) {
  auto* s = static_cast<ReadState*>(png_get_error_ptr(png));
  std::snprintf(s->message, sizeof s->message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Sets libpng up to read state's file, reads its header and hands the reader to body, then
// reads the rest of the file. False when libpng reports an error (state.message says which);
// body and everything it calls must hold no objects with destructors, since an error
// longjmps back here past them.
template <typename Body>
bool ReadWithLibpng(ReadState& state, const Body& body) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &state, ReadFromMemory);
  png_read_info(png, info);
  body(png, info);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// Every pixel as 16-bit RGBA into buffer (rows points into it).
bool DecodeInto(ReadState& state, Pixels& out, std::vector<png_bytep>& rows,
                std::vector<unsigned char>& buffer) {
  return ReadWithLibpng(state, [&](png_structp png, png_infop info) {
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int color_type = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_expand_16(png);
    if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
      png_set_gray_to_rgb(png);
    }
    if (!(color_type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS)) {
      png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t row_bytes = png_get_rowbytes(png, info);
    if (row_bytes != size_t{width} * 8) png_error(png, "unexpected row layout");
    if (uint64_t{width} * height > (uint64_t{64} << 20)) png_error(png, "the picture is too large");
    buffer.resize(row_bytes * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; y++) rows[y] = buffer.data() + y * row_bytes;
    png_read_image(png, rows.data());
    out.width = width;
    out.height = height;
  });
}

// Reads every row of the file through libpng without keeping the picture.
bool ReadThrough(ReadState& state, std::vector<unsigned char>& row) {
  return ReadWithLibpng(state, [&](png_structp png, png_infop info) {
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    row.resize(png_get_rowbytes(png, info));
    const png_uint_32 height = png_get_image_height(png, info);
    for (int pass = 0; pass < passes; pass++) {
      for (png_uint_32 y = 0; y < height; y++) png_read_row(png, row.data(), nullptr);
    }
  });
}

// --- encoding -----------------------------------------------------------------------------

// A lossless representation of the pixels: colour type, bit depth, palette, packed rows.
struct Layout {
  int color_type = 6;
  int bit_depth = 8;
  std::string plte;
  std::string trns;
  size_t row_bytes = 0;
  int bpp = 1;                     // bytes per complete pixel, at least 1, for the filters
  std::vector<unsigned char> raw;  // rows without filter bytes
};

struct Analysis {
  bool opaque = true;
  bool grey = true;
  bool eight_bit = true;
  bool binary_alpha = true;  // alpha only 0 or full
};

Analysis Analyse(const Pixels& p) {
  Analysis a;
  const size_t n = p.rgba.size();
  for (size_t i = 0; i < n; i += 4) {
    uint16_t r = p.rgba[i], g = p.rgba[i + 1], b = p.rgba[i + 2], al = p.rgba[i + 3];
    if (al != 0xFFFF) {
      a.opaque = false;
      if (al != 0) a.binary_alpha = false;
    }
    if (r != g || g != b) a.grey = false;
    if ((r >> 8) != (r & 0xFF) || (g >> 8) != (g & 0xFF) || (b >> 8) != (b & 0xFF) ||
        (al >> 8) != (al & 0xFF)) {
      a.eight_bit = false;
    }
  }
  return a;
}

// Writes `value` of `depth` bits at sample index `index` of a row (depth < 8 packs MSB first).
void PutSample(unsigned char* row, size_t index, int depth, unsigned value) {
  if (depth == 8) {
    row[index] = static_cast<unsigned char>(value);
  } else if (depth == 16) {
    row[2 * index] = static_cast<unsigned char>(value >> 8);
    row[2 * index + 1] = static_cast<unsigned char>(value);
  } else {
    const size_t per_byte = 8 / depth;
    const int shift = 8 - depth * static_cast<int>(index % per_byte + 1);
    row[index / per_byte] |= static_cast<unsigned char>(value << shift);
  }
}

void AllocRows(Layout& l, const Pixels& p, int samples) {
  l.row_bytes = (size_t{p.width} * samples * l.bit_depth + 7) / 8;
  l.bpp = std::max(1, samples * l.bit_depth / 8);
  l.raw.assign(l.row_bytes * p.height, 0);
}

// A palette layout, or false when there are more than 256 colours. by_luminance: order the
// entries by luminance rather than by first appearance.
bool MakePalette(const Pixels& p, Layout& l, bool by_luminance) {
  std::unordered_map<uint32_t, int> index;
  std::vector<uint32_t> colours;
  const size_t n = p.rgba.size();
  for (size_t i = 0; i < n; i += 4) {
    uint32_t c = (uint32_t{static_cast<uint8_t>(p.rgba[i])} << 24) |
                 (uint32_t{static_cast<uint8_t>(p.rgba[i + 1])} << 16) |
                 (uint32_t{static_cast<uint8_t>(p.rgba[i + 2])} << 8) |
                 static_cast<uint8_t>(p.rgba[i + 3]);
    if (index.emplace(c, 0).second) {
      colours.push_back(c);
      if (colours.size() > 256) return false;
    }
  }
  // Translucent entries first, so that tRNS can stop after the last of them; then, if asked,
  // by luminance, which puts similar colours at near indices and can help the row filters.
  auto luma = [](uint32_t c) {
    return 299 * (c >> 24) + 587 * ((c >> 16) & 0xFF) + 114 * ((c >> 8) & 0xFF);
  };
  std::stable_sort(colours.begin(), colours.end(), [&](uint32_t a, uint32_t b) {
    const bool ta = (a & 0xFF) != 0xFF, tb = (b & 0xFF) != 0xFF;
    if (ta != tb) return ta;
    if (!by_luminance) return false;
    if (ta && (a & 0xFF) != (b & 0xFF)) return (a & 0xFF) < (b & 0xFF);
    return luma(a) < luma(b);
  });
  size_t translucent = 0;
  for (size_t k = 0; k < colours.size(); k++) {
    index[colours[k]] = static_cast<int>(k);
    l.plte.push_back(static_cast<char>(colours[k] >> 24));
    l.plte.push_back(static_cast<char>(colours[k] >> 16));
    l.plte.push_back(static_cast<char>(colours[k] >> 8));
    if ((colours[k] & 0xFF) != 0xFF) translucent = k + 1;
  }
  for (size_t k = 0; k < translucent; k++) l.trns.push_back(static_cast<char>(colours[k] & 0xFF));
  l.color_type = 3;
  l.bit_depth = colours.size() <= 2 ? 1 : colours.size() <= 4 ? 2 : colours.size() <= 16 ? 4 : 8;
  AllocRows(l, p, 1);
  for (uint32_t y = 0; y < p.height; y++) {
    unsigned char* row = l.raw.data() + y * l.row_bytes;
    for (uint32_t x = 0; x < p.width; x++) {
      const uint16_t* px = &p.rgba[(size_t{y} * p.width + x) * 4];
      uint32_t c = (uint32_t{static_cast<uint8_t>(px[0])} << 24) |
                   (uint32_t{static_cast<uint8_t>(px[1])} << 16) |
                   (uint32_t{static_cast<uint8_t>(px[2])} << 8) | static_cast<uint8_t>(px[3]);
      PutSample(row, x, l.bit_depth, static_cast<unsigned>(index[c]));
    }
  }
  return true;
}

// For pictures whose alpha is only 0 or full: one colour that every transparent pixel has and
// no opaque pixel has can stand for transparency (a tRNS key). Returns false when none does.
bool FindKey(const Pixels& p, std::array<uint16_t, 3>& key) {
  bool found = false;
  const size_t n = p.rgba.size();
  for (size_t i = 0; i < n; i += 4) {
    if (p.rgba[i + 3] != 0) continue;
    std::array<uint16_t, 3> c{p.rgba[i], p.rgba[i + 1], p.rgba[i + 2]};
    if (!found) {
      key = c;
      found = true;
    } else if (c != key) {
      return false;
    }
  }
  if (!found) return false;
  for (size_t i = 0; i < n; i += 4) {
    if (p.rgba[i + 3] != 0 && p.rgba[i] == key[0] && p.rgba[i + 1] == key[1] &&
        p.rgba[i + 2] == key[2]) {
      return false;
    }
  }
  return true;
}

// Grey (colour type 0 or 4) or colour (2 or 6) without a palette, in the smallest depth.
void MakeDirect(const Pixels& p, const Analysis& a, bool grey, Layout& l) {
  std::array<uint16_t, 3> key{};
  const bool use_key = !a.opaque && a.binary_alpha && FindKey(p, key);
  const bool alpha = !a.opaque && !use_key;
  int depth = a.eight_bit ? 8 : 16;
  if (grey && !alpha && a.eight_bit) {
    // The lowest depth at which every grey value (and the key) is exact.
    for (int d : {1, 2, 4}) {
      const unsigned step = 255 / ((1u << d) - 1);
      bool fits = true;
      for (size_t i = 0; i < p.rgba.size() && fits; i += 4) {
        fits = (p.rgba[i] & 0xFF) % step == 0;
      }
      if (fits) {
        depth = d;
        break;
      }
    }
  }
  l.color_type = grey ? (alpha ? 4 : 0) : (alpha ? 6 : 2);
  l.bit_depth = depth;
  const int channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
  AllocRows(l, p, channels);
  auto scale = [depth](uint16_t v) -> unsigned {
    if (depth == 16) return v;
    const unsigned v8 = v & 0xFF;
    return depth == 8 ? v8 : v8 / (255 / ((1u << depth) - 1));
  };
  if (use_key) {
    const int keys = grey ? 1 : 3;
    for (int k = 0; k < keys; k++) {
      unsigned v = scale(key[k]);
      l.trns.push_back(static_cast<char>(v >> 8));
      l.trns.push_back(static_cast<char>(v));
    }
  }
  for (uint32_t y = 0; y < p.height; y++) {
    unsigned char* row = l.raw.data() + y * l.row_bytes;
    size_t s = 0;
    for (uint32_t x = 0; x < p.width; x++) {
      const uint16_t* px = &p.rgba[(size_t{y} * p.width + x) * 4];
      const uint16_t* sample = px;
      std::array<uint16_t, 3> keyed{};
      if (use_key && px[3] == 0) {
        keyed = key;
        sample = keyed.data();
      }
      PutSample(row, s++, depth, scale(sample[0]));
      if (!grey) {
        PutSample(row, s++, depth, scale(sample[1]));
        PutSample(row, s++, depth, scale(sample[2]));
      }
      if (alpha) PutSample(row, s++, depth, scale(px[3]));
    }
  }
}

unsigned char Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<unsigned char>(a);
  return static_cast<unsigned char>(pb <= pc ? b : c);
}

void FilterRow(int type, const unsigned char* row, const unsigned char* prev, size_t n, int bpp,
               unsigned char* out) {
  for (size_t i = 0; i < n; i++) {
    const int a = i >= static_cast<size_t>(bpp) ? row[i - bpp] : 0;
    const int b = prev ? prev[i] : 0;
    const int c = prev && i >= static_cast<size_t>(bpp) ? prev[i - bpp] : 0;
    int v = row[i];
    switch (type) {
      case 1:
        v -= a;
        break;
      case 2:
        v -= b;
        break;
      case 3:
        v -= (a + b) / 2;
        break;
      case 4:
        v -= Paeth(a, b, c);
        break;
      default:
        break;
    }
    out[i] = static_cast<unsigned char>(v);
  }
}

// Row filter strategies: 0-4 one filter for every row; 5 per row the smallest sum of
// absolute values; 6 per row the lowest byte entropy. rows: the rows to filter, in order (each
// still filtered against the picture's row above it); empty for every row.
std::vector<unsigned char> Filter(const Layout& l, uint32_t height, int strategy,
                                  const std::vector<uint32_t>& rows = {}) {
  const size_t n = l.row_bytes;
  const size_t count = rows.empty() ? height : rows.size();
  std::vector<unsigned char> out((n + 1) * count);
  std::vector<unsigned char> trial(n);
  for (size_t k = 0; k < count; k++) {
    const uint32_t y = rows.empty() ? static_cast<uint32_t>(k) : rows[k];
    const unsigned char* row = l.raw.data() + y * n;
    const unsigned char* prev = y > 0 ? row - n : nullptr;
    unsigned char* dst = out.data() + k * (n + 1);
    int chosen = strategy;
    if (strategy >= 5) {
      double best = 0;
      for (int t = 0; t < 5; t++) {
        FilterRow(t, row, prev, n, l.bpp, trial.data());
        double cost = 0;
        if (strategy == 5) {
          for (unsigned char v : trial) cost += v < 128 ? v : 256 - v;
        } else {
          std::array<uint32_t, 256> counts{};
          for (unsigned char v : trial) counts[v]++;
          for (uint32_t c : counts) {
            if (c) cost -= c * std::log2(static_cast<double>(c) / static_cast<double>(n));
          }
        }
        if (t == 0 || cost < best) {
          best = cost;
          chosen = t;
        }
      }
    }
    dst[0] = static_cast<unsigned char>(chosen);
    FilterRow(chosen, row, prev, n, l.bpp, dst + 1);
  }
  return out;
}

// Rows for ranking trials: bands spread evenly over the picture, about sample bytes of the
// largest layout in all; empty (every row) when the picture is no larger than that.
std::vector<uint32_t> SampleRows(uint32_t height, size_t largest_row_bytes, size_t sample) {
  constexpr uint32_t kBand = 16;  // rows in a band: enough for the filters' context
  const size_t picture = largest_row_bytes * height;
  if (sample == 0 || picture <= sample || height <= 2 * kBand) return {};
  const uint32_t bands =
      std::max<uint32_t>(1, static_cast<uint32_t>(sample / (largest_row_bytes * kBand)));
  std::vector<uint32_t> rows;
  for (uint32_t b = 0; b < bands; b++) {
    const uint32_t first =
        static_cast<uint32_t>((uint64_t{height - kBand} * (2 * b + 1)) / (2 * uint64_t{bands}));
    for (uint32_t y = first; y < first + kBand; y++) {
      if (rows.empty() || y > rows.back()) rows.push_back(y);
    }
  }
  return rows;
}

std::string Deflate(const std::vector<unsigned char>& data, int level) {
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> c(
      libdeflate_alloc_compressor(level), libdeflate_free_compressor);
  if (!c) throw std::bad_alloc();
  std::string out(libdeflate_zlib_compress_bound(c.get(), data.size()), '\0');
  size_t size = libdeflate_zlib_compress(c.get(), data.data(), data.size(), out.data(), out.size());
  if (size == 0) throw std::runtime_error("compression failed");
  out.resize(size);
  return out;
}

// Runs work(0) ... work(count - 1) on two threads; each index once, in no set order.
template <typename Work>
void OnTwoCores(size_t count, const Work& work) {
  std::atomic<size_t> next{0};
  auto loop = [&] {
    for (size_t k = next++; k < count; k = next++) work(k);
  };
  std::thread other(loop);
  loop();
  other.join();
}

constexpr size_t kSplitMin = 1 << 20;

// A zlib stream of data, its two halves compressed side by side.
std::string DeflateInHalves(const std::vector<unsigned char>& data, int level) {
  std::vector<std::string> halves(2);
  const size_t middle = data.size() / 2;
  OnTwoCores(2, [&](size_t k) {
    const size_t from = k == 0 ? 0 : middle;
    const size_t to = k == 0 ? middle : data.size();
    halves[k] = RawDeflate(data.data() + from, to - from, level);
  });
  return JoinDeflate(halves, static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), data.data(),
                                                           static_cast<uInt>(data.size()))));
}

std::string Assemble(const Pixels& p, const Layout& l, const std::string& extra,
                     const std::string& idat) {
  std::string ihdr;
  AppendBe32(ihdr, p.width);
  AppendBe32(ihdr, p.height);
  ihdr.push_back(static_cast<char>(l.bit_depth));
  ihdr.push_back(static_cast<char>(l.color_type));
  ihdr.append(3, '\0');  // deflate, adaptive filtering, no interlace
  std::string out(kSignature);
  out += MakeChunk("IHDR", ihdr);
  out += extra;
  if (!l.plte.empty()) out += MakeChunk("PLTE", l.plte);
  if (!l.trns.empty()) out += MakeChunk("tRNS", l.trns);
  out += MakeChunk("IDAT", idat);
  out += MakeChunk("IEND", "");
  return out;
}

}  // namespace

std::string MakeChunk(std::string_view type, std::string_view data) {
  std::string out;
  AppendBe32(out, static_cast<uint32_t>(data.size()));
  out.append(type);
  out.append(data);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
  AppendBe32(out, static_cast<uint32_t>(crc));
  return out;
}

std::vector<Chunk> ReadChunks(std::string_view file) {
  if (file.size() < kSignature.size() || file.substr(0, 8) != kSignature) {
    throw PngError("not a PNG file");
  }
  std::vector<Chunk> chunks;
  size_t pos = 8;
  while (pos < file.size()) {
    if (file.size() - pos < 12) throw PngError("a chunk is cut off");
    const uint32_t length = ReadBe32(file.data() + pos);
    if (length > 0x7FFFFFFFu || file.size() - pos - 12 < length) {
      throw PngError("a chunk is cut off");
    }
    chunks.push_back(
        {std::string(file.substr(pos + 4, 4)), std::string(file.substr(pos + 8, length))});
    pos += 12 + size_t{length};
    if (chunks.back().type == "IEND") break;
  }
  if (chunks.empty() || chunks.front().type != "IHDR") throw PngError("IHDR is missing");
  if (chunks.back().type != "IEND") throw PngError("IEND is missing");
  return chunks;
}

Pixels Decode(std::string_view file) {
  ReadState state;
  state.file = file;
  Pixels out;
  std::vector<png_bytep> rows;
  std::vector<unsigned char> buffer;
  if (!DecodeInto(state, out, rows, buffer)) {
    throw PngError(state.message[0] ? state.message : "cannot decode the picture");
  }
  out.rgba.resize(buffer.size() / 2);
  for (size_t i = 0; i < out.rgba.size(); i++) {
    out.rgba[i] = static_cast<uint16_t>((buffer[2 * i] << 8) | buffer[2 * i + 1]);
  }
  return out;
}

void CheckDecodes(std::string_view file) {
  ReadState state;
  state.file = file;
  std::vector<unsigned char> row;
  if (!ReadThrough(state, row)) {
    throw PngError(state.message[0] ? state.message : "cannot decode the picture");
  }
}

namespace {

// One way of writing a picture's rows: a layout and a filter strategy, and the size a fast
// compression gave it.
struct Trial {
  size_t layout;
  int strategy;
  size_t size;
};

// Every layout with every filter strategy, best first: ranked on rows (every row when empty)
// at a fast level, and on flat pictures the closest (up to rerank) and the unfiltered rows
// ranked again on every row.
std::vector<Trial> RankTrials(const Pixels& pixels, const std::vector<Layout>& layouts,
                              const std::vector<uint32_t>& rows, size_t rerank) {
  std::vector<Trial> trials;
  for (size_t k = 0; k < layouts.size(); k++) {
    // Filters rarely help below 8 bits per pixel; try them anyway on small pictures.
    const bool low_depth = layouts[k].bit_depth < 8;
    for (int s = 0; s < 7; s++) {
      if (low_depth && s != 0 && s != 5 && layouts[k].raw.size() > 65536) continue;
      trials.push_back({k, s, 0});
    }
  }
  OnTwoCores(trials.size(), [&](size_t t) {
    const Layout& l = layouts[trials[t].layout];
    // A palette's chunks count too (a 16-pixel icon may be smaller without one), in the
    // share of the rows ranked.
    const size_t chunks =
        (l.plte.empty() ? 0 : 12 + l.plte.size()) + (l.trns.empty() ? 0 : 12 + l.trns.size());
    trials[t].size = Deflate(Filter(l, pixels.height, trials[t].strategy, rows), 5).size() +
                     (rows.empty() ? chunks : chunks * rows.size() / pixels.height);
  });
  std::stable_sort(trials.begin(), trials.end(),
                   [](const Trial& x, const Trial& y) { return x.size < y.size; });
  // Sampled bands can rank trials the wrong way round (a 16-bit screenshot's rows unfiltered
  // were 0.8% behind the best on the sample, 7% ahead on the whole picture): on flat
  // pictures (compressed to less than a fifth) those within 3% of the best are ranked again
  // on every row, and so are the best layout's rows unfiltered, whatever their place. Three
  // screenshots of 2.7 and 3 Mpx had them fifth on the sample and 20-35% ahead of the
  // sample's best on the whole picture. Photos rank alike on the sample and compress slowly.
  const size_t sample_bytes = rows.size() * (layouts[trials.front().layout].row_bytes + 1);
  size_t again = 0;
  if (!rows.empty() && trials.front().size * 5 < sample_bytes) {
    while (again < std::min(trials.size(), rerank) &&
           trials[again].size * 100 <= trials.front().size * 103) {
      again++;
    }
    const auto unfiltered = std::find_if(
        trials.begin() + static_cast<std::ptrdiff_t>(again), trials.end(),
        [&](const Trial& t) { return t.layout == trials.front().layout && t.strategy == 0; });
    if (unfiltered != trials.end()) {
      std::rotate(trials.begin() + static_cast<std::ptrdiff_t>(again), unfiltered, unfiltered + 1);
      again++;
    }
  }
  if (again > 1) {
    OnTwoCores(again, [&](size_t t) {
      trials[t].size =
          Deflate(Filter(layouts[trials[t].layout], pixels.height, trials[t].strategy), 5).size();
    });
    std::stable_sort(trials.begin(), trials.begin() + static_cast<std::ptrdiff_t>(again),
                     [](const Trial& x, const Trial& y) { return x.size < y.size; });
  }
  return trials;
}

}  // namespace

Encoded Encode(const Pixels& pixels, const std::string& extra_chunks, bool keep_colour_class,
               bool source_is_grey, const Effort& effort) {
  const Analysis a = Analyse(pixels);
  std::vector<Layout> layouts;
  if (a.eight_bit && !(keep_colour_class && source_is_grey)) {
    // Which order compresses better depends on the picture: both are tried.
    for (bool by_luminance : {false, true}) {
      Layout palette;
      if (!MakePalette(pixels, palette, by_luminance)) break;
      layouts.push_back(std::move(palette));
    }
  }
  const bool grey = a.grey && !(keep_colour_class && !source_is_grey);
  Layout direct;
  MakeDirect(pixels, a, grey, direct);
  layouts.push_back(std::move(direct));

  // Rank every layout and filter strategy with a fast level on the sampled rows, then give
  // the best the strongest level: the ranking rarely changes between levels, the time does.
  size_t largest_row = 0;
  for (const Layout& l : layouts) largest_row = std::max(largest_row, l.row_bytes);
  const std::vector<uint32_t> rows = SampleRows(pixels.height, largest_row, effort.rank_sample);
  Encoded result;
  const std::clock_t rank_start = std::clock();
  const std::vector<Trial> trials = RankTrials(pixels, layouts, rows, effort.rerank);
  result.ranked = trials.size();
  const std::clock_t final_start = std::clock();
  result.rank_cpu = double(final_start - rank_start) / CLOCKS_PER_SEC;
  for (size_t t = 0; t < trials.size() && t < std::max<size_t>(1, effort.finalists); t++) {
    const bool first = result.png.empty();
    const Layout& l = layouts[trials[t].layout];
    std::vector<unsigned char> filtered = Filter(l, pixels.height, trials[t].strategy);
    // Large rows that compress to more than a tenth (photos) are compressed in two halves on
    // two cores: the seam costs some bytes out of hundreds of thousands. Small results would
    // lose a larger share, so those go in one piece.
    const size_t sampled = (rows.empty() ? pixels.height : rows.size()) * (l.row_bytes + 1);
    const bool halves = filtered.size() >= kSplitMin && trials[t].size * 10 > sampled;
    // On large photos libdeflate's level 12 took 45% longer than 10 for 0.35% (three times
    // its cost a byte on flat rows), which the plan does not know yet: 10 there.
    const int level = halves && trials[t].size * 4 > sampled ? std::min(effort.final_level, 10)
                                                             : effort.final_level;
    const std::string idat = halves ? DeflateInHalves(filtered, level) : Deflate(filtered, level);
    std::string png = Assemble(pixels, l, extra_chunks, idat);
    result.finalists++;
    if (first || png.size() < result.png.size()) {
      result.png = std::move(png);
      // The IDAT chunk (12 bytes of framing) and IEND (12 bytes) end the file.
      result.idat_at = result.png.size() - 12 - (12 + idat.size());
      result.filtered_bytes = filtered.size();
      result.filtered = std::move(filtered);
    }
  }
  result.final_cpu = double(std::clock() - final_start) / CLOCKS_PER_SEC;
  return result;
}

std::string WithIdat(const Encoded& encoded, std::string_view zlib_stream) {
  std::string out = encoded.png.substr(0, encoded.idat_at);
  out += MakeChunk("IDAT", zlib_stream);
  out += MakeChunk("IEND", "");
  return out;
}

std::string RawDeflate(const unsigned char* data, size_t size, int level) {
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> c(
      libdeflate_alloc_compressor(level), libdeflate_free_compressor);
  if (!c) throw std::bad_alloc();
  std::string out(libdeflate_deflate_compress_bound(c.get(), size), '\0');
  const size_t n = libdeflate_deflate_compress(c.get(), data, size, out.data(), out.size());
  if (n == 0) throw std::runtime_error("compression failed");
  out.resize(n);
  return out;
}

std::string JoinDeflate(const std::vector<std::string>& pieces, uint32_t adler) {
  std::string out("\x78\xda", 2);  // zlib header: deflate, 32 KB window, best compression
  std::vector<unsigned char> scratch(1 << 16);
  for (size_t k = 0; k < pieces.size(); k++) {
    std::string piece = pieces[k];
    if (k + 1 < pieces.size()) {
      // Inflate the piece block by block to find where its last block's header and the
      // stream itself end, in bits (deflate fills each byte from its lowest bit).
      z_stream z{};
      if (inflateInit2(&z, -15) != Z_OK) throw std::bad_alloc();
      z.next_in = reinterpret_cast<Bytef*>(piece.data());
      z.avail_in = static_cast<uInt>(piece.size());
      // With Z_BLOCK, inflate returns at every block boundary (data_type bit 128), also right
      // after the last block (bit 64 too) before it skips to the byte boundary.
      size_t last_header = 0;
      size_t end = 0;
      int ret = Z_OK;
      while (ret == Z_OK) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        ret = inflate(&z, Z_BLOCK);
        if (ret == Z_OK && (z.data_type & 128)) {
          const size_t at = size_t{z.total_in} * 8 - (z.data_type & 7);
          (z.data_type & 64 ? end : last_header) = at;
        }
      }
      inflateEnd(&z);
      if (ret != Z_STREAM_END || z.total_in != piece.size() || end == 0 ||
          end <= piece.size() * 8 - 8) {
        throw PngError("a compressed piece is not one complete deflate stream");
      }
      piece[last_header / 8] =
          static_cast<char>(piece[last_header / 8] & ~(1 << (last_header % 8)));
      const int unused = static_cast<int>(piece.size() * 8 - end);
      piece.back() = static_cast<char>(piece.back() & ((1 << (8 - unused)) - 1));
      // An empty stored block: three zero bits of header, zero bits to the byte boundary,
      // then its length 0 and the length's complement.
      if (unused < 3) piece.push_back('\0');
      piece.append("\0\0\xff\xff", 4);
    }
    out += piece;
  }
  AppendBe32(out, adler);
  return out;
}

bool InflatesTo(std::string_view zlib_stream, const std::vector<unsigned char>& expected) {
  std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> d(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  if (!d) throw std::bad_alloc();
  std::vector<unsigned char> out(expected.size());
  size_t in_used = 0;
  size_t out_used = 0;
  const libdeflate_result r = libdeflate_zlib_decompress_ex(
      d.get(), zlib_stream.data(), zlib_stream.size(), out.data(), out.size(), &in_used, &out_used);
  return r == LIBDEFLATE_SUCCESS && in_used == zlib_stream.size() && out == expected;
}

}  // namespace larkspan::png
