#include "engine/EngineTestUtil.h"

#include "engine/uEngineRun.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace larkspan::test {

TRunResult RunEngine(TAppConfig& Config, const std::string& Root, const std::string& Output) {
  TRunResult R;
  const TRunOutcome O =
      RunEngineToEnd(Config, Root, Output, [&](int Percent) { R.Progress.push_back(Percent); });
  if (!O.CreateError.empty()) throw Exception(O.CreateError);
  R.Started = O.Started;
  R.StartError = O.StartError;
  R.FinishedCalls = O.FinishedCalls;
  R.IsSuccess = O.IsSuccess;
  R.ErrorText = O.ErrorText;
  R.SavedSize = O.SavedSize;
  R.DuplicateCount = O.DuplicateCount;
  R.UncompressedFiles = O.UncompressedFiles;
  R.RewrittenPages = O.RewrittenPages;
  for (const TKeptDuplicate& K : O.KeptDuplicates) R.KeptDuplicates.push_back(K.FileName);
  for (const TSkippedFile& S : O.SkippedFiles) R.SkippedFiles.push_back(S.FileName);
  return R;
}

TAppConfig BlankConfig() {
  TAppConfig C("", false);
  C.SaveOnDestroy = false;
  C.IsCompressHtml = false;
  return C;
}

}  // namespace larkspan::test
