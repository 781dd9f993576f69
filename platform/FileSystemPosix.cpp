#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

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

// Paths of live temporary files and folders, for the termination handler.
std::mutex GLiveLock;
std::set<std::string>& LiveTemps() {
  static std::set<std::string> S;
  return S;
}
void AddLive(const std::string& P) {
  std::lock_guard<std::mutex> L(GLiveLock);
  LiveTemps().insert(P);
}
void DropLive(const std::string& P) {
  std::lock_guard<std::mutex> L(GLiveLock);
  LiveTemps().erase(P);
}

// TempFilePrefix, 16 random letters, then Ext when it is short.
std::string RandomTempName(const std::string& Ext) {
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char Bytes[16];
  size_t Got = 0;
  while (Got < sizeof Bytes) {
    const ssize_t N = ::getrandom(Bytes + Got, sizeof Bytes - Got, 0);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) break;
    Got += size_t(N);
  }
  if (Got < sizeof Bytes) {  // no random source: fall back to clock and counter
    static std::atomic<unsigned> Counter{0};
    unsigned long long V = (unsigned long long)(::getpid()) * 2654435761ULL ^
                           (unsigned long long)(uintptr_t)&Bytes ^ (Counter++ * 40503ULL) ^
                           (unsigned long long)time(nullptr);
    for (unsigned char& B : Bytes) {
      V = V * 6364136223846793005ULL + 1;
      B = (unsigned char)(V >> 33);
    }
  }
  std::string Name = TempFilePrefix;
  for (unsigned char B : Bytes) Name += Letters[B % 36];
  if (Ext.size() <= 8 && Ext.find('/') == std::string::npos) Name += Ext;
  return Name;
}

void CopyAttributes(const std::string& Source, const std::string& Target) {
  struct stat St;
  if (Source.empty() || ::stat(Source.c_str(), &St) != 0) return;
  ::chmod(Target.c_str(), St.st_mode & 07777);
  const timespec Times[2] = {St.st_atim, St.st_mtim};
  ::utimensat(AT_FDCWD, Target.c_str(), Times, AT_SYMLINK_NOFOLLOW);
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

namespace {
// Lists Folder into Result; false with errno set when it cannot be listed.
bool ListInto(const std::string& Folder, std::vector<TDirEntry>& Result) {
  DIR* D = ::opendir(Folder.empty() ? "." : Folder.c_str());
  if (!D) return false;
  const std::string Base = IncludeTrailingDelimiter(Folder);
  for (;;) {
    errno = 0;
    dirent* E = ::readdir(D);
    if (!E) {
      const int Saved = errno;
      ::closedir(D);
      errno = Saved;
      return Saved == 0;
    }
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
          else if (!S_ISREG(Target.st_mode))
            Entry.IsSpecial = true;
          else
            Entry.Size = Target.st_size;
        } else {
          Entry.IsDangling = true;
        }
      } else if (!S_ISREG(St.st_mode)) {
        Entry.IsSpecial = true;
      } else {
        Entry.Size = St.st_size;
      }
    }
    Result.push_back(std::move(Entry));
  }
}
}  // namespace

std::vector<TDirEntry> ListDirectory(const std::string& Folder) {
  std::vector<TDirEntry> Result;
  if (!ListInto(Folder, Result)) Result.clear();
  return Result;
}

std::vector<TDirEntry> ReadDirectory(const std::string& Folder) {
  std::vector<TDirEntry> Result;
  if (!ListInto(Folder, Result)) ThrowSystemError("无法读取目录 " + Folder, errno);
  return Result;
}

bool GetFileId(const std::string& Path, TFileId& Id) {
  struct stat St;
  if (Path.empty() || ::stat(Path.c_str(), &St) != 0) return false;
  Id.Device = uint64_t(St.st_dev);
  Id.Inode = uint64_t(St.st_ino);
  return true;
}

bool SameFile(const std::string& A, const std::string& B) {
  if (A == B) return true;
  TFileId X, Y;
  return GetFileId(A, X) && GetFileId(B, Y) && X == Y;
}

bool IsSymbolicLink(const std::string& Path) {
  struct stat St;
  return ::lstat(ExcludeTrailingDelimiter(Path).c_str(), &St) == 0 && S_ISLNK(St.st_mode);
}

