#include "platform/Thread.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

namespace larkspan {

namespace {
std::atomic<IMainThreadDispatcher*> GDispatcher{nullptr};
std::mutex GThreadsLock;
std::condition_variable GThreadsDone;
int GLiveThreads = 0;
}  // namespace

void SetMainThreadDispatcher(IMainThreadDispatcher* Dispatcher) { GDispatcher = Dispatcher; }
IMainThreadDispatcher* MainThreadDispatcher() { return GDispatcher; }

TMainLoop::TMainLoop() : MainId(std::this_thread::get_id()) {}

void TMainLoop::RunOnMainThread(const std::function<void()>& Fn) {
  if (std::this_thread::get_id() == MainId) {
    Fn();
    return;
  }
  Task T{&Fn, false, nullptr};
  std::unique_lock<std::mutex> L(Lock);
  Queue.push_back(&T);
  Changed.notify_all();
  Changed.wait(L, [&] { return T.Finished; });
  if (T.Error) std::rethrow_exception(T.Error);
}

void TMainLoop::RunUntil(const std::function<bool()>& Done) {
  std::unique_lock<std::mutex> L(Lock);
  for (;;) {
    while (!Queue.empty()) {
      Task* T = Queue.front();
      Queue.pop_front();
      L.unlock();
      try {
        (*T->Fn)();
      } catch (...) {
        T->Error = std::current_exception();
      }
      L.lock();
      T->Finished = true;
      Changed.notify_all();
    }
    L.unlock();
    const bool Stop = Done();
    L.lock();
    if (Stop) return;
    if (Queue.empty()) Changed.wait(L);
  }
}

void TMainLoop::Wake() {
  std::lock_guard<std::mutex> L(Lock);
  Changed.notify_all();
}

void TThread::Resume() {
  // Counted before the thread exists so that WaitForAllThreads never misses
  // it, and uncounted again when the system refuses to start it (the
  // exception then passes to the caller, which still owns the object).
  {
    std::lock_guard<std::mutex> L(GThreadsLock);
    ++GLiveThreads;
  }
  try {
    std::thread([this] {
      const bool Free = [this] {
        Execute();
        return FreeOnTerminate;
      }();
      if (Free) delete this;
      std::lock_guard<std::mutex> L(GThreadsLock);
      --GLiveThreads;
      GThreadsDone.notify_all();
    }).detach();
  } catch (...) {
    std::lock_guard<std::mutex> L(GThreadsLock);
    --GLiveThreads;
    GThreadsDone.notify_all();
    throw;
  }
}

void TThread::WaitForAllThreads() {
  std::unique_lock<std::mutex> L(GThreadsLock);
  GThreadsDone.wait(L, [] { return GLiveThreads == 0; });
}

void TThread::Synchronize(const std::function<void()>& Fn) {
  if (IMainThreadDispatcher* D = GDispatcher.load()) {
    D->RunOnMainThread(Fn);
  } else {
    Fn();
  }
}

int ProcessorCount() {
  cpu_set_t Set;
  if (sched_getaffinity(0, sizeof(Set), &Set) == 0) {
    const int N = CPU_COUNT(&Set);
    if (N > 0) return N;
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

void ParallelFor(size_t Count, int Jobs, const std::function<void(int Slot, size_t Index)>& Work,
                 const std::function<void()>& AfterEach, int TickMs) {
  if (Count == 0) return;
  if (Jobs <= 1 || Count == 1) {
    for (size_t I = 0; I < Count; ++I) {
      Work(0, I);
      if (AfterEach) AfterEach();
    }
    return;
  }
  std::mutex Lock;
  std::condition_variable Changed;
  size_t Next = 0;      // the first index nobody has taken
  size_t Finished = 0;  // items ended since the last AfterEach
  int Running = 0;      // threads still in their loop
  bool Failed = false;
  size_t FailedIndex = 0;
  std::exception_ptr Error;

  auto Loop = [&](int Slot) {
    for (;;) {
      size_t Index;
      {
        std::lock_guard<std::mutex> L(Lock);
        if (Failed || Next >= Count) break;
        Index = Next++;
      }
      std::exception_ptr Thrown;
      try {
        Work(Slot, Index);
      } catch (...) {
        Thrown = std::current_exception();
      }
      std::lock_guard<std::mutex> L(Lock);
      if (Thrown && (!Error || Index < FailedIndex)) {
        Error = Thrown;
        FailedIndex = Index;
      }
      if (Thrown) Failed = true;
      ++Finished;
      Changed.notify_all();
    }
    std::lock_guard<std::mutex> L(Lock);
    --Running;
    Changed.notify_all();
  };

  const int Threads = int(std::min<size_t>(size_t(Jobs), Count));
  std::vector<std::thread> Pool;
  Pool.reserve(size_t(Threads));
  for (int Slot = 0; Slot < Threads; ++Slot) {
    try {
      {
        std::lock_guard<std::mutex> L(Lock);
        ++Running;
      }
      Pool.emplace_back(Loop, Slot);
    } catch (...) {
      std::lock_guard<std::mutex> L(Lock);
      --Running;
      if (Pool.empty()) throw;  // not even one: nothing was done
      break;                    // fewer threads than asked do the work
    }
  }
  std::exception_ptr AfterError;
  std::unique_lock<std::mutex> L(Lock);
  for (;;) {
    Changed.wait_for(L, std::chrono::milliseconds(std::max(TickMs, 1)),
                     [&] { return Finished > 0 || Running == 0; });
    const bool End = Running == 0;
    Finished = 0;
    L.unlock();
    if (AfterEach && !AfterError) {
      try {
        AfterEach();
      } catch (...) {
        AfterError = std::current_exception();
        std::lock_guard<std::mutex> Stop(Lock);
        Failed = true;
      }
    }
    L.lock();
    if (End) break;
  }
  L.unlock();
  for (std::thread& T : Pool) T.join();
  if (Error) std::rethrow_exception(Error);
  if (AfterError) std::rethrow_exception(AfterError);
}

}  // namespace larkspan
