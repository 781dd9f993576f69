// Command-line options of larkspan-cli and their parsing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/uConfig.h"
#include "platform/CodePage.h"
#include "platform/Error.h"

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
  std::string JpegMode;                 // "lossy" or "lossless"; "" when not given
  std::optional<TMinifyLevel> Level;    // --level NAME; nothing when not given
  std::optional<int> CacheSize;         // --cache-size MB; nothing when not given
  bool NoCache = false;                 // --no-cache
  bool Delete = false;                  // --delete: remove what the run did not write
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

// A refused command line, in both languages: what() is "中文 (English): Word".
class TCliOptionError : public Exception {
 public:
  TCliOptionError(const std::string& Zh, const std::string& En, const std::string& Word);
  // "English: Word" or "中文: Word" (the word alone when there is none).
  std::string Text(bool English) const;
  std::string Zh, En, Word;
};

// Parses argv with getopt_long: short options may be bundled ("-vq"), a
// value follows its option as the next word or after "=", a long option may
// be shortened to any unambiguous beginning ("--dry"), options and the two
// folders come in any order, and "--" ends the options. Throws
// TCliOptionError with a one-line message on a bad option or value (--jobs
// takes a whole number >= 1, --charset a name ParseCodePage knows, --level
// a name MinifyLevelByName knows: the messages list them; a mistyped long option names the nearest
// one, "did you mean --charset?") or a wrong number of folders (unless --help or
// --version is given). argv itself is left as it was.
TCliOptions ParseCliOptions(int argc, char** argv);

// Whether argv asks for English reports (--lang en, also shortened), or
// Default when it names no language: for refusals of argv itself.
bool LangEnglishInArgs(int argc, char** argv, bool Default);

// Puts the options into Config: any switch given replaces all eight switches
// (the ones not given are off); without switches Config keeps its own; so do
// the character set, the compressor, Jobs, the JPEG mode and the level when not
// given. --filter and
// --except entries are appended to the list texts (an unterminated last
// piece of a stored list text, which is no entry, is dropped).
void ApplyCliOptions(const TCliOptions& Options, TAppConfig& Config);

std::string CliUsage();

}  // namespace larkspan
