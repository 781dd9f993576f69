#include "platform/Process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Error.h"
#include "platform/ExecutableNote.h"
#include "platform/FileSystem.h"
#include "platform/TestUtil.h"
#include "platform/Text.h"

namespace larkspan {
namespace {

// Scratch folders carry a blank and Chinese characters in their names.
struct TempDir : test::TTempDir {
  TempDir() : test::TTempDir("larkspan proc 测试") {}
};
using ScopedEnv = test::TScopedEnv;
using test::Slurp;
using test::WriteScript;

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
  WriteScript(Dir.Path() + Name, "exit 0");
  ScopedEnv Path("PATH", "/nonexistent::" + Dir.Path());
  EXPECT_EQ(FindProgram(Name), Dir.Path() + Name);

  // The same name beside the running executable wins over PATH.
  const std::string Own = ProgramFolder() + Name;
  WriteScript(Own, "exit 0");
  EXPECT_EQ(FindProgram(Name), Own);
  // A folder handed by the caller comes before both.
  TempDir First;
  WriteScript(First.Path() + Name, "exit 0");
  EXPECT_EQ(FindProgram(Name, First.Path()), First.Path() + Name);
  ::unlink(Own.c_str());

  // The installed helper folder (../libexec/larkspan/) comes after our own
  // folder and before PATH.
  const std::string Lib = HelperFolders()[1];
  ASSERT_TRUE(ForceDirectories(Lib));
  WriteScript(Lib + Name, "exit 0");
  EXPECT_EQ(FindProgram(Name), Lib + Name);
  WriteScript(Own, "exit 0");
  EXPECT_EQ(FindProgram(Name), Own);
  ::unlink(Own.c_str());
  ::unlink((Lib + Name).c_str());
  ::rmdir(Lib.c_str());  // only when we made them, that is when empty
  ::rmdir(ExtractFilePath(ExcludeTrailingDelimiter(Lib)).c_str());

