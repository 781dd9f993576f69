#include "config/uFileVersionNote.h"
#include "config/uGlobal.h"
#include "platform/ExecutableNote.h"

namespace larkspan {

std::string GetFileVersionText(const std::string& FileName) {
  return ReadExecutableNote(FileName, FileVersionNoteType, FileVersionNoteOwner);
}

}  // namespace larkspan
