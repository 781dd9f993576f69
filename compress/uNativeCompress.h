// The in-process markup compressor: the native minifiers on one file at a
// time, with the inputs of THtmlCompress and the same outcome on disk as the
// archive's command line (which runs the same code), but no Java runtime.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "minify/Minify.h"

namespace larkspan {

// The kind of a file by its extension, as the archive's command line takes
// it: style sheet, script, module or XML by KindOfFile, a page otherwise.
minify::TMinifyKind MinifyKindOf(const std::string& FileName);

// The largest file the minifiers take, in bytes (32 MiB). Minifying needs
// about twelve times a file's size in memory, so a larger file is refused
// (MinifyFileTo returns false with TooLargeToMinify's text) and the caller
// copies it unminified.
constexpr int64_t MaxMinifySize = int64_t(32) << 20;
// Why a file of Size bytes is not minified: "larger than 32 MB (N MB), ...".
std::string TooLargeToMinify(int64_t Size);

// Minifies SourceFile as Kind into DestFile (they may be one file), reading
// it in the code page Setting (minify::DetectCodePage decides per file). The
// result is written to a temporary file beside DestFile and renamed over it.
// True when DestFile now holds the complete result. False when DestFile was
// left as it was (never partial, never empty for a non-empty source): Error
// then holds why, "line L, column C: reason" for a fault the minifier found,
// the system's reason for a file that could not be read or written, or
// TooLargeToMinify's text for a file over MaxMinifySize; WriteFailed (when given) is set when it
// was DestFile that could not be written. On true, *Note (when given) says which part was kept as
// it was, if any. Any thread; no shared state.
bool MinifyFileTo(const std::string& SourceFile, const std::string& DestFile,
                  minify::TMinifyKind Kind, TCodePage Setting,
                  const minify::TMinifyOptions& Options, std::string& Error,
                  std::string* Note = nullptr, bool* WriteFailed = nullptr);

// Minifies Input as Kind into Output; MinifyFileTo without the files. False
// with Error set (an Input over MaxMinifySize too); on true, *Note (when
// given) as MinifyFileTo's.
bool MinifyText(std::string_view Input, minify::TMinifyKind Kind, TCodePage Setting,
                const minify::TMinifyOptions& Options, std::string& Output, std::string& Error,
                std::string* Note = nullptr);

// Created anywhere (it checks nothing and needs nothing outside the
// program); Compress then runs on one thread at a time.
class TNativeCompress {
 public:
  // The options the archive's command line gets from the engine:
  // --preserve-comments, --compress-css / --compress-js as the switches say,
  // --nomunge, --preserve-php, --preserve-server-script, --level, and
  // LinkedPreRules.
  minify::TMinifyOptions Options() const;

  // Minifies SourceFile into DestFile (they may be one file) by its
  // extension (MinifyKindOf). True when DestFile holds the result. False
  // when it was left as it was: ErrorMessage then holds the reason, without
  // the path ("line L, column C: reason", kept until the next failure), the
  // line "larkspan-minify: SourceFile: reason" is appended to the tool log
  // named by LARKSPAN_TOOL_LOG when that is set, and LastExitCode is 1 (0
  // after a success), as the archive's exit status would be. Throws
  // Exception (the system's reason) when the result was made but DestFile
  // could not be written: the output failing is not a compressor failure.
  bool Compress(const std::string& SourceFile, const std::string& DestFile);
  // Minifies Input, the content of SourceFile already read, by SourceFile's
  // extension into Output, writing nothing. True on success (LastNote set);
  // false as Compress fails (ErrorMessage, the tool log, LastExitCode 1),
  // Input over MaxMinifySize included.
  bool Minify(std::string_view Input, const std::string& SourceFile, std::string& Output);

  // The run's code page, parsed from the user's name where it was given.
  TCodePage CodePage = TCodePage::Gbk;
  bool IsCompressCSS = false;
  bool IsCompressJS = false;
  std::string ErrorMessage;
  int LastExitCode = 0;
  // After a successful Compress: the part of the file that was kept as it
  // was (TMinifyResult::Note), "" when all of it was minified.
  std::string LastNote;

  // How far the minifiers go (the archive's --level).
  TMinifyLevel Level = TMinifyLevel::Spaces;

  // Handed to the page minifier (TMinifyOptions::LinkedPreRules): the
  // caller sets it per page to the rules of the sheets that page links to.
  std::function<void(std::string_view Page, minify::TPreRules& Rules)> LinkedPreRules;

 private:
  // A failure's outcome: ErrorMessage, LastExitCode and the tool log's line.
  void Failed(const std::string& SourceFile, const std::string& Error);
};

}  // namespace larkspan
