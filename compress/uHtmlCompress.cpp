#include "compress/uHtmlCompress.h"

#include <sys/stat.h>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace larkspan {

namespace {

const char* const JavaProgram = "java";
const char* const JarName = "htmlcompressor.jar";

// Java decodes file names by the locale's character type. With no locale
// set (a fresh system, cron) or the C locale that is ASCII, and a path with
// Chinese characters cannot even be opened; the C.UTF-8 locale is always
// there. A locale the user chose (zh_CN.GBK, say) is left alone.
std::vector<std::string> JavaLocaleEnv() {
  for (const char* Name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const std::string Value = GetEnv(Name);
    if (Value.empty()) continue;
    if (Value != "C" && Value != "POSIX") return {};
    break;
  }
  return {"LC_ALL=C.UTF-8"};
}

bool SameFile(const std::string& A, const std::string& B) {
  if (A == B) return true;
  struct stat X, Y;
  return ::stat(A.c_str(), &X) == 0 && ::stat(B.c_str(), &Y) == 0 && X.st_dev == Y.st_dev &&
         X.st_ino == Y.st_ino;
}

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

std::string THtmlCompress::BuildParams(const std::string& SourceFile,
                                       const std::string& DestFile) const {
  std::string P = std::string("-jar ") + JarName + "  --preserve-comments";
  P += " -c " + CharSet;
  if (IsCompressCSS) P += " --compress-css";
  if (IsCompressJS) P += " --compress-js --nomunge";
  P += " --preserve-php --preserve-server-script";
  P += " -o " + DestFile + " " + SourceFile;
  return P;
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
  for (const char* Word : {"--preserve-php", "--preserve-server-script", "-o"}) A.push_back(Word);
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
  Options.ExtraEnv = JavaLocaleEnv();
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
