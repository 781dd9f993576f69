#include "compress/uMinifyCommand.h"

#include <exception>
#include <stdexcept>

#include "compress/uNativeCompress.h"
#include "minify/Minify.h"
#include "minify/PagePreRules.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

const char* const Usage =
    "usage: java -jar htmlcompressor.jar [options] [-o DEST] SRC\n"
    "  -c, --charset NAME         character set of SRC (default UTF-8)\n"
    "  -o, --output DEST          write the result to DEST (may be SRC); default: stdout\n"
    "  --type html|xml|css|js|mjs kind of SRC (default: from its extension)\n"
    "  --level NAME               spaces (only white space and comments go, the default),\n"
    "                             safe (also shorter spellings of the same syntax) or\n"
    "                             smallest (also optional end tags, every page comment)\n"
    "  --preserve-comments        keep HTML and XML comments\n"
    "  --compress-css             minify inline <style> elements of a page\n"
    "  --compress-js              minify inline <script> elements of a page\n"
    "  --nomunge                  keep the names of local script variables\n"
    "  --preserve-php             keep <?php ?> blocks as they are\n"
    "  --preserve-server-script   keep <% %> and <!--# --> blocks as they are\n"
    "  --pre-sheet SHEET          a page keeps the white space this style sheet sets to\n"
    "                             be kept (white-space: pre...), as its own <style> would\n"
    "                             (repeatable; a sheet that cannot be read adds nothing)\n"
    "  -h, --help                 show this text\n";

struct TUsageError {
  std::string Text;
};

struct TCommand {
  std::string CharSet = "UTF-8";
  std::string Output;
  bool HasOutput = false;
  std::string Source;
  std::string Type;
  minify::TMinifyOptions Options;
  std::vector<std::string> PreSheets;
  bool Help = false;
};

bool KindByName(const std::string& Name, minify::TMinifyKind& Kind) {
  const std::string N = LowerCaseAscii(Name);
  if (N == "html")
    Kind = minify::TMinifyKind::Page;
  else if (N == "xml")
    Kind = minify::TMinifyKind::Xml;
  else if (N == "css")
    Kind = minify::TMinifyKind::Css;
  else if (N == "js")
    Kind = minify::TMinifyKind::Js;
  else if (N == "mjs")
    Kind = minify::TMinifyKind::JsModule;
  else
    return false;
  return true;
}

