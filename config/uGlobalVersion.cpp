#include "config/uGlobal.h"

namespace larkspan {

// Placeholder until the executable carries its version note.
std::string GetFileVersionText(const std::string& FileName) { return std::string(); }

}  // namespace larkspan
