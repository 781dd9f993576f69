// Bridge to the outside markup compressor: "java" running the archive
// "htmlcompressor.jar" on one file at a time.
#pragma once

#include <string>
#include <vector>

#include "platform/MinifyLevel.h"

namespace larkspan {

// Created on the main thread; Compress then runs on one thread at a time
// (the engine's worker). Holds no lock.
class THtmlCompress {
 public:
  // Checks that the Java launcher can be started ("请安装java运行环境！")
  // and then that JarFolder is an existing folder ("Jar路径不存在！"); throws
  // Exception with that text, the runtime test first. JarFolder is also the
  // working folder the launcher is started in, so the archive named without
  // a folder is found whatever our current folder is.
  explicit THtmlCompress(const std::string& JarFolder);

  // Minifies SourceFile into DestFile (they may be one file) and waits for
  // the compressor to end, at most ToolTimeoutSeconds(). False only when it
  // cannot be started; then ErrorMessage holds the system's reason (kept
  // until the next failure, a successful call leaves it as it was).
  // A DestFile other than SourceFile is deleted before the start, so a file
  // from an earlier run never passes for the result. The compressor's own
  // outcome is in LastExitCode: true with a non-zero LastExitCode means
  // DestFile may be missing. Without a locale, or in the C locale, the
  // launcher gets LC_ALL=C.UTF-8 so that it can open non-ASCII paths.
  bool Compress(const std::string& SourceFile, const std::string& DestFile);

  // Starts the launcher without arguments and without waiting (it is reaped
  // in the background). True when it could be started.
  bool IsJavaInstalled();

  // The arguments of the launcher for one request, in the compressor's
  // documented order:
  //   -jar htmlcompressor.jar --preserve-comments -c CHARSET [--compress-css]
  //   [--compress-js --nomunge] --preserve-php --preserve-server-script
  //   [--level NAME] [--pre-sheet SHEET]... -o DEST SRC
  // (--level only above spaces, the compressor's default; a --pre-sheet for
  // each of PreSheets).
  // Each path is one argument, whatever blanks it holds; an empty CharSet
  // leaves "-c" out (the compressor's default applies).
  std::vector<std::string> BuildArgs(const std::string& SourceFile,
                                     const std::string& DestFile) const;

  std::string CharSet = "GB2312";
  std::string ErrorMessage;
  bool IsCompressCSS = false;
  bool IsCompressJS = false;

  // Exit status of the last compressor run that started: 0 on success, the
  // program's status otherwise, -1 when it was killed (time limit, signal).
  int LastExitCode = 0;

  // How far the compressor goes (--level).
  TMinifyLevel Level = TMinifyLevel::Spaces;

  // The style sheets whose white-space rules the next page keeps
  // (--pre-sheet, see TLinkedSheets); set per file by the caller.
  std::vector<std::string> PreSheets;

 private:
  // The folder the launcher runs in: the archive's folder.
  std::string WorkFolder;
};

}  // namespace larkspan
