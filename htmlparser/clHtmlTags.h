// The parser's object model: attributes, tags (one object per tag or run of
// text), the eight typed tags and the tag lists.
//
// Ownership: every tag of a parse is owned by the parser's ParsedTags, every
// attribute by its tag. All other lists (typed lists, the own lists of forms,
// links, tables, rows and cells) only refer to tags. Tags and attributes live
// until the next Parse, ClearResults or the parser's destruction.
#ifndef LARKSPAN_HTMLPARSER_CLHTMLTAGS_H
#define LARKSPAN_HTMLPARSER_CLHTMLTAGS_H

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace larkspan {

class TclHtmlParser;
class TclHtmlTag;
class TclHtmlTableRow;
class TclHtmlTableCell;

// A bump allocator for the objects of one parse: no per-object header, and
// everything is handed back at once by Reset. Objects placed in it must be
// destroyed (not deleted) before Reset.
class TclHtmlArena {
 public:
  // Holds no memory until the first Allocate. Not copyable.
  TclHtmlArena() = default;
  TclHtmlArena(const TclHtmlArena&) = delete;
  TclHtmlArena& operator=(const TclHtmlArena&) = delete;

  // Size bytes aligned to Align (a power of two up to that of new);
  // throws std::bad_alloc.
  void* Allocate(size_t Size, size_t Align) {
    const size_t Pad = -reinterpret_cast<uintptr_t>(FNext) & (Align - 1);
    if (static_cast<size_t>(FEnd - FNext) < Pad + Size) return AllocateInNewChunk(Size);
    void* Result = FNext + Pad;
    FNext += Pad + Size;
    return Result;
  }
  // Makes all memory available again. Keeps up to 16 MB of chunks for the
  // next parse (the engine parses every page twice) and releases the rest.
  void Reset();

 private:
  void* AllocateInNewChunk(size_t Size);

  std::vector<std::pair<std::unique_ptr<char[]>, size_t>> FChunks;  // memory and size
  size_t FUsedChunks = 0;  // chunks [0, FUsedChunks) are handed out
  char* FNext = nullptr;
  char* FEnd = nullptr;
};

// A read-only byte text owned by whatever holds it (an attribute keeps its
// name and value as two of these). 16 bytes and no heap block of its own,
// where a std::string takes 32 plus a block for anything over 15 bytes; reads
// like a std::string_view and converts to std::string where one is wanted.
class TclHtmlText {
 public:
  // The empty text. A copy refers to the same bytes as its original and is
  // valid only as long as they live.
  constexpr TclHtmlText() = default;
  constexpr TclHtmlText(const TclHtmlText&) = default;

  // As std::string_view's: the bytes (not NUL-terminated), their count, and
  // Index < size() unchecked.
  const char* data() const { return FData; }
  size_t size() const { return FSize; }
  size_t length() const { return FSize; }
  bool empty() const { return FSize == 0; }
  char operator[](size_t Index) const { return FData[Index]; }
  const char* begin() const { return FData; }
  const char* end() const { return FData + FSize; }

  // The bytes as a view (valid while the text is) or as a copy.
  std::string_view View() const { return std::string_view(FData, FSize); }
  operator std::string_view() const { return View(); }
  operator std::string() const { return std::string(FData, FSize); }
  std::string str() const { return std::string(FData, FSize); }

  // Byte for byte, letter case included.
  friend bool operator==(const TclHtmlText& A, std::string_view B) { return A.View() == B; }
  // Concatenation into a new std::string.
  friend std::string operator+(const TclHtmlText& A, std::string_view B) {
    std::string Result(A.View());
    Result += B;
    return Result;
  }
  friend std::string operator+(std::string A, const TclHtmlText& B) {
    A += B.View();
    return A;
  }
  // Writes the bytes as they are.
  friend std::ostream& operator<<(std::ostream& Out, const TclHtmlText& Text) {
    return Out << Text.View();
  }

 private:
  friend class TclHtmlAttribute;
  constexpr TclHtmlText(const char* AData, size_t ASize) : FData(AData), FSize(ASize) {}
  // Not assignable from outside: an attribute frees the block its texts are in.
  TclHtmlText& operator=(const TclHtmlText&) = default;

  const char* FData = nullptr;
  size_t FSize = 0;
};

// One attribute of one tag.
class TclHtmlAttribute {
 public:
  // Keeps a copy of both texts in one heap block of its own; OwnerTag is
  // null until a tag's AddAttribute. Throws std::bad_alloc.
  TclHtmlAttribute(const std::string& AName, const std::string& AValue);
  // Frees the heap block of an attribute made with new (not the tag's link:
  // an attribute is destroyed by its tag, never while it is on its list).
  ~TclHtmlAttribute();
  TclHtmlAttribute(const TclHtmlAttribute&) = delete;
  TclHtmlAttribute& operator=(const TclHtmlAttribute&) = delete;

  // Both texts live as long as the attribute; neither ends with a NUL byte.
  TclHtmlText AttrValue;  // without enclosing quotes; empty for a bare name
  TclHtmlText AttrName;   // as written, letter case kept
  TclHtmlTag* OwnerTag = nullptr;
  int ValuePos = 0;  // 1-based byte index of the value's first byte; 0 when empty

 private:
  friend class TclHtmlTag;
  friend class TclHtmlParser;
  // The parser's attributes: the name's bytes followed by the value's are at
  // Text, in the parser's arena like the attribute itself.
  TclHtmlAttribute(const char* Text, size_t NameSize, size_t ValueSize, bool InArena = true)
      : AttrValue(Text + NameSize, ValueSize), AttrName(Text, NameSize), FInArena(InArena) {}
  // A heap block with the name's bytes followed by the value's (null when
  // both are empty).
  static const char* CopyToHeap(const std::string& Name, const std::string& Value);

  // Packed into the 4 bytes after ValuePos that padding would take anyway.
  uint32_t FIndex : 30 = 0;  // place in its tag's list (the last one's gives the count)
  // Placed in its parser's arena with its texts; otherwise made with new and
  // owning the heap block its texts are in.
  uint32_t FInArena : 1 = 0;
  uint32_t FIsLast : 1 = 0;           // the tag's last attribute: FNext is then its first
  TclHtmlAttribute* FNext = nullptr;  // the tag's next attribute
};

// An ordered list of tags. When OwnsItems, Clear and the destructor destroy
// the items. Add appends without any check.
class TclHtmlTagList {
 public:
  // An empty list; AOwnsItems says whether it destroys what it holds.
  explicit TclHtmlTagList(bool AOwnsItems = false) : OwnsItems(AOwnsItems), FOne(nullptr) {}
  // Clear.
  ~TclHtmlTagList();
  TclHtmlTagList(const TclHtmlTagList&) = delete;
  TclHtmlTagList& operator=(const TclHtmlTagList&) = delete;

  // The number of items.
  int Count() const { return static_cast<int>(FCount); }
  // Throws std::out_of_range for an index outside 0 .. Count() - 1.
  TclHtmlTag* Items(int Index) const;
  // Appends Tag (a tag may be listed twice) and returns its index. Throws
  // std::bad_alloc, leaving the list as it was.
  int Add(TclHtmlTag* Tag) {
    if (FCount == 0) {
      FOne = Tag;
    } else {
      if (IsFull()) Grow();  // always from 1: the heap block then holds the items
      FItems[FCount] = Tag;
    }
    return static_cast<int>(FCount++);
  }
  // Empties the list, destroying the items when OwnsItems; frees its block.
  void Clear();
  // The last item, or null for an empty list.
  TclHtmlTag* Last() const { return FCount == 0 ? nullptr : Data()[FCount - 1]; }
  // The index of Tag's first place in the list, or -1 (a linear search).
  int IndexOf(const TclHtmlTag* Tag) const;

  // The first item, from StartTag on (StartTag itself included; from the
  // first item when StartTag is null or not listed), whose TagName equals
  // Name ignoring case; null when none.
  TclHtmlTag* FindTag(std::string_view Name, const TclHtmlTag* StartTag = nullptr) const;
  // As FindTag, and the item's first attribute named AttrName must have the
  // value AttrValue (both compared ignoring case).
  TclHtmlTag* FindTagWithAttr(std::string_view Name, std::string_view AttrName,
                              const TclHtmlTag* StartTag, std::string_view AttrValue) const;

  // Whether Clear and the destructor destroy the items; fixed at creation.
  const bool OwnsItems;

 private:
  // The list is a member of every form, link, table, row and cell, so it is
  // kept to 16 bytes: a count and one word. A single item is held in that
  // word (a link mostly holds just its text); more live in a heap block of
  // 3, 7, 15, ... entries, a capacity that follows from the count alone.
  uint32_t FCount = 0;
  union {
    TclHtmlTag* FOne;
    TclHtmlTag** FItems;  // malloc'd; when FCount >= 2
  };

  TclHtmlTag* const* Data() const { return FCount <= 1 ? &FOne : FItems; }
  TclHtmlTag** Data() { return FCount <= 1 ? &FOne : FItems; }
  // True when FCount (at least 1) fills the storage: 1, 3, 7, 15, ...
  bool IsFull() const { return (FCount & (FCount + 1)) == 0; }
  void Grow();
};

// One tag or one run of text.
class TclHtmlTag {
 public:
  // A tag with no attributes, inside AOwnerTag (null at the top), made by
  // AOwnerParser (which must outlive it; null only for a tag that is never
  // finished with FinishParse). Throws std::bad_alloc.
  TclHtmlTag(std::string ATagName, std::string ASourceText, TclHtmlTag* AOwnerTag,
             TclHtmlParser* AOwnerParser);
  // Destroys the attributes (ClearAttributes). Lists that refer to the tag
  // are not told: the parser clears them all together.
  virtual ~TclHtmlTag();
  TclHtmlTag(const TclHtmlTag&) = delete;
  TclHtmlTag& operator=(const TclHtmlTag&) = delete;

  // Appends Attribute (taking ownership of a heap-allocated one) and sets its
  // OwnerTag.
  void AddAttribute(TclHtmlAttribute* Attribute);
  // The number of attributes (kept, not counted).
  int AttributeCount() const {
    return FLastAttribute ? static_cast<int>(FLastAttribute->FIndex) + 1 : 0;
  }
  // Throws std::out_of_range for an index outside 0 .. AttributeCount() - 1.
  // Walks the list: iterate with FirstAttribute and NextAttribute instead.
  TclHtmlAttribute* AttributeAt(int Index) const;
  // The first attribute in the order they were added, or null.
  TclHtmlAttribute* FirstAttribute() const {
    return FLastAttribute ? FLastAttribute->FNext : nullptr;
  }
  // The attribute after Attribute on its tag, or null after the last.
  // REQUIRES: Attribute is on a tag's list.
  static TclHtmlAttribute* NextAttribute(const TclHtmlAttribute* Attribute) {
    return Attribute->FIsLast ? nullptr : Attribute->FNext;
  }
  // The first attribute whose AttrName equals Name ignoring case, or null.
  TclHtmlAttribute* FindAttribute(std::string_view Name) const;
  // AttrValue of FindAttribute(Name), or the empty text.
  std::string AttributeValue(std::string_view Name) const;
  // Destroys every attribute of the tag; AttributeCount is then 0.
  void ClearAttributes();

  // The text right inside an element whose first content is text (the run
  // that follows it at a deeper level); otherwise the own SourceText.
  std::string ContentText() const;

  // Records the new tag in the parser's structures. The base does nothing.
  virtual void RegisterTag() {}
  // Announces the tag once its attributes are known. The base attaches form
  // controls to their form; the typed tags then raise their own event.
  virtual void NotifyParsed();
  // Whether the tag joins an open table cell. The base answers true.
  virtual bool CountsAsCellContent() const { return true; }

  // Completes a new element: cell membership, RegisterTag, attributes from
  // Rest (whose first byte stands at BasePos in the page), OnParseTag,
  // NotifyParsed, OnParseTableCellTag.
  void FinishParse(std::string_view Rest, int BasePos);

 private:
  friend class TclHtmlParser;
  friend class TclHtmlTagList;
  // Destroys a tag made by a parser (in its arena) or with new.
  static void Destroy(TclHtmlTag* Tag);

  // The attributes, owned, as a ring in the order they were added: the last
  // one is held here and its FNext is the first. One pointer instead of two
  // saves 8 bytes in every tag and run of text of a page.
  TclHtmlAttribute* FLastAttribute = nullptr;

 public:
  std::string TagName;  // as written; empty for a run of text
  TclHtmlTag* OwnerTag;
  TclHtmlParser* OwnerParser;
  // The tag's text between "<" and ">" without TAB, CR, LF; the text of a run
  // of text; empty for a closing tag object.
  std::string SourceText;
  TclHtmlTag* FollowingTag = nullptr;
  int ContentPos = 0;  // 1-based byte index where the content begins
  // The flags share the last word with ContentPos (a page has one object
  // per few dozen bytes, so every word of a tag shows in memory).
  bool IsTextNode = false;
  bool IsEndTag = false;

 private:
  bool FInArena = false;  // placed in its parser's arena, not on the heap
};

// The typed tags below are made by the parser for their tag names. Each
// RegisterTag files the tag in the parser's list of its kind (and, for the
// table kinds, in the open table); each NotifyParsed does what the base does
// and then raises the parser's event of its kind. Both run once, in
// FinishParse, on the parser's thread.

// A "form" tag.
class TclHtmlForm : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the form to ParsedForms.
  void RegisterTag() override;
  // Raises OnParseForm.
  void NotifyParsed() override;
  TclHtmlTagList FormControls;  // its input, select and textarea tags
};

