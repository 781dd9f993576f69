#include "platform/Thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
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

TEST(ParallelForTest, EveryIndexOnceOnEachSlotOneAtATime) {
  for (const int Jobs : {1, 2, 4, 64}) {
    SCOPED_TRACE(Jobs);
    const size_t Count = 200;
    std::vector<std::atomic<int>> Seen(Count);
    std::vector<std::atomic<int>> Busy(64);
    std::atomic<bool> Overlap{false};
    std::vector<size_t> Order;
    std::mutex OrderLock;
    const std::thread::id Caller = std::this_thread::get_id();
    std::atomic<bool> AfterOnOtherThread{false};
    std::atomic<int> Afters{0};
    ParallelFor(
        Count, Jobs,
        [&](int Slot, size_t I) {
          if (Busy[size_t(Slot)]++ != 0) Overlap = true;
          ++Seen[I];
          {
            std::lock_guard<std::mutex> L(OrderLock);
            Order.push_back(I);
          }
          if (I % 17 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          --Busy[size_t(Slot)];
        },
        [&] {
          if (std::this_thread::get_id() != Caller) AfterOnOtherThread = true;
          ++Afters;
        });
    for (size_t I = 0; I < Count; ++I) EXPECT_EQ(Seen[I], 1) << I;
    EXPECT_FALSE(Overlap);
    EXPECT_FALSE(AfterOnOtherThread);
    EXPECT_GE(Afters, 1);
    if (Jobs == 1) {
      EXPECT_EQ(Afters, int(Count));
      EXPECT_TRUE(std::is_sorted(Order.begin(), Order.end()));
    }
  }
}

// A failure stops the taking of new items; the lowest failing index is the
// one passed on, whichever thread failed first.
TEST(ParallelForTest, LowestFailureIsPassedOnAndNoNewItemStarts) {
  for (const int Jobs : {1, 3}) {
    SCOPED_TRACE(Jobs);
    std::atomic<int> Started{0};
    std::string Message;
    try {
      ParallelFor(1000, Jobs,
                  [&](int, size_t I) {
                    ++Started;
                    if (I == 7) {
                      // Index 5 fails later than 6 and 7, yet is the one reported.
                      throw std::runtime_error("seven");
                    }
                    if (I == 6) throw std::runtime_error("six");
                    if (I == 5) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(50));
                      throw std::runtime_error("five");
                    }
                  },
                  {});
    } catch (const std::runtime_error& E) {
      Message = E.what();
    }
    EXPECT_EQ(Message, "five");
    EXPECT_LT(Started, 20);  // not the thousand
  }
}

TEST(JobsTest, OneSetOfRangeRules) {
  const std::pair<const char*, std::optional<int>> Texts[] = {
      {"1", 1},
      {"08", 8},
      {"0", 0},
      {"999999", 999999},
      {"", std::nullopt},
      {"-2", std::nullopt},
      {"two", std::nullopt},
      {"4x", std::nullopt},
      {" 3", std::nullopt},
      {"9999999", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& [Text, Count] : Texts) EXPECT_EQ(ParseJobs(Text), Count) << Text;

  const int Cores = std::min(ProcessorCount(), MaxJobs);
  const std::pair<int, int> Workers[] = {
      {0, Cores},        {-1, Cores}, {1, 1}, {5, 5}, {MaxJobs, MaxJobs}, {MaxJobs + 1, MaxJobs},
      {999999, MaxJobs},
  };
  for (const auto& [Jobs, Expected] : Workers) EXPECT_EQ(WorkersFor(Jobs), Expected) << Jobs;
}

}  // namespace
}  // namespace larkspan
