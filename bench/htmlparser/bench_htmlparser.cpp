// Parser throughput driver. Reads every file first, then times parsing only.
//
//   bench_htmlparser MODE REPEAT FILE...
//
// MODE: tags   pmTagsOnly with only OnParseImage assigned (the engine's use)
//       all    pmAll with every event assigned
//       gumbo  Debian's gumbo parser on the same bytes
// Prints: MODE BYTES BEST_SECONDS MB/s OBJECTS (MB = 10^6 bytes), the best of
// REPEAT runs over all files.
#include <gumbo.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "htmlparser/clHtmlParser.h"

using namespace larkspan;

namespace {

long CountGumbo(const GumboNode* Node) {
  long N = 1;
  if (Node->type == GUMBO_NODE_ELEMENT || Node->type == GUMBO_NODE_DOCUMENT) {
    const GumboVector& Children =
        Node->type == GUMBO_NODE_ELEMENT ? Node->v.element.children : Node->v.document.children;
    for (unsigned I = 0; I < Children.length; ++I)
      N += CountGumbo(static_cast<const GumboNode*>(Children.data[I]));
  }
  return N;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_htmlparser tags|all|gumbo REPEAT FILE...\n");
    return 2;
  }
  const std::string Mode = argv[1];
  const int Repeat = std::atoi(argv[2]);
  std::vector<std::string> Pages;
  size_t Bytes = 0;
  for (int A = 3; A < argc; ++A) {
    std::ifstream In(argv[A], std::ios::binary);
    std::ostringstream S;
    S << In.rdbuf();
    Pages.push_back(S.str());
    Bytes += Pages.back().size();
  }

  TclHtmlParser Parser;  // one parser for every page, as the engine does
  long Events = 0;
  std::string Sink;
  if (Mode == "tags") {
    Parser.ParseMethod = pmTagsOnly;
    Parser.OnParseImage = [&](TObject*, TclHtmlImage* I) {
      Sink = I->Src();
      Events += static_cast<long>(I->SourceText.size()) + I->ContentPos;
    };
  } else if (Mode == "all") {
    Parser.ParseMethod = pmAll;
    auto E = [&](TclHtmlTag* T) { Events += T->ContentPos; };
    Parser.OnParseTag = [&](TObject*, TclHtmlTag* T) { E(T); };
    Parser.OnParseAttribute = [&](TObject*, TclHtmlTag* T, TclHtmlAttribute* A) {
      Events += A->ValuePos;
    };
    Parser.OnParseForm = [&](TObject*, TclHtmlForm* T) { E(T); };
    Parser.OnParseLink = [&](TObject*, TclHtmlLink* T) { E(T); };
    Parser.OnParseFrame = [&](TObject*, TclHtmlFrame* T) { E(T); };
    Parser.OnParseImage = [&](TObject*, TclHtmlImage* T) { Sink = T->Src(); };
    Parser.OnParseFormControl = [&](TObject*, TclHtmlForm*, TclHtmlTag* T) { E(T); };
    Parser.OnParseTable = [&](TObject*, TclHtmlTable* T) { E(T); };
    Parser.OnParseTableRow = [&](TObject*, TclHtmlTable*, TclHtmlTableRow* T) { E(T); };
    Parser.OnParseTableCell = [&](TObject*, TclHtmlTable*, TclHtmlTableRow*, TclHtmlTableCell* T) {
      E(T);
    };
    Parser.OnParseTableCellTag = [&](TObject*, TclHtmlTable*, TclHtmlTableRow*, TclHtmlTableCell*,
                                     TclHtmlTag* T) { E(T); };
    Parser.OnParseMetaTag = [&](TObject*, TclHtmlMetaTag* T) { E(T); };
  } else if (Mode != "gumbo") {
    std::fprintf(stderr, "bench_htmlparser: unknown mode %s\n", Mode.c_str());
    return 2;
  }

  double Best = 1e30;
  long Objects = 0;
  for (int R = 0; R < Repeat; ++R) {
    Objects = 0;
    const auto Start = std::chrono::steady_clock::now();
    for (const auto& Page : Pages) {
      if (Mode == "gumbo") {
        GumboOutput* Out =
            gumbo_parse_with_options(&kGumboDefaultOptions, Page.data(), Page.size());
        Objects += CountGumbo(Out->document);
        gumbo_destroy_output(&kGumboDefaultOptions, Out);
      } else {
        Parser.Parse(Page);
        Objects += Parser.ParsedTags.Count();
      }
    }
    const double Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (Seconds < Best) Best = Seconds;
  }
  std::printf("%s %zu %.4f %.1f %ld\n", Mode.c_str(), Bytes, Best, Bytes / 1e6 / Best, Objects);
  return Events == -1;  // keeps the handlers' work observable
}
