#include "engine/uDuplicates.h"

#include <algorithm>

#include "platform/Text.h"

namespace larkspan {

namespace {
bool PathLess(const std::pair<std::string, std::unique_ptr<TDetailItm>>& A, const std::string& B) {
  return CompareText(A.first, B) < 0;
}
}  // namespace

void TDetailList::Add(const std::string& Path, std::unique_ptr<TDetailItm> Item) {
  // After every entry equal to Path ignoring case: "img/B.gif" and
  // "img/b.gif" are two files here, and each must stay in the list (one
  // replacing the other would leave a picture neither written nor counted).
  auto It = std::upper_bound(
      Items.begin(), Items.end(), Path,
      [](const std::string& P, const auto& E) { return CompareText(P, E.first) < 0; });
  Items.emplace(It, Path, std::move(Item));
}

int TDetailList::IndexOf(const std::string& Path) const {
  auto It = std::lower_bound(Items.begin(), Items.end(), Path, PathLess);
  const auto First = It;
  for (; It != Items.end() && CompareText(It->first, Path) == 0; ++It)
    if (It->first == Path) return int(It - Items.begin());  // the exact name first
  if (First != Items.end() && CompareText(First->first, Path) == 0)
    return int(First - Items.begin());
  return -1;
}

bool TDuplicateSet::Add(const std::string& Path, const std::string& MD5, int64_t Size) {
  if (!MD5.empty()) {
    if (auto Found = MasterIndexByMD5.find(MD5); Found != MasterIndexByMD5.end()) {
      auto Item = std::make_unique<TDetailItm>();
      Item->MasterIndex = Found->second;
      Item->FileName = Path;
      Item->FileSize = Size;
      DetailList.Add(Path, std::move(Item));
      return true;
    }
    MasterIndexByMD5.emplace(MD5, int(MasterList.size()));
  }
  auto Item = std::make_unique<TMasterItm>();
  Item->FileName = Path;
  MasterList.emplace_back(MD5, std::move(Item));
  return false;
}

void TDuplicateSet::Clear() {
  MasterList.clear();
  MasterIndexByMD5.clear();
  DetailList.Clear();
}

const std::string& TDuplicateSet::MasterOf(const TDetailItm& Detail) const {
  static const std::string None;
  const auto Master = size_t(Detail.MasterIndex);
  return Master < MasterList.size() ? MasterList[Master].second->FileName : None;
}

std::vector<std::string> TDuplicateSet::DuplicateFiles() const {
  std::vector<std::string> Files;
  Files.reserve(size_t(DetailList.Count()));
  for (int I = 0; I < DetailList.Count(); ++I) Files.push_back(DetailList.Objects(I)->FileName);
  return Files;
}

std::vector<TKeptDuplicate> TDuplicateSet::StillReferred(const TRefCheck& Check) {
  std::vector<TKeptDuplicate> Kept;
  for (const TKeptDuplicate& Ref : Check.Found())
    if (Ref.RefLine > 0) Kept.push_back(Ref);
  return Kept;
}

}  // namespace larkspan
