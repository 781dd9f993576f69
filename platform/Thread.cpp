#include "platform/Thread.h"

#include <atomic>
#include <list>

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

void TMainLoop::Wake() {
  std::lock_guard<std::mutex> L(Lock);
  Changed.notify_all();
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

}  // namespace larkspan
