#include "ui/Startup.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <memory>

#include "platform/InstanceLock.h"
#include "platform/Thread.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"
#include "ui/QtDispatcher.h"
#include "ui/dmControlUI.h"

namespace larkspan {

const char* const InstanceName = "Ostrel Larkspan";

namespace {

// Shows an error that escaped an event handler and lets the loop go on.
class TLarkspanApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* Receiver, QEvent* Event) override {
    try {
      return QApplication::notify(Receiver, Event);
    } catch (const std::exception& E) {
      ShowException(E);
    }
    return false;
  }
};

// Nothing on this desktop listens for a second instance's nudge, so there
// is nothing to send.
void NotifyOtherInstances() {}

}  // namespace

bool CheckSingleInstance(TInstanceLock& Lock) {
  switch (Lock.Acquire(InstanceName, 10)) {
    case TInstanceLock::TResult::Acquired:
      return true;
    case TInstanceLock::TResult::HeldByOther: {
      TMessageRequest R;
      R.Text = "本软件无法同时运行多个实例！";
      R.Caption = "提示";
      R.Icon = TMsgIcon::Information;
      Dialogs().Message(R);
      NotifyOtherInstances();
      return false;
    }
    case TInstanceLock::TResult::Failed:
      break;
  }
  std::fprintf(stderr, "larkspan: cannot take the single-instance lock: %s\n",
               Lock.ErrorText.c_str());
  return false;
}

int RunLarkspan(int& Argc, char** Argv) {
  TLarkspanApplication App(Argc, Argv);
  // Readable Chinese even in the notice a second instance shows.
  QApplication::setFont(UiFont(14));
  TInstanceLock Lock;
  if (!CheckSingleInstance(Lock)) return 0;

  InitUiResources();
  LoadToolkitTranslations();
  QApplication::setWindowIcon(QIcon(":/icons/larkspan.svg"));
  QGuiApplication::setDesktopFileName("larkspan");
  TScopedQtDispatcher Dispatcher;
  {
    // The skin first, so the main window is created skinned.
    TdmUI dmUI;
    auto frmLarkspan = std::make_unique<TfrmLarkspan>();
    frmLarkspan->show();
    App.exec();
  }
  // The window refuses to close during a run; wait for the last engine to
  // have freed itself all the same.
  TThread::WaitForAllThreads();
  return 0;
}

}  // namespace larkspan
