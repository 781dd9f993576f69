#include "minify/MinifyPageTags.h"

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

}  // namespace

std::string ShortStartTag(std::string_view Tag, std::string_view Name) {
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
    if (HasValue && IsDefaultType(Name, LowAttr, Value)) continue;
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

// The lower-case name of the tag at the start of Rest ("<x" or "</x") when
// Rest starts with one, else "". Lead tells which.
std::string NextTag(std::string_view Rest, bool& End) {
  End = Rest.size() > 1 && Rest[0] == '<' && Rest[1] == '/';
  size_t I = End ? 2 : 1;
  if (Rest.empty() || Rest[0] != '<') return "";
  std::string Name;
  while (I < Rest.size() &&
         ((Rest[I] >= 'a' && Rest[I] <= 'z') || (Rest[I] >= 'A' && Rest[I] <= 'Z') ||
          (Rest[I] >= '0' && Rest[I] <= '9')))
    Name += LoCaseAscii(Rest[I++]);
  if (I < Rest.size() && !IsBlank(Rest[I]) && Rest[I] != '>' && Rest[I] != '/') return "";
  return Name;
}

}  // namespace

void TOptionalEnds::StartTag(std::string_view Name) {
  if (Name == "li") {
    LiClean = true;
  } else if (InList(Name, SpecialNotLi)) {
    LiClean = false;
  }
  if (Name == "p") {
    PClean = true;
  } else if (!InList(Name, KeepsPOpen)) {
    PClean = false;
  }
}

void TOptionalEnds::EndTag(std::string_view Name) {
  // Once a list or an li ends, what is open around the next one is unknown.
  if (Name == "li" || InList(Name, SpecialNotLi)) LiClean = false;
  if (!InList(Name, KeepsPOpen)) PClean = false;
}

bool TOptionalEnds::CanDrop(std::string_view Name, std::string_view Rest) const {
  bool End = false;
  const std::string Next = NextTag(Rest, End);
  if (Next.empty()) return false;
  if (Name == "li")
    return End ? (Next == "ul" || Next == "ol" || Next == "menu") : (Next == "li" && LiClean);
  if (Name == "option")
    return End ? Next == "select" || Next == "datalist" : Next == "option" || Next == "optgroup";
  if (Name == "p") return !End && PClean && InList(Next, ClosesP);
  return false;
}

}  // namespace larkspan::minify
