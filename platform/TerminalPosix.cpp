#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

#include "platform/Process.h"
#include "platform/Terminal.h"

namespace larkspan {

int TerminalColumns(int Fd) {
  winsize Size{};
  if (::ioctl(Fd, TIOCGWINSZ, &Size) != 0) return 0;
  return Size.ws_col;
}

bool IsTerminal(int Fd) { return ::isatty(Fd) == 1; }

namespace {
std::atomic<int> Received{0};

void OnStopSignal(int Signal) {
  int None = 0;
  Received.compare_exchange_strong(None, Signal);
  StopAllPrograms();
}
}  // namespace

void InstallStopSignals() {
  struct sigaction Action {};
  Action.sa_handler = OnStopSignal;
  sigemptyset(&Action.sa_mask);
  // The first signal stops the run; the next one of its kind ends us at once.
  Action.sa_flags = SA_RESETHAND | SA_RESTART;
  ::sigaction(SIGINT, &Action, nullptr);
  ::sigaction(SIGTERM, &Action, nullptr);
}

int StopSignalReceived() { return Received.load(); }

}  // namespace larkspan
