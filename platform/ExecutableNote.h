// Notes embedded in an executable file (ELF note sections on this system).
#pragma once

#include <cstdint>
#include <string>

namespace larkspan {

// The text (up to its first NUL) of the first note of type NoteType whose
// owner name is Owner in the executable FileName; "" when the file cannot
// be read, is not an executable of this machine's byte order, or holds no
// such note. Never throws.
std::string ReadExecutableNote(const std::string& FileName, uint32_t NoteType,
                               const std::string& Owner);

}  // namespace larkspan
