#include "compress/uNativeCompress.h"

#include <exception>

#include "platform/FileSystem.h"

namespace larkspan {

minify::TMinifyKind MinifyKindOf(const std::string& FileName) {
  minify::TMinifyKind Kind;
  return minify::KindOfFile(FileName, Kind) ? Kind : minify::TMinifyKind::Page;
}

bool MinifyFileTo(const std::string& SourceFile, const std::string& DestFile,
                  minify::TMinifyKind Kind, TCodePage Setting,
                  const minify::TMinifyOptions& Options, std::string& Error, std::string* Note) {
  try {
    const std::string Input = ReadFileText(SourceFile);
    minify::TMinifyResult R = minify::MinifyFile(Kind, Input, Setting, Options);
    if (!R.Ok) {
      Error = R.Line > 0 ? "line " + std::to_string(R.Line) + ", column " +
                               std::to_string(R.Column) + ": " + R.Error
                         : R.Error;
      if (Error.empty()) Error = "the file could not be minified";
      return false;
    }
    if (R.Output.empty() && !Input.empty()) {
      Error = "the result would be empty";
      return false;
    }
    WriteFileAtomic(DestFile, R.Output, SourceFile);  // keeps the mode and the time
    if (Note) *Note = R.Note;
    return true;
  } catch (const std::exception& E) {
    Error = E.what();
    return false;
  }
}

minify::TMinifyOptions TNativeCompress::Options() const {
  minify::TMinifyOptions O;
  O.PreserveComments = true;
  O.CompressCss = IsCompressCSS;
  O.CompressJs = IsCompressJS;
  O.NoMunge = true;
  O.PreservePhp = true;
  O.PreserveServerScript = true;
  return O;
}

bool TNativeCompress::Compress(const std::string& SourceFile, const std::string& DestFile) {
  std::string Error;
  LastNote.clear();
  if (MinifyFileTo(SourceFile, DestFile, MinifyKindOf(SourceFile), CodePage, Options(), Error,
                   &LastNote)) {
    LastExitCode = 0;
    return true;
  }
  LastExitCode = 1;
  ErrorMessage = Error;
  const std::string Log = GetEnv("LARKSPAN_TOOL_LOG");
  // The log is a help for the reader, never a reason to fail.
  if (!Log.empty()) AppendToFile(Log, "larkspan-minify: " + SourceFile + ": " + Error + "\n");
  return false;
}

}  // namespace larkspan
