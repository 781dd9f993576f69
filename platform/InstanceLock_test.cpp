#include "platform/InstanceLock.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/FileSystem.h"

namespace larkspan {
namespace {

const char* const kName = "Ostrel Larkspan";

// Points $XDG_RUNTIME_DIR at a fresh folder for one test, restoring it after.
class ScopedRuntimeDir {
 public:
  ScopedRuntimeDir() {
    const char* Old = ::getenv("XDG_RUNTIME_DIR");
    HadOld = Old != nullptr;
    if (HadOld) OldValue = Old;
    std::string Pattern = TempFolder() + "lock test.XXXXXX";
    Dir = ::mkdtemp(Pattern.data());
    ::setenv("XDG_RUNTIME_DIR", Dir.c_str(), 1);
  }
  ~ScopedRuntimeDir() {
    if (HadOld)
      ::setenv("XDG_RUNTIME_DIR", OldValue.c_str(), 1);
    else
      ::unsetenv("XDG_RUNTIME_DIR");
    ::unlink((Dir + "/" + kName + ".lock").c_str());
    ::rmdir(Dir.c_str());
  }
  std::string Dir;

 private:
  bool HadOld = false;
  std::string OldValue;
};

// A child process that takes the lock, reports the outcome on a pipe and
// then sleeps until it is killed.
pid_t StartHolder(TInstanceLock::TResult& Outcome) {
  int P[2];
  EXPECT_EQ(::pipe(P), 0);
  const pid_t Pid = ::fork();
  if (Pid == 0) {
    ::close(P[0]);
    TInstanceLock Lock;
    const char R = char(Lock.Acquire(kName));
    (void)!::write(P[1], &R, 1);
    for (;;) ::pause();
  }
  ::close(P[1]);
  char R = 0;
  EXPECT_EQ(::read(P[0], &R, 1), 1);
  ::close(P[0]);
  Outcome = TInstanceLock::TResult(R);
  return Pid;
}

TEST(TInstanceLockTest, LockFileLivesInRuntimeDirOrPerUserInTemp) {
  {
    ScopedRuntimeDir Runtime;
    EXPECT_EQ(TInstanceLock::LockFileName(kName), Runtime.Dir + "/Ostrel Larkspan.lock");
  }
  const char* Old = ::getenv("XDG_RUNTIME_DIR");
  const std::string Saved = Old ? Old : "";
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(TInstanceLock::LockFileName(kName),
            TempFolder() + "Ostrel Larkspan-" + std::to_string(::getuid()) + ".lock");
  if (Old) ::setenv("XDG_RUNTIME_DIR", Saved.c_str(), 1);
}

TEST(TInstanceLockTest, SecondHolderIsRefusedUntilFirstReleases) {
  ScopedRuntimeDir Runtime;
  TInstanceLock First;
  ASSERT_EQ(First.Acquire(kName), TInstanceLock::TResult::Acquired) << First.ErrorText;
  EXPECT_TRUE(First.Held());

  TInstanceLock Second;
  const auto T0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Second.Acquire(kName, 10), TInstanceLock::TResult::HeldByOther);
  const auto Waited = std::chrono::steady_clock::now() - T0;
  EXPECT_GE(Waited, std::chrono::milliseconds(10));
  EXPECT_LT(Waited, std::chrono::seconds(1));
  EXPECT_FALSE(Second.Held());

  First.Release();
  EXPECT_FALSE(First.Held());
  EXPECT_EQ(Second.Acquire(kName), TInstanceLock::TResult::Acquired);
}

TEST(TInstanceLockTest, KilledHolderReleasesTheLock) {
  ScopedRuntimeDir Runtime;
  TInstanceLock::TResult ChildOutcome{};
  const pid_t Child = StartHolder(ChildOutcome);
  ASSERT_EQ(ChildOutcome, TInstanceLock::TResult::Acquired);

  TInstanceLock Mine;
  EXPECT_EQ(Mine.Acquire(kName), TInstanceLock::TResult::HeldByOther);

  ::kill(Child, SIGKILL);
  int Status = 0;
  ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
  EXPECT_EQ(Mine.Acquire(kName), TInstanceLock::TResult::Acquired);
}

TEST(TInstanceLockTest, DescriptorIsCloseOnExec) {
  ScopedRuntimeDir Runtime;
  TInstanceLock Lock;
  ASSERT_EQ(Lock.Acquire(kName), TInstanceLock::TResult::Acquired);
  const std::string Target = TInstanceLock::LockFileName(kName);
  int Found = 0;
  DIR* D = ::opendir("/proc/self/fd");
  ASSERT_NE(D, nullptr);
  while (dirent* E = ::readdir(D)) {
    char Link[4096];
    const std::string Entry = std::string("/proc/self/fd/") + E->d_name;
    const ssize_t N = ::readlink(Entry.c_str(), Link, sizeof Link - 1);
    if (N <= 0 || std::string(Link, size_t(N)) != Target) continue;
    ++Found;
    EXPECT_TRUE(::fcntl(std::atoi(E->d_name), F_GETFD) & FD_CLOEXEC);
  }
  ::closedir(D);
  EXPECT_EQ(Found, 1);
}

TEST(TInstanceLockTest, UnusableLockFolderFailsWithReason) {
  const char* Old = ::getenv("XDG_RUNTIME_DIR");
  const std::string Saved = Old ? Old : "";
  ::setenv("XDG_RUNTIME_DIR", "/nonexistent folder/larkspan", 1);
  TInstanceLock Lock;
  EXPECT_EQ(Lock.Acquire(kName), TInstanceLock::TResult::Failed);
  EXPECT_NE(Lock.ErrorText.find("/nonexistent folder/larkspan/Ostrel Larkspan.lock: "),
            std::string::npos)
      << Lock.ErrorText;
  if (Old)
    ::setenv("XDG_RUNTIME_DIR", Saved.c_str(), 1);
  else
    ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace larkspan
