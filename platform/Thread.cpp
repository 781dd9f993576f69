#include "platform/Thread.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <list>
#include <vector>

namespace larkspan {

namespace {
std::atomic<IMainThreadDispatcher*> GDispatcher{nullptr};

// Every thread Resume started and nobody has joined yet. A worker is joined,
// not only counted down, so that WaitForAllThreads returns after the thread
// is gone, its thread-local destructors included (OpenSSL frees its
// per-thread state in one); a process that exits earlier would end them
// half-way. The list is never destroyed: a thread still running at exit
// would otherwise make the destruction of its std::thread end the process.
struct TWorker {
  std::thread Thread;
  bool Finished = false;  // Execute has returned, the object is freed
};
struct TWorkers {
  std::mutex Lock;
  std::list<TWorker> Live;
};
TWorkers& Workers() {
  static TWorkers* const All = new TWorkers;
  return *All;
}
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

void TThread::Resume() {
  TWorkers& W = Workers();
  // Threads that have finished are joined first, so that a long-running
  // program that starts many runs keeps none of them.
  std::list<TWorker> Done;
  {
    std::lock_guard<std::mutex> L(W.Lock);
    for (auto I = W.Live.begin(); I != W.Live.end();) {
      if (I->Finished)
        Done.splice(Done.end(), W.Live, I++);
      else
        ++I;
    }
  }
  for (TWorker& T : Done) T.Thread.join();
  std::lock_guard<std::mutex> L(W.Lock);
  // The worker marks its own entry (entries stay put when spliced or
  // swapped into another list); it waits for the lock until Thread is set.
  const auto Self = W.Live.emplace(W.Live.end());
  try {
    Self->Thread = std::thread([this, Self, &W] {
      const bool Free = [this] {
        Execute();
        return FreeOnTerminate;
      }();
      if (Free) delete this;
      std::lock_guard<std::mutex> Mark(W.Lock);
      Self->Finished = true;
    });
  } catch (...) {
    // The system refused the thread: nothing to wait for, and the caller
    // still owns the object.
    W.Live.erase(Self);
    throw;
  }
}

void TThread::WaitForAllThreads() {
  TWorkers& W = Workers();
  for (;;) {
    std::list<TWorker> Joining;
    {
      std::lock_guard<std::mutex> L(W.Lock);
      if (W.Live.empty()) return;
      Joining.swap(W.Live);
    }
    for (TWorker& T : Joining) T.Thread.join();
  }
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
  return int(std::max(1u, std::thread::hardware_concurrency()));
}

std::optional<int> ParseJobs(std::string_view Text) {
  if (Text.empty() || Text.size() > 6) return std::nullopt;
  int Value = 0;
  for (const char C : Text) {
    if (C < '0' || C > '9') return std::nullopt;
    Value = Value * 10 + (C - '0');
  }
  return Value;
}

int WorkersFor(int Jobs) { return std::clamp(Jobs > 0 ? Jobs : ProcessorCount(), 1, MaxJobs); }

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
