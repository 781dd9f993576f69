#include "platform/Thread.h"

#include <atomic>

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

}  // namespace larkspan
