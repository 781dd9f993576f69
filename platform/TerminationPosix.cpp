#include <signal.h>
#include <unistd.h>

#include <thread>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Termination.h"

namespace larkspan {

void ExitCleanlyOnTermination() {
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, SIGINT);
  sigaddset(&Set, SIGTERM);
  sigaddset(&Set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
  std::thread([Set] {
    int Sig = 0;
    while (sigwait(&Set, &Sig) != 0) {
    }
    KillRunningPrograms();
    RemoveLiveTempFiles();
    ::_exit(128 + Sig);
  }).detach();
}

}  // namespace larkspan
