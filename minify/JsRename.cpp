#include "minify/JsRename.h"

#include <algorithm>
#include <numeric>

#include "minify/JsSyntax.h"

namespace larkspan::minify {

namespace {

// The I-th name of the sequence a, b, ..., $, aa, ba, ...
std::string NthName(size_t I) {
  static constexpr std::string_view kFirst =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_$";
  static constexpr std::string_view kRest =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_$0123456789";
  std::string S(1, kFirst[I % kFirst.size()]);
  I /= kFirst.size();
  while (I > 0) {
    --I;
    S += kRest[I % kRest.size()];
    I /= kRest.size();
  }
  return S;
}

void AssignSlots(TJsScope* Top, std::vector<uint64_t>& SlotUses) {
  struct TItem {
    TJsScope* Scope;
    int Base;
  };
  std::vector<TItem> Todo{{Top, 0}};
  while (!Todo.empty()) {
    const TItem It = Todo.back();
    Todo.pop_back();
    int Next = It.Base;
    for (TJsSymbol* Sym : It.Scope->Symbols) {
      if (Sym->Pinned) continue;
      Sym->Slot = Next++;
      if (SlotUses.size() <= size_t(Sym->Slot)) SlotUses.resize(size_t(Sym->Slot) + 1, 0);
      SlotUses[size_t(Sym->Slot)] += Sym->Uses;
    }
    for (TJsScope* C : It.Scope->Children) Todo.push_back({C, Next});
  }
}

void SetNames(TJsScope* Top, const std::vector<std::string>& SlotNames) {
  std::vector<TJsScope*> Todo{Top};
  while (!Todo.empty()) {
    TJsScope* S = Todo.back();
    Todo.pop_back();
    for (TJsSymbol* Sym : S->Symbols)
      if (!Sym->Pinned && Sym->Slot >= 0) Sym->NewName = SlotNames[size_t(Sym->Slot)];
    for (TJsScope* C : S->Children) Todo.push_back(C);
  }
}

}  // namespace

void RenameJsLocals(TJsProgram& Program, const TJsScopeInfo& Info,
                    std::vector<std::string>& Names) {
  if (!Program.TopScope) return;
  std::vector<uint64_t> SlotUses;
  AssignSlots(Program.TopScope, SlotUses);
  std::vector<size_t> Order(SlotUses.size());
  std::iota(Order.begin(), Order.end(), size_t(0));
  std::stable_sort(Order.begin(), Order.end(),
                   [&](size_t A, size_t B) { return SlotUses[A] > SlotUses[B]; });
  Names.assign(SlotUses.size(), std::string());
  size_t Candidate = 0;
  for (size_t Slot : Order) {
    std::string Name;
    do {
      Name = NthName(Candidate++);
    } while (jssyntax::IsForbiddenName(Name) || Info.Taken.count(Name) > 0);
    Names[Slot] = std::move(Name);
  }
  SetNames(Program.TopScope, Names);
}

}  // namespace larkspan::minify