TCommand Parse(const std::vector<std::string>& Args) {
  TCommand C;
  C.Options.NoMunge = false;
  bool OptionsEnded = false;
  for (size_t I = 0; I < Args.size(); ++I) {
    std::string A = Args[I];
    if (OptionsEnded || A == "-" || A.empty() || A[0] != '-') {
      if (!C.Source.empty()) throw TUsageError{"more than one input file: " + C.Source + ", " + A};
      C.Source = A;
      if (A.empty()) throw TUsageError{"empty input path"};
      continue;
    }
    std::string Value;
    bool HasValue = false;
    const size_t Eq = A.find('=');
    if (A.rfind("--", 0) == 0 && Eq != std::string::npos) {
      Value = A.substr(Eq + 1);
      HasValue = true;
      A = A.substr(0, Eq);
    }
    auto Next = [&]() -> std::string {
      if (HasValue) return Value;
      if (I + 1 >= Args.size()) throw TUsageError{"option " + A + " needs a value"};
      return Args[++I];
    };
    const bool TakesValue = A == "-c" || A == "--charset" || A == "-o" || A == "--output" ||
                            A == "--type" || A == "--level" || A == "--pre-sheet";
    if (HasValue && !TakesValue) throw TUsageError{"option " + A + " takes no value"};
    if (A == "--") {
      OptionsEnded = true;
    } else if (A == "-c" || A == "--charset") {
      // An empty name, given as "" or left out before the next option, is the default.
      if (!HasValue && I + 1 < Args.size() && Args[I + 1].rfind("--", 0) == 0) continue;
      C.CharSet = Next();
      if (C.CharSet.empty()) C.CharSet = "UTF-8";
    } else if (A == "-o" || A == "--output") {
      C.Output = Next();
      C.HasOutput = true;
    } else if (A == "--type") {
      C.Type = Next();
    } else if (A == "--level") {
      const std::string Name = Next();
      const auto Level = MinifyLevelByName(Name);
      if (!Level)
        throw TUsageError{"unknown level " + Name + " (" + std::string(MinifyLevelNames) + ")"};
      C.Options.Level = *Level;
    } else if (A == "--pre-sheet") {
      C.PreSheets.push_back(Next());
    } else if (A == "--preserve-comments") {
      C.Options.PreserveComments = true;
    } else if (A == "--compress-css") {
      C.Options.CompressCss = true;
    } else if (A == "--compress-js") {
      C.Options.CompressJs = true;
    } else if (A == "--nomunge") {
      C.Options.NoMunge = true;
    } else if (A == "--preserve-php") {
      C.Options.PreservePhp = true;
    } else if (A == "--preserve-server-script") {
      C.Options.PreserveServerScript = true;
    } else if (A == "-h" || A == "--help") {
      C.Help = true;
    } else {
      throw TUsageError{"unknown option " + A};
    }
  }
  if (C.Help) return C;
  if (C.Source.empty()) throw TUsageError{"no input file"};
  if (C.Source == "-") throw TUsageError{"reading standard input is not supported"};
  if (C.HasOutput && C.Output.empty()) throw TUsageError{"empty output path"};
  minify::TMinifyKind Kind;
  if (!C.Type.empty() && !KindByName(C.Type, Kind))
    throw TUsageError{"unknown type " + C.Type + " (html, xml, css, js or mjs)"};
  return C;
}

}  // namespace

int RunMinifyCommand(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err) {
  TCommand C;
  try {
    C = Parse(Args);
  } catch (const TUsageError& E) {
    Err << "htmlcompressor: " << E.Text << "\n" << Usage;
    return 2;
  }
  if (C.Help) {
    Err << Usage;
    return 0;
  }
  const std::optional<TCodePage> Named = ParseCodePage(C.CharSet);
  if (!Named)
    Err << "htmlcompressor: warning: unknown character set " << C.CharSet << ", read as GBK\n";
  const TCodePage Page = Named.value_or(TCodePage::Gbk);
  minify::TMinifyKind Kind = MinifyKindOf(C.Source);
  if (!C.Type.empty()) KindByName(C.Type, Kind);
  if (!C.PreSheets.empty()) {
    C.Options.LinkedPreRules = [&C](std::string_view, minify::TPreRules& Rules) {
      for (const std::string& Sheet : C.PreSheets) {
        try {
          minify::CollectPreRules(ReadFileText(Sheet), Rules);
        } catch (const std::exception&) {
          // Not readable: it keeps nothing, as a missing sheet in a run.
        }
      }
    };
  }
  std::string Error;
  if (C.HasOutput) {
    if (MinifyFileTo(C.Source, C.Output, Kind, Page, C.Options, Error)) return 0;
  } else {
    try {
      if (const int64_t Size = FileSizeOf(C.Source); Size > MaxMinifySize)
        throw std::runtime_error(TooLargeToMinify(Size));
      const minify::TMinifyResult R =
          minify::MinifyFile(Kind, ReadFileText(C.Source), Page, C.Options);
      if (R.Ok) {
        Out << R.Output;
        Out.flush();
        if (Out) return 0;
        Error = "cannot write to standard output";
      } else {
        Error = "line " + std::to_string(R.Line) + ", column " + std::to_string(R.Column) + ": " +
                R.Error;
      }
    } catch (const std::exception& E) {
      Error = E.what();
    }
  }
  Err << "htmlcompressor: " << C.Source << ": " << Error << "\n";
  return 1;
}

}  // namespace larkspan
