// Style-sheet rewrites of the level smallest, on a sheet already minified at
// the level safe: rules and declarations the cascade provably gives the
// same result without.
//
// In a list of rules (the sheet, @media, @supports), only style rules with
// declarations alone in their block are touched; any other item (an
// at-rule, a rule with nested rules or a kept comment) stands between the
// rules around it as a wall:
// - two adjacent rules with the same selector list become one, their
//   declarations in order;
// - two adjacent rules with the same declarations become one with both
//   selector lists, where every selector is one every browser reads (type,
//   class, id, the combinators and a few CSS 2 pseudo-classes), so that no
//   browser drops the merged rule for a part it does not know;
// - in a rule, a declaration that the same one (property, value and
//   importance, byte for byte) repeats later goes; so does one whose
//   property comes again later with a value every browser takes for it
//   (a #rgb colour, a length with a unit, so the earlier one is no
//   fallback), unless only the earlier one is !important;
// - margin-top/right/bottom/left (and padding-*) all present once, plain
//   lengths of the same importance and no other margin (padding)
//   declaration in the rule, become the shorthand.
// Nothing else changes: every byte outside the rules touched stays.
#pragma once

#include <string>
#include <string_view>

#include "minify/Charset.h"

namespace larkspan::minify {

// Sheet with the rewrites above; Sheet itself when it cannot be tokenized.
std::string MergeCssRules(std::string_view Sheet, TCodePage Page);

}  // namespace larkspan::minify
