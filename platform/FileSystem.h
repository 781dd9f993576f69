// Files and folders. Paths are byte strings with "/" as the delimiter.
// Unless a function says it throws, it reports failure by its result and
// never throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace larkspan {

struct TDirEntry {
  std::string Name;
  bool IsDirectory = false;    // a real folder; a link to a folder is not one
  bool IsFolderLink = false;   // a symbolic link to a folder: neither file nor folder
  int64_t Size = 0;          // size of a file (the link target's for a link)
};

// Every entry of Folder except "." and "..", hidden ones included, in the
// order the system gives them. Empty when the folder cannot be listed.
// A symbolic link to a folder is marked IsFolderLink so that walkers can pass
// it by (a link to a parent would otherwise recurse forever); a link to a
// file is that file.
std::vector<TDirEntry> ListDirectory(const std::string& Folder);

bool DirectoryExists(const std::string& Path);
// True for anything that is not a folder (regular file, link to a file...).
bool FileExists(const std::string& Path);
// Creates Path and every missing folder above it. True when the folder
// exists afterwards.
bool ForceDirectories(const std::string& Path);
// Size of the file named Path, 0 when there is none.
int64_t FileSizeOf(const std::string& Path);

// Copies Source to Dest, overwriting Dest, streaming (never the whole file in
// memory). On failure returns false, leaves no partial Dest behind and sets
// errno.
bool CopyFileOverwrite(const std::string& Source, const std::string& Dest);
bool DeleteFile(const std::string& Path);

// Whole content of a file. Throws Exception naming the file and the system's
// reason when it cannot be opened or read.
std::string ReadFileText(const std::string& Path);
// Writes Data to Path through a temporary file in the same folder and a
// rename, so readers never see a half-written file and a failure leaves the
// old file whole. Throws Exception naming the file and the reason.
void WriteFileAtomic(const std::string& Path, const std::string& Data);

// Folder of the running executable, with a trailing delimiter.
std::string ProgramFolder();
// Where the program's own helpers (outside programs, the markup compressor's
// archive, the "Skins/" folder) are looked for, in this order, each with a
// trailing delimiter: ProgramDir itself, then "lib/larkspan/" under its
// parent, so that /usr/bin/larkspan-cli finds /usr/lib/larkspan/. ProgramDir
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
