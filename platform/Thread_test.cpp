#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

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
    for (int I = 1; I <= 3; ++I) Synchronize([&, I] {
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

}  // namespace
}  // namespace larkspan
