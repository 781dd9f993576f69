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

  // Appends Rest[From, To) to the value, as the byte-by-byte rules would.
  auto AppendValueRun = [&](size_t From, size_t To) {
    if (From == To) return;
    if (!ValueOn) {
      ValueOn = true;
      ValueStart = From;
      Value.assign(Rest.data() + From, To - From);
    } else {
      Value.append(Rest.data() + From, To - From);
    }
  };

  const size_t Size = Rest.size();
  size_t Offset = 0;
  while (Offset < Size) {
    const char C = Rest[Offset];
    if (InQuotes) {
      // Inside quotes every byte but the closing quote joins the value.
      size_t End = Offset;
      while (End < Size && Rest[End] != QuoteChar) ++End;
      AppendValueRun(Offset, End);
      Offset = End;
      if (Offset == Size) break;
      // The closing quote. An empty value is emitted at once; a non-empty
      // one by whatever byte ends it next, or at the end.
      if (!ValueOn) EmitWithoutValue();
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
        if (AfterEquals)
          AppendValueRun(Offset + 1, End);
        else
          Name.append(Rest.data() + Offset + 1, End - Offset - 1);
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
          NameOn = AfterEquals = ValueOn = InQuotes = false;
        }
        SpaceAfterName = false;
        break;
      case 2:
        if (ValueOn) {
          AppendValue(C, Offset);
        } else {
          AfterEquals = NameOn;
          NameOn = false;
          ValueOn = false;
        }
        SpaceAfterName = false;
        break;
      default:  // white space
        if (ValueOn) {
          EmitWithValue();
          Reset();
        } else if (NameOn) {
          SpaceAfterName = true;
        }
        break;
    }
    ++Offset;
  }
  if (ValueOn)
    EmitWithValue();
  else if (NameOn)
    EmitWithoutValue();
}

}  // namespace larkspan
