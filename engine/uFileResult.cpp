#include "engine/uFileResult.h"

#include <algorithm>

namespace larkspan {

void TFileResults::Add(TFileResult Result) {
  std::lock_guard<std::mutex> L(Lock);
  Items.push_back(std::move(Result));
}

std::vector<TFileResult> TFileResults::Sorted() const {
  std::vector<TFileResult> Copy;
  {
    std::lock_guard<std::mutex> L(Lock);
    Copy = Items;
  }
  std::stable_sort(Copy.begin(), Copy.end(),
                   [](const TFileResult& A, const TFileResult& B) { return A.Order < B.Order; });
  return Copy;
}

void TFileResults::Clear() {
  std::lock_guard<std::mutex> L(Lock);
  Items.clear();
}

size_t TFileResults::Size() const {
  std::lock_guard<std::mutex> L(Lock);
  return Items.size();
}

std::vector<int> CountByAction(const std::vector<TFileResult>& Results) {
  std::vector<int> Counts(FileActionCount, 0);
  for (const TFileResult& R : Results) ++Counts[size_t(R.Action)];
  return Counts;
}

}  // namespace larkspan
