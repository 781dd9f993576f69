#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "platform/Text.h"

namespace larkspan {

TInstanceLock::~TInstanceLock() { Release(); }

std::string TInstanceLock::LockFileName(const std::string& Name) {
  const std::string Runtime = GetEnv("XDG_RUNTIME_DIR");
  if (!Runtime.empty()) return IncludeTrailingDelimiter(Runtime) + Name + ".lock";
  return TempFolder() + Name + "-" + std::to_string(::getuid()) + ".lock";
}

TInstanceLock::TResult TInstanceLock::Acquire(const std::string& Name, int TimeoutMs) {
  ErrorText.clear();
  const std::string Path = LockFileName(Name);
  // O_NOFOLLOW: in a shared temporary folder a planted link must not make us
  // create or truncate some other file.
  const int F = ::open(Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (F < 0) {
    ErrorText = Path + ": " + SystemErrorText(errno);
    return TResult::Failed;
  }
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  for (;;) {
    if (::flock(F, LOCK_EX | LOCK_NB) == 0) {
      Fd = F;
      return TResult::Acquired;
    }
    const int Err = errno;
    if (Err == EINTR) continue;
    if (Err != EWOULDBLOCK) {
      ErrorText = Path + ": " + SystemErrorText(Err);
      ::close(F);
      return TResult::Failed;
    }
    if (std::chrono::steady_clock::now() >= Deadline) {
      ::close(F);
      return TResult::HeldByOther;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void TInstanceLock::Release() {
  if (Fd < 0) return;
  ::flock(Fd, LOCK_UN);
  ::close(Fd);
  Fd = -1;
}

}  // namespace larkspan
