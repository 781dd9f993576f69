#include <cstring>

#include "platform/Error.h"

namespace larkspan {

std::string SystemErrorText(int Errno) {
  char Buf[256];
  // GNU strerror_r may return a static string instead of filling Buf.
  const char* Text = strerror_r(Errno, Buf, sizeof Buf);
  return Text ? std::string(Text) : std::string("error ") + std::to_string(Errno);
}

void ThrowSystemError(const std::string& What, int Errno) {
  throw Exception(What + ": " + SystemErrorText(Errno));
}

}  // namespace larkspan
