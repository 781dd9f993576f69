#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Termination.h"

namespace larkspan {

namespace {
std::atomic<int> Received{0};
}  // namespace

void InstallStopSignals() {
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, SIGINT);
  sigaddset(&Set, SIGTERM);
  sigaddset(&Set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
  std::thread([Set] {
    for (;;) {
      int Sig = 0;
      if (sigwait(&Set, &Sig) != 0) continue;
      int None = 0;
      if (Sig != SIGHUP && Received.compare_exchange_strong(None, Sig)) {
        StopAllPrograms();  // the run ends as stopped; the front end exits
        continue;
      }
      KillRunningPrograms();
      RemoveLiveTempFiles();
      ::_exit(128 + Sig);
    }
  }).detach();
}

int StopSignalReceived() { return Received.load(); }

}  // namespace larkspan
