// How a reference is written in a page, where it leads in the site, and how
// another reference is written the same way. Shared by the page rewriting
// (which must recognise every spelling of a reference to a left-out
// duplicate) and the reference check (which must not miss one).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

// Text with its HTML character references decoded: "&#NN;", "&#xHH;" (the
// ";" may be missing) and the named ones a path may hold ("&amp;",
// "&period;", "&sol;", ...). Code points above 0x7F become UTF-8. A
// reference to a control character (a line break included), to 0 or beyond
// U+10FFFF stays as written, so line counts do not change.
std::string DecodeCharRefs(std::string_view Text);

// Path relative to Folder (ending in "/"), "/" between segments, ".." for
// every folder level to climb. Folder names are compared exactly: two
// folders whose names differ only in case are different folders here.
std::string PathToRef(const std::string& Folder, const std::string& Path);

// Text with every "%HH" decoded.
std::string PercentDecode(std::string_view Text);

// Whether Text holds a character reference or a percent escape: a reference
// in it may then spell a file name in a way a byte search does not see.
bool HasEscapes(std::string_view Text);

// The raw value of the href attribute of the first "<base" tag of Page
// (letter case ignored, quoted or not); empty when there is none.
std::string BaseHrefOf(std::string_view Page);

// How a reference is spelt, so that another can be spelt alike.
struct TRefStyle {
  bool Rooted = false;    // "/img/a.png": from the site's top
  bool DotSlash = false;  // "./a.gif"
  bool Percent = false;   // it held percent escapes
  std::string Suffix;     // the query and fragment, as written ("?v=2#x")
};

// The full path Ref leads to in the site, "" when it leads outside it or
// cannot be read: a scheme ("http:", "data:") or "//host" is never resolved.
// Character references and percent escapes are decoded, "." and ".." folded
// (a ".." above the site's top gives ""), a query or fragment left off.
// Root: the site folder; Dir: the folder relative references start from;
// both end in "/", Dir is Root or below it. Dir empty: only references from
// the site's top are resolved. Style, when given, is set.
std::string ResolveRef(std::string_view Ref, const std::string& Root, const std::string& Dir,
                       TRefStyle* Style = nullptr);

// A reference from Dir to Path (a full path below Root) spelt in Style, for
// an attribute value of a page: "&" is written "&amp;"; quotes, "<", ">",
// "#", "?", "%", "\" and control bytes are percent-encoded (with
// Style.Percent also blanks and bytes above 0x7F); "./" goes before a
// reference whose first segment holds a ":". ResolveRef reads it back as
// Path.
std::string SpellRef(const std::string& Root, const std::string& Dir, const std::string& Path,
                     const TRefStyle& Style);

// The folder relative references of a page in PageDir start from, with the
// page's base href (raw): PageDir without one; the base's folder when it is
// relative or rooted. A base naming a host ("http://h/x/", "//h/x/") is read
// by its path from the site's top when AllowHost is set, and gives "" (not
// known) when it is not.
std::string BaseDirOf(const std::string& Root, const std::string& PageDir,
                      std::string_view BaseHref, bool AllowHost);

// Finds mentions of a fixed set of file names in texts, letter case
// ignored, in one pass whatever the number of names: a mention is anchored
// on a name's extension and matched backwards through a trie of the
// reversed names (at most the longest name), so the cost is linear in the
// text. TAB, CR, LF and "<" inside a mention are passed over, as the parser
// drops them from tags.
class TNameFinder {
 public:
  explicit TNameFinder(const std::vector<std::string>& Names);

  struct THit {
    int Name;    // index into Names
    size_t End;  // 0-based offset of the byte after the mention
  };
  // The mentions in Text: those of names with an extension in text order,
  // then those of names without one. FirstOnly: stop at the first.
  std::vector<THit> Find(std::string_view Text, bool FirstOnly = false) const;
  bool Empty() const { return Count == 0; }

 private:
  struct TNode {
    std::vector<std::pair<char, int>> Next;  // lower-case byte -> node
    std::vector<int> Names;                  // names that end here
  };
  std::vector<TNode> Trie;                        // node 0 is the root
  std::vector<std::string> Extensions;            // lower case, with the dot
  std::vector<std::pair<std::string, int>> Bare;  // names without an extension
  size_t Count = 0;
};

}  // namespace larkspan
