#include "engine/uFolderCheck.h"

#include <algorithm>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {
std::string TrimControl(const std::string& S) {
  size_t B = 0, E = S.size();
  while (B < E && static_cast<unsigned char>(S[B]) <= 32) ++B;
  while (E > B && static_cast<unsigned char>(S[E - 1]) <= 32) --E;
  return S.substr(B, E - B);
}
}  // namespace

bool FoldersOverlap(const std::string& RootPath, const std::string& OutputPath) {
  const std::string R = TrimControl(RootPath);
  const std::string O = TrimControl(OutputPath);
  if (R.size() < O.size()) return SameText(R, O.substr(0, R.size()));
  return SameText(O, R.substr(0, O.size()));
}

bool FoldersConflict(const std::string& RootPath, const std::string& OutputPath) {
  if (RootPath.empty() || OutputPath.empty()) return true;
  const std::string R = ResolvePath(RootPath);
  const std::string O = ResolvePath(OutputPath);
  if (R.empty() || O.empty()) return true;
  if (IsPathWithin(O, R) || IsPathWithin(R, O)) return true;
  // By identity: a bind mount, another name on a file system that ignores
  // case, and whatever else paths cannot tell.
  const std::vector<TFileId> RootChain = FolderChainIds(RootPath);
  const std::vector<TFileId> OutputChain = FolderChainIds(OutputPath);
  auto Holds = [](const std::vector<TFileId>& Chain, const TFileId& Id) {
    return std::find(Chain.begin(), Chain.end(), Id) != Chain.end();
  };
  if (!RootChain.empty() && Holds(OutputChain, RootChain.front())) return true;
  // Only an output that exists is a folder of its own; otherwise its chain
  // begins at the folder it would be made in.
  return DirectoryExists(OutputPath) && !OutputChain.empty() &&
         Holds(RootChain, OutputChain.front());
}

}  // namespace larkspan
