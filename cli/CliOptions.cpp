#include "cli/CliOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cstring>

#include "config/uGlobal.h"
#include "platform/Error.h"
#include "platform/Thread.h"

namespace larkspan {

std::string CliUsage() {
  return R"(用法: larkspan-cli [选项] 网站根目录 输出目录
Usage: larkspan-cli [options] SITE OUTPUT

Writes a slimmed copy of the web site folder SITE into OUTPUT (created when
missing). SITE is only read, never written.

What to reduce (without any of these the defaults apply: web pages only):
  --html        minify web pages (.htm, .html)
  --css         minify style sheets (.css), also inline <style> in pages
  --js          minify scripts (.js), also inline <script> in pages
  --xml         minify XML files (.xml)
  --jpg         optimise JPEG pictures (jpegoptim); LOSSY by default: a
                picture above quality 85 is re-encoded at 85 (its pixels
                change), EXIF data is removed; see --jpeg-mode
  --gif         optimise GIF pictures (gifsicle)
  --png         optimise PNG pictures (pngout)
  --dedupe      write pictures of equal content once and point the pages
                that used a dropped copy at the one that was kept
  --all         all eight of the above

Options:
  --charset NAME      character set of the site's text files (default GB2312)
  --jpeg-mode MODE    "lossy" (default: jpegoptim -m85) or "lossless"
                      (optimised coding only, every pixel kept); the saved
                      setting is the key JpegMode in [Sys]
  --compressor NAME   "native" (default: in-process, no Java runtime needed)
                      or "archive" (java -jar htmlcompressor.jar per file);
                      the saved setting is the key Compressor in [Sys]
  --level NAME        how far minifying goes: "spaces" (only white space and
                      comments go), "safe" (default: also shorter spellings
                      that change no meaning) or "smallest" (also optional
                      end tags and every page comment); text is kept byte
                      for byte at every level; the saved key Level in [Sys]
  --jobs N            work on N files at once, N >= 1 (default: one per
                      processor core; with --settings the saved key Jobs)
  --no-cache          neither use nor fill the cache of results for this run
                      (by default each optimised or minified file's result
                      is kept in $XDG_CACHE_HOME/larkspan, or
                      ~/.cache/larkspan, and a later run takes it from there
                      instead of running the tool again; the output is the
                      same either way)
  --cache-size MB     keep the cache at most MB MiB (default 300; 0 turns it
                      off); the saved key CacheSize in [Sys]
  --delete            remove the files in OUTPUT that this run did not write
                      (files deleted from the site, renamed or now filtered)
                      and the folders that leaves empty; never anything
                      outside OUTPUT, never through a link. Without it they
                      are counted (and listed with --verbose)
  --filter PATTERN    leave files out: "*.ext" or a bare file name (repeatable)
  --except RELPATH    copy this file without minifying; path relative to SITE
                      (repeatable)
  --settings          start from the desktop program's saved settings
                      (read only: the settings file is never written)
  --dry-run           scan, find duplicates, check which of them something
                      still refers to (those would be kept), and print what
                      would be done to each file (and which pages would be
                      rewritten); a picture's optimiser is tried in the run,
                      which keeps its result only where it is smaller; write
                      nothing, not even the OUTPUT folder
  --lang zh|en        language of the report (default: Chinese when the
                      locale is zh_*, English otherwise)
  -q, --quiet         print nothing but errors
  -v, --verbose       one line per file: action, bytes in -> out, percent,
                      path; then the count of files per action; also the
                      rewritten pages, duplicates kept because something
                      still refers to them, files copied uncompressed (with
                      the compressor's reason), entries skipped unread
                      (FIFOs, devices, broken links, link loops), and the
                      files in OUTPUT this run did not write
  --json              print the result as one JSON object, with every file,
                      also when refused (always UTF-8: a byte of a name that
                      is not UTF-8 appears as the escape \udcXX, XX the byte)
  -h, --help          this text
  -V, --version       the program's version

Short options may be bundled (-vq), a value may follow as "--jobs=2", and a
long option may be shortened to any unambiguous beginning (--dry).
The report ends with a summary per kind of file (pages, style sheets,
scripts, XML, JPEG, GIF, PNG, other files, duplicates, filtered): files and
bytes before -> after; files a minifier or optimiser failed on are named.

Ctrl-C stops a run: the running optimiser is ended with its process group,
the files written so far stay whole, no temporary file is left, and the
report says what was done (exit status 130).

Exit status: 0 success, 1 the run failed, 2 refused (bad options or folders),
130 stopped by Ctrl-C (143 by SIGTERM).
)";
}

namespace {

// Long options: getopt_long's table, one short letter where there is one.
// Values above 255 stand for the long-only options.
enum : int {
  OptHtml = 256,
  OptCss,
  OptJs,
  OptXml,
  OptJpg,
  OptGif,
  OptPng,
  OptDedupe,
  OptAll,
  OptCharset,
  OptCompressor,
  OptJobs,
  OptFilter,
  OptExcept,
  OptSettings,
  OptDryRun,
  OptLang,
  OptJson,
  OptJpegMode,
  OptLevel,
  OptNoCache,
  OptCacheSize,
  OptDelete,
};
const option LongOptions[] = {
    {"html", no_argument, nullptr, OptHtml},
    {"css", no_argument, nullptr, OptCss},
    {"js", no_argument, nullptr, OptJs},
    {"xml", no_argument, nullptr, OptXml},
    {"jpg", no_argument, nullptr, OptJpg},
    {"gif", no_argument, nullptr, OptGif},
    {"png", no_argument, nullptr, OptPng},
    {"dedupe", no_argument, nullptr, OptDedupe},
    {"all", no_argument, nullptr, OptAll},
    {"charset", required_argument, nullptr, OptCharset},
    {"compressor", required_argument, nullptr, OptCompressor},
    {"jobs", required_argument, nullptr, OptJobs},
    {"filter", required_argument, nullptr, OptFilter},
    {"except", required_argument, nullptr, OptExcept},
    {"settings", no_argument, nullptr, OptSettings},
    {"dry-run", no_argument, nullptr, OptDryRun},
    {"lang", required_argument, nullptr, OptLang},
    {"json", no_argument, nullptr, OptJson},
    {"jpeg-mode", required_argument, nullptr, OptJpegMode},
    {"level", required_argument, nullptr, OptLevel},
    {"no-cache", no_argument, nullptr, OptNoCache},
    {"cache-size", required_argument, nullptr, OptCacheSize},
    {"delete", no_argument, nullptr, OptDelete},
    {"quiet", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
const char* const ShortOptions = "+:qvhV";

// N of "--jobs N": a count (ParseJobs) of 1 or more.
int JobsValue(const std::string& V) {
  const std::optional<int> N = ParseJobs(V);
  if (!N || *N < 1)
    throw TCliOptionError("--jobs 需要不小于 1 的整数",
                          "--jobs expects a whole number of 1 or more", V);
  return *N;
}

// NAME of "--level NAME": a level's name; refused with the list.
TMinifyLevel LevelValue(const std::string& V) {
  const std::optional<TMinifyLevel> Level = MinifyLevelByName(V);
  if (!Level)
    throw TCliOptionError("未知压缩级别", "unknown level",
                          V + "; 可用 (accepted): " + std::string(MinifyLevelNames));
  return *Level;
}

// NAME of "--charset NAME": a name ParseCodePage knows; refused with the list.
TCodePage CharSetValue(const std::string& V) {
  const std::optional<TCodePage> Page = ParseCodePage(V);
  if (!Page)
    throw TCliOptionError("未知字符集", "unknown character set",
                          V + "; 可用 (accepted): " + AcceptedCodePageNames());
  return *Page;
}

// Edits (insert, delete, change, swap of neighbours) that turn A into B.
size_t EditDistance(const std::string& A, const std::string& B) {
  std::vector<std::vector<size_t>> D(A.size() + 1, std::vector<size_t>(B.size() + 1));
  for (size_t I = 0; I <= A.size(); ++I) D[I][0] = I;
  for (size_t J = 0; J <= B.size(); ++J) D[0][J] = J;
  for (size_t I = 1; I <= A.size(); ++I)
    for (size_t J = 1; J <= B.size(); ++J) {
      D[I][J] = std::min(
          {D[I - 1][J] + 1, D[I][J - 1] + 1, D[I - 1][J - 1] + (A[I - 1] == B[J - 1] ? 0 : 1)});
      if (I > 1 && J > 1 && A[I - 1] == B[J - 2] && A[I - 2] == B[J - 1])
        D[I][J] = std::min(D[I][J], D[I - 2][J - 2] + 1);
    }
  return D[A.size()][B.size()];
}

// The refusal for the word getopt_long could not take: Word as given
// ("--chrset=x", "-x"), Missing when it lacked its value.
[[noreturn]] void RefuseWord(const std::string& Word, bool Missing) {
  if (Missing) throw TCliOptionError("选项需要一个参数", "option needs a value", Word);
  if (Word.rfind("--", 0) != 0) throw TCliOptionError("未知选项", "unknown option", Word);
  const std::string Name = Word.substr(2, Word.find('=') - 2);
  if (Name.empty()) throw TCliOptionError("未知选项", "unknown option", Word);
  std::vector<std::string> Prefixed;
  for (const option* O = LongOptions; O->name; ++O) {
    if (O->name == Name && O->has_arg == no_argument)
      throw TCliOptionError("选项不带参数", "option takes no value", Word);
    if (std::string(O->name).rfind(Name, 0) == 0) Prefixed.push_back(O->name);
  }
  if (Prefixed.size() > 1) {
    std::string List;
    for (const std::string& P : Prefixed) List += (List.empty() ? "--" : ", --") + P;
    throw TCliOptionError("选项有歧义", "ambiguous option", Word + " (" + List + ")");
  }
  const option* Nearest = nullptr;
  size_t Best = 0;
  for (const option* O = LongOptions; O->name; ++O) {
    const size_t D = EditDistance(Name, O->name);
    if (!Nearest || D < Best) Nearest = O, Best = D;
  }
  // A suggestion only where the typo leaves most of the name standing.
  if (Nearest && Best > 0 && Best <= std::max<size_t>(1, std::strlen(Nearest->name) / 3))
    throw TCliOptionError("未知选项", "unknown option",
                          Word + std::string("; did you mean --") + Nearest->name + "?");
  throw TCliOptionError("未知选项", "unknown option", Word);
}

// Puts option C (getopt_long's answer) with its value V into O; false for
// an answer that is no option of ours (a refusal).
bool TakeOption(int C, const std::string& V, TCliOptions& O) {
  switch (C) {
    case OptHtml:
      O.Html = true;
      break;
    case OptCss:
      O.Css = true;
      break;
    case OptJs:
      O.Js = true;
      break;
    case OptXml:
      O.Xml = true;
      break;
    case OptJpg:
      O.Jpg = true;
      break;
    case OptGif:
      O.Gif = true;
      break;
    case OptPng:
      O.Png = true;
      break;
    case OptDedupe:
      O.Dedupe = true;
      break;
    case OptAll:
      O.Html = O.Css = O.Js = O.Xml = O.Jpg = O.Gif = O.Png = O.Dedupe = true;
      break;
    case OptCharset:
      O.CodePage = CharSetValue(V);
      O.CharSet = V;
      break;
    case OptCompressor:
      if (V != "native" && V != "archive")
        throw TCliOptionError("压缩器只能是 native 或 archive", "--compressor native|archive", V);
      O.Compressor = V;
      break;
    case OptJobs:
      O.Jobs = JobsValue(V);
      break;
    case OptFilter:
      O.Filters.push_back(V);
      break;
    case OptExcept:
      O.Excepts.push_back(V);
      break;
    case OptLang:
      if (V != "zh" && V != "en")
        throw TCliOptionError("--lang 只接受 zh 或 en", "--lang expects zh or en", V);
      O.Lang = V;
      break;
    case OptJpegMode:
      if (V != "lossy" && V != "lossless")
        throw TCliOptionError("--jpeg-mode 只接受 lossy 或 lossless",
                              "--jpeg-mode expects lossy or lossless", V);
      O.JpegMode = V;
      break;
    case OptLevel:
      O.Level = LevelValue(V);
      break;
    case OptSettings:
      O.UseSettings = true;
      break;
    case OptNoCache:
      O.NoCache = true;
      break;
    case OptCacheSize:
      O.CacheSize = ParseCacheSize(V);
      if (!O.CacheSize)
        throw TCliOptionError("--cache-size 需要 0 到 1048576 的整数（MB）",
                              "--cache-size expects a whole number of MB from 0 to 1048576", V);
      break;
    case OptDelete:
      O.Delete = true;
      break;
    case OptDryRun:
      O.DryRun = true;
      break;
    case OptJson:
      O.Json = true;
      break;
    case 'q':
      O.Quiet = true;
      break;
    case 'v':
      O.Verbose = true;
      break;
    case 'h':
      O.Help = true;
      break;
    case 'V':
      O.Version = true;
      break;
    default:
      return false;
  }
  return true;
}

}  // namespace

TCliOptionError::TCliOptionError(const std::string& AZh, const std::string& AEn,
                                 const std::string& AWord)
    : Exception(AZh + " (" + AEn + ")" + (AWord.empty() ? "" : ": " + AWord)),
      Zh(AZh),
      En(AEn),
      Word(AWord) {}

std::string TCliOptionError::Text(bool English) const {
  const std::string& Head = English ? En : Zh;
  return Word.empty() ? Head : Head + ": " + Word;
}

bool LangEnglishInArgs(int argc, char** argv, bool Default) {
  bool English = Default;
  for (int I = 1; I < argc; ++I) {
    const std::string A = argv[I];
    if (A == "--") break;
    const size_t Eq = A.find('=');
    const std::string Name = A.substr(0, Eq);
    // "--l" is as far as an abbreviation of --lang must go.
    if (Name.size() < 3 || std::string("--lang").rfind(Name, 0) != 0) continue;
    const std::string V = Eq != std::string::npos ? A.substr(Eq + 1)
                          : I + 1 < argc          ? argv[I + 1]
                                                  : "";
    if (V == "en" || V == "zh") English = V == "en";
  }
  return English;
}

TCliOptions ParseCliOptions(int argc, char** argv) {
  TCliOptions O;
  // getopt_long reorders the words it is given: hand it a copy.
  std::vector<char*> Args(argv, argv + argc);
  Args.push_back(nullptr);
  std::vector<std::string> Folders;
  opterr = 0;
  optind = 0;  // a fresh scan (glibc): the parser may run more than once
  for (;;) {
    // "+": stop at the first folder; the folders are collected below and
    // the scan resumes after each, so options may follow them.
    const int Word = optind == 0 ? 1 : optind;  // the word this call looks at
    const int C = getopt_long(argc, Args.data(), ShortOptions, LongOptions, nullptr);
    if (C == -1) {
      if (optind == Word + 1 && std::string(Args[size_t(Word)]) == "--") {
        for (int I = optind; I < argc; ++I) Folders.push_back(Args[size_t(I)]);
        break;
      }
      if (optind >= argc) break;
      Folders.push_back(Args[size_t(optind)]);
      ++optind;
      continue;
    }
    if (TakeOption(C, optarg ? optarg : "", O)) continue;
    // ':' a value is missing, '?' anything else; a short option is named by
    // optopt, a long one only by the word itself.
    const std::string Given = Args[size_t(Word)];
    const bool Short = Given.rfind("--", 0) != 0 && optopt > 0 && optopt < 256;
    RefuseWord(Short ? std::string("-") + char(optopt) : Given, C == ':');
  }
  if (O.Help || O.Version) return O;
  if (Folders.size() != 2)
    throw TCliOptionError("需要网站根目录和输出目录两个参数", "expected SITE and OUTPUT", "");
  for (const std::string& F : O.Filters)
    if (F.find('|') != std::string::npos)
      throw TCliOptionError("过滤条件不能包含“|”", "a filter cannot hold \"|\"", F);
  for (const std::string& E : O.Excepts)
    if (E.find('|') != std::string::npos)
      throw TCliOptionError("例外文件不能包含“|”", "an exception file cannot hold \"|\"", E);
  O.Site = Folders[0];
  O.Output = Folders[1];
  return O;
}

void ApplyCliOptions(const TCliOptions& O, TAppConfig& C) {
  if (O.AnySwitch()) {
    C.IsCompressHtml = O.Html;
    C.IsCompressCSS = O.Css;
    C.IsCompressJS = O.Js;
    C.IsCompressXML = O.Xml;
    C.IsCompressJpg = O.Jpg;
    C.IsCompressGif = O.Gif;
    C.IsCompressPng = O.Png;
    C.IsReducePic = O.Dedupe;
  }
  if (!O.CharSet.empty()) {
    C.CharSet = O.CharSet;
    C.CodePage = O.CodePage;
  }
  if (!O.Compressor.empty()) C.Compressor = O.Compressor;
  if (O.Jobs > 0) C.Jobs = O.Jobs;
  if (!O.JpegMode.empty()) C.JpegMode = O.JpegMode;
  if (O.Level) C.Level = *O.Level;
  if (O.CacheSize) C.CacheSize = *O.CacheSize;
  std::vector<std::string> Filters = ListTextEntries(C.FileFilters);
  Filters.insert(Filters.end(), O.Filters.begin(), O.Filters.end());
  C.FileFilters = MakeListText(Filters);
  std::vector<std::string> Excepts = ListTextEntries(C.CompressFilters);
  for (std::string Rel : O.Excepts) {
    while (Rel.rfind("./", 0) == 0) Rel.erase(0, 2);
    Excepts.push_back(Rel);
  }
  C.CompressFilters = MakeListText(Excepts);
  C.RootPath = O.Site;
  C.OutputPath = O.Output;
}

}  // namespace larkspan
