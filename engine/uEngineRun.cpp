#include "engine/uEngineRun.h"

#include <exception>

#include "platform/Thread.h"

namespace larkspan {

TRunOutcome RunEngineToEnd(TAppConfig& Config, const std::string& Root, const std::string& Output,
                           const std::function<void(int Percent)>& OnProgress) {
  TRunOutcome R;
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
  Engine->OnProgress = [&](TObject*, int Percent) {
    if (OnProgress) OnProgress(Percent);
  };
  Engine->OnFinished = [&](TObject* Sender) {
    auto* E = static_cast<TWebFilsMgr*>(Sender);
    ++R.FinishedCalls;
    R.IsSuccess = E->IsSuccess;
    R.ErrorText = E->ErrorText;
    R.SourceSize = E->SourceSize;
    R.SavedSize = E->GetSavedSize();
    R.DuplicateCount = E->GetDuplicateCount();
    R.Counts = E->Counts;
    R.UncompressedFiles = E->UncompressedFiles;
    R.CompressErrors = E->CompressErrors;
    R.RewrittenPages = E->RewrittenPages;
    R.KeptDuplicates = E->KeptDuplicates;
    R.SkippedFiles = E->SkippedFiles;
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
  Loop.RunUntil([&] { return Done; });
  TThread::WaitForAllThreads();  // the engine frees itself after OnFinished
  SetMainThreadDispatcher(nullptr);
  return R;
}

}  // namespace larkspan
