// Files and folders. Paths are byte strings with "/" as the delimiter.
// Unless a function says it throws, it reports failure by its result and
// never throws.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace larkspan {

struct TDirEntry {
  std::string Name;
  bool IsDirectory = false;   // a real folder; a link to a folder is not one
  bool IsFolderLink = false;  // a symbolic link to a folder: neither file nor folder
  // Neither a regular file nor a folder (a FIFO, socket or device node,
  // directly or through a link): opening one may block or never end.
  bool IsSpecial = false;
  bool IsDangling = false;  // a symbolic link whose target is missing
  int64_t Size = 0;         // size of a file (the link target's for a link)
  int64_t ModifiedNs = 0;   // modification time of the entry itself, ns since 1970
};

// Every entry of Folder except "." and "..", hidden ones included, in the
// order the system gives them. Empty when the folder cannot be listed.
// A symbolic link to a folder is marked IsFolderLink so that walkers can
// decide whether to follow it (a link to a parent would otherwise recurse
// forever); a link to a file is that file.
std::vector<TDirEntry> ListDirectory(const std::string& Folder);
// The same, but a folder that cannot be listed (or read to its end) throws
// Exception "无法读取目录 FOLDER: <system reason>".
std::vector<TDirEntry> ReadDirectory(const std::string& Folder);

// Identity of a file or folder (links followed): equal for two names of one
// object.
struct TFileId {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  bool operator==(const TFileId&) const = default;
};
// False (and Id untouched) when Path does not exist.
bool GetFileId(const std::string& Path, TFileId& Id);
// True when A and B name one existing file (or are equal texts).
bool SameFile(const std::string& A, const std::string& B);
// True when Path itself is a symbolic link (not followed).
bool IsSymbolicLink(const std::string& Path);

// The identities of Path's folder (links followed) and of every folder
// above it, up to the system's root, found by climbing ".." from the
// folder itself, so that a folder reached through a bind mount or another
// name is still recognised. Path names the folder itself when it exists,
// otherwise its longest existing leading part after ResolvePath. Empty when
// nothing of it can be opened.
std::vector<TFileId> FolderChainIds(const std::string& Path);

// Absolute form of Path with every link resolved: the longest existing
// leading part goes through the system's resolution, the rest is taken
// component by component ("." dropped, ".." removing the component before
// it), and whatever exists after a step is resolved again, so that
// "missing/../link/x" resolves the link as creating the folders would. Relative paths are taken
// from the current folder. Never ends in "/" (except the root itself, "/"); "" when the current
// folder is unknown.
std::string ResolvePath(const std::string& Path);

// What Path names now, links followed: Missing when it (or a folder on its
// way) does not exist, Unknown when the system will not say (no right to
// look).
enum class TPathKind { Missing, File, Folder, Special, Unknown };
TPathKind PathKind(const std::string& Path);

bool DirectoryExists(const std::string& Path);
// True for anything that is not a folder (regular file, link to a file...).
bool FileExists(const std::string& Path);
// Creates Path and every missing folder above it. True when the folder
// exists afterwards.
bool ForceDirectories(const std::string& Path);
// Size of the file named Path, 0 when there is none.
int64_t FileSizeOf(const std::string& Path);

