// libFuzzer target: parses arbitrary bytes in every mode, with every event
// assigned, with and without closing-tag objects, as one text and as lines,
// and with a handler that throws part-way. Checks that every reported
// position lies inside the input and that the results hang together.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "htmlparser/clHtmlParser.h"

using namespace larkspan;

namespace {

struct TStop {};

void Check(bool Condition) {
  if (!Condition) std::abort();
}

void CheckResults(const TclHtmlParser& Parser, size_t Size) {
  const int Limit = static_cast<int>(Size) + 1;
  const TclHtmlTag* Previous = nullptr;
  for (int I = 0; I < Parser.ParsedTags.Count(); ++I) {
    const TclHtmlTag* Tag = Parser.ParsedTags.Items(I);
    Check(Tag->ContentPos >= 1 && Tag->ContentPos <= Limit);
    if (Previous) Check(Previous->FollowingTag == Tag);
    for (int A = 0; A < Tag->AttributeCount(); ++A) {
      const TclHtmlAttribute* Attr = Tag->AttributeAt(A);
      Check(Attr->OwnerTag == Tag);
      if (Attr->AttrValue.empty())
        Check(Attr->ValuePos == 0);
      else
        Check(Attr->ValuePos >= 1 && Attr->ValuePos <= static_cast<int>(Size));
    }
    (void)Tag->ContentText();
    Previous = Tag;
  }
  if (Previous) Check(Previous->FollowingTag == nullptr);
  Check(!Parser.OpenTables);
}

void AssignAll(TclHtmlParser& Parser, long& Events, long ThrowAt) {
  auto Count = [&Events, ThrowAt] {
    if (++Events == ThrowAt) throw TStop();
  };
  Parser.OnParseTag = [=](TObject*, TclHtmlTag* T) {
    Count();
    (void)T->SourceText.size();
  };
  Parser.OnParseAttribute = [=](TObject*, TclHtmlTag*, TclHtmlAttribute*) { Count(); };
  Parser.OnParseForm = [=](TObject*, TclHtmlForm*) { Count(); };
  Parser.OnParseLink = [=](TObject*, TclHtmlLink*) { Count(); };
  Parser.OnParseFrame = [=](TObject*, TclHtmlFrame*) { Count(); };
  Parser.OnParseImage = [=](TObject*, TclHtmlImage* I) {
    Count();
    (void)I->Src();
  };
  Parser.OnParseFormControl = [=](TObject*, TclHtmlForm*, TclHtmlTag*) { Count(); };
  Parser.OnParseTable = [=](TObject*, TclHtmlTable*) { Count(); };
  Parser.OnParseTableRow = [=](TObject*, TclHtmlTable*, TclHtmlTableRow*) { Count(); };
  Parser.OnParseTableCell = [=](TObject*, TclHtmlTable*, TclHtmlTableRow*, TclHtmlTableCell* C) {
    Count();
    Check(C != nullptr);
  };
  Parser.OnParseTableCellTag = [=](TObject*, TclHtmlTable*, TclHtmlTableRow* R, TclHtmlTableCell* C,
                                   TclHtmlTag*) {
    Count();
    Check(R != nullptr && C != nullptr);
  };
  Parser.OnParseMetaTag = [=](TObject*, TclHtmlMetaTag*) { Count(); };
}

std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> Lines;
  size_t Start = 0;
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == '\n') {
      Lines.emplace_back(Text, Start, I - Start);
      Start = I + 1;
    }
  }
  if (Start < Text.size()) Lines.emplace_back(Text, Start);
  return Lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  // The first byte picks the event that throws (0: none), so the early-exit
  // path is covered as well.
  const long ThrowAt = Size > 0 ? Data[0] % 64 : 0;
  TclHtmlParser Parser;
  long Events = 0;
  AssignAll(Parser, Events, 0);
  for (TclHtmlParseMethod Method : {pmAll, pmTagsOnly, pmTextOnly}) {
    for (bool Closing : {false, true}) {
      Parser.ParseMethod = Method;
      Parser.IncludeClosingTags = Closing;
      Parser.Parse(Text);  // re-parse: the previous results must be released
      CheckResults(Parser, Size);
    }
  }
  const std::vector<std::string> Lines = SplitLines(Text);
  Parser.ParseMethod = pmAll;
  Parser.Parse(Lines);
  size_t Joined = 0;
  for (const auto& L : Lines) Joined += L.size() + 2;
  CheckResults(Parser, Joined);

  if (ThrowAt > 0) {
    Events = 0;
    AssignAll(Parser, Events, ThrowAt);
    try {
      Parser.Parse(Text);
    } catch (const TStop&) {
      Check(Parser.PageTitle.empty() && Parser.PageKeywords.empty());
    }
    CheckResults(Parser, Size);
  }
  // Only the engine's handler, as the engine uses the parser.
  TclHtmlParser Engine;
  Engine.OnParseImage = [](TObject*, TclHtmlImage* I) { (void)I->Src(); };
  Engine.Parse(Text);
  CheckResults(Engine, Size);
  return 0;
}
