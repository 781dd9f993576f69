#include "htmlparser/clHtmlTags.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>

#include "htmlparser/clHtmlLexem.h"
#include "htmlparser/clHtmlParser.h"

namespace larkspan {

// ---------------------------------------------------------------- TclHtmlTagList

TclHtmlTag* TclHtmlTagList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw std::out_of_range("tag list index out of range");
  return Data()[static_cast<size_t>(Index)];
}

TclHtmlTagList::~TclHtmlTagList() { Clear(); }

void TclHtmlTagList::Clear() {
  if (OwnsItems) {
    TclHtmlTag** Items = Data();
    for (uint32_t I = 0; I < FCount; ++I) TclHtmlTag::Destroy(Items[I]);
  }
  if (FCount >= 2) std::free(FItems);
  FCount = 0;
  FOne = nullptr;
}

void TclHtmlTagList::Grow() {
  // From 1 (held inline) to 3, then 7, 15, ...: small blocks fill the
  // smallest heap chunks exactly, and realloc moves a large list without a
  // copy where it can.
  const uint64_t Capacity = 2 * static_cast<uint64_t>(FCount) + 1;
  if (Capacity > static_cast<uint64_t>(std::numeric_limits<int>::max())) throw std::bad_alloc();
  // The list holds pointers, so this is the size wanted.
  constexpr size_t kItemSize = sizeof(TclHtmlTag*);  // NOLINT(bugprone-sizeof-expression)
  if (FCount == 1) {
    auto* Items = static_cast<TclHtmlTag**>(std::malloc(Capacity * kItemSize));
    if (!Items) throw std::bad_alloc();
    Items[0] = FOne;
    FItems = Items;
  } else {
    void* Items = std::realloc(FItems, Capacity * kItemSize);
    if (!Items) throw std::bad_alloc();
    FItems = static_cast<TclHtmlTag**>(Items);
  }
}

int TclHtmlTagList::IndexOf(const TclHtmlTag* Tag) const {
  for (size_t I = 0; I < FCount; ++I) {
    if (Data()[I] == Tag) return static_cast<int>(I);
  }
  return -1;
}

namespace {

size_t SearchStart(const TclHtmlTagList& List, const TclHtmlTag* StartTag) {
  if (!StartTag) return 0;
  int Index = List.IndexOf(StartTag);
  return Index < 0 ? 0 : static_cast<size_t>(Index);
}

}  // namespace

TclHtmlTag* TclHtmlTagList::FindTag(std::string_view Name, const TclHtmlTag* StartTag) const {
  for (size_t I = SearchStart(*this, StartTag); I < FCount; ++I) {
    if (HtmlSameText(Data()[I]->TagName, Name)) return Data()[I];
  }
  return nullptr;
}

TclHtmlTag* TclHtmlTagList::FindTagWithAttr(std::string_view Name, std::string_view AttrName,
                                            const TclHtmlTag* StartTag,
                                            std::string_view AttrValue) const {
  for (size_t I = SearchStart(*this, StartTag); I < FCount; ++I) {
    TclHtmlTag* Tag = Data()[I];
    if (!HtmlSameText(Tag->TagName, Name)) continue;
    const TclHtmlAttribute* Attr = Tag->FindAttribute(AttrName);
    if (Attr && HtmlSameText(Attr->AttrValue, AttrValue)) return Tag;
  }
  return nullptr;
}

// ---------------------------------------------------------------- TclHtmlAttribute

TclHtmlAttribute::TclHtmlAttribute(const std::string& AName, const std::string& AValue)
    : TclHtmlAttribute(CopyToHeap(AName, AValue), AName.size(), AValue.size(), false) {}

const char* TclHtmlAttribute::CopyToHeap(const std::string& Name, const std::string& Value) {
  if (Name.empty() && Value.empty()) return nullptr;
  char* Text = new char[Name.size() + Value.size()];
  Name.copy(Text, Name.size());
  Value.copy(Text + Name.size(), Value.size());
  return Text;
}

TclHtmlAttribute::~TclHtmlAttribute() {
  // The heap block starts with the name, whether or not the name is empty.
  if (!FInArena) delete[] AttrName.data();
}

// ---------------------------------------------------------------- TclHtmlTag

