// Bridge to the outside markup compressor: "java" running the archive
// "htmlcompressor.jar" on one file at a time.
#pragma once

#include <string>
#include <vector>

namespace larkspan {

class THtmlCompress {
 public:
  // Checks that the Java launcher can be started ("请安装java运行环境！")
  // and then that JarFolder is an existing folder ("Jar路径不存在！"); throws
  // Exception with that text, the runtime test first. JarFolder is also the
  // working folder the launcher is started in, so the archive named without
  // a folder is found whatever our current folder is.
  explicit THtmlCompress(const std::string& JarFolder);

  // Minifies SourceFile into DestFile (they may be one file) and waits for
  // the compressor to end. False only when it cannot be started; then
  // ErrorMessage holds the system's reason (kept until the next failure).
  // The compressor's own outcome is in LastExitCode.
  bool Compress(const std::string& SourceFile, const std::string& DestFile);

  // Starts the launcher without arguments and without waiting.
  bool IsJavaInstalled();

  // The parameter text for one request, as the compressor's command line
  // documents it; Compress hands the same words over as an argument vector
  // in which each path is one argument.
  std::string BuildParams(const std::string& SourceFile, const std::string& DestFile) const;
  std::vector<std::string> BuildArgs(const std::string& SourceFile,
                                     const std::string& DestFile) const;

  std::string CharSet = "GB2312";
  std::string ErrorMessage;
  bool IsCompressCSS = false;
  bool IsCompressJS = false;

  // Exit status of the last compressor run that started: 0 on success, the
  // program's status otherwise, -1 when it was killed (time limit, signal).
  int LastExitCode = 0;

 private:
  std::string WorkFolder;
};

}  // namespace larkspan
