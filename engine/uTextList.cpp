#include "engine/uTextList.h"

#include <algorithm>

#include "platform/Text.h"

namespace larkspan {

namespace {
bool Less(const std::string& A, const std::string& B) { return CompareText(A, B) < 0; }
}  // namespace

bool TTextList::Add(const std::string& S) {
  auto It = std::lower_bound(Items.begin(), Items.end(), S, Less);
  if (It != Items.end() && CompareText(*It, S) == 0) return false;
  Items.insert(It, S);
  return true;
}

bool TTextList::Contains(const std::string& S) const {
  return std::binary_search(Items.begin(), Items.end(), S, Less);
}

}  // namespace larkspan
