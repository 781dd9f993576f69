#include "htmlparser/clHtmlParser.h"

#include <array>
#include <limits>
#include <stdexcept>

namespace larkspan {

namespace {

// Bytes the scanner itself acts on outside comments.
constexpr bool IsScannerByte(unsigned char C) { return C == '<' || C == '>' || C == '/'; }

// Byte classes for the scanner's fast path: a byte that is neither a lexeme
// byte (after folding) nor one the scanner acts on only extends the tag text
// or the pending text, and resets every lexeme match.
struct TByteClasses {
  std::array<bool, 256> Plain{};
  std::array<bool, 256> InertInComment{};

  explicit TByteClasses(const TclTagLexemChecker& Checker) {
    for (int C = 0; C < 256; ++C) {
      const bool Lexem = Checker.IsLexemByte(LowerAscii(static_cast<unsigned char>(C)));
      InertInComment[C] = !Lexem;
      Plain[C] = !Lexem && !IsScannerByte(static_cast<unsigned char>(C));
    }
  }
};

// Releases the per-parse table stack however the scan ends.
struct TOpenTablesGuard {
  std::unique_ptr<TclHtmlTagStack>& Tables;
  ~TOpenTablesGuard() { Tables.reset(); }
};

}  // namespace

TclHtmlParser::TclHtmlParser(TComponent* AOwner) : TComponent(AOwner) {
  InitLeafTags(LeafTagNames);
}

TclHtmlParser::~TclHtmlParser() = default;

void TclHtmlParser::Parse(const std::vector<std::string>& Lines) {
  size_t Size = 0;
  for (const auto& Line : Lines) Size += Line.size() + 2;
  std::string Text;
  Text.reserve(Size);
  for (const auto& Line : Lines) {
    Text += Line;
    Text += "\r\n";
  }
  Parse(Text);
}

void TclHtmlParser::Parse(const std::string& Text) {
  ClearResults();
  if (Text.empty()) return;
  // Positions are ints; a text they cannot count is refused rather than
  // given wrong positions.
  if (Text.size() > static_cast<size_t>(std::numeric_limits<int>::max()) - 2)
    throw std::length_error("HTML text too large to parse (2 GB or more)");
  Scan(Text);
  ExtractHeadInfo();
}

void TclHtmlParser::Scan(const std::string& Text) {
  FScanning = true;
  struct TScanningGuard {
    bool& Flag;
    ~TScanningGuard() { Flag = false; }
  } ScanningGuard{FScanning};
  bool InTag = false;
  bool IsClosing = false;
  bool InComment = false;
  std::string TagText;
  std::string PendingText;
  int TagStart = 1;
  TclHtmlTagStack NestStack;
  TclTagLexemChecker Checker;
  OpenTables = std::make_unique<TclHtmlTagStack>();
  TOpenTablesGuard Guard{OpenTables};
  ActiveLink = nullptr;
  InitLexems(&Checker);

  const TByteClasses Classes(Checker);

  const auto* Bytes = reinterpret_cast<const unsigned char*>(Text.data());
  const size_t N = Text.size();
  // Character starts are followed as the scan goes (never by rescanning).
  TclCharBoundary Boundary;
  size_t K = 0;
  while (K < N) {
    const auto& Skippable = InComment ? Classes.InertInComment : Classes.Plain;
    if (Skippable[Bytes[K]]) {
      size_t J = K + 1;
      while (J < N && Skippable[Bytes[J]]) ++J;
      Checker.ResetMatches();
      if (!InComment) {
        if (InTag)
          TagText.append(Text, K, J - K);
        else if (TextWanted())
          PendingText.append(Text, K, J - K);
      }
      Boundary.Skip(Bytes, K, J);
      K = J;
      continue;
    }

    const unsigned char C = Bytes[K];
    const int I = static_cast<int>(K) + 1;  // 1-based index of C
    const int Answer = Checker.CheckChar(LowerAscii(C));
    if (Answer == 1 && !InComment) {
      TagText.push_back(static_cast<char>(C));
      InComment = true;
      ProcessTag(TagText, NestStack.Top(), I, TagStart + 1);
      InTag = false;
      IsClosing = false;
    } else if (Answer == 2) {
      InComment = false;
      if (IncludeClosingTags) {
        TclHtmlTag* Owner = NestStack.IsEmpty() ? nullptr : NestStack.Top()->OwnerTag;
        const int LexemLength = static_cast<int>(
            Checker.CloseLexems[static_cast<size_t>(Checker.MatchedIndex)].first.size());
        CreateTag(TagText, std::string(), Owner, I - LexemLength + 1)->IsEndTag = true;
      }
    }

    if (!InComment) {
      // The byte before is a whole character (only then can it be "<" or "/").
      const bool PrevIsByte = K > 0 && Boundary.PreviousIsStart();
      switch (C) {
        case '/':
          if (InTag) {
            if (PrevIsByte && Bytes[K - 1] == '<')
              IsClosing = true;
            else if (K + 1 < N && Bytes[K + 1] != '>')
              TagText.push_back('/');
          } else if (TextWanted()) {
            PendingText.push_back('/');
          }
          break;
        case '<':
          if (!InTag) {
            TagText.clear();
            TagStart = I;
            InTag = true;
            if (TextWanted() && !PendingText.empty()) {
              ProcessText(PendingText, NestStack.Top(), I - static_cast<int>(PendingText.size()));
              PendingText.clear();
            }
          }
          break;
        case '>':
          if (InTag) {
            if (IsClosing) {
              EndClosingTag(TagText, NestStack, I);
            } else if (TagsWanted()) {
              EndOpeningTag(TagText, NestStack, I, TagStart, PrevIsByte && Bytes[K - 1] == '/');
            }
            InTag = false;
            IsClosing = false;
            TagText.clear();
            TagStart = I;
          }
          break;
        default:
          if (InTag)
            TagText.push_back(static_cast<char>(C));
          else if (TextWanted())
            PendingText.push_back(static_cast<char>(C));
          break;
      }
    }
    Boundary.Step(C);
    ++K;
  }
  // Whatever is still pending (an unfinished tag, unflushed text, an open
  // comment) is dropped; the guard releases OpenTables.
}

void TclHtmlParser::EndClosingTag(const std::string& TagText, TclHtmlTagStack& NestStack, int I) {
  TclHtmlTag* Owner = nullptr;
  if (!NestStack.IsEmpty()) {
    Owner = NestStack.Top()->OwnerTag;
    if (HtmlSameText(NestStack.Top()->TagName, TagText)) {
      NestStack.Pop();
      if (OpenTables && !OpenTables->IsEmpty() && HtmlSameText(TagText, "table")) OpenTables->Pop();
    }
  }
  if (HtmlSameText(TagText, "a")) ActiveLink = nullptr;
  if (IncludeClosingTags) {
    CreateTag(TagText, std::string(), Owner, I - static_cast<int>(TagText.size()) - 2)->IsEndTag =
        true;
  }
}

void TclHtmlParser::EndOpeningTag(const std::string& TagText, TclHtmlTagStack& NestStack, int I,
                                  int TagStart, bool SlashBefore) {
  const bool Leaf = SlashBefore || IsLeafTag(TagText);
  TclHtmlTag* Tag = ProcessTag(TagText, NestStack.Top(), I, TagStart + 1);
  if (Leaf) {
    if (Tag && HtmlSameText(Tag->TagName, "a")) ActiveLink = nullptr;
  } else if (Tag) {
    NestStack.Push(Tag);
  }
}

TclHtmlTag* TclHtmlParser::ProcessText(std::string_view Text, TclHtmlTag* Owner, int Pos) {
  auto* Tag = MakeInArena<TclHtmlTag>(std::string(), std::string(Text), Owner, this);
  AppendTag(Tag);
  if (ActiveLink) ActiveLink->LinkTags.Add(Tag);
  Tag->ContentPos = Pos;
  const bool InCell = AddToOpenCell(Tag);
  Tag->IsTextNode = true;
  DoParseTag(Tag);
  if (InCell && OpenTables && !OpenTables->IsEmpty()) {
    auto* Table = static_cast<TclHtmlTable*>(OpenTables->Top());
    TclHtmlTableRow* Row = Table->TableRows.Last();
    DoParseTableCellTag(Table, Row, Row ? Row->RowCells.Last() : nullptr, Tag);
  }
  return Tag;
}

TclHtmlTag* TclHtmlParser::ProcessTag(std::string_view TagText, TclHtmlTag* Owner, int EndPos,
                                      int NamePos) {
  if (TagText.empty()) return nullptr;
  size_t NameLength = 0;
  while (NameLength < TagText.size() &&
         CharClass(static_cast<unsigned char>(TagText[NameLength])) == 0)
    ++NameLength;
  TclHtmlTag* Tag =
      CreateTag(TagText.substr(0, NameLength), StripLineBreaks(TagText), Owner, EndPos + 1);
  if (ActiveLink) ActiveLink->LinkTags.Add(Tag);
  Tag->FinishParse(TagText.substr(NameLength), NamePos + static_cast<int>(NameLength));
  return Tag;
}

TclHtmlTag* TclHtmlParser::CreateTag(std::string_view Name, std::string Source, TclHtmlTag* Owner,
                                     int Pos) {
  // The class is chosen by the name, ignoring case; the length narrows the
  // candidates first, as this runs for every tag of the page.
  enum TKind { kPlain, kLink, kImage, kCell, kRow, kTable, kForm, kFrame, kMeta } Kind = kPlain;
  auto Is = [&](std::string_view Known) { return HtmlSameText(Name, Known); };
  switch (Name.size()) {
    case 1:
      if (Is("a")) Kind = kLink;
      break;
    case 2:
      if (Is("td") || Is("th"))
        Kind = kCell;
      else if (Is("tr"))
        Kind = kRow;
      break;
    case 3:
      if (Is("img")) Kind = kImage;
      break;
    case 4:
      if (Is("form"))
        Kind = kForm;
      else if (Is("meta"))
        Kind = kMeta;
      break;
    case 5:
      if (Is("table"))
        Kind = kTable;
      else if (Is("frame"))
        Kind = kFrame;
      break;
    case 6:
      if (Is("iframe")) Kind = kFrame;
      break;
    default:
      break;
  }
  std::string TagName(Name);
  TclHtmlTag* Tag;
  switch (Kind) {
    case kLink:
      Tag = MakeInArena<TclHtmlLink>(std::move(TagName), std::move(Source), Owner, this);
      break;
    case kImage:
      Tag = MakeInArena<TclHtmlImage>(std::move(TagName), std::move(Source), Owner, this);
      break;
    case kCell:
      Tag = MakeInArena<TclHtmlTableCell>(std::move(TagName), std::move(Source), Owner, this);
      break;
    case kRow:
      Tag = MakeInArena<TclHtmlTableRow>(std::move(TagName), std::move(Source), Owner, this);
      break;
    case kTable:
      Tag = MakeInArena<TclHtmlTable>(std::move(TagName), std::move(Source), Owner, this);
      break;
    case kForm:
      Tag = MakeInArena<TclHtmlForm>(std::move(TagName), std::move(Source), Owner, this);
      break;
    case kFrame:
      Tag = MakeInArena<TclHtmlFrame>(std::move(TagName), std::move(Source), Owner, this);
      break;
    case kMeta:
      Tag = MakeInArena<TclHtmlMetaTag>(std::move(TagName), std::move(Source), Owner, this);
      break;
    default:
      Tag = MakeInArena<TclHtmlTag>(std::move(TagName), std::move(Source), Owner, this);
      break;
  }
  AppendTag(Tag);
  Tag->ContentPos = Pos;
  return Tag;
}

void TclHtmlParser::InitLexems(TclTagLexemChecker* Checker) {
  Checker->AddLexemPair("<!--", "-->");
}

void TclHtmlParser::InitLeafTags(std::vector<std::string>& Names) {
  Names = {"br", "input", "select", "textarea", "frame", "iframe", "img", "!doctype", "link"};
}

bool TclHtmlParser::IsLeafTag(std::string_view TagText) const {
  if (TagText.empty()) return true;
  size_t End = 0;
  while (End < TagText.size() && CharClass(static_cast<unsigned char>(TagText[End])) == 0) ++End;
  size_t Begin = 0;
  while (Begin < End && static_cast<unsigned char>(TagText[Begin]) <= ' ') ++Begin;
  while (End > Begin && static_cast<unsigned char>(TagText[End - 1]) <= ' ') --End;
  const std::string_view Name = TagText.substr(Begin, End - Begin);
  for (const auto& Leaf : LeafTagNames) {
    if (HtmlSameText(Leaf, Name)) return true;
  }
  return false;
}

void TclHtmlParser::ClearResults() {
  // From a handler this would destroy the objects the scan is working on.
  if (FScanning)
    throw std::logic_error("TclHtmlParser: results cleared from one of its own event handlers");
  ActiveLink = nullptr;  // it is about to be destroyed
  ParsedTags.Clear();
  ParsedForms.Clear();
  ParsedLinks.Clear();
  ParsedImages.Clear();
  ParsedTables.Clear();
  ParsedFrames.Clear();
  ParsedMetaTags.Clear();
  FArena.Reset();
  PageTitle.clear();
  PageAuthor.clear();
  PageDescription.clear();
  PageKeywords.clear();
}

TclHtmlAttribute* TclHtmlParser::NewAttribute(TclHtmlTag* Tag, std::string_view Name,
                                              std::string_view Value, int Pos) {
  // An attribute lives in the arena only when its tag's life ends with this
  // parser's results; a tag made elsewhere gets one from the heap.
  // The arena also takes the attribute's texts, with no per-text overhead.
  TclHtmlAttribute* Attribute;
  if (Tag->FInArena && Tag->OwnerParser == this) {
    char* Text = nullptr;
    if (!Name.empty() || !Value.empty()) {
      Text = static_cast<char*>(FArena.Allocate(Name.size() + Value.size(), 1));
      Name.copy(Text, Name.size());
      Value.copy(Text + Name.size(), Value.size());
    }
    Attribute = MakeInArena<TclHtmlAttribute>(Text, Name.size(), Value.size());
  } else {
    Attribute = new TclHtmlAttribute(std::string(Name), std::string(Value));
  }
  Attribute->ValuePos = Value.empty() ? 0 : Pos;
  Tag->AddAttribute(Attribute);
  DoParseAttribute(Tag, Attribute);
  return Attribute;
}

void TclHtmlParser::AppendTag(TclHtmlTag* Tag) {
  TclHtmlTag* Previous = ParsedTags.Last();
  try {
    ParsedTags.Add(Tag);
  } catch (...) {
    TclHtmlTag::Destroy(Tag);
    throw;
  }
  if (Previous) Previous->FollowingTag = Tag;
}

bool TclHtmlParser::AddToOpenCell(TclHtmlTag* Tag) {
  if (!OpenTables || OpenTables->IsEmpty()) return false;
  auto* Table = static_cast<TclHtmlTable*>(OpenTables->Top());
  TclHtmlTableRow* Row = Table->TableRows.Last();
  if (!Row) return false;
  TclHtmlTableCell* Cell = Row->RowCells.Last();
  if (!Cell) return false;
  Cell->CellTags.Add(Tag);
  return true;
}

void TclHtmlParser::AttachFormControl(TclHtmlTag* Control, TclHtmlTag* Candidate) {
  while (Candidate && !dynamic_cast<TclHtmlForm*>(Candidate)) Candidate = Candidate->OwnerTag;
  if (!Candidate) return;
  auto* Form = static_cast<TclHtmlForm*>(Candidate);
  Form->FormControls.Add(Control);
  DoParseFormControl(Form, Control);
}

void TclHtmlParser::ExtractHeadInfo() {
  TclHtmlTag* Title = ParsedTags.FindTag("title");
  if (Title && Title->FollowingTag && Title->FollowingTag->IsTextNode)
    PageTitle = Title->FollowingTag->ContentText();
  if (TclHtmlTag* Meta = ParsedMetaTags.FindTagWithAttr("meta", "name", nullptr, "author"))
    PageAuthor = Meta->AttributeValue("content");
  if (TclHtmlTag* Meta = ParsedMetaTags.FindTagWithAttr("meta", "name", nullptr, "description"))
    PageDescription = Meta->AttributeValue("content");
  if (TclHtmlTag* Meta = ParsedMetaTags.FindTagWithAttr("meta", "name", nullptr, "keywords"))
    PageKeywords = Meta->AttributeValue("content");
}

// ---------------------------------------------------------------- dispatchers

void TclHtmlParser::DoParseTag(TclHtmlTag* ATag) {
  if (OnParseTag) OnParseTag(this, ATag);
}
void TclHtmlParser::DoParseAttribute(TclHtmlTag* ATag, TclHtmlAttribute* Attribute) {
  if (OnParseAttribute) OnParseAttribute(this, ATag, Attribute);
}
void TclHtmlParser::DoParseForm(TclHtmlForm* AForm) {
  if (OnParseForm) OnParseForm(this, AForm);
}
void TclHtmlParser::DoParseLink(TclHtmlLink* ALink) {
  if (OnParseLink) OnParseLink(this, ALink);
}
void TclHtmlParser::DoParseFrame(TclHtmlFrame* AFrame) {
  if (OnParseFrame) OnParseFrame(this, AFrame);
}
void TclHtmlParser::DoParseImage(TclHtmlImage* AImage) {
  if (OnParseImage) OnParseImage(this, AImage);
}
void TclHtmlParser::DoParseFormControl(TclHtmlForm* AForm, TclHtmlTag* AControl) {
  if (OnParseFormControl) OnParseFormControl(this, AForm, AControl);
}
void TclHtmlParser::DoParseTable(TclHtmlTable* ATable) {
  if (OnParseTable) OnParseTable(this, ATable);
}
void TclHtmlParser::DoParseTableRow(TclHtmlTable* ATable, TclHtmlTableRow* ARow) {
  if (OnParseTableRow) OnParseTableRow(this, ATable, ARow);
}
void TclHtmlParser::DoParseTableCell(TclHtmlTable* ATable, TclHtmlTableRow* ARow,
                                     TclHtmlTableCell* ACell) {
  if (OnParseTableCell) OnParseTableCell(this, ATable, ARow, ACell);
}
void TclHtmlParser::DoParseTableCellTag(TclHtmlTable* ATable, TclHtmlTableRow* ARow,
                                        TclHtmlTableCell* ACell, TclHtmlTag* ATag) {
  if (OnParseTableCellTag) OnParseTableCellTag(this, ATable, ARow, ACell, ATag);
}
void TclHtmlParser::DoParseMetaTag(TclHtmlMetaTag* ATag) {
  if (OnParseMetaTag) OnParseMetaTag(this, ATag);
}

}  // namespace larkspan
