// Pictures of equal content: which one is written (the master, the first
// found), which are left out (its duplicates), and which duplicates are
// written after all because something still refers to them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/uRefCheck.h"

namespace larkspan {

struct TMasterItm {
  std::string FileName;  // full path of the first picture found with this content
};

struct TDetailItm {
  int MasterIndex = 0;   // index of its master in MasterList
  std::string FileName;  // full path of the duplicate in the site
  int64_t FileSize = 0;
};

// Duplicates by full path, sorted ignoring ASCII case; binary search.
class TDetailList {
 public:
  // Inserts Item under Path (kept sorted). Paths that differ only in letter
  // case are different files and get an entry each.
  void Add(const std::string& Path, std::unique_ptr<TDetailItm> Item);
  // Index of Path ignoring case (an entry of exactly that name first), or -1.
  int IndexOf(const std::string& Path) const;
  int Count() const { return int(Items.size()); }
  const std::string& Names(int I) const { return Items[size_t(I)].first; }
  TDetailItm* Objects(int I) const { return Items[size_t(I)].second.get(); }
  void Clear() { Items.clear(); }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TDetailItm>>> Items;
};

// The masters and duplicates of one run, built from the pictures in the
// order of the scan. Final once every picture is added; from then on it may
// be read by several threads at once (the page rewriters).
class TDuplicateSet {
 public:
  // Notes the picture Path of Size bytes with content key MD5. An empty key
  // stands for a picture no other can equal: always a master. Returns true
  // when Path is a duplicate of a picture added before.
  bool Add(const std::string& Path, const std::string& MD5, int64_t Size);
  void Clear();
  bool Empty() const { return DetailList.Count() == 0; }

  // The master that Detail duplicates (its full path in the site).
  const std::string& MasterOf(const TDetailItm& Detail) const;
  // The duplicates' full paths, in DetailList order.
  std::vector<std::string> DuplicateFiles() const;
  // The duplicates Check found referred to (RefLine > 0): written after all.
  static std::vector<TKeptDuplicate> StillReferred(const TRefCheck& Check);
  // Duplicates that stay out of the output when Kept are written after all.
  int LeftOutCount(const std::vector<TKeptDuplicate>& Kept) const {
    return DetailList.Count() - int(Kept.size());
  }

  // (MD5 text, master) in order of first appearance. The key is empty for a
  // picture whose size no other picture of the run shares.
  std::vector<std::pair<std::string, std::unique_ptr<TMasterItm>>> MasterList;
  TDetailList DetailList;

 private:
  std::unordered_map<std::string, int> MasterIndexByMD5;
};

}  // namespace larkspan