std::string ResolvePath(const std::string& Path) {
  std::string Abs = Path;
  if (Abs.empty() || Abs[0] != PathDelim) {
    char Cwd[PATH_MAX];
    if (!::getcwd(Cwd, sizeof Cwd)) return std::string();
    Abs = IncludeTrailingDelimiter(Cwd) + Abs;
  }
  // Split into components, then find the longest leading part that exists.
  std::vector<std::string> Parts;
  size_t I = 0;
  while (I <= Abs.size()) {
    const size_t J = std::min(Abs.find(PathDelim, I), Abs.size());
    if (J > I) Parts.push_back(Abs.substr(I, J - I));
    I = J + 1;
  }
  size_t Existing = Parts.size();
  std::string Base;
  for (;; --Existing) {
    std::string Prefix = "/";
    for (size_t K = 0; K < Existing; ++K) Prefix += (K ? "/" : "") + Parts[K];
    char Buf[PATH_MAX];
    if (::realpath(Prefix.c_str(), Buf)) {
      Base = Buf;
      break;
    }
    if (Existing == 0) return std::string();
  }
  std::vector<std::string> Out;
  for (size_t K = 1; K < Base.size();) {
    const size_t J = std::min(Base.find(PathDelim, K), Base.size());
    Out.push_back(Base.substr(K, J - K));
    K = J + 1;
  }
  for (size_t K = Existing; K < Parts.size(); ++K) {
    if (Parts[K] == ".") continue;
    if (Parts[K] == "..") {
      if (!Out.empty()) Out.pop_back();
      continue;
    }
    Out.push_back(Parts[K]);
  }
  std::string R;
  for (const std::string& P : Out) R += "/" + P;
  return R.empty() ? std::string("/") : R;
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

const char* const TempFilePrefix = ".larkspan-";

TTempFile::TTempFile(const std::string& ADest) : Dest(ADest) {
  const std::string Folder = ExtractFilePath(Dest);
  for (int Try = 0; Try < 100; ++Try) {
    TempPath = Folder + RandomTempName(ExtractFileExt(ExtractFileName(Dest)));
    Fd = ::open(TempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (Fd >= 0) break;
    if (errno != EEXIST) ThrowSystemError("无法创建文件 " + Dest, errno);
  }
  if (Fd < 0) ThrowSystemError("无法创建文件 " + Dest, EEXIST);
  AddLive(TempPath);
}

TTempFile::~TTempFile() {
  if (Fd >= 0) ::close(Fd);
  if (!TempPath.empty()) {
    ::unlink(TempPath.c_str());
    DropLive(TempPath);
  }
}

bool TTempFile::Close() {
  if (Fd < 0) return true;
  const int Rc = ::close(Fd);
  Fd = -1;
  return Rc == 0;
}

void TTempFile::Publish(const std::string& Source) {
  const int Saved = Close() ? 0 : errno;
  if (Saved != 0) ThrowSystemError("无法写入文件 " + Dest, Saved);
  if (Source.empty()) {
    // New content of our own: the usual mode for a new file.
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    ::chmod(TempPath.c_str(), 0666 & ~Mask);
  } else {
    CopyAttributes(Source, TempPath);
  }
  if (::rename(TempPath.c_str(), Dest.c_str()) != 0)
    ThrowSystemError("无法创建文件 " + Dest, errno);
  DropLive(TempPath);
  TempPath.clear();
}

int RemoveStaleTempFiles(const std::string& Folder) {
  // Names only: output folders can be large, and only a few names match.
  const std::string Dir = IncludeTrailingDelimiter(Folder);
  const size_t PrefixLen = std::strlen(TempFilePrefix);
  std::vector<std::string> Stale;
  if (DIR* D = ::opendir(Dir.c_str())) {
    while (dirent* E = ::readdir(D))
      if (std::strncmp(E->d_name, TempFilePrefix, PrefixLen) == 0) Stale.push_back(Dir + E->d_name);
    ::closedir(D);
  }
  int Removed = 0;
  for (const std::string& P : Stale) {
    {
      std::lock_guard<std::mutex> L(GLiveLock);
      if (LiveTemps().count(P) || LiveTemps().count(P + "/")) continue;
    }
    RemoveTree(P);
    ++Removed;
  }
  return Removed;
}

void RemoveLiveTempFiles() {
  std::lock_guard<std::mutex> L(GLiveLock);
  for (const std::string& P : LiveTemps()) RemoveTree(P);
  LiveTemps().clear();
}

TTempFolder::TTempFolder(const std::string& Parent) {
  const std::string Base = Parent.empty() ? TempFolder() : IncludeTrailingDelimiter(Parent);
  for (int Try = 0; Try < 100; ++Try) {
    const std::string Candidate = Base + RandomTempName("");
    if (::mkdir(Candidate.c_str(), 0700) == 0) {
      Dir = Candidate + "/";
      AddLive(Dir);
      return;
    }
    if (errno != EEXIST) ThrowSystemError("无法创建目录 " + Base, errno);
  }
  ThrowSystemError("无法创建目录 " + Base, EEXIST);
}

TTempFolder::~TTempFolder() {
  RemoveTree(Dir);
  DropLive(Dir);
}

void RemoveTree(const std::string& Path) {
  const std::string P = ExcludeTrailingDelimiter(Path);
  if (P.empty()) return;
  struct stat St;
  if (::lstat(P.c_str(), &St) != 0) return;
  if (S_ISDIR(St.st_mode)) {
    for (const TDirEntry& E : ListDirectory(P)) RemoveTree(P + "/" + E.Name);
    ::rmdir(P.c_str());
  } else {
    ::unlink(P.c_str());
  }
}

namespace {
// Opens Path for reading without blocking on a FIFO and without reading a
// device: -1 with errno set (EINVAL for anything but a regular file).
int OpenRegularForReading(const std::string& Path, struct stat& St) {
  // Looked at before opening: a device is never opened at all.
  if (::stat(Path.c_str(), &St) == 0 && !S_ISREG(St.st_mode)) {
    errno = S_ISDIR(St.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  const int F = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (F < 0) return -1;
  if (::fstat(F, &St) != 0 || !S_ISREG(St.st_mode)) {  // changed since the look
    ::close(F);
    errno = EINVAL;
    return -1;
  }
  ::fcntl(F, F_SETFL, ::fcntl(F, F_GETFL) & ~O_NONBLOCK);
  return F;
}
}  // namespace

bool CopyFileOverwrite(const std::string& Source, const std::string& Dest) {
  struct stat St;
  Fd In(OpenRegularForReading(Source, St));
  if (In.Value < 0) return false;
  try {
    TTempFile Tmp(Dest);
    bool Ok = true;
    bool UseSendfile = true;
    const int Out = Tmp.Descriptor();
    for (;;) {
      if (UseSendfile) {
        const ssize_t N = ::sendfile(Out, In.Value, nullptr, size_t(1) << 30);
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
      if (R < 0 || !WriteAll(Out, Buf, size_t(R))) {
        Ok = false;
        break;
      }
    }
    if (!Ok) return false;  // errno holds the reason; Tmp removes the file
    if (!Tmp.Close()) return false;
    try {
      Tmp.Publish(Source);
    } catch (const Exception&) {
      return false;  // errno still holds the rename's reason
    }
    return true;
  } catch (const Exception&) {
    return false;  // the temporary file could not be made; errno says why
  }
}

bool DeleteFile(const std::string& Path) { return ::unlink(Path.c_str()) == 0; }

bool PublishFile(const std::string& From, const std::string& Dest,
                 const std::string& AttributesFrom) {
  CopyAttributes(AttributesFrom, From);
  return ::rename(From.c_str(), Dest.c_str()) == 0;
}

std::string ReadFileText(const std::string& Path) {
  TFileReader F(Path);
  std::string Data;
  if (F.Size() > 0) Data.reserve(size_t(F.Size()));
  char Buf[1 << 16];
  for (;;) {
    const size_t N = F.Read(Buf, sizeof Buf);
    Data.append(Buf, N);
    if (N < sizeof Buf) break;
  }
  return Data;
}

void WriteFileAtomic(const std::string& Path, const std::string& Data,
                     const std::string& AttributesFrom) {
  TTempFile Tmp(Path);
  if (!WriteAll(Tmp.Descriptor(), Data.data(), Data.size()))
    ThrowSystemError("无法写入文件 " + Path, errno);
  Tmp.Publish(AttributesFrom);
}

TFileReader::TFileReader(const std::string& Path) : Name(Path) {
  struct stat St;
  Fd = OpenRegularForReading(Path, St);
  if (Fd < 0) ThrowSystemError("无法打开文件 " + Path, errno);
  FileSize = St.st_size;
}

TFileReader::~TFileReader() {
  if (Fd >= 0) ::close(Fd);
}

size_t TFileReader::Read(void* Buf, size_t Len) {
  size_t Got = 0;
  while (Got < Len) {
    const ssize_t N = ::read(Fd, static_cast<char*>(Buf) + Got, Len - Got);
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) ThrowSystemError("无法读取文件 " + Name, errno);
    if (N == 0) break;
    Got += size_t(N);
  }
  return Got;
}

void TFileReader::Seek(int64_t Offset) {
  if (::lseek(Fd, off_t(Offset), SEEK_SET) < 0) ThrowSystemError("无法读取文件 " + Name, errno);
}

long FindLastByte(const char* Data, size_t Len, char C) {
  const void* P = ::memrchr(Data, C, Len);
  return P ? long(static_cast<const char*>(P) - Data) : -1;
}

bool AppendToFile(const std::string& Path, const std::string& Data) {
  Fd F(::open(Path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (F.Value < 0) return false;
  if (!WriteAll(F.Value, Data.data(), Data.size())) return false;
  const int Closed = ::close(F.Value);
  F.Value = -1;
  return Closed == 0;
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
  const std::string Prefix = IncludeTrailingDelimiter(Parent.empty() ? Own : Parent);
  return {Own, Prefix + "libexec/larkspan/", Prefix + "share/larkspan/"};
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
