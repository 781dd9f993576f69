#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// ---- write roots: paths beneath one are reached from its descriptor ----

struct TRootEntry {
  const void* Owner;
  std::string Prefix;  // with one trailing delimiter
  int Fd;
  bool KeepEqual = false;  // TWriteRoot::KeepEqualFiles
};
std::mutex GRootLock;
std::vector<TRootEntry>& Roots() {
  static std::vector<TRootEntry> R;
  return R;
}

// When Path lies beneath a live TWriteRoot: a descriptor of its folder (a
// duplicate, the caller's to close) and the rest of Path after it.
bool FindRoot(const std::string& Path, int& RootFd, std::string& Rest, bool* KeepEqual = nullptr) {
  std::lock_guard<std::mutex> L(GRootLock);
  for (auto It = Roots().rbegin(); It != Roots().rend(); ++It) {
    const std::string& P = It->Prefix;
    if (Path.compare(0, P.size(), P) == 0 || Path + "/" == P) {
      RootFd = ::fcntl(It->Fd, F_DUPFD_CLOEXEC, 0);
      if (RootFd < 0) return false;
      Rest = Path.size() > P.size() ? Path.substr(P.size()) : std::string();
      if (KeepEqual) *KeepEqual = It->KeepEqual;
      return true;
    }
  }
  return false;
}

// Opens, from the folder Dir (taken over: closed here), each component of
// Rest in turn as a folder without following links, making missing ones
// when Create. The last folder's descriptor, or -1 with errno set.
int WalkFolders(int Dir, const std::string& Rest, bool Create) {
  size_t I = 0;
  while (Dir >= 0 && I < Rest.size()) {
    const size_t J = std::min(Rest.find('/', I), Rest.size());
    const std::string Part = Rest.substr(I, J - I);
    I = J + 1;
    if (Part.empty() || Part == ".") continue;
    if (Part == "..") {
      ::close(Dir);
      errno = EINVAL;
      return -1;
    }
    const int Flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int Next = ::openat(Dir, Part.c_str(), Flags);
    if (Next < 0 && errno == ENOENT && Create) {
      if (::mkdirat(Dir, Part.c_str(), 0777) == 0 || errno == EEXIST)
        Next = ::openat(Dir, Part.c_str(), Flags);
    }
    const int Saved = errno;
    ::close(Dir);
    errno = Saved;
    Dir = Next;
  }
  return Dir;
}

