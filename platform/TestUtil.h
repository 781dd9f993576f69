// Helpers for tests that work on real files: scratch folders, environment
// and working-folder changes undone at the end of a scope, small file
// readers and writers. Linked into test binaries only.
#pragma once

#include <map>
#include <string>

namespace larkspan::test {

// A fresh empty folder under the temp folder (its name starts with Hint and
// may hold blanks or Chinese characters), removed with its content when the
// object dies. Path() ends with "/".
class TTempDir {
 public:
  explicit TTempDir(const std::string& Hint = "larkspan");
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return Dir; }
  // Writes Data to Path()+Relative, creating folders; returns the full path.
  std::string Write(const std::string& Relative, const std::string& Data) const;

 private:
  std::string Dir;
};

// Sets (or, with Unset, removes) an environment variable for a scope.
class TScopedEnv {
 public:
  TScopedEnv(const char* Name, const std::string& Value, bool Unset = false);
  ~TScopedEnv();
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  const char* Name;
  std::string Saved;
  bool HadValue = false;
};

// Changes the working folder for a scope.
class TScopedCwd {
 public:
  explicit TScopedCwd(const std::string& Dir);
  ~TScopedCwd();
  TScopedCwd(const TScopedCwd&) = delete;
  TScopedCwd& operator=(const TScopedCwd&) = delete;

 private:
  std::string Saved;
};

// A mount for one scope, undone when the object dies (before the folders it
// lies in are removed: removing a bind mount's content would empty its
// source). Needs root; Ok() says whether it took, Reason() why not.
class TScopedMount {
 public:
  // Binds Source at Target, or with Type mounts a fresh file system of that
  // type from Source (Options its data).
  TScopedMount(const std::string& Source, const std::string& Target, const char* Type = nullptr,
               const std::string& Options = {});
  ~TScopedMount();
  TScopedMount(const TScopedMount&) = delete;
  TScopedMount& operator=(const TScopedMount&) = delete;
  bool Ok() const { return Mounted; }
  const std::string& Reason() const { return Why; }

 private:
  std::string Target, Why;
  bool Mounted = false;
};

// Content of a file, "" when it cannot be read.
std::string Slurp(const std::string& Path);
// Writes an executable "#!/bin/sh" script with Body.
void WriteScript(const std::string& Path, const std::string& Body);
// Relative path -> content of every regular file below Folder (links not
// followed).
std::map<std::string, std::string> ReadTree(const std::string& Folder);

}  // namespace larkspan::test
