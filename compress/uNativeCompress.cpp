#include "compress/uNativeCompress.h"

#include <exception>
#include <utility>

#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace larkspan {

minify::TMinifyKind MinifyKindOf(const std::string& FileName) {
  minify::TMinifyKind Kind;
  return minify::KindOfFile(FileName, Kind) ? Kind : minify::TMinifyKind::Page;
}

std::string TooLargeToMinify(int64_t Size) {
  return "larger than " + std::to_string(MaxMinifySize >> 20) + " MB (" +
         std::to_string(Size >> 20) + " MB), not minified";
}

bool MinifyText(std::string_view Input, minify::TMinifyKind Kind, TCodePage Setting,
                const minify::TMinifyOptions& Options, std::string& Output, std::string& Error,
                std::string* Note) {
  if (int64_t(Input.size()) > MaxMinifySize) {
    Error = TooLargeToMinify(int64_t(Input.size()));
    return false;
  }
  minify::TMinifyResult R = minify::MinifyFile(Kind, Input, Setting, Options);
  if (!R.Ok) {
    Error = R.Line > 0 ? "line " + std::to_string(R.Line) + ", column " + std::to_string(R.Column) +
                             ": " + R.Error
                       : R.Error;
    if (Error.empty()) Error = "the file could not be minified";
    return false;
  }
  if (R.Output.empty() && !Input.empty()) {
    Error = "the result would be empty";
    return false;
  }
  Output = std::move(R.Output);
  if (Note) *Note = R.Note;
  return true;
}

bool MinifyFileTo(const std::string& SourceFile, const std::string& DestFile,
                  minify::TMinifyKind Kind, TCodePage Setting,
                  const minify::TMinifyOptions& Options, std::string& Error, std::string* Note,
                  bool* WriteFailed) {
  if (WriteFailed) *WriteFailed = false;
  try {
    if (const int64_t Size = FileSizeOf(SourceFile); Size > MaxMinifySize) {
      Error = TooLargeToMinify(Size);
      return false;
    }
    const std::string Input = ReadFileText(SourceFile);
    std::string Output;
    if (!MinifyText(Input, Kind, Setting, Options, Output, Error, Note)) return false;
    try {
      WriteFileAtomic(DestFile, Output, SourceFile);  // keeps the mode and the time
    } catch (const std::exception&) {
      if (WriteFailed) *WriteFailed = true;
      throw;
    }
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
  O.Level = Level;
  O.LinkedPreRules = LinkedPreRules;
  return O;
}

bool TNativeCompress::Compress(const std::string& SourceFile, const std::string& DestFile) {
  std::string Error;
  bool WriteFailed = false;
  LastNote.clear();
  if (MinifyFileTo(SourceFile, DestFile, MinifyKindOf(SourceFile), CodePage, Options(), Error,
                   &LastNote, &WriteFailed)) {
    LastExitCode = 0;
    return true;
  }
  // The output could not take the result (a full disk): not the minifier's
  // failure, and no copy would fare better.
  if (WriteFailed) throw Exception(Error);
  Failed(SourceFile, Error);
  return false;
}

bool TNativeCompress::Minify(std::string_view Input, const std::string& SourceFile,
                             std::string& Output) {
  std::string Error;
  LastNote.clear();
  try {
    if (MinifyText(Input, MinifyKindOf(SourceFile), CodePage, Options(), Output, Error,
                   &LastNote)) {
      LastExitCode = 0;
      return true;
    }
  } catch (const std::exception& E) {
    Error = E.what();
  }
  Failed(SourceFile, Error);
  return false;
}

void TNativeCompress::Failed(const std::string& SourceFile, const std::string& Error) {
  LastExitCode = 1;
  ErrorMessage = Error;
  const std::string Log = GetEnv("LARKSPAN_TOOL_LOG");
  // The log is a help for the reader, never a reason to fail.
  if (!Log.empty()) AppendToFile(Log, "larkspan-minify: " + SourceFile + ": " + Error + "\n");
}

}  // namespace larkspan
