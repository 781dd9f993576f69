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

// Encodes pixels as small as this encoder can: the smallest lossless colour type and bit
// depth (palette, grey, 8 bits where 16 are not needed, no alpha channel where every pixel is
// opaque), several row filter strategies tried, compressed with libdeflate at its strongest
// level. extra_chunks (complete chunks with length and CRC) go right after IHDR.
// keep_colour_class: a grey source stays grey and a colour one colour (an ICC profile
// describes one of the two).
std::string Encode(const Pixels& pixels, const std::string& extra_chunks, bool keep_colour_class,
                   bool source_is_grey);

// One complete chunk: length, type, data, CRC.
std::string MakeChunk(std::string_view type, std::string_view data);

}  // namespace larkspan::png
