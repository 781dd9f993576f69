// TclHtmlParser: a forgiving byte-level HTML scanner.
//
// Parse scans a page once, makes a flat sequence of tag objects (one per tag
// it processes and one per run of text it collects, typed for forms, links,
// frames, images, tables, rows, cells and meta tags), raises an event for
// each, and afterwards takes the page's title and its author, description and
// keywords meta data from the results. It never rejects input and raises no
// error of its own. Texts are byte strings; positions are 1-based byte
// indexes into the text parsed.
//
// Not a tree builder: it keeps a stack of open elements; a closing tag closes
// only the element on top of the stack and only on an exact name; a fixed list
// of leaf names never goes on the stack; the first ">" ends a tag even inside
// quotes; comments are found by the lexeme checker and do not retry a
// mismatching byte.
//
// Threads: one thread at a time. Events are raised synchronously inside Parse.
// A handler must not call Parse or ClearResults of the same parser. A handler
// that throws ends Parse: the objects made so far stay in the results, the
// head texts stay empty, and the exception reaches the caller unchanged.
#ifndef LARKSPAN_HTMLPARSER_CLHTMLPARSER_H
#define LARKSPAN_HTMLPARSER_CLHTMLPARSER_H

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "htmlparser/clHtmlLexem.h"
#include "htmlparser/clHtmlObject.h"
#include "htmlparser/clHtmlTags.h"

namespace larkspan {

// What the parser makes while scanning.
enum TclHtmlParseMethod { pmAll = 0, pmTagsOnly = 1, pmTextOnly = 2 };

// Event types. Sender is always the parser. An empty function is skipped.
using TclOnParseTag = std::function<void(TObject* Sender, TclHtmlTag* ATag)>;
using TclOnParseAttribute =
    std::function<void(TObject* Sender, TclHtmlTag* ATag, TclHtmlAttribute* Attribute)>;
using TclOnParseForm = std::function<void(TObject* Sender, TclHtmlForm* AForm)>;
using TclOnParseLink = std::function<void(TObject* Sender, TclHtmlLink* ALink)>;
using TclOnParseFrame = std::function<void(TObject* Sender, TclHtmlFrame* AFrame)>;
using TclOnParseImage = std::function<void(TObject* Sender, TclHtmlImage* AImage)>;
using TclOnParseFormControl =
    std::function<void(TObject* Sender, TclHtmlForm* AForm, TclHtmlTag* AControl)>;
using TclOnParseTable = std::function<void(TObject* Sender, TclHtmlTable* ATable)>;
using TclOnParseTableRow =
    std::function<void(TObject* Sender, TclHtmlTable* ATable, TclHtmlTableRow* ARow)>;
using TclOnParseTableCell = std::function<void(TObject* Sender, TclHtmlTable* ATable,
                                               TclHtmlTableRow* ARow, TclHtmlTableCell* ACell)>;
using TclOnParseTableCellTag =
    std::function<void(TObject* Sender, TclHtmlTable* ATable, TclHtmlTableRow* ARow,
                       TclHtmlTableCell* ACell, TclHtmlTag* ATag)>;
using TclOnParseMetaTag = std::function<void(TObject* Sender, TclHtmlMetaTag* ATag)>;

class TclHtmlParser : public TComponent {
  // Holds the tags and attributes of the last parse; declared first so that
  // it outlives ParsedTags, whose clearing destroys them.
  TclHtmlArena FArena;

 public:
  explicit TclHtmlParser(TComponent* AOwner = nullptr);
  ~TclHtmlParser() override;

  // Parses Text. Every result of the previous parse is destroyed first.
  // Throws what an event handler throws, and std::length_error for a text of
  // 2 GB or more (positions are ints).
  void Parse(const std::string& Text);
  // Parses the lines joined into one text with CR LF after every line, the
  // last one included; positions count bytes of that joined text.
  void Parse(const std::vector<std::string>& Lines);

  // Results of the last parse, in document order.
  TclHtmlTagList ParsedTags{true};  // owns every tag object of the parse
  TclHtmlFormList ParsedForms;
  TclHtmlLinkList ParsedLinks;
  TclHtmlImageList ParsedImages;
  TclHtmlFrameList ParsedFrames;
  TclHtmlTableList ParsedTables;
  TclHtmlMetaTagList ParsedMetaTags;
  std::string PageKeywords;
  std::string PageDescription;
  std::string PageAuthor;
  std::string PageTitle;

  // Settings, read at each use (a handler's change applies from then on).
  TclHtmlParseMethod ParseMethod = pmTagsOnly;
  bool IncludeClosingTags = false;  // make objects for closing tags and comment ends

  // Scan state visible to the tag classes. OpenTables exists only while a
  // parse runs (innermost open table on top).
  std::unique_ptr<TclHtmlTagStack> OpenTables;
  TclHtmlLink* ActiveLink = nullptr;      // the link whose content is being read
  std::vector<std::string> LeafTagNames;  // names never put on the nesting stack

