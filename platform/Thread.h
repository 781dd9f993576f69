// A worker thread that can hand work to the main thread, and the main-thread
// hand-off itself.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

namespace larkspan {

// Runs callables on the program's main thread. The GUI implements it with
// Qt's blocking queued invocation; the CLI and the tests with TMainLoop.
class IMainThreadDispatcher {
 public:
  virtual ~IMainThreadDispatcher() = default;
  // Runs Fn on the main thread and returns when it has returned. An exception
  // thrown by Fn is passed on to the caller. REQUIRES: the main thread keeps
  // processing its events while another thread waits here.
  virtual void RunOnMainThread(const std::function<void()>& Fn) = 0;
};

// The dispatcher used by TThread::Synchronize. Set once by the program's
// entry code before any worker starts; not owned.
void SetMainThreadDispatcher(IMainThreadDispatcher* Dispatcher);
IMainThreadDispatcher* MainThreadDispatcher();

// A small event loop for programs without a window toolkit. The thread that
// creates it is its main thread.
class TMainLoop : public IMainThreadDispatcher {
 public:
  TMainLoop();
  void RunOnMainThread(const std::function<void()>& Fn) override;
  // Runs handed-over callables until Done() is true. REQUIRES: main thread.
  void RunUntil(const std::function<bool()>& Done);

 private:
  struct Task {
    const std::function<void()>* Fn;
    bool Finished = false;
    std::exception_ptr Error;
  };
  std::thread::id MainId;
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<Task*> Queue;
};

// A worker thread object, created suspended. Derive and override Execute.
// With FreeOnTerminate set, the object deletes itself after Execute returns
// (on the worker thread); nobody may use it after that.
class TThread {
 public:
  TThread() = default;
  virtual ~TThread() = default;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the worker; call once. Throws std::system_error when the system
  // cannot start a thread; the object is then not running and not waited for.
  // Joins the workers that have finished meanwhile (a short wait at most).
  void Resume();
  bool FreeOnTerminate = false;

  // Blocks until every thread started by Resume has ended: Execute has
  // returned, the object is freed when FreeOnTerminate was set, and the
  // thread's thread-local objects are destroyed (it is joined). For clean
  // program exit. REQUIRES: not called on a thread TThread started.
  static void WaitForAllThreads();

 protected:
  virtual void Execute() = 0;
  // Runs Fn on the main thread through the dispatcher and waits for it.
  // Without a dispatcher Fn runs on the calling thread.
  void Synchronize(const std::function<void()>& Fn);
};

// The number of processors this process may run on (at least 1).
int ProcessorCount();

// How many files a run works on at once: one set of rules for the settings
// key Jobs, larkspan-cli --jobs and the engine's workers (their number is
// what pngout is told). More workers than programs the platform can stop at
// once would let a stop miss some; far more than processors only costs
// memory.
constexpr int MaxJobs = 32;
// A count as a user writes it: decimal digits only, at most six ("08" is 8);
// nothing for anything else ("", "-1", "two", "4x", "9999999").
std::optional<int> ParseJobs(std::string_view Text);
// The workers for a count: 0 (or less) is one per processor core; the
// result lies in 1..MaxJobs, a larger count gives MaxJobs.
int WorkersFor(int Jobs);

// Runs Work(Slot, Index) once for every Index below Count.
// With Jobs <= 1 (or Count <= 1) the calling thread does it, in order of
// Index, with Slot 0, and calls AfterEach after every item. Otherwise
// min(Jobs, Count) new threads, Slot 0 to their number - 1, take the indexes
// in order, each at most one at a time per slot, while the calling thread
// calls AfterEach whenever items have finished since its last call, and
// at least every TickMs milliseconds while they run (never concurrently
// with itself; Work runs on the other threads meanwhile).
// An exception from Work stops the taking of further indexes; the items
// already taken finish. Once every thread has ended, the exception of the
// lowest Index that threw is passed on (so the same one as in the
// one-thread run when only one item fails). An exception from AfterEach
// is passed on the same way, after the threads have ended.
// Throws std::system_error when no thread can be started at all.
void ParallelFor(size_t Count, int Jobs, const std::function<void(int Slot, size_t Index)>& Work,
                 const std::function<void()>& AfterEach, int TickMs = 100);

}  // namespace larkspan
