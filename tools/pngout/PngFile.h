// PNG reading, lossless re-encoding and pixel comparison for pngout.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace larkspan::png {

// A file that is not a PNG this program can read; what() says why.
class PngError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One chunk of a PNG file, its data without length, type and CRC.
struct Chunk {
  std::string type;
  std::string data;
};

// Splits a PNG file into its chunks. Throws PngError when the signature, a chunk length or
// the IHDR/IEND framing is wrong. CRCs are left to the decoder.
std::vector<Chunk> ReadChunks(std::string_view file);

// The pixels of a picture, every sample widened to 16 bits (an 8-bit value v becomes v * 257)
// as red, green, blue, alpha, row by row. Two pictures with equal Pixels look the same.
struct Pixels {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint16_t> rgba;
  bool operator==(const Pixels&) const = default;
};

// Decodes a PNG file with libpng. Throws PngError for a damaged or unreadable file.
Pixels Decode(std::string_view file);

// Reads the whole file with libpng without keeping its pixels, for pictures too large to
// hold. Throws PngError for a damaged or unreadable file.
void CheckDecodes(std::string_view file);

// How much work Encode does, planned from the picture alone (so the same picture gets the same
// bytes on every run).
struct Effort {
  // Raw bytes of the largest layout that a ranking trial compresses: rows are sampled in
  // bands, the same rows for every layout. 0 ranks on whole pictures.
  size_t rank_sample = 0;
  // How many of the best-ranked trials are compressed again at the final level.
  size_t finalists = 1;
  // libdeflate's level for them: 12 compresses best, 10 in about half the time, 6 in a
  // tenth.
  int final_level = 12;
  // When ranking on sampled rows: how many of the best are ranked again on every row.
  size_t rerank = 3;
};

// What Encode made and what it did for it.
struct Encoded {
  std::string png;
  size_t ranked = 0;          // trials ranked (layout and filter strategy)
  size_t finalists = 0;       // trials compressed at the strongest level
  size_t filtered_bytes = 0;  // what the chosen IDAT compresses: rows with filter bytes
  // The chosen rows with their filter bytes, the IDAT's content before compression, so that a
  // stronger compressor can take over (WithIdat).
  std::vector<unsigned char> filtered;
  size_t idat_at = 0;  // where the IDAT chunk starts in png
  // Processor seconds (the whole process) the ranking and the finalists took, for reports.
  double rank_cpu = 0;
  double final_cpu = 0;
};

// png with its IDAT chunk's data replaced by zlib_stream (another compression of
// encoded.filtered). Does not check the stream.
std::string WithIdat(const Encoded& encoded, std::string_view zlib_stream);

// data[0, size) compressed by libdeflate at level as one raw deflate stream.
std::string RawDeflate(const unsigned char* data, size_t size, int level);

// One zlib stream made of raw deflate streams that were compressed separately (pieces, in
// order, each complete, the last block of each marked final), for data whose Adler-32 is
// adler: every piece but the last loses its final mark and ends with an empty stored block
// to reach a byte boundary. Throws PngError when a piece is not a complete deflate stream.
std::string JoinDeflate(const std::vector<std::string>& pieces, uint32_t adler);

// True when zlib_stream is one complete zlib stream that inflates to exactly expected.
bool InflatesTo(std::string_view zlib_stream, const std::vector<unsigned char>& expected);

// Encodes pixels as small as this encoder can within effort: the smallest lossless colour
// type and bit depth (palette in two orders, grey, 8 bits where 16 are not needed, no alpha
// channel where every pixel is opaque), several row filter strategies ranked with a fast
// compression level, the best compressed with libdeflate at its strongest level.
// extra_chunks (complete chunks with length and CRC) go right after IHDR.
// keep_colour_class: a grey source stays grey and a colour one colour (an ICC profile
// describes one of the two). Always returns a valid encoding.
Encoded Encode(const Pixels& pixels, const std::string& extra_chunks, bool keep_colour_class,
               bool source_is_grey, const Effort& effort = {});

// One complete chunk: length, type, data, CRC.
std::string MakeChunk(std::string_view type, std::string_view data);

}  // namespace larkspan::png
