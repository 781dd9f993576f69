// Reading what an outside program left behind, without trusting its form.
#pragma once

#include <string>

namespace larkspan {

// The whole content of the file at Path, read only when Path itself is a
// regular file: a symbolic link (even to a regular file), a FIFO, a device or
// a folder is refused without being followed or read. Throws Exception
// naming the file and the reason ("not a regular file" for the refusals).
std::string ReadRegularFileNoFollow(const std::string& Path);

}  // namespace larkspan
