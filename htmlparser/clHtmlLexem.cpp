#include "htmlparser/clHtmlLexem.h"

namespace larkspan {

int CharClass(unsigned char C) {
  switch (C) {
    case '"':
    case '\'':
      return 1;
    case '=':
      return 2;
    case '\t':
    case '\n':
    case '\r':
    case ' ':
      return 3;
    default:
      return 0;
  }
}

std::string StripLineBreaks(std::string_view Text) {
  std::string Result;
  Result.reserve(Text.size());
  for (char C : Text) {
    if (C != '\t' && C != '\r' && C != '\n') Result.push_back(C);
  }
  return Result;
}

bool HtmlSameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I) {
    if (LowerAscii(static_cast<unsigned char>(A[I])) !=
        LowerAscii(static_cast<unsigned char>(B[I])))
      return false;
  }
  return true;
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

TclHtmlTag* TclHtmlTagStack::Pop() {
  if (FItems.empty()) return nullptr;
  TclHtmlTag* Tag = FItems.back();
  FItems.pop_back();
  return Tag;
}

}  // namespace larkspan
