// How far the minifiers go: one typed value, parsed once from the name a
// user gives (command line, settings file, the window's list) and handed on
// to the minifiers. Every level keeps text byte for byte (text nodes,
// attribute values, strings, url() targets); they differ in how much of the
// ASCII syntax around the text they may rewrite.
#pragma once

#include <optional>
#include <string_view>

namespace larkspan {

enum class TMinifyLevel {
  Spaces,    // only white space and comments go; every other byte stays
  Safe,      // also rewrites of syntax that change no meaning (numbers,
             // colours, quotes where the value needs none, defaults)
  Smallest,  // also what only the parsing rules prove equal (optional end
             // tags, page comments)
};

// The level named Name ("spaces", "safe", "smallest"; ASCII case ignored),
// or nothing for any other name.
std::optional<TMinifyLevel> MinifyLevelByName(std::string_view Name);

// The name of Level, as MinifyLevelByName reads it.
std::string_view MinifyLevelName(TMinifyLevel Level);

// The accepted names, for messages: "spaces, safe, smallest".
inline constexpr std::string_view MinifyLevelNames = "spaces, safe, smallest";

}  // namespace larkspan