TclHtmlTag::TclHtmlTag(std::string ATagName, std::string ASourceText, TclHtmlTag* AOwnerTag,
                       TclHtmlParser* AOwnerParser)
    : TagName(std::move(ATagName)),
      OwnerTag(AOwnerTag),
      OwnerParser(AOwnerParser),
      SourceText(std::move(ASourceText)) {}

TclHtmlTag::~TclHtmlTag() { ClearAttributes(); }

void TclHtmlTag::Destroy(TclHtmlTag* Tag) {
  if (Tag->FInArena)
    Tag->~TclHtmlTag();  // the arena's memory goes back when the parser resets it
  else
    delete Tag;
}

void TclHtmlTag::AddAttribute(TclHtmlAttribute* Attribute) {
  // FIndex has 30 bits: each attribute takes at least two bytes of a tag's
  // text and a parsed text is under 2 GB, so a parse never gets near.
  if (FLastAttribute) {
    Attribute->FIndex = FLastAttribute->FIndex + 1;
    Attribute->FNext = FLastAttribute->FNext;  // the first
    FLastAttribute->FNext = Attribute;
    FLastAttribute->FIsLast = false;
  } else {
    Attribute->FIndex = 0;
    Attribute->FNext = Attribute;
  }
  Attribute->FIsLast = true;
  FLastAttribute = Attribute;
  Attribute->OwnerTag = this;
}

TclHtmlAttribute* TclHtmlTag::AttributeAt(int Index) const {
  if (Index < 0 || Index >= AttributeCount())
    throw std::out_of_range("attribute index out of range");
  TclHtmlAttribute* Attr = FirstAttribute();
  while (Index-- > 0) Attr = Attr->FNext;
  return Attr;
}

TclHtmlAttribute* TclHtmlTag::FindAttribute(std::string_view Name) const {
  for (TclHtmlAttribute* Attr = FirstAttribute(); Attr; Attr = NextAttribute(Attr)) {
    if (HtmlSameText(Attr->AttrName, Name)) return Attr;
  }
  return nullptr;
}

std::string TclHtmlTag::AttributeValue(std::string_view Name) const {
  const TclHtmlAttribute* Attr = FindAttribute(Name);
  return Attr ? Attr->AttrValue.str() : std::string();
}

void TclHtmlTag::ClearAttributes() {
  TclHtmlAttribute* Attr = FirstAttribute();
  FLastAttribute = nullptr;
  while (Attr) {
    TclHtmlAttribute* Next = NextAttribute(Attr);
    if (Attr->FInArena)
      Attr->~TclHtmlAttribute();
    else
      delete Attr;
    Attr = Next;
  }
}

std::string TclHtmlTag::ContentText() const {
  if (!IsTextNode && FollowingTag && FollowingTag->IsTextNode && FollowingTag->OwnerTag != OwnerTag)
    return FollowingTag->ContentText();
  return SourceText;
}

void TclHtmlTag::NotifyParsed() {
  if (HtmlSameText(TagName, "input") || HtmlSameText(TagName, "select") ||
      HtmlSameText(TagName, "textarea"))
    OwnerParser->AttachFormControl(this, OwnerTag);
}

void TclHtmlTag::FinishParse(std::string_view Rest, int BasePos) {
  TclHtmlParser* Parser = OwnerParser;
  const bool IsContent = CountsAsCellContent();
  TclHtmlTable* Table = nullptr;
  bool IsCellContent = false;
  if (IsContent && Parser->OpenTables && !Parser->OpenTables->IsEmpty()) {
    Table = static_cast<TclHtmlTable*>(Parser->OpenTables->Top());
    TclHtmlTableRow* Row = Table->TableRows.Last();
    IsCellContent = Row && Row->RowCells.Last();
  }
  if (IsContent) Parser->AddToOpenCell(this);
  RegisterTag();
  Parser->ParseAttributes(this, Rest, BasePos);
  Parser->DoParseTag(this);
  NotifyParsed();
  if (IsCellContent) {
    // The table's last row and cell as they are now: a handler may have
    // changed them since the tag joined its cell.
    TclHtmlTableRow* Row = Table->TableRows.Last();
    TclHtmlTableCell* Cell = Row ? Row->RowCells.Last() : nullptr;
    Parser->DoParseTableCellTag(Table, Row, Cell, this);
  }
}