  // Not executable, a folder, or missing: not found.
  std::ofstream(Dir.Path() + "plain") << "x";
  ::mkdir((Dir.Path() + "folder").c_str(), 0755);
  for (const char* Missing : {"plain", "folder", "no-such-program-here"})
    EXPECT_EQ(FindProgram(Missing), "") << Missing;
  // A name with "/" is used as it is.
  EXPECT_EQ(FindProgram(Dir.Path() + Name), Dir.Path() + Name);
  EXPECT_EQ(FindProgram(Dir.Path() + "plain"), "");
}

TEST(ProcessTest, PassesEachArgumentWholeAndRunsInWorkFolder) {
  TempDir Dir;
  const std::string Out = Dir.Path() + "out.txt";
  TProcessOptions Options;
  Options.WorkFolder = Dir.Path();
  const auto R = StartProcess("sh",
                              {"-c", "pwd > \"$0\"; for a; do echo \"[$a]\"; done >> \"$0\"", Out,
                               "a b", "", "*", "$HOME", "文件 名.html", "; rm -rf x"},
                              Options);
  ASSERT_TRUE(R.Started) << R.ErrorText;
  EXPECT_EQ(R.ExitCode, 0);
  EXPECT_EQ(Slurp(Out), ExcludeTrailingDelimiter(Dir.Path()) +
                            "\n[a b]\n[]\n[*]\n[$HOME]\n[文件 名.html]\n[; rm -rf x]\n");

  // Without a work folder the child shares ours.
  char Cwd[4096];
  ASSERT_TRUE(::getcwd(Cwd, sizeof Cwd));
  ASSERT_TRUE(StartProcess("sh", {"-c", "pwd > \"$0\"", Out}).Started);
  EXPECT_EQ(Slurp(Out), std::string(Cwd) + "\n");
}

TEST(ProcessTest, ReportsExitStatusAndSignals) {
  struct Case {
    const char* Script;
    int ExitCode;
  } Cases[] = {
      {"exit 0", 0}, {"exit 3", 3}, {"exit 255", 255}, {"kill -TERM $$", -1}, {"kill -KILL $$", -1},
  };
  for (const Case& C : Cases) {
    const auto R = StartProcess("sh", {"-c", C.Script});
    ASSERT_TRUE(R.Started) << C.Script;
    EXPECT_EQ(R.ExitCode, C.ExitCode) << C.Script;
    EXPECT_FALSE(R.TimedOut) << C.Script;
  }
}

TEST(ProcessTest, FailedStartCarriesSystemReason) {
  TempDir Dir;
  std::ofstream(Dir.Path() + "not-executable") << "#!/bin/sh\n";
  struct Case {
    std::string Name;
    std::string WorkFolder;
    int Errno;
  } Cases[] = {
      {"no-such-program-larkspan", "", ENOENT},
      {Dir.Path() + "no-such-program", "", ENOENT},
      {Dir.Path() + "not-executable", "", EACCES},
      {"sh", Dir.Path() + "missing-folder/", ENOENT},
  };
  for (const Case& C : Cases) {
    TProcessOptions Options;
    Options.WorkFolder = C.WorkFolder;
    const auto R = StartProcess(C.Name, {"-c", "exit 0"}, Options);
    EXPECT_FALSE(R.Started) << C.Name;
    EXPECT_EQ(R.ErrorCode, C.Errno) << C.Name;
    EXPECT_EQ(R.ErrorText, SystemErrorText(C.Errno)) << C.Name;
    EXPECT_EQ(R.ExitCode, -1) << C.Name;
  }
  // A PATH without the program: the start fails, it does not "succeed" with
  // a child that exits 127.
  ScopedEnv Path("PATH", Dir.Path());
  const auto R = StartProcess("sh", {"-c", "exit 0"});
  EXPECT_FALSE(R.Started);
  EXPECT_EQ(R.ErrorText, SystemErrorText(ENOENT));
}

TEST(ProcessTest, TimeLimitKillsTheWholeGroup) {
  TempDir Dir;
  const std::string PidFile = Dir.Path() + "grandchild.pid";
  ScopedEnv Limit("LARKSPAN_TOOL_TIMEOUT", "1");
  EXPECT_EQ(ToolTimeoutSeconds(), 1);
  const auto Begin = std::chrono::steady_clock::now();
  // The grandchild sleeps in the background: killing only the child would
  // leave it running.
  const auto R = StartProcess("sh", {"-c", "sleep 30 & echo $! > \"$0\"; wait", PidFile});
  const auto Took = std::chrono::steady_clock::now() - Begin;
  ASSERT_TRUE(R.Started);
  EXPECT_TRUE(R.TimedOut);
  EXPECT_EQ(R.ExitCode, -1);
  EXPECT_LT(Took, std::chrono::seconds(10));
  const pid_t Grandchild = std::atoi(Slurp(PidFile).c_str());
  ASSERT_GT(Grandchild, 0);
  // The grandchild is not ours to reap: gone means killed and reaped by init.
  EXPECT_TRUE(GoneWithin(Grandchild, std::chrono::seconds(10)));

  const auto Plain = StartProcess("sleep", {"30"});
  EXPECT_TRUE(Plain.TimedOut);

  TProcessOptions Options;
  Options.TimeoutSeconds = 30;  // an explicit limit beats the environment
  EXPECT_FALSE(StartProcess("sleep", {"2"}, Options).TimedOut);
}

TEST(ProcessTest, StopAllProgramsKillsTheRunningGroupAndRefusesNewStarts) {
  TempDir Dir;
  const std::string PidFile = Dir.Path() + "grandchild.pid";
  const auto Begin = std::chrono::steady_clock::now();
  std::thread Stopper([&] {
    while (Slurp(PidFile).empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    StopAllPrograms();
  });
  const auto R = StartProcess("sh", {"-c", "sleep 30 & echo $! > \"$0\"; wait", PidFile});
  Stopper.join();
  EXPECT_TRUE(R.Started);
  EXPECT_TRUE(R.Stopped);
  EXPECT_FALSE(R.TimedOut);
  EXPECT_EQ(R.ExitCode, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - Begin, std::chrono::seconds(10));
  EXPECT_TRUE(GoneWithin(std::atoi(Slurp(PidFile).c_str()), std::chrono::seconds(10)));

  // Until programs are allowed again, none starts; one not waited for is no
  // part of a run and still may.
  EXPECT_TRUE(ProgramsStopped());
  const auto Refused = StartProcess("true", {});
  EXPECT_FALSE(Refused.Started);
  EXPECT_EQ(Refused.ErrorCode, ECANCELED);
  TProcessOptions NoWait;
  NoWait.Wait = false;
  EXPECT_TRUE(StartProcess("true", {}, NoWait).Started);
  AllowPrograms();
  const auto Again = StartProcess("true", {});
  EXPECT_TRUE(Again.Started);
  EXPECT_FALSE(Again.Stopped);
  EXPECT_EQ(Again.ExitCode, 0);
}

TEST(ProcessTest, TimeoutSettingFallsBackOnBadValues) {
  for (const char* Bad : {"", "0", "-5", "abc", "10s", "99999999999999999999"}) {
    ScopedEnv Limit("LARKSPAN_TOOL_TIMEOUT", Bad);
    EXPECT_EQ(ToolTimeoutSeconds(), 300) << Bad;
  }
  ScopedEnv Limit("LARKSPAN_TOOL_TIMEOUT", "42");
  EXPECT_EQ(ToolTimeoutSeconds(), 42);
}

TEST(ProcessTest, ProgramNotWaitedForIsReaped) {
  TProcessOptions Options;
  Options.Wait = false;
  std::vector<pid_t> Pids;
  for (int I = 0; I < 5; ++I) {
    const auto R = StartProcess("true", {}, Options);
    ASSERT_TRUE(R.Started);
    EXPECT_EQ(R.ExitCode, -1);
    Pids.push_back(R.Pid);
  }
  // A zombie still answers kill(pid, 0); a reaped child does not.
  for (pid_t Pid : Pids) EXPECT_TRUE(GoneWithin(Pid, std::chrono::seconds(10))) << Pid;
}

TEST(ProcessTest, OutputGoesToLogOrNowhere) {
  TempDir Dir;
  const std::vector<std::string> Noisy = {"-c", "echo out; echo err >&2; cat"};

  // Nothing reaches our own stdout and stderr, and stdin is empty (cat ends).
  const std::string Captured = Dir.Path() + "captured.txt";
  const int Saved1 = ::dup(1), Saved2 = ::dup(2);
  const int Cap = ::open(Captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(Cap, 1);
  ::dup2(Cap, 2);
  const auto Quiet = StartProcess("sh", Noisy);
  ::dup2(Saved1, 1);
  ::dup2(Saved2, 2);
  ::close(Cap);
  ::close(Saved1);
  ::close(Saved2);
  EXPECT_EQ(Quiet.ExitCode, 0);
  EXPECT_FALSE(Quiet.TimedOut);
  EXPECT_EQ(Slurp(Captured), "");

  // With a log named, both streams are appended to it, run after run.
  const std::string Log = Dir.Path() + "tools 日志.log";
  ScopedEnv LogEnv("LARKSPAN_TOOL_LOG", Log);
  ASSERT_EQ(StartProcess("sh", Noisy).ExitCode, 0);
  ASSERT_EQ(StartProcess("sh", Noisy).ExitCode, 0);
  EXPECT_EQ(Slurp(Log), "out\nerr\nout\nerr\n");

  // A log that cannot be opened does not stop the program.
  ScopedEnv BadLog("LARKSPAN_TOOL_LOG", Dir.Path() + "no-such-folder/x.log");
  EXPECT_EQ(StartProcess("sh", Noisy).ExitCode, 0);
}

TEST(ProcessTest, ChildGetsNoInheritedDescriptorsAndExtraEnvironment) {
  TempDir Dir;
  // Opened without close-on-exec, as foreign code might.
  const int Leaky = ::open((Dir.Path() + "leaky").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(Leaky, 3);
  const std::string Out = Dir.Path() + "out.txt";
  TProcessOptions Options;
  Options.ExtraEnv = {"LARKSPAN_PROBE=a b", "HOME=/replaced"};
  const auto R = StartProcess("sh",
                              {"-c",
                               "if [ -e /proc/self/fd/" + std::to_string(Leaky) +
                                   " ]; then echo open; else echo closed; fi > \"$0\"; "
                                   "echo \"$LARKSPAN_PROBE|$HOME|${PATH:+path}\" >> \"$0\"; "
                                   "ps -o pgid= -p $$ | tr -d ' ' >> \"$0\"; echo $$ >> \"$0\"",
                               Out},
                              Options);
  ::close(Leaky);
  ASSERT_EQ(R.ExitCode, 0);
  std::istringstream Lines(Slurp(Out));
  std::string Fd, Env, Group, Self;
  std::getline(Lines, Fd);
  std::getline(Lines, Env);
  std::getline(Lines, Group);
  std::getline(Lines, Self);
  EXPECT_EQ(Fd, "closed");
  EXPECT_EQ(Env, "a b|/replaced|path");
  // The child leads a process group of its own.
  EXPECT_EQ(Group, Self);
  EXPECT_EQ(Self, std::to_string(R.Pid));
}

TEST(ProcessTest, AbsolutePathForChild) {
  char Cwd[4096];
  ASSERT_TRUE(::getcwd(Cwd, sizeof Cwd));
  const std::string Here = IncludeTrailingDelimiter(Cwd);
  EXPECT_EQ(AbsolutePathForChild("/a b/c.html"), "/a b/c.html");
  EXPECT_EQ(AbsolutePathForChild(""), "");
  EXPECT_EQ(AbsolutePathForChild("site/a.html"), Here + "site/a.html");
  EXPECT_EQ(AbsolutePathForChild("./-x.html"), Here + "-x.html");
}

TEST(ProcessTest, BadTimeoutSettingIsNamed) {
  for (const char* Bad : {"0", "-5", "abc", "10s", "99999999999999999999"}) {
    ScopedEnv Limit("LARKSPAN_TOOL_TIMEOUT", Bad);
    EXPECT_NE(ToolTimeoutProblem().find(Bad), std::string::npos) << Bad;
  }
  for (const char* Good : {"", "42"}) {
    ScopedEnv Limit("LARKSPAN_TOOL_TIMEOUT", Good);
    EXPECT_EQ(ToolTimeoutProblem(), "") << Good;
  }
}

TEST(ProcessTest, ChildRunsInAUtf8LocaleUnlessToldOtherwise) {
  TempDir D;
  ScopedEnv NoLang("LANG", "", true);
  ScopedEnv NoAll("LC_ALL", "", true);
  test::WriteScript(D.Path() + "env.sh", "echo \"$LC_ALL\" > \"$1\"\n");
  ASSERT_TRUE(StartProcess(D.Path() + "env.sh", {D.Path() + "a"}).Started);
  EXPECT_EQ(Slurp(D.Path() + "a"), "C.UTF-8\n");
  TProcessOptions O;
  O.ExtraEnv = {"LC_ALL=POSIX"};
  ASSERT_TRUE(StartProcess(D.Path() + "env.sh", {D.Path() + "b"}, O).Started);
  EXPECT_EQ(Slurp(D.Path() + "b"), "POSIX\n");
}

// A tool must not outlive a front end that was killed: the child of a
// process that dies by SIGKILL is ended by the system.
TEST(ProcessTest, ProgramDiesWithTheThreadThatStartedIt) {
  TempDir D;
  const std::string PidFile = D.Path() + "pid";
  test::WriteScript(D.Path() + "tool.sh",
                    "echo $$ > \"$1.part\"; mv \"$1.part\" \"$1\"\nexec sleep 30\n");
  const pid_t Front = ::fork();
  if (Front == 0) {
    StartProcess(D.Path() + "tool.sh", {PidFile});
    ::_exit(0);
  }
  pid_t Tool = 0;
  for (int I = 0; I < 3000 && Tool == 0; ++I) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Tool = ::atoi(Slurp(PidFile).c_str());
  }
  ASSERT_GT(Tool, 0);
  ::kill(Front, SIGKILL);
  ::waitpid(Front, nullptr, 0);
  bool Gone = false;
  for (int I = 0; I < 2000 && !Gone; ++I) {
    // Ended and reaped by init, or a zombie waiting for it.
    const std::string Stat = Slurp("/proc/" + std::to_string(Tool) + "/stat");
    Gone = Stat.empty() || Stat.find(") Z") != std::string::npos;
    if (!Gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(Gone);
  if (!Gone) ::kill(Tool, SIGKILL);
}

TEST(ExecutableNoteTest, BuildIdNamesOneBuildOfAProgram) {
  TempDir Dir;
  const std::string Self = ProgramFile();
  const std::string Id = ExecutableBuildId(Self);
  ASSERT_GE(Id.size(), 16u);  // the compiler here gives every program one
  EXPECT_EQ(Id.find_first_not_of("0123456789abcdef"), std::string::npos);
  const std::string Bytes = ReadFileText(Self);
  EXPECT_EQ(ExecutableBuildId(Dir.Write("copy", Bytes)), Id);

  // The note's bytes, as they stand in the file.
  std::string Raw;
  for (size_t I = 0; I + 1 < Id.size(); I += 2)
    Raw += char(std::stoi(Id.substr(I, 2), nullptr, 16));
  const size_t At = Bytes.find(Raw);
  ASSERT_NE(At, std::string::npos);
  std::string Other = Bytes;
  Other[At] = char(Other[At] ^ 1);
  const std::string OtherId = ExecutableBuildId(Dir.Write("other", Other));
  EXPECT_NE(OtherId, Id);
  EXPECT_EQ(OtherId.size(), Id.size());

  // No identity, and no crash, for what is not a whole program.
  const std::string None[] = {
      Dir.Write("script", "#!/bin/sh\nexit 0\n"),
      Dir.Write("empty", ""),
      Dir.Write("head", Bytes.substr(0, 64)),
      Dir.Write("cut", Bytes.substr(0, Bytes.size() / 2)),  // the section table is at the end
      Dir.Write("magic",
                "\x7F"
                "ELF" +
                    std::string(200, '\xFF')),
      Dir.Path() + "missing",
  };
  for (const std::string& F : None) EXPECT_EQ(ExecutableBuildId(F), "") << F;
}

}  // namespace
}  // namespace larkspan
