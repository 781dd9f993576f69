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

// The identity the linker gave the executable FileName (its GNU build-id
// note: a digest of the linked file, so another build gives another one),
// as lower-case hexadecimal digits; "" when it has none or cannot be read
// as above. Reads the file's headers and notes, not the whole file.
std::string ExecutableBuildId(const std::string& FileName);

}  // namespace larkspan