// An "a" tag.
class TclHtmlLink : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the link to ParsedLinks and makes it the active link.
  void RegisterTag() override;
  // Raises OnParseLink.
  void NotifyParsed() override;
  TclHtmlTagList LinkTags;  // tags and runs made while this is the active link
};

// A "frame" or "iframe" tag.
class TclHtmlFrame : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the frame to ParsedFrames.
  void RegisterTag() override;
  // Raises OnParseFrame.
  void NotifyParsed() override;
};

// An "img" tag.
class TclHtmlImage : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the image to ParsedImages.
  void RegisterTag() override;
  // Raises OnParseImage.
  void NotifyParsed() override;
  // Value of the first attribute named src in any letter case, or empty.
  std::string Src() const { return AttributeValue("src"); }
};

// A table's rows: TclHtmlTagList's Items and Last, typed. Holds only rows.
class TclHtmlTableRowList : public TclHtmlTagList {
 public:
  using TclHtmlTagList::TclHtmlTagList;
  TclHtmlTableRow* Items(int Index) const;
  TclHtmlTableRow* Last() const;
};

// A row's cells: TclHtmlTagList's Items and Last, typed. Holds only cells.
class TclHtmlTableCellList : public TclHtmlTagList {
 public:
  using TclHtmlTagList::TclHtmlTagList;
  TclHtmlTableCell* Items(int Index) const;
  TclHtmlTableCell* Last() const;
};

