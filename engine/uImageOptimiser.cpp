#include "engine/uImageOptimiser.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "config/uConfig.h"
#include "engine/uPictureCheck.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/ToolResult.h"

namespace larkspan {

namespace {

enum class TKind { None, Jpeg, Gif, Png };

struct TPlan {
  TKind Kind = TKind::None;
  const char* Program = "";
  std::vector<std::string> Args;
};

TPlan MakePlan(const TAppConfig& Config, const std::string& Source,
               const std::string& Destination) {
  TPlan P;
  const std::string Ext = UpperCaseAscii(ExtractFileExt(Source));
  if (Config.IsCompressJpg && (Ext == ".JPG" || Ext == ".JPEG")) {
    P.Kind = TKind::Jpeg;
    P.Program = "jpegoptim";
    // A turned photo loses its EXIF data (GPS position and all) like every
    // other; ReducePicture then gives it back its orientation alone.
    for (const char* A : {"--strip-com", "--strip-exif", "--strip-iptc", "-q", "-o"})
      P.Args.push_back(A);
    // Without -m jpegoptim only rewrites the entropy coding: every pixel stays.
    if (!Config.IsJpegLossless()) P.Args.push_back("-m85");
    P.Args.push_back(Source);
    P.Args.push_back("-d" + ExtractFilePath(Destination));
  } else if (Config.IsCompressGif && Ext == ".GIF") {
    P.Kind = TKind::Gif;
    P.Program = "gifsicle";
    P.Args = {"--no-warnings", "-o", Destination, Source};
  } else if (Config.IsCompressPng && Ext == ".PNG") {
    P.Kind = TKind::Png;
    P.Program = "pngout";
    P.Args = {Source, Destination, "/y", "/q"};
  }
  return P;
}

uint32_t Read16(const unsigned char* P, bool Big) {
  return Big ? uint32_t(P[0]) << 8 | P[1] : uint32_t(P[1]) << 8 | P[0];
}

uint32_t Read32(const unsigned char* P, bool Big) {
  return Big ? Read16(P, true) << 16 | Read16(P + 2, true)
             : Read16(P + 2, false) << 16 | Read16(P, false);
}

// The orientation in a TIFF structure (the body of an Exif segment), 0 when
// it holds none. Every offset is checked against Size.
int OrientationFromTiff(const unsigned char* T, size_t Size) {
  if (Size < 8) return 0;
  bool Big;
  if (T[0] == 'I' && T[1] == 'I')
    Big = false;
  else if (T[0] == 'M' && T[1] == 'M')
    Big = true;
  else
    return 0;
  if (Read16(T + 2, Big) != 42) return 0;
  const uint32_t Ifd = Read32(T + 4, Big);
  if (Ifd > Size - 2) return 0;
  const uint32_t Count = Read16(T + Ifd, Big);
  for (uint32_t I = 0; I < Count; ++I) {
    const size_t E = size_t(Ifd) + 2 + size_t(I) * 12;
    if (E + 12 > Size) break;
    if (Read16(T + E, Big) != 0x0112) continue;
    const uint32_t Type = Read16(T + E + 2, Big);
    if (Type != 3 || Read32(T + E + 4, Big) < 1) return 0;  // not one SHORT: unusable
    return int(Read16(T + E + 8, Big));
  }
  return 0;
}

// Jpeg with a minimal Exif segment right after its SOI that holds only the
// orientation; "" when Jpeg does not begin with an SOI.
std::string WithOrientation(const std::string& Jpeg, int Orientation) {
  if (Jpeg.size() < 2 || Jpeg.compare(0, 2, "\xFF\xD8") != 0) return std::string();
  // Big-endian TIFF: header, one directory of one entry (0x0112, SHORT, 1).
  const std::string Tiff = std::string("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 19) +
                           char(Orientation) + std::string("\0\0\0\0\0\0", 6);
  const std::string Body = std::string("Exif\0\0", 6) + Tiff;
  const size_t Len = Body.size() + 2;
  return Jpeg.substr(0, 2) + "\xFF\xE1" + char(Len >> 8) + char(Len & 0xFF) + Body + Jpeg.substr(2);
}

}  // namespace

int JpegOrientation(const std::string& Path) {
  // Segment by segment through the file, however far the Exif segment lies
  // behind others (large comments or colour profiles come first in some
  // cameras' files); only the segments' headers and the Exif body are read.
  try {
    TFileReader F(Path);
    unsigned char Head[4];
    if (F.Read(Head, 2) < 2 || Head[0] != 0xFF || Head[1] != 0xD8) return 1;
    int64_t Pos = 2;
    for (int Segments = 0; Segments < 65536; ++Segments) {
      F.Seek(Pos);
      // Fill bytes may stand before a marker.
      unsigned char Byte;
      if (F.Read(&Byte, 1) < 1 || Byte != 0xFF) return 1;
      do {
        if (F.Read(&Byte, 1) < 1) return 1;
        ++Pos;
      } while (Byte == 0xFF);
      ++Pos;  // past the marker byte
      const unsigned char Marker = Byte;
      if (Marker == 0xD9 || Marker == 0xDA) return 1;  // end of image, start of scan
      if (Marker == 0x01 || (Marker >= 0xD0 && Marker <= 0xD7)) continue;  // no length
      if (F.Read(Head, 2) < 2) return 1;
      const size_t Len = size_t(Head[0]) << 8 | Head[1];
      if (Len < 2 || Pos + int64_t(Len) > F.Size()) return 1;
      static const unsigned char ExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
      if (Marker == 0xE1 && Len - 2 >= 6) {
        std::vector<unsigned char> Body(Len - 2);
        if (F.Read(Body.data(), Body.size()) < Body.size()) return 1;
        if (std::equal(ExifId, ExifId + 6, Body.data())) {
          const int O = OrientationFromTiff(Body.data() + 6, Body.size() - 6);
          return O == 0 ? 1 : O;
        }
      }
      Pos += int64_t(Len);
    }
  } catch (const Exception&) {
    // unreadable: treated as having no orientation
  }
  return 1;
}

bool TImageOptimiser::HasRuleFor(const std::string& Source) const {
  if (!Config) return false;
  const std::string Ext = UpperCaseAscii(ExtractFileExt(Source));
  return (Config->IsCompressJpg && (Ext == ".JPG" || Ext == ".JPEG")) ||
         (Config->IsCompressGif && Ext == ".GIF") || (Config->IsCompressPng && Ext == ".PNG");
}

TImageOptimiser::TImageOptimiser(const TAppConfig* Config, std::string ProgramFolder)
    : Config(Config), ProgramFolder(std::move(ProgramFolder)) {}

TOptimiserCall OptimiserCallFor(const TAppConfig& Config, const std::string& Source,
                                const std::string& Destination) {
  TPlan P = MakePlan(Config, Source, Destination);
  return {P.Program, std::move(P.Args)};
}

std::string TImageOptimiser::ProgramFor(const std::string& Source) const {
  if (!Config) return std::string();
  return MakePlan(*Config, Source, Source).Program;
}

namespace {

// A partial or unusable result must not be published: removed, and the
// optimiser's run noted as failed for Why.
bool Failed(TImageOptimiser& O, const std::string& Dst, std::string Why) {
  DeleteFile(Dst);
  O.LastFailed = true;
  O.LastOutcome = TImageOptimiser::TOutcome::Failed;
  O.LastFailure = std::move(Why);
  return false;
}

// Decides on the result the program R left at Dst for the plan P: true when
// it is published as optimised; otherwise O's Last fields say why.
bool TakeResult(TImageOptimiser& O, const TPlan& P, const TProcessResult& R, const std::string& Src,
                const std::string& Dst, int64_t SourceSize) {
  using TOutcome = TImageOptimiser::TOutcome;
  if (R.TimedOut) return Failed(O, Dst, "timed out");
  if (O.LastTimeCapped) return Failed(O, Dst, "time cap reached");
  if (R.ExitCode != 0)
    return Failed(O, Dst, R.ExitCode < 0 ? "killed" : "exit status " + std::to_string(R.ExitCode));
  if (!FileExists(Dst)) {
    // jpegoptim leaves nothing when it cannot make the picture smaller.
    if (P.Kind == TKind::Jpeg) {
      O.LastOutcome = TOutcome::NotSmaller;
      return false;
    }
    return Failed(O, Dst, "no result");
  }
  // The result is taken only as a regular file of its own (a link is not
  // followed) that shows the original's picture.
  std::string Result;
  try {
    Result = ReadRegularFileNoFollow(Dst);
  } catch (const Exception&) {
    return Failed(O, Dst, "result is not a regular file");
  }
  const auto ResultSize = int64_t(Result.size());
  if (ResultSize == 0 && SourceSize > 0) return Failed(O, Dst, "empty result");
  if (P.Kind != TKind::Png && ResultSize > SourceSize) {
    DeleteFile(Dst);
    O.LastOutcome = TOutcome::NotSmaller;
    return false;
  }
  const TPictureFormat Format = P.Kind == TKind::Jpeg  ? TPictureFormat::Jpeg
                                : P.Kind == TKind::Gif ? TPictureFormat::Gif
                                                       : TPictureFormat::Png;
  if (std::string Fault = PictureResultFault(Format, ReadFileText(Src), Result); !Fault.empty())
    return Failed(O, Dst, std::move(Fault));
  if (P.Kind == TKind::Jpeg) {
    if (const int Orientation = JpegOrientation(Src); Orientation != 1) {
      const std::string Turned = WithOrientation(Result, Orientation);
      if (Turned.empty() || int64_t(Turned.size()) > SourceSize) {
        DeleteFile(Dst);  // a plain copy keeps the photo turned
        O.LastOutcome = TOutcome::NotSmaller;
        return false;
      }
      WriteFileAtomic(Dst, Turned);
    }
  }
  O.LastOutcome = TOutcome::Optimised;
  return true;
}

}  // namespace

bool TImageOptimiser::ReducePicture(const std::string& Source, const std::string& Destination) {
  LastFailed = false;
  LastTimeCapped = false;
  LastOutcome = TOutcome::NoRule;
  LastProgram.clear();
  LastFailure.clear();
  LastPid = -1;
  if (!Config) return false;
  // The optimisers run in the program's folder: relative paths would point
  // elsewhere there.
  const std::string Src = AbsolutePathForChild(Source);
  const std::string Dst = AbsolutePathForChild(Destination);
  const TPlan P = MakePlan(*Config, Src, Dst);
  if (P.Kind == TKind::None) return false;
  LastProgram = P.Program;
  if (SameFile(Src, Dst)) return false;
  // jpegoptim can only write under the source's own name.
  if (P.Kind == TKind::Jpeg && ExtractFileName(Src) != ExtractFileName(Dst)) return false;

  const int64_t SourceSize = FileSizeOf(Src);
  if (FileExists(Dst)) DeleteFile(Dst);

  TProcessOptions Options;
  Options.WorkFolder = ProgramFolder;
  Options.SearchFolder = ProgramFolder;
  const TProcessResult R = StartProcess(P.Program, P.Args, Options);
  if (!R.Started) {
    LastOutcome = R.ErrorCode == ECANCELED ? TOutcome::Stopped : TOutcome::Missing;
    return false;
  }
  LastPid = R.Pid;

  if (R.Stopped) {
    DeleteFile(Dst);
    LastOutcome = TOutcome::Stopped;
    return false;
  }
  constexpr int PngoutTimeCap = 3;  // pngout's exit status at its safety cap
  if (!R.TimedOut && P.Kind == TKind::Png && R.ExitCode == PngoutTimeCap) LastTimeCapped = true;
  return TakeResult(*this, P, R, Src, Dst, SourceSize);
}

}  // namespace larkspan
