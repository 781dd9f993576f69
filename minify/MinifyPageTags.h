// Start tags spelt shorter, for the page minifier from the level safe on.
// Only the syntax around attribute values changes; every value that stays
// keeps its bytes, so the tag gives the same element to an HTML parser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkspan::minify {

// Tag is a whole start tag "<name ...>" as the page minifier writes it
// (single blanks between attributes), Name its lower-case element name.
// Returns the tag with:
// - quotes dropped around a value that reads the same unquoted (no blank,
//   quote, "=", "<", ">" or "`", not empty, and followed by a blank or ">");
// - a boolean attribute (checked, disabled, ...) of the elements it belongs
//   to written bare where its value is empty or its own name;
// - type="text/javascript" of <script>, type="text/css" of <style> and of
//   <link rel=stylesheet> left out, as they are what the element is
//   without them.
// - with DropSelfClosing (for a void element outside SVG and MathML, where
//   the HTML parser ignores it), the "/" that ends the tag left out.
// A tag it cannot read with certainty (a server block inside, a stray
// quote, an unclosed value) is returned as it is. Bytes of 0x80 and above
// are never syntax here, so any ASCII-compatible code page is read right.
std::string ShortStartTag(std::string_view Tag, std::string_view Name,
                          bool DropSelfClosing = false);

// True when the start tag Tag carries xml:space="preserve": the white
// space of its content is rendered as written (SVG text).
bool PreservesSpace(std::string_view Tag);

// Which end tags a page can do without: the HTML parser closes the element
// at the same point when what follows in the output follows it at once.
// Covers li, dt, dd, p, option, optgroup, rt, rp, td, th, tr, thead, tbody,
// tfoot, colgroup, caption, head, body and html. Fed every tag of the page
// in order (names lower case); keeps a stack of the open elements as the
// tags name them (the parser's implied closes are not modelled: where they
// would matter the stack disagrees and the tag stays). Nothing goes inside
// svg, math, template, noscript and the raw-text elements. Errs on the side
// of keeping a tag.
class TOptionalEnds {
 public:
  // An end tag met in the page, with what was known when it was met.
  struct TCandidate {
    std::string Name;    // lower case
    std::string Parent;  // the open element around it, "" when unknown
    bool Clean = false;  // nothing is open inside it that its closing would have to close
    // For li, dt, dd and p: a start tag that closes such an element would
    // close this one (nothing in it stops the parser's search).
    bool Closable = false;
  };

  void StartTag(std::string_view Name);
  // The end tag of Name as a candidate; call before EndTag(Name).
  TCandidate Candidate(std::string_view Name) const;
  void EndTag(std::string_view Name);
  // Whether the candidate's end tag may be left out when Next (the output
  // right after it; empty at the page's end) follows it at once.
  bool CanDrop(const TCandidate& End, std::string_view Next) const;

 private:
  std::vector<std::string> Open;  // the open elements, outermost first
  size_t Blocked = 0;             // how many of them stop any end tag from going
  bool Overflow = false;          // the page nests deeper than the stack holds
  // The last end tag met closed an open element of its name (CanDrop runs
  // just after the tag that follows the candidate).
  bool LastEndClosed = false;
  bool LiClean = false;  // the open li holds nothing that would stop an <li> closing it
  bool DdClean = false;  // the same for the open dt or dd and a <dt> or <dd>
  bool PClean = false;   // a p is open and holds only elements that keep it closable
};

}  // namespace larkspan::minify