// A "table" tag.
class TclHtmlTable : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the table to ParsedTables and opens it (rows and cells join it
  // until its end tag).
  void RegisterTag() override;
  // Raises OnParseTable.
  void NotifyParsed() override;
  TclHtmlTableRowList TableRows;  // its "tr" tags, not those of nested tables
};

// A "tr" tag.
class TclHtmlTableRow : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the row to the open table's TableRows (outside a table: nowhere).
  void RegisterTag() override;
  // Raises OnParseTableRow when a table is open.
  void NotifyParsed() override;
  // False: a row is not content of the cell before it.
  bool CountsAsCellContent() const override { return false; }
  TclHtmlTableCellList RowCells;  // its "td" and "th" tags
};

// A "td" or "th" tag.
class TclHtmlTableCell : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the cell to the open table's last row (without one: nowhere).
  void RegisterTag() override;
  // Raises OnParseTableCell when the open table has a row.
  void NotifyParsed() override;
  // False: a cell is not content of the cell before it.
  bool CountsAsCellContent() const override { return false; }
  TclHtmlTagList CellTags;  // tags and runs of text made inside it
};

// A "meta" tag.
class TclHtmlMetaTag : public TclHtmlTag {
 public:
  using TclHtmlTag::TclHtmlTag;
  // Adds the tag to ParsedMetaTags.
  void RegisterTag() override;
  // Raises OnParseMetaTag.
  void NotifyParsed() override;
};

