#include "minify/JsRename.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "minify/JsSyntax.h"

namespace larkspan::minify {

namespace {

constexpr std::string_view kFirstChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_$";
constexpr std::string_view kRestChars =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_$0123456789";

// The characters names are made of, the most frequent in the text that
// stays (all of it but the names to be renamed) first: new names then
// repeat what the output already holds, which gzip rewards.
struct TAlphabet {
  std::string First{kFirstChars};
  std::string Rest{kRestChars};
};

TAlphabet AlphabetFor(std::string_view Text, const TJsScope* Top) {
  int64_t Count[256] = {};
  for (unsigned char C : Text) ++Count[C];
  std::vector<const TJsScope*> Todo{Top};
  while (!Todo.empty()) {
    const TJsScope* S = Todo.back();
    Todo.pop_back();
    for (const TJsSymbol* Sym : S->Symbols)
      if (!Sym->Pinned)
        for (unsigned char C : Sym->Name) Count[C] -= Sym->Uses;
    for (const TJsScope* C : S->Children) Todo.push_back(C);
  }
  TAlphabet A;
  auto ByCount = [&](char X, char Y) {
    return Count[static_cast<unsigned char>(X)] > Count[static_cast<unsigned char>(Y)];
  };
  std::stable_sort(A.First.begin(), A.First.end(), ByCount);
  std::stable_sort(A.Rest.begin(), A.Rest.end(), ByCount);
  return A;
}

// The I-th name made of the alphabet: its first characters alone, then two
// characters, and so on.
std::string NthName(size_t I, const TAlphabet& A) {
  const std::string_view kFirst = A.First;
  const std::string_view kRest = A.Rest;
  std::string S(1, kFirst[I % kFirst.size()]);
  I /= kFirst.size();
  while (I > 0) {
    --I;
    S += kRest[I % kRest.size()];
    I /= kRest.size();
  }
  return S;
}

// Gives every symbol that is not pinned a slot: the lowest one that no other
// symbol of its scope holds and no symbol around it that a reference inside
// still names (so inner scopes reuse the slots of names they do not see).
void AssignSlots(TJsScope* Top, std::vector<uint64_t>& SlotUses) {
  std::vector<TJsScope*> Todo{Top};
  std::vector<char> Busy;
  while (!Todo.empty()) {
    TJsScope* Scope = Todo.back();
    Todo.pop_back();
    Busy.assign(SlotUses.size() + Scope->Symbols.size() + 1, 0);
    for (const TJsSymbol* Outer : Scope->Seen)
      if (Outer->Slot >= 0) Busy[size_t(Outer->Slot)] = 1;
    // A function's body shares its parameters' bindings: `var b` named like
    // parameter `a` would start with a's value.
    const TJsScope* Up = Scope->Parent;
    if (Scope->IsFunctionBody && Up && Up->Kind == TJsScopeKind::Function)
      for (const TJsSymbol* Param : Up->Symbols)
        if (Param->Slot >= 0) Busy[size_t(Param->Slot)] = 1;
    size_t Free = 0;
    for (TJsSymbol* Sym : Scope->Symbols) {
      if (Sym->Pinned) continue;
      while (Busy[Free]) ++Free;
      Busy[Free] = 1;
      Sym->Slot = int(Free);
      if (SlotUses.size() <= Free) SlotUses.resize(Free + 1, 0);
      SlotUses[Free] += Sym->Uses;
    }
    for (TJsScope* C : Scope->Children) Todo.push_back(C);
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

void RenameJsLocals(TJsProgram& Program, std::string_view Printed, const TJsScopeInfo& Info,
                    std::vector<std::string>& Names) {
  if (!Program.TopScope) return;
  const TAlphabet Alphabet = AlphabetFor(Printed, Program.TopScope);
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
      Name = NthName(Candidate++, Alphabet);
    } while (jssyntax::IsForbiddenName(Name) || Info.Taken.count(Name) > 0);
    Names[Slot] = std::move(Name);
  }
  SetNames(Program.TopScope, Names);
}

}  // namespace larkspan::minify
