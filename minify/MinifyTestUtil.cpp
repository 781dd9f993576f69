#include "minify/MinifyTestUtil.h"

#include "minify/ByteScan.h"
#include "platform/TestUtil.h"
#include "platform/Text.h"

namespace larkspan::minify::test {

namespace {

size_t SpaceRun(std::string_view S, size_t I) { return SkipSpace(S, I) - I; }

std::string Around(std::string_view S, size_t I) {
  const size_t From = I > 20 ? I - 20 : 0;
  std::string R;
  for (char C : S.substr(From, 40)) R += C == '\n' ? std::string("\\n") : std::string(1, C);
  return "\"" + R + "\" (offset " + std::to_string(I) + ")";
}

// End of the string opening at I (past its closing quote, or the end).
size_t StringEnd(TCodePage Page, std::string_view S, size_t I) {
  const char Q = S[I++];
  while (I < S.size()) {
    if (S[I] == Q) return I + 1;
    if (S[I] == '\\' && I + 1 < S.size()) ++I;
    I = NextChar(Page, S, I);
  }
  return S.size();
}

}  // namespace

TByteRules CssRules(TCodePage Page) {
  TByteRules R;
  R.Page = Page;
  R.Comments = {{"/*", "*/"}};
  R.Quotes = "\"'";
  R.Escapes = true;
  R.MayDrop = [Page](std::string_view In, size_t I) {
    if (In[I] != ';') return false;
    for (size_t J = I + 1; J < In.size();) {
      if (IsSpaceByte(In[J])) {
        ++J;
      } else if (In.compare(J, 2, "/*") == 0) {
        const size_t E = FindText(Page, In, J + 2, "*/");
        if (E == std::string_view::npos) return false;
        J = E + 2;
      } else {
        return In[J] == '}';
      }
    }
    return false;
  };
  return R;
}

TByteRules XmlRules(TCodePage Page) {
  TByteRules R;
  R.Page = Page;
  R.Comments = {{"<!--", "-->"}};
  return R;
}

TByteRules PageRules(TCodePage Page) { return XmlRules(Page); }

TByteRules ScriptRules(TCodePage Page) {
  TByteRules R;
  R.Page = Page;
  R.Comments = {{"/*", "*/"}, {"//", "\n"}};
  R.Quotes = "\"'`";
  return R;
}

::testing::AssertionResult KeepsBytes(std::string_view In, std::string_view Out,
                                      const TByteRules& Rules) {
  size_t I = 0, J = 0;
  size_t Budget = 0;     // white-space bytes of the input's current gap
  bool Removed = false;  // a comment of the gap is gone
  auto Flush = [&](size_t& K) -> bool {
    const size_t Run = SpaceRun(Out, J);
    if (Run > Budget + (Removed ? 1 : 0)) return false;
    K = J + Run;
    return true;
  };
  auto Fault = [&](const char* Why) {
    return ::testing::AssertionFailure()
           << Why << ": input " << Around(In, I) << ", output " << Around(Out, J);
  };
  while (I < In.size()) {
    if (IsSpaceByte(In[I])) {
      const size_t Run = SpaceRun(In, I);
      Budget += Run;
      I += Run;
      continue;
    }
    bool Comment = false;
    for (const auto& [Open, Close] : Rules.Comments) {
      if (In.compare(I, Open.size(), Open) != 0) continue;
      size_t E = FindText(Rules.Page, In, I + Open.size(), Close);
      E = E == std::string_view::npos ? In.size() : E + Close.size();
      const std::string_view Whole = In.substr(I, E - I);
      const size_t K = J + SpaceRun(Out, J);
      if (Out.compare(K, Whole.size(), Whole) == 0) {
        size_t At;
        if (!Flush(At)) return Fault("white space grew before a comment");
        J = At + Whole.size();
        Budget = 0;
        Removed = false;
      } else {
        Removed = true;
      }
      I = E;
      Comment = true;
      break;
    }
    if (Comment) continue;
    size_t K;
    size_t Len;
    if (Rules.Quotes.find(In[I]) != std::string::npos)
      Len = StringEnd(Rules.Page, In, I) - I;
    else if (Rules.Escapes && In[I] == '\\' && I + 1 < In.size() && !IsSpaceByte(In[I + 1]))
      Len = 1 + CharLength(Rules.Page, In, I + 1);
    else
      Len = CharLength(Rules.Page, In, I);
    if (!Flush(K)) return Fault("white space grew");
    if (Out.compare(K, Len, In.substr(I, Len)) != 0) {
      if (Rules.MayDrop && Len == 1 && Rules.MayDrop(In, I)) {
        ++I;
        continue;
      }
      J = K;
      return Fault("byte changed, added or lost");
    }
    J = K + Len;
    I += Len;
    Budget = 0;
    Removed = false;
  }
  size_t K;
  if (!Flush(K)) return Fault("white space grew at the end");
  if (K != Out.size()) {
    J = K;
    return Fault("output goes on after the input's end");
  }
  return ::testing::AssertionSuccess();
}

std::vector<std::pair<std::string, std::string>> CorpusFiles(
    const std::string& Folder, const std::vector<std::string>& Extensions) {
  std::vector<std::pair<std::string, std::string>> Files;
  for (auto& [Name, Data] : larkspan::test::ReadTree(Folder)) {
    for (const std::string& Ext : Extensions) {
      if (EndsText(Ext, Name)) {
        Files.emplace_back(Name, Data);
        break;
      }
    }
  }
  return Files;
}

}  // namespace larkspan::minify::test