// A folder that writes are kept beneath. While one lives, every function of
// this header that creates, renames, removes or changes an entry at a path
// written as the folder's text (as given to the constructor), "/" and
// relative components reaches that entry from this object's handle, one
// folder at a time, never following a link (openat with
// O_NOFOLLOW|O_DIRECTORY; mkdirat for ForceDirectories): a folder swapped
// for a link after the run began makes the call fail (ELOOP or ENOTDIR)
// instead of writing where the link leads. "." and ".." components beneath
// are refused (EINVAL). Paths elsewhere are handled as before. Any thread.
class TWriteRoot {
 public:
  // Opens Folder, which must exist and be a folder (links in its own text
  // are followed: the caller has checked where it leads). Throws Exception
  // "无法打开目录 FOLDER: <reason>".
  explicit TWriteRoot(const std::string& Folder);
  ~TWriteRoot();
  TWriteRoot(const TWriteRoot&) = delete;
  TWriteRoot& operator=(const TWriteRoot&) = delete;
  // Takes an exclusive advisory lock on the folder (flock), without
  // waiting; held until this object dies or the process ends. False when
  // another process holds it (errno EWOULDBLOCK) or the system refuses.
  bool TryLock();
  // The identity of the folder opened.
  TFileId Id() const;
  // From now on a publish beneath this folder (TTempFile::Publish,
  // PublishFile, CopyFileOverwrite, WriteFileAtomic) whose content equals
  // the regular file already at its destination leaves that file as it is:
  // its modification time and identity stay, only permission bits that
  // differ are set, and the new copy is dropped. A link, or anything else
  // but a regular file, at the destination is replaced as before.
  void KeepEqualFiles(bool Keep = true);

 private:
  std::string Prefix;  // Folder's text with one trailing delimiter
  int Fd = -1;
};

// A temporary file beside its destination, made for publishing through a
// rename. Created with O_CREAT|O_EXCL|O_NOFOLLOW under an unpredictable
// name of at most 40 bytes (TempFilePrefix, random letters, then the
// destination's extension when it is short), so a planted file or link is
// never written through and long destination names still fit. Removed when
// the object dies uncommitted, and also when the program is ended by
// SIGINT/SIGTERM (see RemoveLiveTempFiles).
class TTempFile {
 public:
  // Creates the file in Dest's folder. Throws Exception
  // "无法创建文件 DEST: <reason>" on failure.
  explicit TTempFile(const std::string& Dest);
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::string& Path() const { return TempPath; }
  // The open descriptor (write only), -1 after Close.
  int Descriptor() const { return Fd; }
  // Closes the descriptor; false (errno set) when the system reports a
  // write error on close.
  bool Close();
  // Gives the file Source's permission bits and modification time (when
  // Source exists), then renames it to Dest. Throws Exception
  // "无法创建文件 DEST: <reason>"; the temporary file is gone either way.
  void Publish(const std::string& Source = std::string());

 private:
  std::string Dest;
  std::string TempPath;
  int Fd = -1;
};

// Names of temporary files begin with this; a folder's leftovers from a
// killed run are removed by RemoveStaleTempFiles.
extern const char* const TempFilePrefix;
// True when Name has the exact form of a temporary file's or folder's name:
// TempFilePrefix, 16 letters or digits, then nothing or an extension of at
// most 8 bytes.
bool IsTempFileName(const std::string& Name);
// Removes every entry of Folder whose name IsTempFileName (files, links
// and folders with their content), except live ones and those Keep (when
// given) says are not leftovers. Links are never followed. Returns how many.
int RemoveStaleTempFiles(const std::string& Folder,
                         const std::function<bool(const std::string& Name)>& Keep = {});
// Removes the temporary files of every live TTempFile (and temporary
// folders of TTempFolder). Async-signal-unsafe: call from a normal thread
// (the termination handler's) just before the program ends.
void RemoveLiveTempFiles();

// A fresh private folder (mode 0700) named like a temporary file, inside
// Parent (or TempFolder() when Parent is ""); removed with its content when
// the object dies. Throws Exception "无法创建目录 PARENT: <reason>".
class TTempFolder {
 public:
  explicit TTempFolder(const std::string& Parent = std::string());
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  // Ends with "/".
  const std::string& Path() const { return Dir; }

 private:
  std::string Dir;
};

// Copies Source to Dest through a TTempFile, streaming (never the whole
// file in memory); Dest gets Source's permission bits and modification
// time. A Source that is not a regular file (a FIFO, a device) is refused
// without being read (EINVAL), never blocks. On failure returns false,
// leaves no partial file behind and sets errno to the reason.
bool CopyFileOverwrite(const std::string& Source, const std::string& Dest);
bool DeleteFile(const std::string& Path);
// Sets Path's modification time to now (links followed); false with errno
// set when it cannot.
bool TouchFile(const std::string& Path);
// Gives From AttributesFrom's permission bits and modification time (when
// that exists), then renames From to Dest (one folder's file system). False
// with errno set on failure.
bool PublishFile(const std::string& From, const std::string& Dest,
                 const std::string& AttributesFrom);
