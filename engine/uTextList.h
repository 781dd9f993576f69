// A sorted list of texts compared without regard to ASCII case, with
// duplicates dropped; found by binary search.
#pragma once

#include <string>
#include <vector>

namespace larkspan {

class TTextList {
 public:
  // Adds S unless an entry equal to it (ignoring case) is there; true when added.
  bool Add(const std::string& S);
  bool Contains(const std::string& S) const;
  void Clear() { Items.clear(); }
  int Count() const { return int(Items.size()); }
  const std::string& operator[](int I) const { return Items[size_t(I)]; }

 private:
  std::vector<std::string> Items;
};

}  // namespace larkspan
