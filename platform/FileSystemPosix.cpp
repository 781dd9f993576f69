#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

// Closes a descriptor on every path.
struct Fd {
  int Value = -1;
  explicit Fd(int V) : Value(V) {}
  ~Fd() {
    if (Value >= 0) ::close(Value);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

std::string TempNameFor(const std::string& Path) {
  return Path + ".larkspan-tmp." + std::to_string(::getpid());
}

bool WriteAll(int F, const char* Data, size_t Len) {
  while (Len > 0) {
    const ssize_t N = ::write(F, Data, Len);
    if (N < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Data += N;
    Len -= size_t(N);
  }
  return true;
}

}  // namespace

std::vector<TDirEntry> ListDirectory(const std::string& Folder) {
  std::vector<TDirEntry> Result;
  DIR* D = ::opendir(Folder.empty() ? "." : Folder.c_str());
  if (!D) return Result;
  const std::string Base = IncludeTrailingDelimiter(Folder);
  while (dirent* E = ::readdir(D)) {
    const char* N = E->d_name;
    if (std::strcmp(N, ".") == 0 || std::strcmp(N, "..") == 0) continue;
    TDirEntry Entry;
    Entry.Name = N;
    struct stat St;
    if (::lstat((Base + Entry.Name).c_str(), &St) == 0) {
      if (S_ISDIR(St.st_mode)) {
        Entry.IsDirectory = true;
      } else if (S_ISLNK(St.st_mode)) {
        struct stat Target;
        if (::stat((Base + Entry.Name).c_str(), &Target) == 0) {
          if (S_ISDIR(Target.st_mode))
            Entry.IsFolderLink = true;
          else
            Entry.Size = Target.st_size;
        }
      } else {
        Entry.Size = St.st_size;
      }
    }
    Result.push_back(std::move(Entry));
  }
  ::closedir(D);
  return Result;
}

bool DirectoryExists(const std::string& Path) {
  struct stat St;
  return !Path.empty() && ::stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

bool FileExists(const std::string& Path) {
  struct stat St;
  return !Path.empty() && ::stat(Path.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

bool ForceDirectories(const std::string& Path) {
  const std::string Dir = ExcludeTrailingDelimiter(Path);
  if (Dir.empty() || DirectoryExists(Dir)) return !Dir.empty() || Path == "/";
  const std::string Parent = ExtractFilePath(Dir);
  if (!Parent.empty() && Parent != Dir + "/" && !ForceDirectories(Parent)) return false;
  if (::mkdir(Dir.c_str(), 0777) == 0) return true;
  return errno == EEXIST && DirectoryExists(Dir);
}

int64_t FileSizeOf(const std::string& Path) {
  struct stat St;
  if (::stat(Path.c_str(), &St) != 0 || S_ISDIR(St.st_mode)) return 0;
  return St.st_size;
}

bool CopyFileOverwrite(const std::string& Source, const std::string& Dest) {
  Fd In(::open(Source.c_str(), O_RDONLY | O_CLOEXEC));
  if (In.Value < 0) return false;
  struct stat St;
  if (::fstat(In.Value, &St) != 0) return false;
  if (S_ISDIR(St.st_mode)) {
    errno = EISDIR;
    return false;
  }
  const std::string Tmp = TempNameFor(Dest);
  Fd Out(::open(Tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (Out.Value < 0) return false;
  bool Ok = true;
  bool UseSendfile = true;
  for (;;) {
    if (UseSendfile) {
      const ssize_t N = ::sendfile(Out.Value, In.Value, nullptr, size_t(1) << 30);
      if (N > 0) continue;
      if (N == 0) break;
      if (errno == EINTR) continue;
      if (errno != EINVAL && errno != ENOSYS) {
        Ok = false;
        break;
      }
      UseSendfile = false;  // this pair of files cannot be spliced: plain loop
      continue;
    }
    char Buf[1 << 16];
    const ssize_t R = ::read(In.Value, Buf, sizeof Buf);
    if (R == 0) break;
    if (R < 0 && errno == EINTR) continue;
    if (R < 0 || !WriteAll(Out.Value, Buf, size_t(R))) {
      Ok = false;
      break;
    }
  }
  if (Ok && ::close(Out.Value) != 0) Ok = false;
  Out.Value = -1;
  if (Ok && ::rename(Tmp.c_str(), Dest.c_str()) != 0) Ok = false;
  if (!Ok) {
    const int Saved = errno;
    ::unlink(Tmp.c_str());
    errno = Saved;
  }
  return Ok;
}

bool DeleteFile(const std::string& Path) { return ::unlink(Path.c_str()) == 0; }

std::string ReadFileText(const std::string& Path) {
  Fd F(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
  if (F.Value < 0) ThrowSystemError("无法打开文件 " + Path, errno);
  std::string Data;
  struct stat St;
  if (::fstat(F.Value, &St) == 0 && St.st_size > 0) Data.reserve(size_t(St.st_size));
  char Buf[1 << 16];
  for (;;) {
    const ssize_t N = ::read(F.Value, Buf, sizeof Buf);
    if (N < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("无法读取文件 " + Path, errno);
    }
    if (N == 0) break;
    Data.append(Buf, size_t(N));
  }
  return Data;
}

void WriteFileAtomic(const std::string& Path, const std::string& Data) {
  const std::string Tmp = TempNameFor(Path);
  {
    Fd F(::open(Tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (F.Value < 0) ThrowSystemError("无法创建文件 " + Path, errno);
    if (!WriteAll(F.Value, Data.data(), Data.size())) {
      const int Saved = errno;
      ::unlink(Tmp.c_str());
      ThrowSystemError("无法写入文件 " + Path, Saved);
    }
    const int Closed = ::close(F.Value);
    F.Value = -1;
    if (Closed != 0) {
      const int Saved = errno;
      ::unlink(Tmp.c_str());
      ThrowSystemError("无法写入文件 " + Path, Saved);
    }
  }
  if (::rename(Tmp.c_str(), Path.c_str()) != 0) {
    const int Saved = errno;
    ::unlink(Tmp.c_str());
    ThrowSystemError("无法创建文件 " + Path, Saved);
  }
}

std::string ProgramFolder() {
  char Buf[4096];
  const ssize_t N = ::readlink("/proc/self/exe", Buf, sizeof Buf - 1);
  if (N <= 0) return "./";
  return ExtractFilePath(std::string(Buf, size_t(N)));
}

std::vector<std::string> HelperFolders(const std::string& ProgramDir) {
  const std::string Own = IncludeTrailingDelimiter(ProgramDir);
  // The parent by its text: ProgramFolder() has no links or ".." in it, and
  // the root's parent is the root.
  const std::string Parent = ExtractFilePath(ExcludeTrailingDelimiter(Own));
  return {Own, IncludeTrailingDelimiter(Parent.empty() ? Own : Parent) + "lib/larkspan/"};
}

std::string HelperFolderOf(const std::string& Name, const std::string& ProgramDir) {
  const std::vector<std::string> Folders = HelperFolders(ProgramDir);
  for (const std::string& Dir : Folders) {
    struct stat St;
    if (::stat((Dir + Name).c_str(), &St) == 0) return Dir;
  }
  return Folders.front();
}

std::string GetEnv(const std::string& Name) {
  const char* V = std::getenv(Name.c_str());
  return V ? std::string(V) : std::string();
}

std::string AppDataFolder() {
  std::string Dir = GetEnv("XDG_CONFIG_HOME");
  if (Dir.empty()) {
    const std::string Home = GetEnv("HOME");
    if (Home.empty()) return std::string();
    Dir = IncludeTrailingDelimiter(Home) + ".config";
  }
  return IncludeTrailingDelimiter(Dir);
}

std::string TempFolder() {
  const std::string T = GetEnv("TMPDIR");
  return IncludeTrailingDelimiter(T.empty() ? std::string("/tmp") : T);
}

}  // namespace larkspan
