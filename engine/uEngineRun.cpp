#include "engine/uEngineRun.h"

#include <exception>

#include "platform/Thread.h"

namespace larkspan {

TRunOutcome RunEngineToEnd(TAppConfig& Config, const std::string& Root, const std::string& Output,
                           const std::function<void(int Percent)>& OnProgress) {
  TRunHooks Hooks;
  Hooks.OnProgress = OnProgress;
  return RunEngineToEnd(Config, Root, Output, Hooks);
}

TRunOutcome RunEngineToEnd(TAppConfig& Config, const std::string& Root, const std::string& Output,
                           const TRunHooks& Hooks) {
  TRunOutcome R;
  R.DryRun = Hooks.DryRun;
  TWebFilsMgr* Engine = nullptr;
  try {
    Engine = new TWebFilsMgr(&Config);
  } catch (const std::exception& E) {
    R.CreateError = E.what();
    return R;
  }
  TMainLoop Loop;
  SetMainThreadDispatcher(&Loop);
  bool Done = false;
  Engine->DryRun = Hooks.DryRun;
  Engine->UseCache = Hooks.UseCache;
  Engine->DeleteStale = Hooks.DeleteStale;
  if (Hooks.ConfirmDelete)
    Engine->OnConfirmDelete = [&](TObject*, int Count) { return Hooks.ConfirmDelete(Count); };
  Engine->OnProgress = [&](TObject*, int Percent) {
    if (Hooks.OnProgress) Hooks.OnProgress(Percent);
  };
  if (Hooks.OnStatus)
    Engine->OnStatus = [&](TObject* Sender, const TRunStatus& Status) {
      Hooks.OnStatus(Status, *static_cast<TWebFilsMgr*>(Sender));
    };
  Engine->OnFinished = [&](TObject*, const TRunRecord& Run) {
    static_cast<TRunRecord&>(R) = Run;
    ++R.FinishedCalls;
    Done = true;
  };
  try {
    Engine->Start(Root, Output);
    R.Started = true;
  } catch (const std::exception& E) {
    R.StartError = E.what();
    delete Engine;  // Start failed: no worker, the engine is still ours
    SetMainThreadDispatcher(nullptr);
    return R;
  }
  // Written by Start before the worker began; the engine cannot be gone
  // before its OnFinished has run on this thread.
  if (Hooks.OnStarted) Hooks.OnStarted(Engine->MissingTools());
  Loop.RunUntil([&] { return Done; });
  TThread::WaitForAllThreads();  // the engine frees itself after OnFinished
  SetMainThreadDispatcher(nullptr);
  return R;
}

}  // namespace larkspan