inline TclHtmlTableRow* TclHtmlTableRowList::Items(int Index) const {
  return static_cast<TclHtmlTableRow*>(TclHtmlTagList::Items(Index));
}
inline TclHtmlTableRow* TclHtmlTableRowList::Last() const {
  return static_cast<TclHtmlTableRow*>(TclHtmlTagList::Last());
}
inline TclHtmlTableCell* TclHtmlTableCellList::Items(int Index) const {
  return static_cast<TclHtmlTableCell*>(TclHtmlTagList::Items(Index));
}
inline TclHtmlTableCell* TclHtmlTableCellList::Last() const {
  return static_cast<TclHtmlTableCell*>(TclHtmlTagList::Last());
}

// Typed lists: each holds only tags of its class and never owns them.
template <class TagClass>
class TclHtmlTypedTagList : public TclHtmlTagList {
 public:
  using TclHtmlTagList::TclHtmlTagList;
  // TclHtmlTagList's Items (which throws std::out_of_range) and Last, typed.
  TagClass* Items(int Index) const { return static_cast<TagClass*>(TclHtmlTagList::Items(Index)); }
  TagClass* Last() const { return static_cast<TagClass*>(TclHtmlTagList::Last()); }
};

using TclHtmlFormList = TclHtmlTypedTagList<TclHtmlForm>;
using TclHtmlLinkList = TclHtmlTypedTagList<TclHtmlLink>;
using TclHtmlFrameList = TclHtmlTypedTagList<TclHtmlFrame>;
using TclHtmlImageList = TclHtmlTypedTagList<TclHtmlImage>;
using TclHtmlTableList = TclHtmlTypedTagList<TclHtmlTable>;
using TclHtmlMetaTagList = TclHtmlTypedTagList<TclHtmlMetaTag>;

}  // namespace larkspan

#endif  // LARKSPAN_HTMLPARSER_CLHTMLTAGS_H
