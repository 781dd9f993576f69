// The rules of the two filter lists, apart from any widget.
#pragma once

#include <string>
#include <vector>

namespace larkspan {

// A typed file-filter pattern is taken as it is only when it starts with
// "*.", has more than those two bytes, is not "*.*", and holds no "|" (the
// list separator, which would split it into two entries).
bool IsAcceptableFilterPattern(const std::string& Pattern);

// Index of the first entry equal to Text when ASCII letters are folded, or
// -1.
int IndexOfText(const std::vector<std::string>& Entries, const std::string& Text);

// True when the first bytes of FileName equal Root (ASCII letters folded).
// Root ends with "/", so a sibling folder sharing the root's name as a
// prefix does not count as being below it.
bool IsBelowRoot(const std::string& Root, const std::string& FileName);

// FileName's path relative to Root. REQUIRES: IsBelowRoot(Root, FileName).
std::string RelativeToRoot(const std::string& Root, const std::string& FileName);

}  // namespace larkspan