// ---------------------------------------------------------------- TclHtmlArena

namespace {
constexpr size_t kFirstChunk = size_t{64} * 1024;
constexpr size_t kLargestChunk = size_t{4} * 1024 * 1024;
constexpr size_t kKeptChunks = size_t{16} * 1024 * 1024;
}  // namespace

void* TclHtmlArena::AllocateInNewChunk(size_t Size) {
  // Chunks grow from 64 KB to 4 MB: a large page needs few of them, a small
  // one little memory. Every chunk start is aligned for any object. Chunks
  // kept by Reset are used again first.
  if (FUsedChunks < FChunks.size() && FChunks[FUsedChunks].second >= Size) {
    auto& Chunk = FChunks[FUsedChunks++];
    FNext = Chunk.first.get();
    FEnd = FNext + Chunk.second;
  } else {
    size_t ChunkSize =
        FChunks.empty() ? kFirstChunk : std::min(FChunks.back().second * 2, kLargestChunk);
    ChunkSize = std::max(ChunkSize, Size);
    // A chunk too small for Size stays unused until the next Reset.
    FChunks.emplace_back(std::unique_ptr<char[]>(new char[ChunkSize]), ChunkSize);
    std::swap(FChunks[FUsedChunks], FChunks.back());
    auto& Chunk = FChunks[FUsedChunks++];
    FNext = Chunk.first.get();
    FEnd = FNext + Chunk.second;
  }
  void* Result = FNext;
  FNext += Size;
  return Result;
}

void TclHtmlArena::Reset() {
  size_t Kept = 0;
  size_t Count = 0;
  while (Count < FChunks.size() && Kept + FChunks[Count].second <= kKeptChunks)
    Kept += FChunks[Count++].second;
  FChunks.resize(Count);
  FUsedChunks = 0;
  FNext = FEnd = nullptr;
}

// ---------------------------------------------------------------- typed tags

void TclHtmlForm::RegisterTag() { OwnerParser->ParsedForms.Add(this); }
void TclHtmlForm::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  OwnerParser->DoParseForm(this);
}

void TclHtmlLink::RegisterTag() {
  OwnerParser->ParsedLinks.Add(this);
  OwnerParser->ActiveLink = this;
}
void TclHtmlLink::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  OwnerParser->DoParseLink(this);
}

void TclHtmlFrame::RegisterTag() { OwnerParser->ParsedFrames.Add(this); }
void TclHtmlFrame::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  OwnerParser->DoParseFrame(this);
}

void TclHtmlImage::RegisterTag() { OwnerParser->ParsedImages.Add(this); }
void TclHtmlImage::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  OwnerParser->DoParseImage(this);
}

void TclHtmlTable::RegisterTag() {
  OwnerParser->ParsedTables.Add(this);
  if (OwnerParser->OpenTables) OwnerParser->OpenTables->Push(this);
}
void TclHtmlTable::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  OwnerParser->DoParseTable(this);
}

namespace {

TclHtmlTable* TopTable(const TclHtmlParser* Parser) {
  if (!Parser->OpenTables || Parser->OpenTables->IsEmpty()) return nullptr;
  return static_cast<TclHtmlTable*>(Parser->OpenTables->Top());
}

}  // namespace

void TclHtmlTableRow::RegisterTag() {
  if (TclHtmlTable* Table = TopTable(OwnerParser)) Table->TableRows.Add(this);
}
void TclHtmlTableRow::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  if (TclHtmlTable* Table = TopTable(OwnerParser)) OwnerParser->DoParseTableRow(Table, this);
}

void TclHtmlTableCell::RegisterTag() {
  TclHtmlTable* Table = TopTable(OwnerParser);
  if (Table && Table->TableRows.Last()) Table->TableRows.Last()->RowCells.Add(this);
}
void TclHtmlTableCell::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  TclHtmlTable* Table = TopTable(OwnerParser);
  if (Table && Table->TableRows.Last())
    OwnerParser->DoParseTableCell(Table, Table->TableRows.Last(), this);
}

void TclHtmlMetaTag::RegisterTag() { OwnerParser->ParsedMetaTags.Add(this); }
void TclHtmlMetaTag::NotifyParsed() {
  TclHtmlTag::NotifyParsed();
  OwnerParser->DoParseMetaTag(this);
}

}  // namespace larkspan
