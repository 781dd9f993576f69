#include "ui/FilterRules.h"

#include "platform/Text.h"

namespace larkspan {

bool IsAcceptableFilterPattern(const std::string& Pattern) {
  return Pattern.size() > 2 && Pattern.compare(0, 2, "*.") == 0 && Pattern != "*.*" &&
         Pattern.find('|') == std::string::npos;
}

int IndexOfText(const std::vector<std::string>& Entries, const std::string& Text) {
  for (size_t I = 0; I < Entries.size(); ++I)
    if (SameText(Entries[I], Text)) return int(I);
  return -1;
}

bool IsBelowRoot(const std::string& Root, const std::string& FileName) {
  return FileName.size() >= Root.size() && SameText(FileName.substr(0, Root.size()), Root);
}

std::string RelativeToRoot(const std::string& Root, const std::string& FileName) {
  return FileName.substr(Root.size());
}

}  // namespace larkspan
