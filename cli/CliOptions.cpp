#include "cli/CliOptions.h"

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
  --jpg         optimise JPEG pictures (jpegoptim)
  --gif         optimise GIF pictures (gifsicle)
  --png         optimise PNG pictures (pngout)
  --dedupe      write pictures of equal content once and point the pages
                that used a dropped copy at the one that was kept
  --all         all eight of the above

Options:
  --charset NAME      character set of the site's text files (default GB2312)
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
  --filter PATTERN    leave files out: "*.ext" or a bare file name (repeatable)
  --except RELPATH    copy this file without minifying; path relative to SITE
                      (repeatable)
  --settings          start from the desktop program's saved settings
                      (read only: the settings file is never written)
  --dry-run           scan, find duplicates and print what would be done to
                      each file (and which pages would be rewritten); write
                      nothing, not even the OUTPUT folder
  --lang zh|en        language of the report (default: Chinese when the
                      locale is zh_*, English otherwise)
  -q, --quiet         print nothing but errors
  -v, --verbose       one line per file: action, bytes in -> out, percent,
                      path; then the count of files per action; also the
                      rewritten pages, duplicates kept because something
                      still refers to them, files copied uncompressed (with
                      the compressor's reason), and entries skipped unread
                      (FIFOs, devices, broken links, link loops)
  --json              print the result as one JSON object, with every file,
                      also when refused (always UTF-8: a byte of a name that
                      is not UTF-8 appears as the escape \udcXX, XX the byte)
  -h, --help          this text
  -V, --version       the program's version

Ctrl-C stops a run: the running optimiser is ended with its process group,
the files written so far stay whole, no temporary file is left, and the
report says what was done (exit status 130).

Exit status: 0 success, 1 the run failed, 2 refused (bad options or folders),
130 stopped by Ctrl-C (143 by SIGTERM).
)";
}

namespace {
bool TakeValue(int argc, char** argv, int& I, const std::string& Name, std::string& Value) {
  const std::string A = argv[I];
  if (A == Name) {
    if (I + 1 >= argc) throw Exception("选项 " + Name + " 需要一个参数 (option needs a value)");
    Value = argv[++I];
    return true;
  }
  if (A.rfind(Name + "=", 0) == 0) {
    Value = A.substr(Name.size() + 1);
    return true;
  }
  return false;
}

// N of "--jobs N": a count (ParseJobs) of 1 or more.
int JobsValue(const std::string& V) {
  const std::optional<int> N = ParseJobs(V);
  if (!N || *N < 1)
    throw Exception("--jobs 需要不小于 1 的整数 (expects a whole number of 1 or more): " + V);
  return *N;
}

// NAME of "--level NAME": a level's name; refused with the list.
TMinifyLevel LevelValue(const std::string& V) {
  const std::optional<TMinifyLevel> Level = MinifyLevelByName(V);
  if (!Level)
    throw Exception("未知压缩级别 (unknown level): " + V +
                    "; 可用 (accepted): " + std::string(MinifyLevelNames));
  return *Level;
}

// NAME of "--charset NAME": a name ParseCodePage knows; refused with the list.
TCodePage CharSetValue(const std::string& V) {
  const std::optional<TCodePage> Page = ParseCodePage(V);
  if (!Page)
    throw Exception("未知字符集 (unknown character set): " + V +
                    "; 可用 (accepted): " + AcceptedCodePageNames());
  return *Page;
}
}  // namespace

TCliOptions ParseCliOptions(int argc, char** argv) {
  TCliOptions O;
  std::vector<std::string> Folders;
  bool OnlyFolders = false;
  for (int I = 1; I < argc; ++I) {
    const std::string A = argv[I];
    std::string V;
    if (OnlyFolders || A.empty() || A[0] != '-' || A == "-") {
      Folders.push_back(A);
    } else if (A == "--") {
      OnlyFolders = true;
    } else if (A == "--html") {
      O.Html = true;
    } else if (A == "--css") {
      O.Css = true;
    } else if (A == "--js") {
      O.Js = true;
    } else if (A == "--xml") {
      O.Xml = true;
    } else if (A == "--jpg") {
      O.Jpg = true;
    } else if (A == "--gif") {
      O.Gif = true;
    } else if (A == "--png") {
      O.Png = true;
    } else if (A == "--dedupe") {
      O.Dedupe = true;
    } else if (A == "--all") {
      O.Html = O.Css = O.Js = O.Xml = O.Jpg = O.Gif = O.Png = O.Dedupe = true;
    } else if (TakeValue(argc, argv, I, "--charset", V)) {
      O.CodePage = CharSetValue(V);
      O.CharSet = V;
    } else if (TakeValue(argc, argv, I, "--compressor", V)) {
      if (V != "native" && V != "archive")
        throw Exception("压缩器只能是 native 或 archive (--compressor native|archive): " + V);
      O.Compressor = V;
    } else if (TakeValue(argc, argv, I, "--level", V)) {
      O.Level = LevelValue(V);
    } else if (TakeValue(argc, argv, I, "--jobs", V)) {
      O.Jobs = JobsValue(V);
    } else if (TakeValue(argc, argv, I, "--filter", V)) {
      O.Filters.push_back(V);
    } else if (TakeValue(argc, argv, I, "--except", V)) {
      O.Excepts.push_back(V);
    } else if (TakeValue(argc, argv, I, "--lang", V)) {
      if (V != "zh" && V != "en")
        throw Exception("--lang 只接受 zh 或 en (expects zh or en): " + V);
      O.Lang = V;
    } else if (A == "--dry-run") {
      O.DryRun = true;
    } else if (A == "--settings") {
      O.UseSettings = true;
    } else if (A == "--quiet" || A == "-q") {
      O.Quiet = true;
    } else if (A == "--json") {
      O.Json = true;
    } else if (A == "--verbose" || A == "-v") {
      O.Verbose = true;
    } else if (A == "--help" || A == "-h") {
      O.Help = true;
    } else if (A == "--version" || A == "-V") {
      O.Version = true;
    } else {
      throw Exception("未知选项 (unknown option): " + A);
    }
  }
  if (O.Help || O.Version) return O;
  if (Folders.size() != 2)
    throw Exception("需要网站根目录和输出目录两个参数 (expected SITE and OUTPUT)");
  for (const std::string& F : O.Filters)
    if (F.find('|') != std::string::npos) throw Exception("过滤条件不能包含“|”: " + F);
  for (const std::string& E : O.Excepts)
    if (E.find('|') != std::string::npos) throw Exception("例外文件不能包含“|”: " + E);
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
  if (O.Level) C.Level = *O.Level;
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
