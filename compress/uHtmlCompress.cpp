#include "compress/uHtmlCompress.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace larkspan {

// Placeholder bodies until the process start is wired: every request fails
// with a clear message instead of pretending to minify.
THtmlCompress::THtmlCompress(const std::string& JarFolder) : WorkFolder(JarFolder) {
  if (!DirectoryExists(JarFolder)) throw Exception("Jar路径不存在！");
  CharSet = "GB2312";
}

bool THtmlCompress::IsJavaInstalled() { return false; }

std::string THtmlCompress::BuildParams(const std::string& SourceFile,
                                       const std::string& DestFile) const {
  return std::string();
}

std::vector<std::string> THtmlCompress::BuildArgs(const std::string& SourceFile,
                                                  const std::string& DestFile) const {
  return {};
}

bool THtmlCompress::Compress(const std::string& SourceFile, const std::string& DestFile) {
  ErrorMessage = "压缩程序尚未接入，无法压缩 " + SourceFile;
  return false;
}

}  // namespace larkspan
