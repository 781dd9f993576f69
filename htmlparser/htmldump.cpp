// htmldump: parses one file and prints every event in the order raised, then
// the parsed objects and the head texts. Fields are separated by TAB; TAB, CR,
// LF, backslash and other bytes below 0x20 are written as \t, \r, \n, \\, \xHH.
//
//   htmldump [--method all|tags|text] [--closing] [--lines] [--quiet] FILE
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "htmlparser/clHtmlParser.h"

using namespace larkspan;

namespace {

std::string Escape(const std::string& Text) {
  std::string Out;
  Out.reserve(Text.size());
  for (unsigned char C : Text) {
    switch (C) {
      case '\t':
        Out += "\\t";
        break;
      case '\r':
        Out += "\\r";
        break;
      case '\n':
        Out += "\\n";
        break;
      case '\\':
        Out += "\\\\";
        break;
      default:
        if (C < 0x20) {
          char Buf[5];
          std::snprintf(Buf, sizeof Buf, "\\x%02X", C);
          Out += Buf;
        } else {
          Out.push_back(static_cast<char>(C));
        }
    }
  }
  return Out;
}

const char* ClassName(const TclHtmlTag* Tag) {
  if (dynamic_cast<const TclHtmlForm*>(Tag)) return "TclHtmlForm";
  if (dynamic_cast<const TclHtmlLink*>(Tag)) return "TclHtmlLink";
  if (dynamic_cast<const TclHtmlFrame*>(Tag)) return "TclHtmlFrame";
  if (dynamic_cast<const TclHtmlImage*>(Tag)) return "TclHtmlImage";
  if (dynamic_cast<const TclHtmlTable*>(Tag)) return "TclHtmlTable";
  if (dynamic_cast<const TclHtmlTableRow*>(Tag)) return "TclHtmlTableRow";
  if (dynamic_cast<const TclHtmlTableCell*>(Tag)) return "TclHtmlTableCell";
  if (dynamic_cast<const TclHtmlMetaTag*>(Tag)) return "TclHtmlMetaTag";
  return "TclHtmlTag";
}

// Splits at CR LF, lone CR and lone LF; a final line break ends the last line
// rather than starting an empty one.
std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> Lines;
  size_t Start = 0;
  size_t I = 0;
  while (I < Text.size()) {
    if (Text[I] == '\r' || Text[I] == '\n') {
      Lines.emplace_back(Text, Start, I - Start);
      if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
      Start = ++I;
    } else {
      ++I;
    }
  }
  if (Start < Text.size()) Lines.emplace_back(Text, Start);
  return Lines;
}

