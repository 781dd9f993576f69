// Command-line options of larkspan-cli and their parsing.
#pragma once

#include <string>
#include <vector>

#include "config/uConfig.h"

namespace larkspan {

struct TCliOptions {
  std::string Site;
  std::string Output;
  // Switches given on the command line; -1 when not given.
  int Html = -1, Css = -1, Js = -1, Xml = -1, Jpg = -1, Gif = -1, Png = -1, Dedupe = -1;
  std::string CharSet;     // "" when not given
  std::string Compressor;  // "native" or "archive"; "" when not given
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
// a wrong number of folders (unless --help or --version is given).
TCliOptions ParseCliOptions(int argc, char** argv);

// Puts the options into Config: any switch given replaces all eight switches
// (the ones not given are off); without switches Config keeps its own.
// --filter and --except entries are appended to the list texts.
void ApplyCliOptions(const TCliOptions& Options, TAppConfig& Config);

std::string CliUsage();

}  // namespace larkspan