  // Events.
  TclOnParseForm OnParseForm;
  TclOnParseFormControl OnParseFormControl;
  TclOnParseLink OnParseLink;
  TclOnParseImage OnParseImage;
  TclOnParseAttribute OnParseAttribute;
  TclOnParseTag OnParseTag;
  TclOnParseTable OnParseTable;
  TclOnParseTableCell OnParseTableCell;
  TclOnParseTableCellTag OnParseTableCellTag;
  TclOnParseTableRow OnParseTableRow;
  TclOnParseFrame OnParseFrame;
  TclOnParseMetaTag OnParseMetaTag;

  // Makes a run of text at position Pos under Owner and announces it.
  virtual TclHtmlTag* ProcessText(std::string_view Text, TclHtmlTag* Owner, int Pos);
  // Makes and completes an element from its tag text. EndPos is the index of
  // its ">", NamePos that of the byte after its "<". Null for an empty text.
  virtual TclHtmlTag* ProcessTag(std::string_view TagText, TclHtmlTag* Owner, int EndPos,
                                 int NamePos);
  // Makes the tag object of the class that fits Name, appends it to
  // ParsedTags and sets its ContentPos.
  virtual TclHtmlTag* CreateTag(std::string_view Name, std::string Source, TclHtmlTag* Owner,
                                int Pos);
  // Splits Rest (the tag text after the name, whose first byte stands at
  // BasePos) into attributes, calling NewAttribute for each in order.
  virtual void ParseAttributes(TclHtmlTag* Tag, std::string_view Rest, int BasePos);
  // Loads the comment lexemes "<!--" / "-->" into the checker of a scan.
  virtual void InitLexems(TclTagLexemChecker* Checker);
  // Fills Names with the leaf tag names. The constructor calls it before any
  // subclass exists, so a subclass that overrides it calls it again in its
  // own constructor.
  virtual void InitLeafTags(std::vector<std::string>& Names);
  // Destroys every tag of the last parse and empties every result. Throws
  // std::logic_error when called (also through Parse) from an event handler
  // of this parser, which would pull the objects from under the scan.
  virtual void ClearResults();

  // Event dispatchers: each calls its event, when assigned, with this parser
  // as Sender.
  virtual void DoParseTag(TclHtmlTag* ATag);
  virtual void DoParseAttribute(TclHtmlTag* ATag, TclHtmlAttribute* Attribute);
  virtual void DoParseForm(TclHtmlForm* AForm);
  virtual void DoParseLink(TclHtmlLink* ALink);
  virtual void DoParseFrame(TclHtmlFrame* AFrame);
  virtual void DoParseImage(TclHtmlImage* AImage);
  virtual void DoParseFormControl(TclHtmlForm* AForm, TclHtmlTag* AControl);
  virtual void DoParseTable(TclHtmlTable* ATable);
  virtual void DoParseTableRow(TclHtmlTable* ATable, TclHtmlTableRow* ARow);
  virtual void DoParseTableCell(TclHtmlTable* ATable, TclHtmlTableRow* ARow,
                                TclHtmlTableCell* ACell);
  virtual void DoParseTableCellTag(TclHtmlTable* ATable, TclHtmlTableRow* ARow,
                                   TclHtmlTableCell* ACell, TclHtmlTag* ATag);
  virtual void DoParseMetaTag(TclHtmlMetaTag* ATag);

  // Makes an attribute, attaches it to Tag and raises OnParseAttribute.
  TclHtmlAttribute* NewAttribute(TclHtmlTag* Tag, std::string_view Name, std::string_view Value,
                                 int Pos);
  // Whether an element with this tag text never goes on the nesting stack.
  bool IsLeafTag(std::string_view TagText) const;
  // Appends Tag to ParsedTags (taking ownership), linking the previous last
  // item's FollowingTag to it.
  void AppendTag(TclHtmlTag* Tag);
  // Adds Tag to the last cell of the innermost open table's last row; false
  // when there is no such cell.
  bool AddToOpenCell(TclHtmlTag* Tag);
  // Walks Candidate's owner chain to the first form and attaches Control to it.
  void AttachFormControl(TclHtmlTag* Control, TclHtmlTag* Candidate);
  // Fills the four head texts from the results.
  void ExtractHeadInfo();

  bool TagsWanted() const { return ParseMethod == pmAll || ParseMethod == pmTagsOnly; }
  bool TextWanted() const {
    return ParseMethod == pmAll || ParseMethod == pmTextOnly || ActiveLink != nullptr;
  }

 private:
  bool FScanning = false;  // a scan is running (events may be raised)
  void Scan(const std::string& Text);
  // The scan's steps at the ">" (1-based index I) of a closing tag named
  // TagText, and of an opening tag whose "<" stands at TagStart; SlashBefore:
  // the ">" follows a "/" that is a whole character.
  void EndClosingTag(const std::string& TagText, TclHtmlTagStack& NestStack, int I);
  void EndOpeningTag(const std::string& TagText, TclHtmlTagStack& NestStack, int I, int TagStart,
                     bool SlashBefore);
  // Constructs a T in the arena, marked so that it is destroyed, not deleted.
  template <class T, class... TArgs>
  T* MakeInArena(TArgs&&... Args) {
    T* Object = new (FArena.Allocate(sizeof(T), alignof(T))) T(std::forward<TArgs>(Args)...);
    Object->FInArena = true;
    return Object;
  }
};

}  // namespace larkspan

#endif  // LARKSPAN_HTMLPARSER_CLHTMLPARSER_H