// A descriptor of the folder Folder (closed by the caller), reached through
// a write root when it lies beneath one; -1 with errno set.
int OpenFolder(const std::string& Folder, bool Create) {
  int Root = -1;
  std::string Rest;
  if (FindRoot(Folder, Root, Rest)) {
    const int Dir = WalkFolders(Root, Rest, Create);
    if (Dir < 0) return -1;
    // The write root's own folder comes back as a duplicate of its
    // descriptor, which shares its reading position with it: a listing
    // would go on where the last one ended. A descriptor of its own.
    const int Own = ::openat(Dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int Saved = errno;
    ::close(Dir);
    errno = Saved;
    return Own;
  }
  if (Create && !ForceDirectories(Folder)) return -1;
  return ::open(Folder.empty() ? "." : Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Path as a folder descriptor and a name in it, for the *at calls: the
// folder is opened through a write root, or AT_FDCWD with Path itself.
struct TAtPath {
  int Dir = AT_FDCWD;
  std::string Name;
  bool KeepEqual = false;  // beneath a write root that keeps equal files
  TAtPath() = default;
  TAtPath(const TAtPath&) = delete;
  TAtPath& operator=(const TAtPath&) = delete;
  ~TAtPath() {
    if (Dir >= 0) ::close(Dir);
  }
  // False with errno set when Path's folder cannot be reached.
  bool Open(const std::string& Path) {
    const std::string P = ExcludeTrailingDelimiter(Path);
    int Root = -1;
    std::string Rest;
    if (!FindRoot(P, Root, Rest, &KeepEqual)) {
      Name = P;
      return true;
    }
    const size_t Slash = Rest.rfind('/');
    Name = Slash == std::string::npos ? Rest : Rest.substr(Slash + 1);
    if (Name.empty() || Name == "." || Name == "..") {
      ::close(Root);
      errno = EINVAL;
      return false;
    }
    Dir = WalkFolders(Root, Slash == std::string::npos ? std::string() : Rest.substr(0, Slash),
                      false);
    return Dir >= 0;
  }
};

// Source's permission bits and modification time onto the open file F.
void CopyAttributesTo(const std::string& Source, int F) {
  struct stat St;
  if (Source.empty() || ::stat(Source.c_str(), &St) != 0) return;
  ::fchmod(F, St.st_mode & 07777);
  const timespec Times[2] = {St.st_atim, St.st_mtim};
  ::futimens(F, Times);
}

// True when the open files A and B (read from their start) hold the same
// bytes; both are read to the end of the shorter one.
bool SameBytes(int A, int B) {
  char BufA[1 << 16], BufB[1 << 16];
  off_t Pos = 0;
  for (;;) {
    const ssize_t N = ::pread(A, BufA, sizeof BufA, Pos);
    const ssize_t M = ::pread(B, BufB, sizeof BufB, Pos);
    if (N < 0 || M < 0 || N != M) return false;
    if (N == 0) return true;
    if (std::memcmp(BufA, BufB, size_t(N)) != 0) return false;
    Pos += N;
  }
}

bool SameBytes(int A, const char* Data, size_t Len) {
  char Buf[1 << 16];
  size_t Pos = 0;
  for (;;) {
    const ssize_t N = ::pread(A, Buf, sizeof Buf, off_t(Pos));
    if (N < 0) return false;
    if (N == 0) return Pos == Len;
    if (size_t(N) > Len - Pos || std::memcmp(Buf, Data + Pos, size_t(N)) != 0) return false;
    Pos += size_t(N);
  }
}

// The regular file at Dest, opened for reading without following a link,
// when Dest lies beneath a write root that keeps equal files and the file
// there has Size bytes; -1 otherwise.
int OpenKeptDest(const std::string& Dest, int64_t Size) {
  TAtPath At;
  if (!At.Open(Dest) || !At.KeepEqual) return -1;
  const int F =
      ::openat(At.Dir, At.Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (F < 0) return -1;
  struct stat St;
  if (::fstat(F, &St) != 0 || !S_ISREG(St.st_mode) || St.st_size != Size) {
    ::close(F);
    return -1;
  }
  return F;
}

// Gives the kept file Kept the permission bits Mode when it has others.
void KeepWithMode(int Kept, mode_t Mode) {
  struct stat St;
  if (::fstat(Kept, &St) == 0 && (St.st_mode & 07777) != (Mode & 07777))
    ::fchmod(Kept, Mode & 07777);
}

// The permission bits a file published with AttributesFrom gets: that
// file's, or the usual ones of a new file when it is "" or missing.
mode_t PublishedMode(const std::string& AttributesFrom) {
  struct stat St;
  if (!AttributesFrom.empty() && ::stat(AttributesFrom.c_str(), &St) == 0)
    return St.st_mode & 07777;
  const mode_t Mask = ::umask(0);
  ::umask(Mask);
  return 0666 & ~Mask;
}

// When the open file New equals the file kept at Dest (see KeepEqualFiles):
// that file gets New's permission bits, and true.
bool KeptEqualFile(int New, const std::string& Dest) {
  struct stat St;
  if (::fstat(New, &St) != 0) return false;
  Fd Kept(OpenKeptDest(Dest, St.st_size));
  if (Kept.Value < 0 || !SameBytes(New, Kept.Value)) return false;
  KeepWithMode(Kept.Value, St.st_mode);
  return true;
}

bool RenamePath(const std::string& From, const std::string& To) {
  TAtPath A, B;
  if (!A.Open(From) || !B.Open(To)) return false;
  return ::renameat(A.Dir, A.Name.c_str(), B.Dir, B.Name.c_str()) == 0;
}

// Removes Name in the folder Dir with everything below it, never following
// a link.
void RemoveAt(int Dir, const std::string& Name) {
  struct stat St;
  if (::fstatat(Dir, Name.c_str(), &St, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(St.st_mode)) {
    ::unlinkat(Dir, Name.c_str(), 0);
    return;
  }
  const int F = ::openat(Dir, Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (F >= 0) {
    if (DIR* D = ::fdopendir(F)) {
      std::vector<std::string> Names;
      while (dirent* E = ::readdir(D))
        if (std::strcmp(E->d_name, ".") != 0 && std::strcmp(E->d_name, "..") != 0)
          Names.emplace_back(E->d_name);
      for (const std::string& N : Names) RemoveAt(::dirfd(D), N);
      ::closedir(D);
    } else {
      ::close(F);
    }
  }
  ::unlinkat(Dir, Name.c_str(), AT_REMOVEDIR);
}

}  // namespace

TWriteRoot::TWriteRoot(const std::string& Folder) : Prefix(IncludeTrailingDelimiter(Folder)) {
  Fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) ThrowSystemError("无法打开目录 " + Folder, errno);
  std::lock_guard<std::mutex> L(GRootLock);
  Roots().push_back({this, Prefix, Fd, false});
  // Also by the absolute spelling handed to outside programs ("./" dropped).
  char Cwd[PATH_MAX];
  if (Prefix[0] != PathDelim && ::getcwd(Cwd, sizeof Cwd)) {
    std::string_view Rest(Prefix);
    while (Rest.size() >= 2 && Rest[0] == '.' && Rest[1] == PathDelim) Rest.remove_prefix(2);
    Roots().push_back({this, IncludeTrailingDelimiter(Cwd) + std::string(Rest), Fd, false});
  }
}

TWriteRoot::~TWriteRoot() {
  {
    std::lock_guard<std::mutex> L(GRootLock);
    auto& R = Roots();
    R.erase(
        std::remove_if(R.begin(), R.end(), [this](const TRootEntry& E) { return E.Owner == this; }),
        R.end());
  }
  ::close(Fd);
}

bool TWriteRoot::TryLock() {
  for (;;) {
    if (::flock(Fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EINTR) return false;
  }
}

void TWriteRoot::KeepEqualFiles(bool Keep) {
  std::lock_guard<std::mutex> L(GRootLock);
  for (TRootEntry& E : Roots())
    if (E.Owner == this) E.KeepEqual = Keep;
}

TFileId TWriteRoot::Id() const {
  struct stat St;
  TFileId Id;
  if (::fstat(Fd, &St) == 0) {
    Id.Device = uint64_t(St.st_dev);
    Id.Inode = uint64_t(St.st_ino);
  }
  return Id;
}

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
      Entry.ModifiedNs = int64_t(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec;
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

std::vector<TFileId> FolderChainIds(const std::string& Path) {
  std::string Start = Path;
  if (!DirectoryExists(Start)) {
    // The longest existing leading part of where the folder would be made.
    Start = ResolvePath(Path);
    while (!Start.empty() && !DirectoryExists(Start)) {
      if (Start == "/") return {};
      Start = ExcludeTrailingDelimiter(ExtractFilePath(Start));
      if (Start.empty()) Start = "/";
    }
  }
  std::vector<TFileId> Ids;
  int F = Start.empty() ? -1 : ::open(Start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // Bounded: a folder tree deeper than this cannot be named in PATH_MAX.
  for (int Depth = 0; F >= 0 && Depth < PATH_MAX; ++Depth) {
    struct stat St;
    if (::fstat(F, &St) != 0) break;
    const TFileId Id{uint64_t(St.st_dev), uint64_t(St.st_ino)};
    if (!Ids.empty() && Ids.back() == Id) break;  // ".." of the root is the root
    Ids.push_back(Id);
    const int Up = ::openat(F, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(F);
    F = Up;
  }
  if (F >= 0) ::close(F);
  return Ids;
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
  auto Joined = [&Out] {
    std::string R;
    for (const std::string& P : Out) R += "/" + P;
    return R.empty() ? std::string("/") : R;
  };
  for (size_t K = Existing; K < Parts.size(); ++K) {
    if (Parts[K] == ".") continue;
    if (Parts[K] == "..") {
      if (!Out.empty()) Out.pop_back();
    } else {
      Out.push_back(Parts[K]);
    }
    // What exists again after the step (a link met behind a missing
    // folder and its "..") resolves as the system would reach it.
    char Buf[PATH_MAX];
    if (::realpath(Joined().c_str(), Buf)) {
      Out.clear();
      const std::string Real = Buf;
      for (size_t I = 1; I < Real.size();) {
        const size_t J = std::min(Real.find(PathDelim, I), Real.size());
        Out.push_back(Real.substr(I, J - I));
        I = J + 1;
      }
    }
  }
  return Joined();
}

TPathKind PathKind(const std::string& Path) {
  struct stat St;
  if (::stat(Path.c_str(), &St) != 0)
    return errno == ENOENT || errno == ENOTDIR ? TPathKind::Missing : TPathKind::Unknown;
  if (S_ISREG(St.st_mode)) return TPathKind::File;
  return S_ISDIR(St.st_mode) ? TPathKind::Folder : TPathKind::Special;
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
  {
    int Root = -1;
    std::string Rest;
    if (FindRoot(ExcludeTrailingDelimiter(Path), Root, Rest)) {
      const int F = WalkFolders(Root, Rest, true);
      if (F < 0) return false;
      ::close(F);
      return true;
    }
  }
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
    TAtPath At;
    if (!At.Open(TempPath)) ThrowSystemError("无法创建文件 " + Dest, errno);
    Fd = ::openat(At.Dir, At.Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
    if (Fd >= 0) break;
    if (errno != EEXIST) ThrowSystemError("无法创建文件 " + Dest, errno);
  }
  if (Fd < 0) ThrowSystemError("无法创建文件 " + Dest, EEXIST);
  AddLive(TempPath);
}

TTempFile::~TTempFile() {
  if (Fd >= 0) ::close(Fd);
  if (!TempPath.empty()) {
    TAtPath At;
    if (At.Open(TempPath)) ::unlinkat(At.Dir, At.Name.c_str(), 0);
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
  // Attributes through a descriptor of the file itself, never a path that
  // could lead elsewhere.
  TAtPath At;
  const int F = At.Open(TempPath) ? ::openat(At.Dir, At.Name.c_str(),
                                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                                  : -1;
  bool Kept = false;
  if (F >= 0) {
    if (Source.empty()) {
      // New content of our own: the usual mode for a new file.
      ::fchmod(F, PublishedMode(std::string()));
    } else {
      CopyAttributesTo(Source, F);
    }
    Kept = KeptEqualFile(F, Dest);
    ::close(F);
  }
  if (Kept) {
    ::unlinkat(At.Dir, At.Name.c_str(), 0);
  } else if (!RenamePath(TempPath, Dest)) {
    ThrowSystemError("无法创建文件 " + Dest, errno);
  }
  DropLive(TempPath);
  TempPath.clear();
}

bool IsTempFileName(const std::string& Name) {
  const size_t P = std::strlen(TempFilePrefix), Random = 16;
  if (Name.size() < P + Random || Name.compare(0, P, TempFilePrefix) != 0) return false;
  for (size_t I = P; I < P + Random; ++I) {
    const char C = Name[I];
    if (!((C >= 'a' && C <= 'z') || (C >= '0' && C <= '9'))) return false;
  }
  const std::string Ext = Name.substr(P + Random);
  return Ext.empty() || (Ext[0] == '.' && Ext.size() <= 8);
}

int RemoveStaleTempFiles(const std::string& Folder,
                         const std::function<bool(const std::string& Name)>& Keep) {
  // Names only: output folders can be large, and only a few names match.
  const std::string Dir = IncludeTrailingDelimiter(Folder);
  const int F = OpenFolder(Dir, false);
  if (F < 0) return 0;
  DIR* D = ::fdopendir(F);
  if (!D) {
    ::close(F);
    return 0;
  }
  std::vector<std::string> Stale;
  while (dirent* E = ::readdir(D))
    if (IsTempFileName(E->d_name)) Stale.emplace_back(E->d_name);
  int Removed = 0;
  for (const std::string& Name : Stale) {
    if (Keep && Keep(Name)) continue;
    {
      std::lock_guard<std::mutex> L(GLiveLock);
      if (LiveTemps().count(Dir + Name) || LiveTemps().count(Dir + Name + "/")) continue;
    }
    RemoveAt(::dirfd(D), Name);
    ++Removed;
  }
  ::closedir(D);
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
    TAtPath At;
    if (!At.Open(Candidate)) ThrowSystemError("无法创建目录 " + Base, errno);
    if (::mkdirat(At.Dir, At.Name.c_str(), 0700) == 0) {
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
  if (ExcludeTrailingDelimiter(Path).empty()) return;
  TAtPath At;
  if (At.Open(Path)) RemoveAt(At.Dir, At.Name);
}

bool RemoveEmptyFolder(const std::string& Path) {
  TAtPath At;
  return At.Open(Path) && ::unlinkat(At.Dir, At.Name.c_str(), AT_REMOVEDIR) == 0;
}

namespace {
// ListTree's walk of the open folder Dir (taken over: closed here), whose
// entries are named Prefix + name.
void ListTreeAt(int Dir, const std::string& Prefix, const std::string& Shown, dev_t Device,
                const std::function<bool(const TFileId& Id)>& Fence,
                std::vector<TTreeEntry>& Result) {
  DIR* D = ::fdopendir(Dir);
  if (!D) {
    const int Saved = errno;
    ::close(Dir);
    ThrowSystemError("无法读取目录 " + Shown, Saved);
  }
  std::vector<std::string> Names;
  for (;;) {
    errno = 0;
    dirent* E = ::readdir(D);
    if (!E) break;
    if (std::strcmp(E->d_name, ".") != 0 && std::strcmp(E->d_name, "..") != 0)
      Names.emplace_back(E->d_name);
  }
  if (errno != 0) {
    const int Saved = errno;
    ::closedir(D);
    ThrowSystemError("无法读取目录 " + Shown, Saved);
  }
  try {
    for (const std::string& Name : Names) {
      struct stat St;
      if (::fstatat(::dirfd(D), Name.c_str(), &St, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
      TTreeEntry Entry;
      Entry.Path = Prefix + Name;
      Entry.IsFolder = S_ISDIR(St.st_mode);
      const TFileId Id{uint64_t(St.st_dev), uint64_t(St.st_ino)};
      Entry.Id = Id;
      Entry.IsFenced = Entry.IsFolder && (St.st_dev != Device || (Fence && Fence(Id)));
      Result.push_back(Entry);
      if (!Entry.IsFolder || Entry.IsFenced) continue;
      const int Sub =
          ::openat(::dirfd(D), Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      const std::string Folder = Shown + Name;
      if (Sub < 0) ThrowSystemError("无法读取目录 " + Folder, errno);
      ListTreeAt(Sub, Entry.Path + "/", Folder + "/", Device, Fence, Result);
    }
  } catch (...) {
    ::closedir(D);
    throw;
  }
  ::closedir(D);
}
}  // namespace

std::vector<TTreeEntry> ListTree(const std::string& Folder,
                                 const std::function<bool(const TFileId& Id)>& Fence) {
  const std::string Shown = IncludeTrailingDelimiter(Folder);
  const int F = OpenFolder(Shown, false);
  if (F < 0) ThrowSystemError("无法读取目录 " + Folder, errno);
  struct stat St;
  if (::fstat(F, &St) != 0) {
    const int Saved = errno;
    ::close(F);
    ThrowSystemError("无法读取目录 " + Folder, Saved);
  }
  std::vector<TTreeEntry> Result;
  ListTreeAt(F, std::string(), Shown, St.st_dev, Fence, Result);
  return Result;
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
  {
    // An equal file already there is kept: nothing is written.
    Fd Kept(OpenKeptDest(Dest, St.st_size));
    if (Kept.Value >= 0 && SameBytes(In.Value, Kept.Value)) {
      KeepWithMode(Kept.Value, St.st_mode);
      return true;
    }
  }
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

bool TouchFile(const std::string& Path) {
  return ::utimensat(AT_FDCWD, Path.c_str(), nullptr, 0) == 0;
}

bool DeleteFile(const std::string& Path) {
  TAtPath At;
  return At.Open(Path) && ::unlinkat(At.Dir, At.Name.c_str(), 0) == 0;
}

bool PublishFile(const std::string& From, const std::string& Dest,
                 const std::string& AttributesFrom) {
  TAtPath At;
  if (At.Open(From)) {
    const int F = ::openat(At.Dir, At.Name.c_str(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (F >= 0) {
      if (!AttributesFrom.empty()) CopyAttributesTo(AttributesFrom, F);
      const bool Kept = KeptEqualFile(F, Dest);
      ::close(F);
      if (Kept) return ::unlinkat(At.Dir, At.Name.c_str(), 0) == 0 || errno == ENOENT;
    }
  }
  return RenamePath(From, Dest);
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
  {
    Fd Kept(OpenKeptDest(Path, int64_t(Data.size())));
    if (Kept.Value >= 0 && SameBytes(Kept.Value, Data.data(), Data.size())) {
      KeepWithMode(Kept.Value, PublishedMode(AttributesFrom));
      return;
    }
  }
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

std::string ProgramFile() {
  char Buf[4096];
  const ssize_t N = ::readlink("/proc/self/exe", Buf, sizeof Buf - 1);
  return N <= 0 ? std::string() : std::string(Buf, size_t(N));
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
