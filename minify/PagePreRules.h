// Which elements of a page its own style sheets set to keep their white
// space, so that the page minifier leaves their content alone.
//
// The rule, chosen to err on the side of keeping bytes:
// - a declaration `white-space` or `white-space-collapse` whose value names
//   "pre" (pre, pre-wrap, pre-line, preserve...), "break-spaces" or a var()
//   counts as keeping white space;
// - an element keeps its content when its own `style` attribute holds such a
//   declaration, or when a rule of one of the page's <style> blocks (also
//   inside @media, @supports, @layer, @container) that holds one names the
//   element's tag, one of its classes or its id in the last compound of a
//   selector (`div.demo code` names `code`; `code.x` names `code` and `x`,
//   either is enough);
// - a last compound with attribute selectors (`div[class^='hl']`,
//   `[data-x]`, `[lang|=zh]`) names the element that carries all of them
//   (and its tag, when one is named); its classes, id and pseudo-classes
//   are not checked, values are compared with ASCII case ignored, and a
//   page value holding a character reference counts as matching;
//   an attribute selector it cannot read (`[ns|a]`) is left out of the test;
// - a rule whose last compound names none of these (`*`, `:hover`, an
//   escaped name, a nested rule) keeps the white space of the whole page.
// Style sheets the page links to are read by the caller, who knows where
// they are (TMinifyOptions::LinkedPreRules); these functions find them.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "minify/Charset.h"

namespace larkspan::minify {

// One attribute selector: [Name], or [Name Op= Value].
struct TAttrTest {
  std::string Name;   // lower case
  char Op = 0;        // 0 (present), '=', '^', '$', '*', '~' or '|'
  std::string Value;  // unquoted, lower case
};

// A last compound with attribute selectors.
struct TPreSubject {
  std::string Tag;  // lower case; empty for any element
  std::vector<TAttrTest> Tests;
};

struct TPreRules {
  std::unordered_set<std::string> Tags;  // lower case
  std::unordered_set<std::string> Classes;
  std::unordered_set<std::string> Ids;
  std::vector<TPreSubject> Subjects;
  bool WholePage = false;
};

// Adds every rule of From to Rules.
void AddPreRules(const TPreRules& From, TPreRules& Rules);

// Adds the rules of one style sheet's text to Rules. Never fails: text it
// cannot read adds nothing, or WholePage when it might matter.
void CollectPreRules(std::string_view Css, TPreRules& Rules);

// True when Declarations (the text of a block or a style attribute) set
// white space to be kept.
bool DeclaresPre(std::string_view Declarations);

// True when the start tag Tag ("<name ...>", raw bytes) of the element named
// Name (lower case) is kept by Rules or by its own style attribute.
bool KeepsWhiteSpace(std::string_view Tag, std::string_view Name, const TPreRules& Rules);

// The value of attribute Name (lower case) in the start tag Tag, without
// quotes; false when the tag has no such attribute.
bool TagAttribute(std::string_view Tag, std::string_view Name, std::string& Value);

// The href values (raw, as written) of the page's <link> elements whose rel
// names "stylesheet" (ASCII case ignored), in page order. Links inside
// comments or scripts count too: a sheet read needlessly only keeps white
// space.
std::vector<std::string> LinkedStyleSheets(std::string_view Page);

// The URLs (raw, without quotes or url()) of the @import rules of the style
// sheet Css in the code page Page; none when it cannot be tokenized.
std::vector<std::string> ImportedStyleSheets(std::string_view Css, TCodePage Page);

}  // namespace larkspan::minify
