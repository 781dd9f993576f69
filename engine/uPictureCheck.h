// Whether an outside optimiser's result is a picture that may be published
// in place of the original: it must decode, and show what the original
// showed.
#pragma once

#include <string>
#include <string_view>

namespace larkspan {

enum class TPictureFormat { Jpeg, Gif, Png };

// Why Result (the bytes an optimiser wrote) may not stand in for Source (the
// original's bytes); "" when it may. PNG: both decode to the same pixels
// (colour and alpha of every pixel). GIF: both decode, have the same screen
// size and number of frames, and every frame, composed on the screen as a
// viewer shows it (transparency and disposal), has the same pixels. JPEG
// (its optimiser is lossy): Result decodes completely, without the
// decoder's warnings a damaged file gives, to a picture of Source's width
// and height. Never throws on malformed data; thread-safe.
std::string PictureResultFault(TPictureFormat Format, std::string_view Source,
                               std::string_view Result);

}  // namespace larkspan
