#include "ui/QtDispatcher.h"

#include <QMetaObject>
#include <QThread>

namespace larkspan {

TQtMainThreadDispatcher::TQtMainThreadDispatcher() = default;

void TQtMainThreadDispatcher::RunOnMainThread(const std::function<void()>& Fn) {
  if (QThread::currentThread() == thread()) {
    Fn();
    return;
  }
  std::exception_ptr Error;
  QMetaObject::invokeMethod(
      this,
      [&] {
        try {
          Fn();
        } catch (...) {
          Error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (Error) std::rethrow_exception(Error);
}

}  // namespace larkspan
