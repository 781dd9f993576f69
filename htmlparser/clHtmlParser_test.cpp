#include "htmlparser/clHtmlParser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace larkspan {
namespace {

using List = std::vector<std::string>;

std::string P(const TclHtmlTag* T) { return std::to_string(T ? T->ContentPos : -1); }

// Assigns every event and records each one as a short line; unassigns them
// when it goes.
struct TRecorder {
  ~TRecorder() {
    Parser.OnParseAttribute = nullptr;
    Parser.OnParseTag = nullptr;
    Parser.OnParseImage = nullptr;
    Parser.OnParseLink = nullptr;
    Parser.OnParseForm = nullptr;
    Parser.OnParseFrame = nullptr;
    Parser.OnParseMetaTag = nullptr;
    Parser.OnParseTable = nullptr;
    Parser.OnParseTableRow = nullptr;
    Parser.OnParseTableCell = nullptr;
    Parser.OnParseTableCellTag = nullptr;
    Parser.OnParseFormControl = nullptr;
  }
  explicit TRecorder(TclHtmlParser& AParser) : Parser(AParser) {
    Parser.OnParseAttribute = [this](TObject*, TclHtmlTag* T, TclHtmlAttribute* A) {
      Log.push_back("Attribute " + T->TagName + " " + A->AttrName + "=" + A->AttrValue + "@" +
                    std::to_string(A->ValuePos));
    };
    Parser.OnParseTag = [this](TObject*, TclHtmlTag* T) {
      Log.push_back((T->IsTextNode ? "Text " : "Tag ") + T->TagName + (T->IsTextNode ? "" : " ") +
                    "[" + T->SourceText + "]@" + P(T));
    };
    Parser.OnParseImage = [this](TObject*, TclHtmlImage* T) { Log.push_back("Image " + P(T)); };
    Parser.OnParseLink = [this](TObject*, TclHtmlLink* T) { Log.push_back("Link " + P(T)); };
    Parser.OnParseForm = [this](TObject*, TclHtmlForm* T) { Log.push_back("Form " + P(T)); };
    Parser.OnParseFrame = [this](TObject*, TclHtmlFrame* T) { Log.push_back("Frame " + P(T)); };
    Parser.OnParseMetaTag = [this](TObject*, TclHtmlMetaTag* T) { Log.push_back("Meta " + P(T)); };
    Parser.OnParseTable = [this](TObject*, TclHtmlTable* T) { Log.push_back("Table " + P(T)); };
    Parser.OnParseTableRow = [this](TObject*, TclHtmlTable* T, TclHtmlTableRow* R) {
      Log.push_back("Row " + P(T) + " " + P(R));
    };
    Parser.OnParseTableCell = [this](TObject*, TclHtmlTable* T, TclHtmlTableRow* R,
                                     TclHtmlTableCell* C) {
      Log.push_back("Cell " + P(T) + " " + P(R) + " " + P(C));
    };
    Parser.OnParseTableCellTag = [this](TObject*, TclHtmlTable* T, TclHtmlTableRow* R,
                                        TclHtmlTableCell* C, TclHtmlTag* G) {
      Log.push_back("CellTag " + P(T) + " " + P(R) + " " + P(C) + " " + G->TagName + " " + P(G));
    };
    Parser.OnParseFormControl = [this](TObject*, TclHtmlForm* F, TclHtmlTag* C) {
      Log.push_back("FormControl " + P(F) + " " + C->TagName + " " + P(C));
    };
  }
  TclHtmlParser& Parser;
  List Log;
};

// "name@pos" of every object of the last parse ("#text" for runs, "/name" for
// end objects).
List Objects(const TclHtmlParser& Parser) {
  List Out;
  for (int I = 0; I < Parser.ParsedTags.Count(); ++I) {
    const TclHtmlTag* T = Parser.ParsedTags.Items(I);
    std::string Name = T->IsTextNode ? "#" + T->SourceText : T->TagName;
    if (T->IsEndTag) Name = "/" + Name;
    Out.push_back(Name + "@" + P(T));
  }
  return Out;
}

List Parse(TclHtmlParser& Parser, const std::string& Text) {
  TRecorder Recorder(Parser);
  Parser.Parse(Text);
  return Recorder.Log;
}

TEST(TclHtmlParserTest, DefaultsAndEmptyText) {
  TclHtmlParser Parser;
  EXPECT_EQ(Parser.ParseMethod, pmTagsOnly);
  EXPECT_FALSE(Parser.IncludeClosingTags);
  EXPECT_EQ(Parser.OpenTables, nullptr);
  EXPECT_EQ(Parser.Owner(), nullptr);
  EXPECT_EQ(Parse(Parser, ""), List());
  EXPECT_EQ(Parser.ParsedTags.Count(), 0);
}

TEST(TclHtmlParserTest, EventOrderForATableWithALinkAndAnImage) {
  TclHtmlParser Parser;
  const List Log = Parse(Parser, "<table><tr><td><a href=x><img src=y></a></td></tr></table>");
  const List Expected = {
      "Tag table [table]@8",
      "Table 8",
      "Tag tr [tr]@12",
      "Row 8 12",
      "Tag td [td]@16",
      "Cell 8 12 16",
      "Attribute a href=x@24",
      "Tag a [a href=x]@26",
      "Link 26",
      "CellTag 8 12 16 a 26",
      "Attribute img src=y@35",
      "Tag img [img src=y]@37",
      "Image 37",
      "CellTag 8 12 16 img 37",
  };
  EXPECT_EQ(Log, Expected);
  auto* Link = Parser.ParsedLinks.Items(0);
  auto* Image = Parser.ParsedImages.Items(0);
  auto* Table = Parser.ParsedTables.Items(0);
  auto* Cell = Table->TableRows.Items(0)->RowCells.Items(0);
  EXPECT_EQ(Link->LinkTags.Count(), 1);
  EXPECT_EQ(Link->LinkTags.Items(0), Image);
  ASSERT_EQ(Cell->CellTags.Count(), 2);
  EXPECT_EQ(Cell->CellTags.Items(0), Link);
  EXPECT_EQ(Cell->CellTags.Items(1), Image);
  EXPECT_EQ(Image->OwnerTag, Link);
  EXPECT_EQ(Link->OwnerTag, Cell);
  EXPECT_EQ(Parser.OpenTables, nullptr);
}

TEST(TclHtmlParserTest, ImagePositions) {
  TclHtmlParser Parser;
  EXPECT_EQ(Parse(Parser, "<img src=\"a.gif\">"),
            List({"Attribute img src=a.gif@11", "Tag img [img src=\"a.gif\"]@18", "Image 18"}));

  // A line break after the name leaves SourceText shorter than the tag.
  const std::string Broken = "<p><img\r\nsrc=\"a.gif\"></p>";
  Parser.Parse(Broken);
  auto* Image = Parser.ParsedImages.Items(0);
  EXPECT_EQ(Image->SourceText, "imgsrc=\"a.gif\"");
  EXPECT_EQ(Image->Src(), "a.gif");
  EXPECT_EQ(Image->AttributeAt(0)->ValuePos, 15);
  EXPECT_EQ(Broken.substr(14, 5), "a.gif");
  EXPECT_EQ(Image->ContentPos - static_cast<int>(Image->SourceText.size()) - 1, 5 + 2);

  // The first ">" ends the tag, quotes or not.
  Parser.Parse("<img alt=\"a>b\" src=x.gif>");
  Image = Parser.ParsedImages.Items(0);
  ASSERT_EQ(Image->AttributeCount(), 1);
  EXPECT_EQ(Image->AttributeAt(0)->AttrName, "alt");
  EXPECT_EQ(Image->AttributeAt(0)->AttrValue, "a");
  EXPECT_EQ(Image->Src(), "");
}

TEST(TclHtmlParserTest, TextRunsInEachMode) {
  TclHtmlParser Parser;
  Parser.ParseMethod = pmAll;
  Parser.Parse("<p>a</p>");
  EXPECT_EQ(Objects(Parser), List({"p@4", "#a@4"}));
  EXPECT_EQ(Parser.ParsedTags.Items(1)->OwnerTag, Parser.ParsedTags.Items(0));
  EXPECT_TRUE(Parser.ParsedTags.Items(1)->IsTextNode);

  Parser.ParseMethod = pmTagsOnly;
  Parser.Parse("<p>a</p>");
  EXPECT_EQ(Objects(Parser), List({"p@4"}));

  Parser.ParseMethod = pmTextOnly;
  Parser.Parse("<p>a</p>");
  EXPECT_EQ(Objects(Parser), List({"#a@4"}));
  EXPECT_EQ(Parser.ParsedTags.Items(0)->OwnerTag, nullptr);

  // A dropped ">" vanishes from the run, which makes its position one late.
  Parser.ParseMethod = pmAll;
  Parser.Parse("a > b<p>");
  EXPECT_EQ(Objects(Parser), List({"#a  b@2", "p@9"}));

  // Text after the last "<" is never flushed.
  Parser.Parse("<p>tail");
  EXPECT_EQ(Objects(Parser), List({"p@4"}));

  // In the default mode only text inside links becomes runs; "/" outside a
  // tag is text.
  Parser.ParseMethod = pmTagsOnly;
  Parser.Parse("x/y<a href=z>t/u</a>v");
  EXPECT_EQ(Objects(Parser), List({"a@14", "#t/u@14"}));
  EXPECT_EQ(Parser.ParsedLinks.Items(0)->LinkTags.Count(), 1);
}

TEST(TclHtmlParserTest, CommentsAndTheirLexemes) {
  struct Case {
    const char* Text;
    List Expected;
  } Cases[] = {
      {"<!-- <img src=x.gif> --><br>", {"!--@5", "/!--@22", "br@29"}},
      {"<!---->x<br>-->y<hr>", {"!--@5", "/!--@13", "hr@21"}},  // not closed at the first ">"
      {"<!-->x<br>", {"!--@5", "/!--@3", "br@11"}},             // ends where it begins
      {"<!--->x<br>", {"!--@5"}},                               // runs to the end
      {"<p>a--->b<br>", {"p@4", "br@14"}},                      // three dashes complete nothing
      {"a-->b<br>", {"/@2", "br@10"}},                          // an end outside any comment
      {"<!DOCTYPE html><!--x-->", {"!DOCTYPE@16", "!--@20", "/!--@21"}},
  };
  for (const auto& C : Cases) {
    TclHtmlParser Parser;
    Parser.IncludeClosingTags = true;
    Parser.Parse(C.Text);
    EXPECT_EQ(Objects(Parser), C.Expected) << C.Text;
  }
  // The comment start is a plain element in every mode, and never pushed.
  for (auto Method : {pmAll, pmTagsOnly, pmTextOnly}) {
    TclHtmlParser Parser;
    Parser.ParseMethod = Method;
    Parser.Parse("<!-- <img src=x.gif> --><br>");
    ASSERT_GE(Parser.ParsedTags.Count(), 1);
    EXPECT_EQ(Parser.ParsedTags.Items(0)->TagName, "!--");
    EXPECT_EQ(Parser.ParsedImages.Count(), 0);
    if (Method != pmTextOnly) {
      EXPECT_EQ(Parser.ParsedTags.Items(1)->OwnerTag, nullptr);
    }
  }
}

TEST(TclHtmlParserTest, NestingStackAndLeafTags) {
  TclHtmlParser Parser;
  Parser.ParseMethod = pmAll;
  auto OwnerName = [&](int Index) {
    const TclHtmlTag* Owner = Parser.ParsedTags.Items(Index)->OwnerTag;
    return Owner ? Owner->TagName : std::string("-");
  };
  for (const char* Leaf : {"<br>", "<br/>", "<br />", "<img src=x>", "<p/>", "<INPUT name=a>",
                           "<!DOCTYPE html>", "<link rel=x>", "<\vbr>"}) {
    Parser.Parse(std::string(Leaf) + "<i>");
    EXPECT_EQ(OwnerName(1), "-") << Leaf;
  }
  Parser.Parse("<meta name=a content=b><p>x");
  EXPECT_EQ(OwnerName(1), "meta");
  Parser.Parse("<div><p>x</div><b>");
  EXPECT_EQ(OwnerName(3), "p");  // </div> does not match the open p
  Parser.Parse("<div><p>x</p ></div><b>");
  EXPECT_EQ(OwnerName(3), "p");  // a blank keeps "p " from matching
  Parser.Parse("<div><p>x</P></DIV><b>");
  EXPECT_EQ(OwnerName(3), "-");

  // An empty-named tag with attributes is pushed and is no image.
  TRecorder Recorder(Parser);
  Parser.Parse("< img src=x><b>");
  EXPECT_EQ(Objects(Parser), List({"@13", "b@16"}));
  EXPECT_EQ(Parser.ParsedTags.Items(0)->AttributeCount(), 2);
  EXPECT_EQ(Parser.ParsedImages.Count(), 0);
  EXPECT_EQ(OwnerName(1), "");

  // Every "<" starts a tag, also in a script.
  Parser.Parse("<script>if(a<b)x=1;</script><img src=y>");
  EXPECT_EQ(Objects(Parser), List({"script@9", "#if(a@9", "img@40"}));
  EXPECT_EQ(OwnerName(2), "script");
  EXPECT_EQ(Parser.ParsedImages.Count(), 1);

  // No ">": nothing is made for the last tag.
  Recorder.Log.clear();
  Parser.Parse("<p>x<img src=y");
  EXPECT_EQ(Recorder.Log, List({"Tag p [p]@4", "Text [x]@4"}));
}

TEST(TclHtmlParserTest, LinksAndClosingTagObjects) {
  TclHtmlParser Parser;
  Parser.IncludeClosingTags = true;
  Parser.Parse("<a href=x>t</a>");
  EXPECT_EQ(Objects(Parser), List({"a@11", "#t@11", "/a@12"}));
  const TclHtmlTag* End = Parser.ParsedTags.Items(2);
  EXPECT_NE(dynamic_cast<const TclHtmlLink*>(End), nullptr);
  EXPECT_EQ(End->SourceText, "");
  EXPECT_EQ(Parser.ParsedLinks.Count(), 1);

  // "</a >" does not end the link, but text after it still belongs to it.
  Parser.IncludeClosingTags = false;
  Parser.Parse("<a href=x>t</a >u<b>v");
  EXPECT_EQ(Objects(Parser), List({"a@11", "#t@11", "#u@17", "b@21"}));
  EXPECT_EQ(Parser.ParsedLinks.Items(0)->LinkTags.Count(), 3);

  // A self-closed link encloses nothing.
  TRecorder Recorder(Parser);
  Parser.Parse("<a href=x/>t<b>");
  EXPECT_EQ(Recorder.Log,
            List({"Attribute a href=x@9", "Tag a [a href=x]@12", "Link 12", "Tag b [b]@16"}));
  // A link opened inside another is listed by the outer one, never by itself.
  Parser.Parse("<a href=1><a href=2>t</a>");
  auto* Outer = Parser.ParsedLinks.Items(0);
  auto* Inner = Parser.ParsedLinks.Items(1);
  EXPECT_EQ(Outer->LinkTags.Count(), 1);
  EXPECT_EQ(Outer->LinkTags.Items(0), Inner);
  EXPECT_EQ(Inner->LinkTags.Count(), 1);
}

TEST(TclHtmlParserTest, TablesStayOpenThroughTheOpenTableStack) {
  TclHtmlParser Parser;
  TRecorder Recorder(Parser);
  Parser.Parse("<table><tr><td>x</table><img src=y>");
  EXPECT_EQ(Recorder.Log.back(), "CellTag 8 12 16 img 36");
  EXPECT_EQ(Parser.ParsedTables.Items(0)->TableRows.Items(0)->RowCells.Items(0)->CellTags.Count(),
            1);

  // Properly closed: nothing after the table is cell content.
  Recorder.Log.clear();
  Parser.Parse("<table><tr><td>x</td></tr></table><img src=y>");
  EXPECT_EQ(Recorder.Log.back(), "Image 46");

  // Rows and cells without a table or a row belong to nothing.
  Recorder.Log.clear();
  Parser.Parse("<tr><table><td><img src=y>");
  EXPECT_EQ(Recorder.Log,
            List({"Tag tr [tr]@5", "Tag table [table]@12", "Table 12", "Tag td [td]@16",
                  "Attribute img src=y@25", "Tag img [img src=y]@27", "Image 27"}));
  EXPECT_EQ(Parser.ParsedTables.Items(0)->TableRows.Count(), 0);

  // Nested tables: cells go to the innermost open table; closing it returns
  // to the outer table's cell.
  Recorder.Log.clear();
  Parser.ParseMethod = pmAll;
  Parser.Parse("<table><tr><td><table><tr><td>in</td></tr></table>out</td></tr></table>");
  EXPECT_EQ(Recorder.Log[Recorder.Log.size() - 2], "Text [out]@51");
  EXPECT_EQ(Recorder.Log.back(), "CellTag 8 12 16  51");
  auto* Outer = Parser.ParsedTables.Items(0);
  auto* Inner = Parser.ParsedTables.Items(1);
  EXPECT_EQ(Outer->TableRows.Items(0)->RowCells.Items(0)->CellTags.Count(), 2);  // table, out
  EXPECT_EQ(Inner->TableRows.Items(0)->RowCells.Items(0)->CellTags.Count(), 1);  // in
}

TEST(TclHtmlParserTest, FormControlsFindTheirFormThroughOwners) {
  TclHtmlParser Parser;
  TRecorder Recorder(Parser);
  Parser.Parse("<form><input name=a></form><input name=b>");
  EXPECT_EQ(Recorder.Log, List({"Tag form [form]@7", "Form 7", "Attribute input name=a@19",
                                "Tag input [input name=a]@21", "FormControl 7 input 21",
                                "Attribute input name=b@40", "Tag input [input name=b]@42"}));
  Recorder.Log.clear();
  Parser.Parse("<form><p><input name=a></form><input name=b>");
  int Controls = 0;
  for (const auto& Line : Recorder.Log) Controls += Line.rfind("FormControl", 0) == 0;
  EXPECT_EQ(Controls, 2);
  EXPECT_EQ(Parser.ParsedForms.Items(0)->FormControls.Count(), 2);

  Parser.Parse("<form><div><select name=s></select><textarea></textarea><button></form>");
  EXPECT_EQ(Parser.ParsedForms.Items(0)->FormControls.Count(), 2);
}

TEST(TclHtmlParserTest, HeadInformationInEachMode) {
  const std::string Page =
      "<html><head><title>Home</title>"
      "<meta name=\"Keywords\" content=\"a,b\"><meta name=keywords content=later>"
      "<meta NAME=author content='Me'><meta name=description></head></html>";
  TclHtmlParser Parser;
  Parser.ParseMethod = pmAll;
  Parser.Parse(Page);
  EXPECT_EQ(Parser.PageTitle, "Home");
  EXPECT_EQ(Parser.PageKeywords, "a,b");
  EXPECT_EQ(Parser.PageAuthor, "Me");
  EXPECT_EQ(Parser.PageDescription, "");

  Parser.ParseMethod = pmTagsOnly;
  Parser.Parse(Page);
  EXPECT_EQ(Parser.PageTitle, "");
  EXPECT_EQ(Parser.PageKeywords, "a,b");
  EXPECT_EQ(Parser.PageAuthor, "Me");

  Parser.Parse("<a href=x><title>In a link</title></a>");
  EXPECT_EQ(Parser.PageTitle, "In a link");

  Parser.ParseMethod = pmTextOnly;
  Parser.Parse(Page);
  EXPECT_EQ(Parser.PageTitle, "");
  EXPECT_EQ(Parser.PageKeywords, "");
  EXPECT_EQ(Parser.PageAuthor, "");
}

TEST(TclHtmlParserTest, AThrowingHandlerEndsTheParse) {
  TclHtmlParser Parser;
  Parser.ParseMethod = pmAll;
  int Images = 0;
  Parser.OnParseImage = [&](TObject*, TclHtmlImage* Image) {
    if (++Images == 2) throw std::runtime_error("stop at " + Image->Src());
  };
  const std::string Page =
      "<title>T</title><meta name=author content=x><table><tr><td>"
      "<img src=1><img src=2><img src=3>";
  try {
    Parser.Parse(Page);
    FAIL() << "no exception";
  } catch (const std::runtime_error& E) {
    EXPECT_STREQ(E.what(), "stop at 2");
  }
  EXPECT_EQ(Parser.ParsedImages.Count(), 2);  // made so far, kept
  EXPECT_EQ(Parser.ParsedTags.Last(), Parser.ParsedImages.Items(1));
  EXPECT_EQ(Parser.PageTitle, "");
  EXPECT_EQ(Parser.PageAuthor, "");
  EXPECT_EQ(Parser.OpenTables, nullptr);

  // The parser is usable again.
  Parser.OnParseImage = nullptr;
  Parser.Parse(Page);
  EXPECT_EQ(Parser.ParsedImages.Count(), 3);
  EXPECT_EQ(Parser.PageTitle, "T");
  EXPECT_EQ(Parser.PageAuthor, "x");
}

TEST(TclHtmlParserTest, ReparsingFromAHandlerIsRefused) {
  TclHtmlParser Parser;
  Parser.OnParseImage = [&](TObject*, TclHtmlImage*) { Parser.Parse("<p>"); };
  EXPECT_THROW(Parser.Parse("<img src=a><img src=b>"), std::logic_error);
  EXPECT_EQ(Parser.ParsedImages.Count(), 1);  // the first parse's objects, intact
  Parser.OnParseImage = [&](TObject*, TclHtmlImage*) { Parser.ClearResults(); };
  EXPECT_THROW(Parser.Parse("<img src=a>"), std::logic_error);
  Parser.OnParseImage = nullptr;
  Parser.Parse("<img src=a><img src=b>");
  EXPECT_EQ(Parser.ParsedImages.Count(), 2);
}

TEST(TclHtmlParserTest, HandlersMayChangeSettingsMidScan) {
  TclHtmlParser Parser;
  Parser.ParseMethod = pmTagsOnly;
  Parser.OnParseTag = [&](TObject*, TclHtmlTag* T) {
    if (T->TagName == "body") Parser.ParseMethod = pmAll;
  };
  Parser.Parse("<head>h</head><body>b<p>");
  EXPECT_EQ(Objects(Parser), List({"head@7", "body@21", "#b@21", "p@25"}));
}

// A lead byte (129..254) forms one character with the byte after it, counted
// from the start of the text: a "/" or "<" that is such a second byte is not
// the character before the next byte.
TEST(TclHtmlParserTest, DoubleByteCharactersBeforeSlashAndGreaterThan) {
  TclHtmlParser Parser;
  Parser.ParseMethod = pmAll;
  auto FirstOwner = [&](const std::string& Text, const std::string& Name) {
    Parser.Parse(Text);
    const TclHtmlTag* T = Parser.ParsedTags.FindTag(Name);
    return T && T->OwnerTag ? T->OwnerTag->TagName : std::string("-");
  };
  // "\x81/" is one character: p is not self-closed.
  EXPECT_EQ(FirstOwner("<p\x81/><i>", "i"), "p\x81");
  EXPECT_EQ(Parser.ParsedTags.Items(0)->SourceText, "p\x81");  // "/" before ">" dropped
  EXPECT_EQ(FirstOwner("<p/><i>", "i"), "-");
  // Pairs are counted from the start: two lead bytes are one character.
  EXPECT_EQ(FirstOwner("<p \x81\x81/><i>", "i"), "-");
  EXPECT_EQ(FirstOwner("<p \x81\x81\x81/><i>", "i"), "p");
  EXPECT_EQ(FirstOwner("\x81\x81\x81<p/><i>", "i"), "-");
  // 255 is no lead byte.
  EXPECT_EQ(FirstOwner("<p \xff/><i>", "i"), "-");

  // "\x81<" is one character, so the "/" after it opens no closing tag and the
  // link stays open.
  Parser.ParseMethod = pmTagsOnly;
  Parser.Parse("<a href=x>\x81</a>t<b>");
  EXPECT_EQ(Objects(Parser), List({"a@11", "#\x81@11", "/a@16", "#t@16", "b@20"}));
  Parser.Parse("<a href=x>\x81\x81</a>t<b>");
  EXPECT_EQ(Objects(Parser), List({"a@11", "#\x81\x81@11", "b@21"}));

  // Inside one tag: a dropped "<" after a lead byte.
  Parser.ParseMethod = pmAll;
  Parser.IncludeClosingTags = true;
  Parser.Parse("<p>x<i \x81</i>");
  EXPECT_EQ(Objects(Parser), List({"p@4", "#x@4", "i@13"}));
  EXPECT_EQ(Parser.ParsedTags.Items(2)->SourceText, "i \x81/i");
  Parser.Parse("<p>x<i </i>");
  EXPECT_EQ(Objects(Parser), List({"p@4", "#x@4", "/i i@6"}));
}

TEST(TclHtmlParserTest, LinesAreJoinedWithCrLfAfterEveryLine) {
  TclHtmlParser Parser;
  Parser.ParseMethod = pmAll;
  Parser.Parse(std::vector<std::string>{"<p>", "<img src=a>", "x"});
  // "<p>\r\n<img src=a>\r\nx\r\n": the trailing text is never flushed.
  EXPECT_EQ(Objects(Parser), List({"p@4", "#\r\n@4", "img@17"}));
  EXPECT_EQ(Parser.ParsedImages.Items(0)->AttributeAt(0)->ValuePos, 15);
  Parser.Parse(std::vector<std::string>{});
  EXPECT_EQ(Parser.ParsedTags.Count(), 0);
}

// Where no byte of a tag was dropped or removed, SourceText stands in the page
// right before ContentPos, and every value stands at its ValuePos.
TEST(TclHtmlParserTest, PositionsPointIntoThePage) {
  const std::string Page =
      "<!DOCTYPE html><html><head><title>T</title><meta name=\"author\" content=\"A\">"
      "</head><body class='c'><table border=1><tr><td><a href=\"p.html\" title='t'>"
      "<img src=\"i.gif\" alt=\"x y\" width=10></a></td><th>h</th></tr></table>"
      "<form action=\"f\"><input type=text name=q value=\"v\"></form>"
      "<iframe src=\"f.html\"></iframe><p>end</p></body></html>";
  for (auto Method : {pmAll, pmTagsOnly, pmTextOnly}) {
    TclHtmlParser Parser;
    Parser.ParseMethod = Method;
    Parser.Parse(Page);
    ASSERT_GT(Parser.ParsedTags.Count(), 0);
    for (int I = 0; I < Parser.ParsedTags.Count(); ++I) {
      const TclHtmlTag* T = Parser.ParsedTags.Items(I);
      const int Length = static_cast<int>(T->SourceText.size());
      if (T->IsTextNode) {
        EXPECT_EQ(Page.substr(T->ContentPos - 1, Length), T->SourceText);
      } else {
        EXPECT_EQ(Page.substr(T->ContentPos - Length - 2, Length), T->SourceText);
        EXPECT_EQ(Page[T->ContentPos - 2], '>');
      }
      for (int A = 0; A < T->AttributeCount(); ++A) {
        const TclHtmlAttribute* Attr = T->AttributeAt(A);
        EXPECT_EQ(Page.substr(Attr->ValuePos - 1, Attr->AttrValue.size()), Attr->AttrValue);
      }
    }
  }
}

// Inputs that once broke the parser, kept from fuzzing, parsed in every mode.
TEST(TclHtmlParserTest, RegressionInputsParseInEveryMode) {
  namespace fs = std::filesystem;
  int Files = 0;
  for (const auto& Entry : fs::directory_iterator(HTMLPARSER_TESTDATA_DIR)) {
    if (!Entry.is_regular_file()) continue;
    std::ifstream In(Entry.path(), std::ios::binary);
    std::stringstream Buffer;
    Buffer << In.rdbuf();
    const std::string Text = Buffer.str();
    ++Files;
    for (auto Method : {pmAll, pmTagsOnly, pmTextOnly}) {
      for (bool Closing : {false, true}) {
        TclHtmlParser Parser;
        TRecorder Recorder(Parser);
        Parser.ParseMethod = Method;
        Parser.IncludeClosingTags = Closing;
        Parser.Parse(Text);
        for (int I = 0; I < Parser.ParsedTags.Count(); ++I) {
          const int Pos = Parser.ParsedTags.Items(I)->ContentPos;
          EXPECT_TRUE(Pos >= 1 && Pos <= static_cast<int>(Text.size()) + 1)
              << Entry.path() << " object " << I;
        }
        Parser.Parse(Text);  // re-parse releases the previous results
      }
    }
  }
  EXPECT_GT(Files, 0);
}

TEST(TclHtmlParserTest, AttributeTextsOutliveTheTextParsed) {
  // The attributes keep their own copies: neither the page nor the scan's
  // buffers may be what they point into. A value larger than the first
  // block of the parser's memory must survive as well.
  TclHtmlParser Parser;
  const std::string Long(100000, 'x');
  {
    std::string Page = "<img src=\"a.gif\" alt=" + Long + " nowrap =''><p id=q>t</p>";
    Parser.Parse(Page);
    Page.assign(Page.size(), '#');
  }
  // Other parsers' work in between must not disturb them either.
  TclHtmlParser Other;
  Other.Parse("<img src=b.gif alt=zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz>");

  ASSERT_EQ(Parser.ParsedImages.Count(), 1);
  const TclHtmlImage* Image = Parser.ParsedImages.Items(0);
  ASSERT_EQ(Image->AttributeCount(), 3);
  EXPECT_EQ(Image->Src(), "a.gif");
  EXPECT_EQ(Image->AttributeAt(1)->AttrName, "alt");
  EXPECT_EQ(Image->AttributeValue("alt"), Long);
  EXPECT_EQ(Image->AttributeAt(2)->AttrName, "nowrap");
  EXPECT_TRUE(Image->AttributeAt(2)->AttrValue.empty());
  const TclHtmlTag* Para = Parser.ParsedTags.FindTag("p");
  ASSERT_NE(Para, nullptr);
  EXPECT_EQ(Para->AttributeAt(0)->AttrName + "=" + Para->AttributeAt(0)->AttrValue, "id=q");
  const std::string Copied = Para->AttributeAt(0)->AttrValue;
  EXPECT_EQ(Copied, "q");
}

TEST(TclHtmlParserTest, AttributesMadeByHandOwnTheirTexts) {
  TclHtmlTag Tag("p", "", nullptr, nullptr);
  {
    std::string Name = "class";
    std::string Value(40, 'v');
    Tag.AddAttribute(new TclHtmlAttribute(Name, Value));
    Name.assign(Name.size(), '#');
    Value.assign(Value.size(), '#');
  }
  Tag.AddAttribute(new TclHtmlAttribute("", ""));
  EXPECT_EQ(Tag.AttributeValue("CLASS"), std::string(40, 'v'));
  EXPECT_EQ(Tag.AttributeAt(1)->AttrName, "");
  EXPECT_EQ(Tag.AttributeAt(1)->AttrValue.size(), 0u);
}

TEST(TComponentTest, OwnerDestroysWhatItStillOwns) {
  auto* Owner = new TComponent(nullptr);
  auto* Kept = new TclHtmlParser(Owner);
  auto* Freed = new TclHtmlParser(Owner);
  EXPECT_EQ(Kept->Owner(), Owner);
  delete Freed;  // unlinks itself
  Kept->Parse("<img src=x>");
  delete Owner;  // destroys Kept; a leak checker would see anything left over
}

}  // namespace
}  // namespace larkspan
