// Command-line options of larkspan-cli and their parsing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/uConfig.h"
#include "platform/CodePage.h"

namespace larkspan {

struct TCliOptions {
  std::string Site;
  std::string Output;
  // What to reduce: true for each switch given (--all gives all eight).
  bool Html = false, Css = false, Js = false, Xml = false;
  bool Jpg = false, Gif = false, Png = false, Dedupe = false;
  // True when any of the eight switches was given.
  bool AnySwitch() const { return Html || Css || Js || Xml || Jpg || Gif || Png || Dedupe; }
  std::string CharSet;                  // the name as given; "" when not given
  TCodePage CodePage = TCodePage::Gbk;  // what CharSet means, when given
  std::string Compressor;               // "native" or "archive"; "" when not given
  int Jobs = 0;                         // --jobs N, N >= 1; 0 when not given
  std::optional<TMinifyLevel> Level;    // --level NAME; nothing when not given
  std::vector<std::string> Filters;
  std::vector<std::string> Excepts;
  bool UseSettings = false;
  bool Quiet = false;
  bool Json = false;
  bool Verbose = false;
  bool DryRun = false;
  std::string Lang;  // "zh", "en", or "" to follow the locale
  bool Help = false;
  bool Version = false;
};

// Parses argv. Throws Exception with a one-line message on a bad option or
// value (--jobs takes a whole number >= 1, --charset a name ParseCodePage
// knows, --level a name MinifyLevelByName knows: the messages list them) or a wrong number of
// folders (unless
// --help or --version is given).
TCliOptions ParseCliOptions(int argc, char** argv);

// Puts the options into Config: any switch given replaces all eight switches
// (the ones not given are off); without switches Config keeps its own; so do
// the character set, the compressor, Jobs and the level when not given. --filter and
// --except entries are appended to the list texts (an unterminated last
// piece of a stored list text, which is no entry, is dropped).
void ApplyCliOptions(const TCliOptions& Options, TAppConfig& Config);

std::string CliUsage();

}  // namespace larkspan
