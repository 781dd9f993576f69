#include "compress/uHtmlCompress.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace larkspan {

namespace {

const char* const JavaProgram = "java";
const char* const JarName = "htmlcompressor.jar";

}  // namespace

THtmlCompress::THtmlCompress(const std::string& JarFolder) : WorkFolder(JarFolder) {
  if (!IsJavaInstalled()) throw Exception("请安装java运行环境！");
  if (!DirectoryExists(JarFolder)) throw Exception("Jar路径不存在！");
  CharSet = "GB2312";
}

bool THtmlCompress::IsJavaInstalled() {
  TProcessOptions Options;
  Options.Wait = false;
  return StartProcess(JavaProgram, {}, Options).Started;
}

std::vector<std::string> THtmlCompress::BuildArgs(const std::string& SourceFile,
                                                  const std::string& DestFile) const {
  std::vector<std::string> A = {"-jar", JarName, "--preserve-comments"};
  if (!CharSet.empty()) {
    A.push_back("-c");
    A.push_back(CharSet);
  }
  if (IsCompressCSS) A.push_back("--compress-css");
  if (IsCompressJS) {
    A.push_back("--compress-js");
    A.push_back("--nomunge");
  }
  for (const char* Word : {"--preserve-php", "--preserve-server-script"}) A.push_back(Word);
  if (Level != TMinifyLevel::Spaces) {
    A.push_back("--level");
    A.push_back(std::string(MinifyLevelName(Level)));
  }
  for (const std::string& Sheet : PreSheets) {
    A.push_back("--pre-sheet");
    A.push_back(AbsolutePathForChild(Sheet));
  }
  A.push_back("-o");
  A.push_back(DestFile);
  A.push_back(SourceFile);
  return A;
}

bool THtmlCompress::Compress(const std::string& SourceFile, const std::string& DestFile) {
  const std::string Source = AbsolutePathForChild(SourceFile);
  const std::string Dest = AbsolutePathForChild(DestFile);
  // A destination left by an earlier run must not pass for this run's result.
  if (!SameFile(Source, Dest) && FileExists(Dest)) DeleteFile(Dest);
  TProcessOptions Options;
  // The archive is named without a folder: the launcher runs in its folder
  // (which is also why the paths above were made absolute).
  Options.WorkFolder = WorkFolder;
  const auto R = StartProcess(JavaProgram, BuildArgs(Source, Dest), Options);
  if (!R.Started) {
    ErrorMessage = R.ErrorText;
    LastExitCode = -1;
    return false;
  }
  LastExitCode = R.ExitCode;
  return true;
}

}  // namespace larkspan