int Usage() {
  std::cerr << "usage: htmldump [--method all|tags|text] [--closing] [--lines] [--quiet] FILE\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  TclHtmlParseMethod Method = pmTagsOnly;
  bool Closing = false, AsLines = false, Quiet = false;
  const char* Path = nullptr;
  for (int A = 1; A < argc; ++A) {
    if (!std::strcmp(argv[A], "--method") && A + 1 < argc) {
      const std::string M = argv[++A];
      if (M == "all")
        Method = pmAll;
      else if (M == "tags")
        Method = pmTagsOnly;
      else if (M == "text")
        Method = pmTextOnly;
      else
        return Usage();
    } else if (!std::strcmp(argv[A], "--closing")) {
      Closing = true;
    } else if (!std::strcmp(argv[A], "--lines")) {
      AsLines = true;
    } else if (!std::strcmp(argv[A], "--quiet")) {
      Quiet = true;
    } else if (argv[A][0] == '-' || Path) {
      return Usage();
    } else {
      Path = argv[A];
    }
  }
  if (!Path) return Usage();
  std::ifstream In(Path, std::ios::binary);
  if (!In) {
    std::cerr << "htmldump: cannot open " << Path << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  std::ostringstream Buffer;
  Buffer << In.rdbuf();
  const std::string Text = Buffer.str();

  TclHtmlParser Parser;
  Parser.ParseMethod = Method;
  Parser.IncludeClosingTags = Closing;

  std::string Out;
  long Events = 0;
  auto Line = [&](std::initializer_list<std::string> Fields) {
    ++Events;
    if (Quiet) return;
    bool First = true;
    for (const auto& F : Fields) {
      if (!First) Out.push_back('\t');
      Out += F;
      First = false;
    }
    Out.push_back('\n');
  };
  auto Pos = [](const TclHtmlTag* T) { return std::to_string(T ? T->ContentPos : 0); };
  auto Name = [](const TclHtmlTag* T) { return Escape(T ? T->TagName : std::string()); };

  Parser.OnParseAttribute = [&](TObject*, TclHtmlTag* T, TclHtmlAttribute* A) {
    Line({"OnParseAttribute", Name(T), Escape(A->AttrName), Escape(A->AttrValue),
          std::to_string(A->ValuePos)});
  };
  Parser.OnParseTag = [&](TObject*, TclHtmlTag* T) {
    Line({"OnParseTag", Name(T), Pos(T), T->IsTextNode ? "1" : "0", Escape(T->SourceText)});
  };
  Parser.OnParseImage = [&](TObject*, TclHtmlImage* T) {
    Line({"OnParseImage", Pos(T), Escape(T->Src())});
  };
  Parser.OnParseLink = [&](TObject*, TclHtmlLink* T) {
    Line({"OnParseLink", Pos(T), Escape(T->SourceText)});
  };
  Parser.OnParseForm = [&](TObject*, TclHtmlForm* T) { Line({"OnParseForm", Pos(T)}); };
  Parser.OnParseFrame = [&](TObject*, TclHtmlFrame* T) { Line({"OnParseFrame", Pos(T)}); };
  Parser.OnParseMetaTag = [&](TObject*, TclHtmlMetaTag* T) { Line({"OnParseMetaTag", Pos(T)}); };
  Parser.OnParseTable = [&](TObject*, TclHtmlTable* T) { Line({"OnParseTable", Pos(T)}); };
  Parser.OnParseTableRow = [&](TObject*, TclHtmlTable* T, TclHtmlTableRow* R) {
    Line({"OnParseTableRow", Pos(T), Pos(R)});
  };
  Parser.OnParseTableCell = [&](TObject*, TclHtmlTable* T, TclHtmlTableRow* R,
                                TclHtmlTableCell* C) {
    Line({"OnParseTableCell", Pos(T), Pos(R), Pos(C)});
  };
  Parser.OnParseTableCellTag = [&](TObject*, TclHtmlTable* T, TclHtmlTableRow* R,
                                   TclHtmlTableCell* C, TclHtmlTag* G) {
    Line({"OnParseTableCellTag", Pos(T), Pos(R), Pos(C), Name(G), Pos(G)});
  };
  Parser.OnParseFormControl = [&](TObject*, TclHtmlForm* F, TclHtmlTag* C) {
    Line({"OnParseFormControl", Pos(F), Name(C), Pos(C)});
  };

  if (AsLines)
    Parser.Parse(SplitLines(Text));
  else
    Parser.Parse(Text);

  if (Quiet) {
    std::cerr << "htmldump: " << Events << " events, " << Parser.ParsedTags.Count() << " objects\n";
    return 0;
  }
  std::unordered_map<const TclHtmlTag*, int> Index;
  for (int I = 0; I < Parser.ParsedTags.Count(); ++I) Index[Parser.ParsedTags.Items(I)] = I;
  for (int I = 0; I < Parser.ParsedTags.Count(); ++I) {
    const TclHtmlTag* T = Parser.ParsedTags.Items(I);
    const auto Owner = Index.find(T->OwnerTag);
    Line({"ParsedTags", std::to_string(I), ClassName(T), Name(T), Pos(T), T->IsEndTag ? "1" : "0",
          T->IsTextNode ? "1" : "0", std::to_string(Owner == Index.end() ? -1 : Owner->second),
          Escape(T->SourceText)});
  }
  Line({"PageTitle", Escape(Parser.PageTitle)});
  Line({"PageAuthor", Escape(Parser.PageAuthor)});
  Line({"PageDescription", Escape(Parser.PageDescription)});
  Line({"PageKeywords", Escape(Parser.PageKeywords)});
  std::fwrite(Out.data(), 1, Out.size(), stdout);
  return 0;
}
