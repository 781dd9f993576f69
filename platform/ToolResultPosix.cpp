#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Error.h"
#include "platform/ToolResult.h"

namespace larkspan {

std::string ReadRegularFileNoFollow(const std::string& Path) {
  // O_NOFOLLOW fails on a link in the last place; O_NONBLOCK keeps a FIFO
  // from blocking the open, and fstat then refuses it.
  const int F = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (F < 0) {
    if (errno == ELOOP) throw Exception("无法读取文件 " + Path + ": not a regular file");
    ThrowSystemError("无法打开文件 " + Path, errno);
  }
  struct stat St {};
  if (::fstat(F, &St) != 0 || !S_ISREG(St.st_mode)) {
    ::close(F);
    throw Exception("无法读取文件 " + Path + ": not a regular file");
  }
  std::string Data;
  Data.reserve(size_t(St.st_size));
  char Buf[1 << 16];
  for (;;) {
    const ssize_t N = ::read(F, Buf, sizeof Buf);
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) {
      const int Error = errno;
      ::close(F);
      ThrowSystemError("无法读取文件 " + Path, Error);
    }
    if (N == 0) break;
    Data.append(Buf, size_t(N));
  }
  ::close(F);
  return Data;
}

}  // namespace larkspan
