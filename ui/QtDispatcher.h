// The main-thread hand-off of the platform layer, done with Qt's blocking
// queued invocation: a worker's callable runs in the GUI thread's event loop
// while the worker waits for it.
#pragma once

#include <QObject>

#include "platform/Thread.h"

namespace larkspan {

class TQtMainThreadDispatcher : public QObject, public IMainThreadDispatcher {
 public:
  // Lives in the thread that creates it, which must be the GUI thread.
  TQtMainThreadDispatcher();
  // Runs Fn at once when called on the GUI thread; otherwise queues it to
  // the GUI thread and blocks until it has returned. An exception of Fn is
  // rethrown to the caller.
  void RunOnMainThread(const std::function<void()>& Fn) override;
};

// Installs a dispatcher for its lifetime and removes it again.
// REQUIRES: no worker synchronises after destruction.
class TScopedQtDispatcher {
 public:
  TScopedQtDispatcher() { SetMainThreadDispatcher(&Dispatcher); }
  ~TScopedQtDispatcher() { SetMainThreadDispatcher(nullptr); }

 private:
  TQtMainThreadDispatcher Dispatcher;
};

}  // namespace larkspan
