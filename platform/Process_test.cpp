#include "platform/Process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace larkspan {
namespace {

// A scratch folder (with a blank and Chinese characters in its name),
// removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string Pattern = TempFolder() + "larkspan proc 测试.XXXXXX";
    if (!::mkdtemp(Pattern.data())) ADD_FAILURE() << "mkdtemp failed";
    Path = Pattern + "/";
  }
  ~TempDir() {
    const std::string Cmd = "rm -rf '" + Path + "'";
    if (std::system(Cmd.c_str()) != 0) ADD_FAILURE() << "cleanup failed";
  }
  std::string Path;
};

// Sets an environment variable for the length of a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* Name, const std::string& Value) : Name(Name) {
    if (const char* Old = std::getenv(Name)) Saved = Old, HadValue = true;
    ::setenv(Name, Value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (HadValue)
      ::setenv(Name, Saved.c_str(), 1);
    else
      ::unsetenv(Name);
  }

 private:
  const char* Name;
  std::string Saved;
  bool HadValue = false;
};

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

// True once Pid is gone from the process table (not even a zombie).
bool GoneWithin(pid_t Pid, std::chrono::seconds Limit) {
  const auto End = std::chrono::steady_clock::now() + Limit;
  while (std::chrono::steady_clock::now() < End) {
    if (::kill(Pid, 0) != 0 && errno == ESRCH) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(ProcessTest, FindProgramSearchesOwnFolderFirstThenPath) {
  TempDir Dir;
  const std::string Name = "larkspan-probe-" + std::to_string(::getpid());
  WriteScript(Dir.Path + Name, "exit 0");
  ScopedEnv Path("PATH", "/nonexistent::" + Dir.Path);
  EXPECT_EQ(FindProgram(Name), Dir.Path + Name);

  // The same name beside the running executable wins over PATH.
  const std::string Own = ProgramFolder() + Name;
  WriteScript(Own, "exit 0");
  EXPECT_EQ(FindProgram(Name), Own);
  // A folder handed by the caller comes before both.
  TempDir First;
  WriteScript(First.Path + Name, "exit 0");
  EXPECT_EQ(FindProgram(Name, First.Path), First.Path + Name);
  ::unlink(Own.c_str());

  // Not executable, a folder, or missing: not found.
  std::ofstream(Dir.Path + "plain") << "x";
  ::mkdir((Dir.Path + "folder").c_str(), 0755);
  for (const char* Missing : {"plain", "folder", "no-such-program-here"})
    EXPECT_EQ(FindProgram(Missing), "") << Missing;
  // A name with "/" is used as it is.
  EXPECT_EQ(FindProgram(Dir.Path + Name), Dir.Path + Name);
  EXPECT_EQ(FindProgram(Dir.Path + "plain"), "");
}

TEST(ProcessTest, PassesEachArgumentWholeAndRunsInWorkFolder) {
  TempDir Dir;
  const std::string Out = Dir.Path + "out.txt";
  TProcessOptions Options;
  Options.WorkFolder = Dir.Path;
  const auto R = StartProcess(
      "sh", {"-c", "pwd > \"$1\"; shift; for a; do echo \"[$a]\"; done >> \"$0\"", Out, Out,
             "a b", "", "*", "$HOME", "文件 名.html"},
      Options);
  ASSERT_TRUE(R.Started) << R.ErrorText;
  EXPECT_EQ(R.ExitCode, 0);
  EXPECT_EQ(Slurp(Out), ExcludeTrailingDelimiterForTest(Dir.Path) + "\n[a b]\n[]\n[*]\n[$HOME]\n[文件 名.html]\n");
}

}  // namespace
}  // namespace larkspan
