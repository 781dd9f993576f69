// Start tags spelt shorter, for the page minifier from the level safe on.
// Only the syntax around attribute values changes; every value that stays
// keeps its bytes, so the tag gives the same element to an HTML parser.
#pragma once

#include <string>
#include <string_view>

namespace larkspan::minify {

// Tag is a whole start tag "<name ...>" as the page minifier writes it
// (single blanks between attributes), Name its lower-case element name.
// Returns the tag with:
// - quotes dropped around a value that reads the same unquoted (no blank,
//   quote, "=", "<", ">" or "`", not empty, and followed by a blank or ">");
// - a boolean attribute (checked, disabled, ...) of the elements it belongs
//   to written bare where its value is empty or its own name;
// - type="text/javascript" of <script> and type="text/css" of <style> left
//   out, as they are what the element is without them.
// A tag it cannot read with certainty (a server block inside, a stray
// quote, an unclosed value) is returned as it is. Bytes of 0x80 and above
// are never syntax here, so any ASCII-compatible code page is read right.
std::string ShortStartTag(std::string_view Tag, std::string_view Name);

// True when the start tag Tag carries xml:space="preserve": the white
// space of its content is rendered as written (SVG text).
bool PreservesSpace(std::string_view Tag);

// Which end tags of li, p and option a page can do without: the HTML parser
// closes the element at the same point when the next tag follows with
// nothing between. Fed every tag of the page in order (names lower case);
// errs on the side of keeping a tag.
class TOptionalEnds {
 public:
  void StartTag(std::string_view Name);
  void EndTag(std::string_view Name);
  // Whether the end tag of Name, followed at once by Rest (the rest of the
  // page), may be left out.
  bool CanDrop(std::string_view Name, std::string_view Rest) const;

 private:
  bool LiClean = false;  // the open li holds nothing that would stop an <li> closing it
  bool PClean = false;   // a p is open and holds only elements that keep it closable
};

}  // namespace larkspan::minify
