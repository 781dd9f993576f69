#include "engine/uFolderCheck.h"

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
  return IsPathWithin(O, R) || IsPathWithin(R, O);
}

}  // namespace larkspan
