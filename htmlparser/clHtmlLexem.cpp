#include "htmlparser/clHtmlLexem.h"

namespace larkspan {

std::string StripLineBreaks(std::string_view Text) {
  size_t First = 0;
  while (First < Text.size() && Text[First] != '\t' && Text[First] != '\r' && Text[First] != '\n')
    ++First;
  if (First == Text.size()) return std::string(Text);
  std::string Result;
  Result.reserve(Text.size());
  for (char C : Text) {
    if (C != '\t' && C != '\r' && C != '\n') Result.push_back(C);
  }
  return Result;
}

void TclTagLexemChecker::AddLexemPair(const std::string& StartLexem,
                                      const std::string& CloseLexem) {
  StartLexems.emplace_back(StartLexem, 1);
  CloseLexems.emplace_back(CloseLexem, 1);
  for (unsigned char C : StartLexem) FLexemBytes[C] = true;
  for (unsigned char C : CloseLexem) FLexemBytes[C] = true;
  // An empty lexeme completes on every byte, so no byte may be skipped.
  if (StartLexem.empty() || CloseLexem.empty()) FLexemBytes.fill(true);
}

void TclTagLexemChecker::AdvanceMatch(unsigned char C, const std::string& L, int& State) {
  if (State <= static_cast<int>(L.size()) && C == static_cast<unsigned char>(L[State - 1]))
    ++State;
  else
    State = 1;
}

int TclTagLexemChecker::CheckChar(unsigned char C) {
  MatchedIndex = -1;
  const size_t N = StartLexems.size();
  for (size_t I = 0; I < N; ++I) {
    AdvanceMatch(C, StartLexems[I].first, StartLexems[I].second);
    if (I < CloseLexems.size()) AdvanceMatch(C, CloseLexems[I].first, CloseLexems[I].second);
  }
  for (size_t I = 0; I < CloseLexems.size(); ++I) {
    if (CloseLexems[I].second > static_cast<int>(CloseLexems[I].first.size())) {
      MatchedIndex = static_cast<int>(I);
      return 2;
    }
  }
  for (size_t I = 0; I < N; ++I) {
    if (StartLexems[I].second > static_cast<int>(StartLexems[I].first.size())) {
      MatchedIndex = static_cast<int>(I);
      return 1;
    }
  }
  return 0;
}

void TclTagLexemChecker::ResetMatches() {
  for (auto& L : StartLexems) L.second = 1;
  for (auto& L : CloseLexems) L.second = 1;
  MatchedIndex = -1;
}

void TclCharBoundary::Skip(const unsigned char* Bytes, size_t Begin, size_t End) {
  if (End <= Begin) return;
  if (End - Begin == 1) {
    Step(Bytes[Begin]);
    return;
  }
  // After any byte that is no lead byte a new character starts, so only the
  // lead bytes right before the last byte of the run matter.
  const size_t Last = End - 1;
  size_t Leads = 0;
  while (Last - Leads > Begin && IsLeadByte(Bytes[Last - Leads - 1])) ++Leads;
  bool LastIsStart;
  if (Last - Leads > Begin)
    LastIsStart = Leads % 2 == 0;  // a non-lead byte precedes those leads
  else
    LastIsStart = FCurIsStart ? Leads % 2 == 0 : Leads % 2 == 1;
  FCurIsStart = LastIsStart;
  Step(Bytes[Last]);
}

TclHtmlTag* TclHtmlTagStack::Pop() {
  if (FItems.empty()) return nullptr;
  TclHtmlTag* Tag = FItems.back();
  FItems.pop_back();
  return Tag;
}

}  // namespace larkspan
