// The attribute tokenizer: one pass over a tag's text after its name, with a
// handful of flags. It validates nothing; every byte sequence yields some
// attributes (possibly none) and never an error.
#include "htmlparser/clHtmlParser.h"

namespace larkspan {

void TclHtmlParser::ParseAttributes(TclHtmlTag* Tag, std::string_view Rest, int BasePos) {
  if (Rest.empty() || HtmlSameText(Tag->TagName, "!DOCTYPE")) return;

  std::string Name;
  std::string Value;
  bool NameOn = false;          // a name has been started and not yet consumed
  bool ValueOn = false;         // a value has been started and not yet emitted
  size_t ValueStart = 0;        // offset in Rest of the value's first byte
  bool AfterEquals = false;     // the bytes that follow belong to the value
  bool SpaceAfterName = false;  // the name is complete unless "=" comes next
  bool InQuotes = false;
  char QuoteChar = 0;

  // Appending to a text that is not "on" replaces what it held.
  auto AppendName = [&](char C) {
    if (!NameOn) {
      NameOn = true;
      Name.assign(1, C);
    } else {
      Name.push_back(C);
    }
  };
  auto AppendValue = [&](char C, size_t Offset) {
    if (!ValueOn) {
      ValueOn = true;
      ValueStart = Offset;
      Value.assign(1, C);
    } else {
      Value.push_back(C);
    }
  };
  auto EmitWithValue = [&] {
    NewAttribute(Tag, Name, Value, BasePos + static_cast<int>(ValueStart));
  };
  auto EmitWithoutValue = [&] { NewAttribute(Tag, Name, std::string_view(), 0); };
  auto Reset = [&] { NameOn = AfterEquals = ValueOn = InQuotes = false; };

  for (size_t Offset = 0; Offset < Rest.size(); ++Offset) {
    const char C = Rest[Offset];
    switch (CharClass(static_cast<unsigned char>(C))) {
      case 0:
        if (SpaceAfterName) {
          EmitWithoutValue();
          Reset();
          AppendName(C);
        } else if (AfterEquals) {
          AppendValue(C, Offset);
        } else if (ValueOn) {  // a closed quoted value ends here
          EmitWithValue();
          Reset();
          AppendName(C);
        } else {
          AppendName(C);
        }
        SpaceAfterName = false;
        break;
      case 1:
        if (AfterEquals && InQuotes && C != QuoteChar) {
          AppendValue(C, Offset);
        } else if (AfterEquals && InQuotes) {
          // Closing quote. An empty value is emitted at once; a non-empty one
          // by whatever byte ends it next, or at the end.
          if (!ValueOn) EmitWithoutValue();
          InQuotes = false;
          AfterEquals = false;
        } else if (AfterEquals) {
          QuoteChar = C;
          InQuotes = true;
        } else {
          // A quote where no value is awaited drops the pending name and any
          // closed value not yet emitted.
          NameOn = AfterEquals = ValueOn = InQuotes = false;
        }
        SpaceAfterName = false;
        break;
      case 2:
        if (InQuotes || ValueOn) {
          AppendValue(C, Offset);
        } else {
          AfterEquals = NameOn;
          NameOn = false;
          ValueOn = false;
        }
        SpaceAfterName = false;
        break;
      default:  // white space
        if (InQuotes) {
          AppendValue(C, Offset);
        } else if (ValueOn) {
          EmitWithValue();
          Reset();
        } else if (NameOn) {
          SpaceAfterName = true;
        }
        break;
    }
  }
  if (ValueOn)
    EmitWithValue();
  else if (NameOn)
    EmitWithoutValue();
}

}  // namespace larkspan
