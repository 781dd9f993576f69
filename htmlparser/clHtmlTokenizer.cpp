// The attribute tokenizer: one pass over a tag's text after its name, with a
// handful of flags. It validates nothing; every byte sequence yields some
// attributes (possibly none) and never an error.
#include "htmlparser/clHtmlParser.h"

namespace larkspan {

namespace {

// The attribute being read from Rest: its name and value, each "on" from its
// first byte until it is consumed. Appending to a text that is not on replaces
// what it held.
struct TAttributeText {
  explicit TAttributeText(std::string_view ARest) : Rest(ARest) {}

  std::string_view Rest;
  std::string Name;
  std::string Value;
  bool NameOn = false;    // a name has been started and not yet consumed
  bool ValueOn = false;   // a value has been started and not yet emitted
  size_t ValueStart = 0;  // offset in Rest of the value's first byte

  void AppendName(char C) {
    if (!NameOn) {
      NameOn = true;
      Name.assign(1, C);
    } else {
      Name.push_back(C);
    }
  }
  void AppendValue(char C, size_t Offset) {
    if (!ValueOn) {
      ValueOn = true;
      ValueStart = Offset;
      Value.assign(1, C);
    } else {
      Value.push_back(C);
    }
  }
  // Appends Rest[From, To) to the value, as the byte-by-byte rules would.
  void AppendValueRun(size_t From, size_t To) {
    if (From == To) return;
    if (!ValueOn) {
      ValueOn = true;
      ValueStart = From;
      Value.assign(Rest.data() + From, To - From);
    } else {
      Value.append(Rest.data() + From, To - From);
    }
  }
};

}  // namespace

void TclHtmlParser::ParseAttributes(TclHtmlTag* Tag, std::string_view Rest, int BasePos) {
  if (Rest.empty() || HtmlSameText(Tag->TagName, "!DOCTYPE")) return;

  TAttributeText A(Rest);
  bool AfterEquals = false;     // the bytes that follow belong to the value
  bool SpaceAfterName = false;  // the name is complete unless "=" comes next
  bool InQuotes = false;
  char QuoteChar = 0;

  auto EmitWithValue = [&] {
    NewAttribute(Tag, A.Name, A.Value, BasePos + static_cast<int>(A.ValueStart));
  };
  auto EmitWithoutValue = [&] { NewAttribute(Tag, A.Name, std::string_view(), 0); };
  auto Reset = [&] { A.NameOn = AfterEquals = A.ValueOn = InQuotes = false; };

  const size_t Size = Rest.size();
  size_t Offset = 0;
  while (Offset < Size) {
    const char C = Rest[Offset];
    if (InQuotes) {
      // Inside quotes every byte but the closing quote joins the value.
      size_t End = Offset;
      while (End < Size && Rest[End] != QuoteChar) ++End;
      A.AppendValueRun(Offset, End);
      Offset = End;
      if (Offset == Size) break;
      // The closing quote. An empty value is emitted at once; a non-empty
      // one by whatever byte ends it next, or at the end.
      if (!A.ValueOn) EmitWithoutValue();
      InQuotes = false;
      AfterEquals = false;
      SpaceAfterName = false;
      ++Offset;
      continue;
    }
    switch (CharClass(static_cast<unsigned char>(C))) {
      case 0: {
        // A run of ordinary bytes: the first decides where the run goes,
        // the rest follow it.
        size_t End = Offset + 1;
        while (End < Size && CharClass(static_cast<unsigned char>(Rest[End])) == 0) ++End;
        if (SpaceAfterName) {
          EmitWithoutValue();
          Reset();
          A.AppendName(C);
        } else if (AfterEquals) {
          A.AppendValue(C, Offset);
        } else if (A.ValueOn) {  // a closed quoted value ends here
          EmitWithValue();
          Reset();
          A.AppendName(C);
        } else {
          A.AppendName(C);
        }
        SpaceAfterName = false;
        if (AfterEquals)
          A.AppendValueRun(Offset + 1, End);
        else
          A.Name.append(Rest.data() + Offset + 1, End - Offset - 1);
        Offset = End;
        continue;
      }
      case 1:
        if (AfterEquals) {
          QuoteChar = C;  // an opening quote, also in the middle of an unquoted value
          InQuotes = true;
        } else {
          // A quote where no value is awaited drops the pending name and any
          // closed value not yet emitted.
          A.NameOn = AfterEquals = A.ValueOn = InQuotes = false;
        }
        SpaceAfterName = false;
        break;
      case 2:
        if (A.ValueOn) {
          A.AppendValue(C, Offset);
        } else {
          AfterEquals = A.NameOn;
          A.NameOn = false;
          A.ValueOn = false;
        }
        SpaceAfterName = false;
        break;
      default:  // white space
        if (A.ValueOn) {
          EmitWithValue();
          Reset();
        } else if (A.NameOn) {
          SpaceAfterName = true;
        }
        break;
    }
    ++Offset;
  }
  if (A.ValueOn)
    EmitWithValue();
  else if (A.NameOn)
    EmitWithoutValue();
}

}  // namespace larkspan
