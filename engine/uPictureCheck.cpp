#include "engine/uPictureCheck.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace larkspan {

namespace {

// Pictures larger than this are not decoded whole for the comparison; their
// optimised form is not taken.
constexpr uint64_t MaxPixels = uint64_t(16) << 20;

// ---- PNG -----------------------------------------------------------------

struct TPngInput {
  std::string_view Bytes;
  size_t Pos = 0;
};

void PngRead(png_structp Png, png_bytep Out, png_size_t Length) {
  auto* In = static_cast<TPngInput*>(png_get_io_ptr(Png));
  if (Length > In->Bytes.size() - In->Pos) png_error(Png, "the file ends too early");
  std::memcpy(Out, In->Bytes.data() + In->Pos, Length);
  In->Pos += Length;
}

void PngFail(png_structp Png, png_const_charp) { png_longjmp(Png, 1); }
void PngWarn(png_structp, png_const_charp) {}

// The samples of a PNG as 16-bit RGBA, row by row, as stored (no gamma or
// colour correction: what an optimiser must keep is the samples); Width 0
// when it does not decode or is too large. Nothing with a destructor lives
// between setjmp and the end: an error longjmps back.
bool DecodePng(std::string_view Bytes, uint32_t& Width, std::vector<unsigned char>& Buffer,
               std::vector<png_bytep>& Rows) {
  TPngInput In{Bytes};
  png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
  if (!Png) return false;
  png_infop Info = png_create_info_struct(Png);
  if (!Info || setjmp(png_jmpbuf(Png))) {
    png_destroy_read_struct(&Png, &Info, nullptr);
    return false;
  }
  png_set_read_fn(Png, &In, PngRead);
  png_read_info(Png, Info);
  const png_uint_32 W = png_get_image_width(Png, Info), H = png_get_image_height(Png, Info);
  if (uint64_t(W) * H > MaxPixels) png_error(Png, "too large");
  const int Type = png_get_color_type(Png, Info);
  png_set_expand(Png);
  png_set_expand_16(Png);
  if (Type == PNG_COLOR_TYPE_GRAY || Type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(Png);
  if (!(Type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(Png, Info, PNG_INFO_tRNS))
    png_set_add_alpha(Png, 0xFFFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(Png);
  png_read_update_info(Png, Info);
  const size_t RowBytes = png_get_rowbytes(Png, Info);
  if (RowBytes != size_t(W) * 8) png_error(Png, "unexpected row layout");
  Buffer.resize(RowBytes * H);
  Rows.resize(H);
  for (png_uint_32 Y = 0; Y < H; ++Y) Rows[Y] = Buffer.data() + Y * RowBytes;
  png_read_image(Png, Rows.data());
  png_read_end(Png, nullptr);
  png_destroy_read_struct(&Png, &Info, nullptr);
  Width = W;
  return true;
}

std::string PngFault(std::string_view Source, std::string_view Result) {
  uint32_t WA = 0, WB = 0;
  std::vector<unsigned char> A, B;
  std::vector<png_bytep> Rows;
  if (!DecodePng(Source, WA, A, Rows)) return "original cannot be compared";
  if (!DecodePng(Result, WB, B, Rows)) return "result is not a readable PNG";
  if (WA != WB || A != B) return "result shows other pixels";
  return std::string();
}

// ---- GIF -----------------------------------------------------------------

struct TMemoryInput {
  std::string_view Bytes;
  size_t Pos = 0;
};

int ReadMemory(GifFileType* Gif, GifByteType* Buffer, int Length) {
  auto* In = static_cast<TMemoryInput*>(Gif->UserData);
  const size_t N = std::min(size_t(std::max(Length, 0)), In->Bytes.size() - In->Pos);
  std::memcpy(Buffer, In->Bytes.data() + In->Pos, N);
  In->Pos += N;
  return int(N);
}

struct TGifCloser {
  GifFileType* Gif;
  ~TGifCloser() {
    int Error = 0;
    if (Gif) DGifCloseFile(Gif, &Error);
  }
};

// Composes the frames of a slurped GIF one after another on its screen, as
// a viewer shows them: transparent where nothing was drawn.
class TGifScreen {
 public:
  explicit TGifScreen(GifFileType* AGif)
      : Gif(AGif), Pixels(size_t(AGif->SWidth) * size_t(AGif->SHeight), 0) {}

  // Draws frame I over what the previous frames left; false when the frame
  // cannot be drawn (no colour table).
  bool Draw(int I) {
    Dispose();
    const SavedImage& Frame = Gif->SavedImages[I];
    const GifImageDesc& D = Frame.ImageDesc;
    GraphicsControlBlock Gcb{};
    Gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(Gif, I, &Gcb);
    const ColorMapObject* Map = D.ColorMap ? D.ColorMap : Gif->SColorMap;
    if (!Map || !Frame.RasterBits) return false;
    if (Gcb.DisposalMode == DISPOSE_PREVIOUS) Saved = Pixels;
    for (int Y = 0; Y < D.Height; ++Y)
      for (int X = 0; X < D.Width; ++X) {
        const int Index = Frame.RasterBits[size_t(Y) * size_t(D.Width) + size_t(X)];
        const int SX = D.Left + X, SY = D.Top + Y;
        if (Index == Gcb.TransparentColor || SX >= Gif->SWidth || SY >= Gif->SHeight) continue;
        // An index beyond the table shows black, as browsers draw it.
        uint32_t Colour = 0xFF000000u;
        if (Index < Map->ColorCount) {
          const GifColorType& C = Map->Colors[Index];
          Colour |= uint32_t(C.Red) << 16 | uint32_t(C.Green) << 8 | C.Blue;
        }
        Pixels[size_t(SY) * size_t(Gif->SWidth) + size_t(SX)] = Colour;
      }
    Last = I;
    LastDisposal = Gcb.DisposalMode;
    return true;
  }
  const std::vector<uint32_t>& Screen() const { return Pixels; }

 private:
  GifFileType* Gif;
  std::vector<uint32_t> Pixels, Saved;
  int Last = -1;
  int LastDisposal = DISPOSAL_UNSPECIFIED;

  void Dispose() {
    if (Last < 0) return;
    if (LastDisposal == DISPOSE_PREVIOUS && !Saved.empty()) {
      Pixels.swap(Saved);
      Saved.clear();
    } else if (LastDisposal == DISPOSE_BACKGROUND) {
      const GifImageDesc& D = Gif->SavedImages[Last].ImageDesc;
      for (int Y = std::max(D.Top, 0); Y < std::min(D.Top + D.Height, Gif->SHeight); ++Y)
        for (int X = std::max(D.Left, 0); X < std::min(D.Left + D.Width, Gif->SWidth); ++X)
          Pixels[size_t(Y) * size_t(Gif->SWidth) + size_t(X)] = 0;
    }
  }
};

GifFileType* OpenGif(TMemoryInput& In) {
  int Error = 0;
  GifFileType* Gif = DGifOpen(&In, ReadMemory, &Error);
  if (!Gif) return nullptr;
  if (DGifSlurp(Gif) != GIF_OK || Gif->ImageCount < 1 ||
      uint64_t(Gif->SWidth) * uint64_t(Gif->SHeight) > MaxPixels) {
    DGifCloseFile(Gif, &Error);
    return nullptr;
  }
  return Gif;
}

std::string GifFault(std::string_view Source, std::string_view Result) {
  TMemoryInput InA{Source}, InB{Result};
  TGifCloser A{OpenGif(InA)};
  if (!A.Gif) return "original cannot be compared";
  TGifCloser B{OpenGif(InB)};
  if (!B.Gif) return "result is not a readable GIF";
  if (A.Gif->SWidth != B.Gif->SWidth || A.Gif->SHeight != B.Gif->SHeight ||
      A.Gif->ImageCount != B.Gif->ImageCount)
    return "result has another size or number of frames";
  TGifScreen SA(A.Gif), SB(B.Gif);
  for (int I = 0; I < A.Gif->ImageCount; ++I) {
    if (!SA.Draw(I)) return "original cannot be compared";
    if (!SB.Draw(I)) return "result is not a readable GIF";
    if (SA.Screen() != SB.Screen())
      return "result shows other pixels in frame " + std::to_string(I + 1);
  }
  return std::string();
}

// ---- JPEG ----------------------------------------------------------------

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  int Warnings = 0;
};

void JpegFail(j_common_ptr Info) {
  std::longjmp(static_cast<TJpegError*>(Info->client_data)->Jump, 1);
}

void JpegMessage(j_common_ptr Info, int Level) {
  if (Level < 0) ++static_cast<TJpegError*>(Info->client_data)->Warnings;
}

void JpegQuiet(j_common_ptr) {}

// Decodes Bytes (every scan line when Whole) and gives its size; false for a
// file that does not decode or decodes only with warnings.
bool DecodeJpeg(std::string_view Bytes, bool Whole, uint32_t& Width, uint32_t& Height) {
  jpeg_decompress_struct Info{};
  TJpegError Error;
  Info.err = jpeg_std_error(&Error.Manager);
  Error.Manager.error_exit = JpegFail;
  Error.Manager.emit_message = JpegMessage;
  Error.Manager.output_message = JpegQuiet;
  Info.client_data = &Error;
  // Nothing below with a destructor: longjmp may leave this frame. The row
  // buffer belongs to the decoder's own memory, freed with it.
  if (setjmp(Error.Jump)) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  jpeg_create_decompress(&Info);
  jpeg_mem_src(&Info, reinterpret_cast<const unsigned char*>(Bytes.data()),
               static_cast<unsigned long>(Bytes.size()));
  if (jpeg_read_header(&Info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  Width = Info.image_width;
  Height = Info.image_height;
  if (Whole) {
    jpeg_start_decompress(&Info);
    JSAMPARRAY Row =
        (*Info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&Info), JPOOL_IMAGE,
                                  Info.output_width * JDIMENSION(Info.output_components), 1);
    while (Info.output_scanline < Info.output_height) jpeg_read_scanlines(&Info, Row, 1);
    jpeg_finish_decompress(&Info);
  }
  jpeg_destroy_decompress(&Info);
  return Error.Warnings == 0;
}

std::string JpegFault(std::string_view Source, std::string_view Result) {
  uint32_t SW = 0, SH = 0, RW = 0, RH = 0;
  if (!DecodeJpeg(Source, false, SW, SH)) return "original cannot be compared";
  if (!DecodeJpeg(Result, true, RW, RH)) return "result is not a readable JPEG";
  if (SW != RW || SH != RH) return "result has another size";
  return std::string();
}

}  // namespace

std::string PictureResultFault(TPictureFormat Format, std::string_view Source,
                               std::string_view Result) {
  switch (Format) {
    case TPictureFormat::Png:
      return PngFault(Source, Result);
    case TPictureFormat::Gif:
      return GifFault(Source, Result);
    case TPictureFormat::Jpeg:
      return JpegFault(Source, Result);
  }
  return "unknown format";
}

}  // namespace larkspan
