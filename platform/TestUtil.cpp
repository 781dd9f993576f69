#include "platform/TestUtil.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace larkspan::test {

namespace {
// A test program run by hand (ctest sets XDG_CACHE_HOME itself) still never
// fills the user's own cache of results: every program it starts inherits
// this.
const bool TestsOwnCache = [] {
  if (GetEnv("XDG_CACHE_HOME").empty())
    ::setenv("XDG_CACHE_HOME", (TempFolder() + "larkspan-test-cache").c_str(), 1);
  return true;
}();
}  // namespace

TTempDir::TTempDir(const std::string& Hint) {
  std::string Tmpl = TempFolder() + Hint + "-XXXXXX";
  char* P = ::mkdtemp(Tmpl.data());
  if (!P) throw Exception("mkdtemp failed for " + Tmpl);
  Dir = std::string(P) + "/";
}

TTempDir::~TTempDir() {
  std::error_code Ec;
  // Make read-only folders writable again so the tree can go.
  for (auto It =
           fs::recursive_directory_iterator(Dir, fs::directory_options::skip_permission_denied, Ec);
       !Ec && It != fs::recursive_directory_iterator(); It.increment(Ec)) {
    if (It->is_directory(Ec) && !It->is_symlink(Ec))
      fs::permissions(It->path(), fs::perms::owner_all, fs::perm_options::add, Ec);
  }
  fs::remove_all(Dir, Ec);
}

std::string TTempDir::Write(const std::string& Relative, const std::string& Data) const {
  const std::string Path = Dir + Relative;
  fs::create_directories(fs::path(Path).parent_path());
  std::ofstream(Path, std::ios::binary) << Data;
  return Path;
}

TScopedEnv::TScopedEnv(const char* AName, const std::string& Value, bool Unset) : Name(AName) {
  if (const char* Old = std::getenv(Name)) {
    Saved = Old;
    HadValue = true;
  }
  if (Unset)
    ::unsetenv(Name);
  else
    ::setenv(Name, Value.c_str(), 1);
}

TScopedEnv::~TScopedEnv() {
  if (HadValue)
    ::setenv(Name, Saved.c_str(), 1);
  else
    ::unsetenv(Name);
}

TScopedCwd::TScopedCwd(const std::string& Dir) {
  char Buf[4096];
  if (::getcwd(Buf, sizeof Buf)) Saved = Buf;
  if (::chdir(Dir.c_str()) != 0) throw Exception("chdir " + Dir);
}

TScopedCwd::~TScopedCwd() {
  if (!Saved.empty() && ::chdir(Saved.c_str()) != 0) std::abort();
}

std::string Slurp(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

void WriteScript(const std::string& Path, const std::string& Body) {
  std::ofstream(Path) << "#!/bin/sh\n" << Body << "\n";
  ::chmod(Path.c_str(), 0755);
}

std::map<std::string, std::string> ReadTree(const std::string& Folder) {
  std::map<std::string, std::string> Tree;
  for (auto& E : fs::recursive_directory_iterator(Folder)) {
    if (!E.is_regular_file() || E.is_symlink()) continue;
    Tree[fs::relative(E.path(), Folder).string()] = ReadFileText(E.path().string());
  }
  return Tree;
}

TScopedMount::TScopedMount(const std::string& Source, const std::string& ATarget, const char* Type,
                           const std::string& Options)
    : Target(ATarget) {
  Mounted = Type ? ::mount(Source.c_str(), Target.c_str(), Type, 0, Options.c_str()) == 0
                 : ::mount(Source.c_str(), Target.c_str(), nullptr, MS_BIND, nullptr) == 0;
  if (!Mounted) Why = std::strerror(errno);
}

TScopedMount::~TScopedMount() {
  if (Mounted) ::umount2(Target.c_str(), MNT_DETACH);
}

}  // namespace larkspan::test