// Removes Path with everything below it (links are removed, not followed).
void RemoveTree(const std::string& Path);
// Removes the folder Path when it is empty (never a link); false with errno
// set otherwise.
bool RemoveEmptyFolder(const std::string& Path);

// An entry found by ListTree.
struct TTreeEntry {
  std::string Path;  // relative to the folder listed, "/" between names
  bool IsFolder = false;
  // Not entered: a folder on another file system (a mount point) or one
  // whose identity Fence names.
  bool IsFenced = false;
  TFileId Id;  // of the entry itself (a link's own, not its target's)
};
// Every entry beneath Folder, depth first, a folder before its content.
// Links are never followed (a link is an entry like a file), a folder on
// another file system than Folder's is listed but not entered, and so is a
// folder Fence (when given) says true for. Folder is reached through a
// write root when it lies beneath one. Throws Exception "无法读取目录
// FOLDER: <reason>" when Folder or a folder within cannot be listed.
std::vector<TTreeEntry> ListTree(const std::string& Folder,
                                 const std::function<bool(const TFileId& Id)>& Fence = {});

// Whole content of a file. Throws Exception naming the file and the system's
// reason when it cannot be opened or read.
std::string ReadFileText(const std::string& Path);
// Writes Data to Path through a TTempFile and a rename, so readers never see
// a half-written file and a failure leaves the old file whole. With
// AttributesFrom given, Path gets that file's permission bits and
// modification time. Throws Exception naming the file and the reason.
void WriteFileAtomic(const std::string& Path, const std::string& Data,
                     const std::string& AttributesFrom = std::string());

// A file opened for reading, closed when the object dies. Opening a
// FIFO or device never blocks and is refused. Throws Exception
// "无法打开文件 PATH: <reason>" / "无法读取文件 PATH: <reason>".
class TFileReader {
 public:
  explicit TFileReader(const std::string& Path);
  ~TFileReader();
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;
  // Up to Len bytes from the current position; fewer only at the end.
  size_t Read(void* Buf, size_t Len);
  void Seek(int64_t Offset);
  int64_t Size() const { return FileSize; }

 private:
  std::string Name;
  int Fd = -1;
  int64_t FileSize = 0;
};

// Position of the last byte equal to C in Data[0, Len), or -1.
long FindLastByte(const char* Data, size_t Len, char C);
// Appends Data to Path in one write (creating it, mode 0644), the way
// programs write to a shared log. False, with errno set, when it cannot.
bool AppendToFile(const std::string& Path, const std::string& Data);

// Folder of the running executable, with a trailing delimiter.
std::string ProgramFolder();
// The running executable's own file, "" when the system does not say.
std::string ProgramFile();
// Where the program's own helpers (outside programs, the markup compressor's
// archive, the "Skins/" folder) are looked for, in this order, each with a
// trailing delimiter: ProgramDir itself (the build tree), then under its parent
// "libexec/larkspan/" (programs) and "share/larkspan/" (the archive, the skin),
// so that /usr/bin/larkspan-cli finds /usr/libexec/larkspan/pngout. ProgramDir
// is taken as it is written (a canonical path, as ProgramFolder() gives).
std::vector<std::string> HelperFolders(const std::string& ProgramDir = ProgramFolder());
// The first of HelperFolders(ProgramDir) holding an entry called Name (a file
// or a folder); ProgramDir itself when none does.
std::string HelperFolderOf(const std::string& Name,
                           const std::string& ProgramDir = ProgramFolder());
// $XDG_CONFIG_HOME, or $HOME/.config, with a trailing delimiter; empty when
// neither is set.
std::string AppDataFolder();
// Value of an environment variable, "" when unset.
std::string GetEnv(const std::string& Name);
// The folder for scratch files ($TMPDIR or /tmp), with a trailing delimiter.
std::string TempFolder();

}  // namespace larkspan
