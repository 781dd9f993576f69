#include "platform/Thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/TestUtil.h"

namespace larkspan {
namespace {

class TCounter : public TThread {
 public:
  TCounter(std::vector<int>& Seen, std::atomic<bool>& Finished, std::thread::id& MainSeen)
      : Seen(Seen), Finished(Finished), MainSeen(MainSeen) {}
  ~TCounter() override { Finished = true; }

 protected:
  void Execute() override {
    FreeOnTerminate = true;
    for (int I = 1; I <= 3; ++I)
      Synchronize([&, I] {
        Seen.push_back(I);
        MainSeen = std::this_thread::get_id();
      });
    try {
      Synchronize([] { throw std::runtime_error("from main"); });
    } catch (const std::runtime_error& E) {
      const int Code = E.what() == std::string("from main") ? 99 : -1;
      Synchronize([&] { Seen.push_back(Code); });
    }
  }

 private:
  std::vector<int>& Seen;
  std::atomic<bool>& Finished;
  std::thread::id& MainSeen;
};

TEST(ThreadTest, WorkerHandsCallsToTheMainLoopAndFreesItself) {
  TMainLoop Loop;
  SetMainThreadDispatcher(&Loop);
  std::vector<int> Seen;
  std::atomic<bool> Finished{false};
  std::thread::id MainSeen;
  (new TCounter(Seen, Finished, MainSeen))->Resume();
  Loop.RunUntil([&] { return Seen.size() == 4; });
  TThread::WaitForAllThreads();
  SetMainThreadDispatcher(nullptr);
  EXPECT_EQ(Seen, (std::vector<int>{1, 2, 3, 99}));
  EXPECT_EQ(MainSeen, std::this_thread::get_id());
  EXPECT_TRUE(Finished);
}

// A thread-local object with a slow destructor, the shape of a library's
// per-thread state (OpenSSL's error queue): it must be gone when
// WaitForAllThreads returns, or a process that exits then ends it half-way.
std::atomic<bool> GTlsDestroyed{false};
struct TSlowTls {
  ~TSlowTls() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    GTlsDestroyed = true;
  }
};

class TTlsUser : public TThread {
 protected:
  void Execute() override {
    FreeOnTerminate = true;
    thread_local TSlowTls Tls;
    (void)&Tls;
  }
};

TEST(ThreadTest, WaitingEndsAfterTheThreadsLocalObjectsAreDestroyed) {
  for (int Round = 0; Round < 2; ++Round) {
    GTlsDestroyed = false;
    (new TTlsUser)->Resume();
    TThread::WaitForAllThreads();
    EXPECT_TRUE(GTlsDestroyed) << "round " << Round;
  }
}

class TIdle : public TThread {
 protected:
  void Execute() override {}
};

// A thread the system refuses to start must not be waited for forever.
TEST(ThreadTest, FailedStartIsNotCountedAsLive) {
  const pid_t Child = ::fork();
  if (Child == 0) {
    // Too little address space left for a thread's stack.
    rlimit Limit{};
    ::getrlimit(RLIMIT_AS, &Limit);
    const std::string Status = test::Slurp("/proc/self/status");
    const size_t At = Status.find("VmSize:");
    const long Kb = At == std::string::npos ? 0 : std::atol(Status.c_str() + At + 7);
    Limit.rlim_cur = rlim_t(Kb) * 1024 + (1 << 20);
    ::setrlimit(RLIMIT_AS, &Limit);
    TIdle T;
    bool Threw = false;
    try {
      T.Resume();
    } catch (const std::system_error&) {
      Threw = true;
    }
    ::alarm(5);  // a hang ends the child with SIGALRM
    TThread::WaitForAllThreads();
    ::_exit(Threw ? 0 : 3);
  }
  int Status = 0;
  ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status)) << "hung in WaitForAllThreads";
  if (WEXITSTATUS(Status) == 3) GTEST_SKIP() << "the thread started despite the limit";
  EXPECT_EQ(WEXITSTATUS(Status), 0);
}

}  // namespace
}  // namespace larkspan
