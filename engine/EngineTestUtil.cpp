#include "engine/EngineTestUtil.h"

#include "engine/uWebFilesMgr.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Thread.h"

namespace larkspan::test {

TRunResult RunEngine(TAppConfig& Config, const std::string& Root, const std::string& Output) {
  TRunResult R;
  TMainLoop Loop;
  SetMainThreadDispatcher(&Loop);
  bool Done = false;
  TWebFilsMgr* Engine = new TWebFilsMgr(&Config);
  Engine->OnProgress = [&](TObject*, int Percent) { R.Progress.push_back(Percent); };
  Engine->OnFinished = [&](TObject* Sender) {
    auto* E = static_cast<TWebFilsMgr*>(Sender);
    ++R.FinishedCalls;
    R.IsSuccess = E->IsSuccess;
    R.ErrorText = E->ErrorText;
    R.SavedSize = E->GetSavedSize();
    R.DuplicateCount = E->GetDuplicateCount();
    R.UncompressedFiles = E->UncompressedFiles;
    R.RewrittenPages = E->RewrittenPages;
    for (const TKeptDuplicate& K : E->KeptDuplicates) R.KeptDuplicates.push_back(K.FileName);
    Done = true;
  };
  try {
    Engine->Start(Root, Output);
    R.Started = true;
  } catch (const Exception& E) {
    R.StartError = E.what();
    delete Engine;
    SetMainThreadDispatcher(nullptr);
    return R;
  }
  Loop.RunUntil([&] { return Done; });
  TThread::WaitForAllThreads();
  SetMainThreadDispatcher(nullptr);
  return R;
}

TAppConfig BlankConfig() {
  TAppConfig C("", false);
  C.SaveOnDestroy = false;
  C.IsCompressHtml = false;
  return C;
}

}  // namespace larkspan::test
