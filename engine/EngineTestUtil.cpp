#include "engine/EngineTestUtil.h"

#include "engine/uEngineRun.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace larkspan::test {

TRunResult RunEngine(TAppConfig& Config, const std::string& Root, const std::string& Output) {
  TRunResult R;
  static_cast<TRunOutcome&>(R) =
      RunEngineToEnd(Config, Root, Output, [&](int Percent) { R.Progress.push_back(Percent); });
  if (!R.CreateError.empty()) throw Exception(R.CreateError);
  return R;
}

TAppConfig BlankConfig() {
  TAppConfig C("", false);
  C.SaveOnDestroy = false;
  C.IsCompressHtml = false;
  return C;
}

}  // namespace larkspan::test
