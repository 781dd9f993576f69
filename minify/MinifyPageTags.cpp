#include "minify/MinifyPageTags.h"

#include <unordered_map>
#include <utility>

#include "minify/PagePreRules.h"
#include "platform/Text.h"

namespace larkspan::minify {

namespace {

bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f'; }

std::string Lower(std::string_view S) {
  std::string L(S);
  for (char& C : L) C = LoCaseAscii(C);
  return L;
}

// Boolean attributes and the elements they are boolean on ("*": any).
bool IsBooleanOn(std::string_view Attr, std::string_view Element) {
  static const struct {
    const char* Attr;
    const char* Elements;  // blank-separated, with a blank at both ends
  } Table[] = {
      {"checked", " input "},
      {"selected", " option "},
      {"disabled", " button input select textarea option optgroup fieldset "},
      {"readonly", " input textarea "},
      {"multiple", " input select "},
      {"required", " input select textarea "},
      {"autofocus", "*"},
      {"hidden", "*"},
      {"autoplay", " audio video "},
      {"controls", " audio video "},
      {"loop", " audio video "},
      {"muted", " audio video "},
      {"playsinline", " video "},
      {"defer", " script "},
      {"async", " script "},
      {"nomodule", " script "},
      {"novalidate", " form "},
      {"formnovalidate", " input button "},
      {"ismap", " img "},
      {"open", " details dialog "},
      {"reversed", " ol "},
      {"default", " track "},
      {"allowfullscreen", " iframe "},
      {"noshade", " hr "},
      {"nowrap", " td th "},
  };
  for (const auto& B : Table) {
    if (Attr != B.Attr) continue;
    const std::string_view Elements = B.Elements;
    if (Elements == "*") return true;
    return Elements.find(" " + std::string(Element) + " ") != std::string_view::npos;
  }
  return false;
}

bool FitsUnquoted(std::string_view Value) {
  if (Value.empty()) return false;
  for (char C : Value)
    if (IsBlank(C) || C == '"' || C == '\'' || C == '=' || C == '<' || C == '>' || C == '`')
      return false;
  return true;
}

bool IsDefaultType(std::string_view Element, std::string_view Attr, std::string_view Value) {
  if (Attr != "type") return false;
  const std::string V = Lower(Value);
  return (Element == "script" && V == "text/javascript") || (Element == "style" && V == "text/css");
}

// type="text/css" of a <link> whose rel names "stylesheet": the type the
// sheet is fetched as anyway.
bool IsSheetLinkType(std::string_view Tag, std::string_view Element, std::string_view Attr,
                     std::string_view Value) {
  if (Element != "link" || Attr != "type" || Lower(Value) != "text/css") return false;
  std::string Rel;
  if (!TagAttribute(Tag, "rel", Rel)) return false;
  std::string Words = " ";
  for (char C : Lower(Rel)) Words += IsBlank(C) ? ' ' : C;
  return (Words + " ").find(" stylesheet ") != std::string::npos;
}

}  // namespace

std::string ShortStartTag(std::string_view Tag, std::string_view Name, bool DropSelfClosing) {
  auto Same = [Tag] { return std::string(Tag); };
  const size_t N = Tag.size();
  if (N < 2 + Name.size() || Tag.back() != '>' || Tag.find("<?", 1) != std::string_view::npos ||
      Tag.find("<%", 1) != std::string_view::npos)
    return Same();
  size_t I = 1 + Name.size();
  std::string Out(Tag.substr(0, I));
  while (I < N) {
    const size_t SepBegin = I;
    while (I < N && IsBlank(Tag[I])) ++I;
    std::string_view Blank = Tag.substr(SepBegin, I - SepBegin);
    if (I >= N) return Same();
    if (DropSelfClosing && Tag.compare(I, 2, "/>") == 0 && I + 2 == N) {
      // Read again without it: the value before may now go unquoted.
      std::string Open(Tag.substr(0, SepBegin));
      return ShortStartTag(Open += '>', Name, false);
    }
    if (Tag[I] == '>' || Tag.compare(I, 2, "/>") == 0) {
      Out += Blank;
      Out += Tag.substr(I);
      return Out;
    }
    if (Tag[I] == '/') {  // a stray slash is no attribute
      (Out += Blank) += '/';
      ++I;
      continue;
    }
    const size_t NameBegin = I;
    while (I < N && !IsBlank(Tag[I]) && Tag[I] != '=' && Tag[I] != '>' && Tag[I] != '/') {
      if (Tag[I] == '"' || Tag[I] == '\'' || Tag[I] == '<') return Same();
      ++I;
    }
    const std::string_view Attr = Tag.substr(NameBegin, I - NameBegin);
    if (Attr.empty()) return Same();  // "=" where a name belongs
    std::string_view Value, Written = Attr;
    bool HasValue = false, Quoted = false;
    if (I < N && Tag[I] == '=') {
      HasValue = true;
      ++I;
      if (I < N && (Tag[I] == '"' || Tag[I] == '\'')) {
        const size_t Close = Tag.find(Tag[I], I + 1);
        if (Close == std::string_view::npos) return Same();
        Value = Tag.substr(I + 1, Close - I - 1);
        Quoted = true;
        I = Close + 1;
      } else {
        const size_t Begin = I;
        while (I < N && !IsBlank(Tag[I]) && Tag[I] != '>') ++I;
        Value = Tag.substr(Begin, I - Begin);
        if (Value.empty()) return Same();
      }
      Written = Tag.substr(NameBegin, I - NameBegin);
    }
    const std::string LowAttr = Lower(Attr);
    if (HasValue &&
        (IsDefaultType(Name, LowAttr, Value) || IsSheetLinkType(Tag, Name, LowAttr, Value)))
      continue;
    // What stands before the attribute: its blank, or one where the last
    // thing written no longer ends in a quote.
    if (Blank.empty() && Out.back() != '"' && Out.back() != '\'') Blank = " ";
    Out += Blank;
    const bool Ends = I >= N || IsBlank(Tag[I]) || Tag[I] == '>';
    if (HasValue && IsBooleanOn(LowAttr, Name) && (Value.empty() || Lower(Value) == LowAttr)) {
      Out += Attr;
    } else if (Quoted && Ends && FitsUnquoted(Value)) {
      ((Out += Attr) += '=') += Value;
    } else {
      Out += Written;
    }
  }
  return Same();
}

bool PreservesSpace(std::string_view Tag) {
  // This runs for every element: look for the name before reading the tag.
  bool Named = false;
  for (size_t I = Tag.find(':'); I != std::string_view::npos && !Named; I = Tag.find(':', I + 1))
    Named = I >= 3 && Lower(Tag.substr(I - 3, 9)) == "xml:space";
  if (!Named) return false;
  std::string Value;
  if (!TagAttribute(Tag, "xml:space", Value)) return false;
  size_t B = 0, E = Value.size();
  while (B < E && IsBlank(Value[B])) ++B;
  while (E > B && IsBlank(Value[E - 1])) --E;
  return Lower(Value.substr(B, E - B)) == "preserve";
}

namespace {

bool InList(std::string_view Name, std::string_view List) {
  if (Name.empty()) return false;
  for (size_t I = List.find(Name); I != std::string_view::npos; I = List.find(Name, I + 1))
    if (List[I - 1] == ' ' && List[I + Name.size()] == ' ') return true;
  return false;
}

// Elements an <li> start tag closes through (not special, or address, div, p).
const std::string_view SpecialNotLi =
    " applet area article aside base basefont bgsound blockquote body br button caption center "
    "col colgroup dd details dir dl dt embed fieldset figcaption figure footer form frame "
    "frameset h1 h2 h3 h4 h5 h6 head header hgroup hr html iframe img input keygen link listing "
    "main marquee menu meta nav noembed noframes noscript object ol param plaintext pre script "
    "search section select source style summary table tbody td template textarea tfoot th thead "
    "title tr track ul wbr xmp svg math ";
// Elements a p may hold while its end tag stays optional: neither
// formatting elements (the parser rebuilds those) nor scope boundaries.
const std::string_view KeepsPOpen =
    " span img br abbr cite dfn kbd samp sub sup var q label time data mark bdi bdo wbr input ";
// Start tags that close an open p in any document mode (table does not in
// quirks mode).
const std::string_view ClosesP =
    " address article aside blockquote details div dl fieldset figcaption figure footer form "
    "h1 h2 h3 h4 h5 h6 header hgroup hr main menu nav ol p pre section ul ";

// The first thing of the output Next that follows an end tag.
enum class TNext { End, Space, Other, StartTag, EndTag };

// What Next starts with; Name gets the lower-case tag name of a tag.
TNext NextOf(std::string_view Next, std::string& Name) {
  Name.clear();
  if (Next.empty()) return TNext::End;
  if (IsBlank(Next[0])) return TNext::Space;
  if (Next[0] != '<' || Next.size() < 2) return TNext::Other;
  const bool End = Next[1] == '/';
  size_t I = End ? 2 : 1;
  auto IsAlnum = [](char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9');
  };
  if (I >= Next.size() || !IsAlnum(Next[I]) || (Next[I] >= '0' && Next[I] <= '9'))
    return TNext::Other;  // a comment, a server block, or text
  while (I < Next.size() && IsAlnum(Next[I])) Name += LoCaseAscii(Next[I++]);
  if (I < Next.size() && !IsBlank(Next[I]) && Next[I] != '>' && Next[I] != '/') {
    Name.clear();
    return TNext::Other;  // a name such as "x-y" or "svg:a" is none of ours
  }
  return End ? TNext::EndTag : TNext::StartTag;
}

// Elements with no end tag: never on the stack.
const std::string_view VoidElements =
    " area base basefont bgsound br col embed frame hr image img input keygen link meta param "
    "source track wbr ";
// Elements whose content is not parsed as HTML elements (foreign content,
// template contents, raw text): no end tag inside goes.
const std::string_view Blocking =
    " svg math template noscript noembed noframes iframe xmp textarea title script style "
    "plaintext ";
// End tags that close an open p inside their element (they generate the
// implied end tags); the p must be their child.
const std::string_view EndsAroundP =
    " address article aside blockquote details dialog div dl fieldset figcaption figure footer "
    "form header hgroup main menu nav ol section ul li dd dt td th ";
// End tags that close a table cell, and a row, from inside.
const std::string_view TableEnds = " tr tbody thead tfoot table ";
const std::string_view RowEnds = " tbody thead tfoot table ";
// Start tags that close a caption and a column group.
const std::string_view AfterCaption = " caption col colgroup thead tbody tfoot tr td th ";
const std::string_view AfterColgroup = " caption colgroup thead tbody tfoot tr td th ";

// Deepest nesting followed; a page nested deeper keeps all its end tags.
constexpr size_t MaxOpen = 1024;

// Which of the lists above name an element, found with one look-up (this
// runs for every tag of a page at smallest).
enum : unsigned { InSpecial = 1, InKeepsPOpen = 2, InVoid = 4, InBlocking = 8 };

unsigned ListsOf(std::string_view Name) {
  static const std::unordered_map<std::string_view, unsigned> Lists = [] {
    std::unordered_map<std::string_view, unsigned> M;
    const std::pair<std::string_view, unsigned> Sources[] = {{SpecialNotLi, InSpecial},
                                                             {KeepsPOpen, InKeepsPOpen},
                                                             {VoidElements, InVoid},
                                                             {Blocking, InBlocking}};
    for (const auto& [List, Bit] : Sources) {
      for (size_t I = 1; I < List.size();) {
        const size_t Blank = List.find(' ', I);
        M[List.substr(I, Blank - I)] |= Bit;
        I = Blank + 1;
      }
    }
    return M;
  }();
  const auto It = Lists.find(Name);
  return It == Lists.end() ? 0u : It->second;
}

}  // namespace

void TOptionalEnds::StartTag(std::string_view Name) {
  const unsigned Lists = ListsOf(Name);
  const bool Special = Lists & InSpecial;
  if (Name == "li") {
    LiClean = true;
  } else if (Special) {
    LiClean = false;
  }
  if (Name == "dt" || Name == "dd") {
    DdClean = true;
  } else if (Special) {
    DdClean = false;
  }
  if (Name == "p") {
    PClean = true;
  } else if (!(Lists & InKeepsPOpen)) {
    PClean = false;
  }
  if (Lists & InVoid) return;
  if (Open.size() >= MaxOpen) {
    Overflow = true;
    return;
  }
  Open.emplace_back(Name);
  if (Lists & InBlocking) ++Blocked;
}

TOptionalEnds::TCandidate TOptionalEnds::Candidate(std::string_view Name) const {
  TCandidate C;
  if (Blocked > 0 || Overflow) return C;  // Name stays empty: nothing goes
  C.Name = Name;
  C.Closable = Name == "li" ? LiClean : (Name == "dt" || Name == "dd") ? DdClean : PClean;
  size_t At = Open.size();
  while (At > 0 && Open[At - 1] != Name) --At;
  if (At == 0) return C;  // a stray end tag: the parser ignores it, so may we
  C.Clean = At == Open.size();
  if (At >= 2) C.Parent = Open[At - 2];
  return C;
}

void TOptionalEnds::EndTag(std::string_view Name) {
  // Once a list or an li ends, what is open around the next one is unknown.
  const unsigned Lists = ListsOf(Name);
  if (Name == "li" || (Lists & InSpecial)) LiClean = DdClean = false;
  if (Name == "dt" || Name == "dd") DdClean = false;
  if (!(Lists & InKeepsPOpen)) PClean = false;
  size_t At = Open.size();
  while (At > 0 && Open[At - 1] != Name) --At;
  LastEndClosed = At > 0;
  if (At == 0) return;
  for (size_t I = At - 1; I < Open.size(); ++I)
    if (ListsOf(Open[I]) & InBlocking) --Blocked;
  Open.resize(At - 1);
}

bool TOptionalEnds::CanDrop(const TCandidate& C, std::string_view NextBytes) const {
  if (C.Name.empty()) return false;
  std::string Next;
  const TNext Kind = NextOf(NextBytes, Next);
  const bool Start = Kind == TNext::StartTag, End = Kind == TNext::EndTag;
  const std::string_view N = C.Name;
  // What follows at once, or the parent's end tag.
  auto ParentEnds = [&](std::string_view Parents) {
    return End && C.Clean && Next == C.Parent && InList(Next, Parents);
  };
  if (N == "html" || N == "body")  // a comment after them would change its place
    return Kind == TNext::End || Kind == TNext::StartTag || Kind == TNext::EndTag ||
           (Kind == TNext::Other && NextBytes[0] != '<');
  if (N == "head")  // white space and comments would change their place, noscript its parsing
    return C.Clean && (Kind == TNext::End || (Start && Next != "noscript") || End ||
                       (Kind == TNext::Other && NextBytes[0] != '<'));
  if (N == "li") return (Start && Next == "li" && C.Closable) || ParentEnds(" ul ol menu ");
  if (N == "dt") return Start && (Next == "dt" || Next == "dd") && C.Closable;
  if (N == "dd")
    return (Start && (Next == "dt" || Next == "dd") && C.Closable) || ParentEnds(" dl ");
  if (N == "p")
    return C.Closable && ((Start && InList(Next, ClosesP)) ||
                          (End && Next == C.Parent && InList(Next, EndsAroundP)));
  if (N == "option")
    return C.Clean &&
           ((Start && (Next == "option" || Next == "optgroup")) ||
            ParentEnds(" select datalist optgroup ") || (End && Next == "select" && LastEndClosed));
  if (N == "optgroup") return C.Clean && ((Start && Next == "optgroup") || ParentEnds(" select "));
  if (N == "rt" || N == "rp")
    return C.Clean && (C.Parent == "ruby" || C.Parent == "rtc") &&
           ((Start && (Next == "rt" || Next == "rp")) || ParentEnds(" ruby "));
  if (N == "td" || N == "th")
    return (Start && (Next == "td" || Next == "th")) ||
           (End && InList(Next, TableEnds) && LastEndClosed);
  if (N == "tr") return (Start && Next == "tr") || (End && InList(Next, RowEnds) && LastEndClosed);
  if (N == "thead") return Start && (Next == "tbody" || Next == "tfoot");
  if (N == "tbody")
    return (Start && (Next == "tbody" || Next == "tfoot")) ||
           (End && Next == "table" && LastEndClosed);
  if (N == "tfoot") return End && Next == "table" && LastEndClosed;
  if (N == "caption")
    return (Start && InList(Next, AfterCaption)) || (End && Next == "table" && LastEndClosed);
  if (N == "colgroup")
    return C.Clean &&
           ((Start && InList(Next, AfterColgroup)) || (End && Next == "table" && LastEndClosed));
  return false;
}

}  // namespace larkspan::minify
