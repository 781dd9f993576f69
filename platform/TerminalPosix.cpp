#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/Terminal.h"

namespace larkspan {

int TerminalColumns(int Fd) {
  winsize Size{};
  if (::ioctl(Fd, TIOCGWINSZ, &Size) != 0) return 0;
  return Size.ws_col;
}

bool IsTerminal(int Fd) { return ::isatty(Fd) == 1; }

}  // namespace larkspan
