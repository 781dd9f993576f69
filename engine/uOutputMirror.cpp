#include "engine/uOutputMirror.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <unordered_set>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

struct TIdHash {
  size_t operator()(const TFileId& Id) const {
    return std::hash<uint64_t>()(Id.Inode ^ (Id.Device << 20));
  }
};

// The identities of the site's own folders (links not followed).
std::unordered_set<TFileId, TIdHash> SiteFolders(const std::string& SiteDir) {
  std::unordered_set<TFileId, TIdHash> Ids;
  TFileId Root;
  if (GetFileId(SiteDir, Root)) Ids.insert(Root);
  try {
    for (const TTreeEntry& E : ListTree(SiteDir))
      if (E.IsFolder) Ids.insert(E.Id);
  } catch (const Exception&) {
    // A site folder that cannot be listed now was read by the run: the
    // root's identity still fences the whole of it.
  }
  return Ids;
}

}  // namespace

void TOutputMirror::Find(const std::string& SiteDir, const std::string& AOutputDir,
                         const std::vector<std::string>& Written) {
  OutputDir = IncludeTrailingDelimiter(AOutputDir);
  Stale.clear();
  Failures.clear();
  Removed = 0;
  std::unordered_set<std::string> Kept;
  for (const std::string& W : Written)
    if (W.compare(0, OutputDir.size(), OutputDir) == 0) Kept.insert(W.substr(OutputDir.size()));
  const auto Site = SiteFolders(SiteDir);
  for (const TTreeEntry& E :
       ListTree(OutputDir, [&](const TFileId& Id) { return Site.count(Id) != 0; }))
    if (!E.IsFolder && Kept.count(E.Path) == 0) Stale.push_back(E.Path);
  std::sort(Stale.begin(), Stale.end());
}

int TOutputMirror::Remove() {
  std::set<std::string> Folders;  // of removed entries, deepest last
  for (const std::string& Path : Stale) {
    if (DeleteFile(OutputDir + Path)) {
      ++Removed;
      for (size_t Slash = Path.rfind('/'); Slash != std::string::npos && Slash > 0;
           Slash = Path.rfind('/', Slash - 1))
        Folders.insert(Path.substr(0, Slash));
    } else if (errno != ENOENT) {
      Failures.push_back(Path + ": " + SystemErrorText(errno));
    }
  }
  // Deepest first, so that a folder emptied by removing its empty
  // subfolders goes too; a folder that holds anything else stays.
  for (auto It = Folders.rbegin(); It != Folders.rend(); ++It) RemoveEmptyFolder(OutputDir + *It);
  return Removed;
}

void TOutputMirror::Mirror(const std::string& SiteDir, const std::string& AOutputDir,
                           const std::vector<std::string>& Written, bool Delete,
                           const std::function<bool(int Count)>& Confirm) {
  try {
    Find(SiteDir, AOutputDir, Written);
    if (Delete && !Stale.empty() && (!Confirm || Confirm(int(Stale.size())))) Remove();
  } catch (const Exception& E) {
    Failures.push_back(E.what());
  }
}

}  // namespace larkspan
