#include "engine/EngineTestUtil.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/uWebFilesMgr.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Thread.h"

namespace fs = std::filesystem;

namespace larkspan::test {

TTempDir::TTempDir(const std::string& Hint) {
  std::string Tmpl = TempFolder() + Hint + "-XXXXXX";
  char* P = ::mkdtemp(Tmpl.data());
  if (!P) throw Exception("mkdtemp failed");
  Dir = std::string(P) + "/";
}

TTempDir::~TTempDir() {
  std::error_code Ec;
  // Make read-only folders writable again so the tree can go.
  for (auto It = fs::recursive_directory_iterator(Dir, fs::directory_options::skip_permission_denied, Ec);
       !Ec && It != fs::recursive_directory_iterator(); It.increment(Ec)) {
    if (It->is_directory(Ec) && !It->is_symlink(Ec))
      fs::permissions(It->path(), fs::perms::owner_all, fs::perm_options::add, Ec);
  }
  fs::remove_all(Dir, Ec);
}

std::string TTempDir::Write(const std::string& Relative, const std::string& Data) const {
  const std::string Path = Dir + Relative;
  fs::create_directories(fs::path(Path).parent_path());
  std::ofstream(Path, std::ios::binary) << Data;
  return Path;
}

std::map<std::string, std::string> ReadTree(const std::string& Folder) {
  std::map<std::string, std::string> Tree;
  for (auto& E : fs::recursive_directory_iterator(Folder)) {
    if (!E.is_regular_file() || E.is_symlink()) continue;
    Tree[fs::relative(E.path(), Folder).string()] = ReadFileText(E.path().string());
  }
  return Tree;
}

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
