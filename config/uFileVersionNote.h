// How an executable carries its FileVersion text: an ELF note, owner
// "Larkspan", type 1, whose descriptor is the version text followed by a
// zero byte. `readelf -n <file>` shows it; GetFileVersionText reads it.
//
// Put LARKSPAN_FILE_VERSION_NOTE("1.2.3.4") in one source file of the
// executable itself (not of a static library, whose unreferenced objects
// the linker would leave out).
#pragma once

#include <cstddef>
#include <cstdint>

namespace larkspan {

constexpr char FileVersionNoteOwner[] = "Larkspan";
constexpr uint32_t FileVersionNoteType = 1;

constexpr size_t NoteAlign4(size_t N) { return (N + 3) / 4 * 4; }

template <size_t TextSize>
struct TFileVersionNote {
  uint32_t NameSize;
  uint32_t DescSize;
  uint32_t Type;
  char Name[NoteAlign4(sizeof(FileVersionNoteOwner))];
  char Desc[NoteAlign4(TextSize)];
};

}  // namespace larkspan

// A section whose name begins with ".note" is made an SHT_NOTE section by
// the assembler.
#define LARKSPAN_FILE_VERSION_NOTE(Text)                                                 \
  __attribute__((section(".note.larkspan.version"), used,                                \
                 aligned(4))) static const ::larkspan::TFileVersionNote<sizeof(Text)>    \
      LarkspanFileVersionNote = {sizeof(::larkspan::FileVersionNoteOwner), sizeof(Text), \
                                 ::larkspan::FileVersionNoteType, "Larkspan", Text}
