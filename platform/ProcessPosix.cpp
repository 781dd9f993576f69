#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"

extern char** environ;

namespace larkspan {

namespace {

bool IsExecutableFile(const std::string& Path) {
  struct stat St;
  return ::stat(Path.c_str(), &St) == 0 && S_ISREG(St.st_mode) && ::access(Path.c_str(), X_OK) == 0;
}

// Opens Path with O_CLOEXEC on a descriptor above 2, so that the dup2 file
// actions below always change the descriptor (a dup2 onto itself would keep
// the close-on-exec flag on some systems).
int OpenHigh(const char* Path, int Flags, mode_t Mode = 0) {
  int Fd = ::open(Path, Flags | O_CLOEXEC, Mode);
  if (Fd >= 0 && Fd <= 2) {
    const int High = ::fcntl(Fd, F_DUPFD_CLOEXEC, 3);
    ::close(Fd);
    Fd = High;
  }
  return Fd;
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& Extra) {
  std::vector<std::string> Env;
  for (char** E = environ; E && *E; ++E) {
    const std::string_view Entry(*E);
    const std::string_view Name = Entry.substr(0, Entry.find('='));
    const bool Replaced = std::any_of(Extra.begin(), Extra.end(), [&](const std::string& X) {
      return std::string_view(X).substr(0, X.find('=')) == Name;
    });
    if (!Replaced) Env.emplace_back(Entry);
  }
  Env.insert(Env.end(), Extra.begin(), Extra.end());
  return Env;
}

int StatusToExitCode(int Status) { return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1; }

// Blocks until Pid has ended and returns its exit code.
int ReapBlocking(pid_t Pid) {
  int Status = 0;
  while (::waitpid(Pid, &Status, 0) < 0) {
    if (errno != EINTR) return -1;  // already reaped elsewhere (SIGCHLD ignored)
  }
  return StatusToExitCode(Status);
}

// A program we do not wait for is still reaped, by a small detached thread,
// so it never lingers as a zombie.
void ReapInBackground(pid_t Pid) {
  try {
    std::thread([Pid] { ReapBlocking(Pid); }).detach();
  } catch (const std::system_error&) {
    ReapBlocking(Pid);  // no thread to spare: wait here rather than leak it
  }
}

// The waited-for programs that StopAllPrograms and KillRunningPrograms kill.
// A slot holds a process id from just after the fork until the program has
// ended but before it is reaped, so the id cannot have been given to another
// process meanwhile.
constexpr int MaxRunning = 64;
std::atomic<pid_t> RunningPids[MaxRunning];
std::atomic<bool> StopAll{false};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "used from a signal handler");

// The slot Pid went into, or -1 when all are taken (the program then runs to
// its end even through a stop).
int Register(pid_t Pid) {
  for (int I = 0; I < MaxRunning; ++I) {
    pid_t Free = 0;
    if (RunningPids[I].compare_exchange_strong(Free, Pid)) return I;
  }
  return -1;
}

void Unregister(int Slot) {
  if (Slot >= 0) RunningPids[Slot].store(0);
}

// True once Pid has ended; the zombie is left for the caller to reap.
bool HasEnded(pid_t Pid) {
  siginfo_t Info{};
  for (;;) {
    if (::waitid(P_PID, id_t(Pid), &Info, WEXITED | WNOHANG | WNOWAIT) == 0)
      return Info.si_pid == Pid;
    if (errno != EINTR) return true;  // nothing left to wait for
  }
}

// Waits for Pid (registered in Slot) up to Seconds; on expiry kills its
// whole process group. Frees Slot before the program is reaped.
void WaitWithLimit(pid_t Pid, int Slot, int Seconds, TProcessResult& R) {
  using Clock = std::chrono::steady_clock;
  const auto Deadline = Clock::now() + std::chrono::seconds(Seconds);
  // A pidfd becomes readable when the child ends; without one (old kernel)
  // we poll with a short growing pause.
  const int PidFd = int(::syscall(SYS_pidfd_open, Pid, 0));
  int PauseMs = 1;
  for (;;) {
    if (HasEnded(Pid)) {
      Unregister(Slot);
      if (StopAll.load()) {
        // What the program started in its group goes with it.
        ::kill(-Pid, SIGKILL);
        R.Stopped = true;
      }
      R.ExitCode = ReapBlocking(Pid);
      if (R.Stopped) R.ExitCode = -1;
      break;
    }
    const auto Left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now());
    if (Left.count() <= 0) {
      Unregister(Slot);
      ::kill(-Pid, SIGKILL);
      ::kill(Pid, SIGKILL);
      ReapBlocking(Pid);
      R.ExitCode = -1;
      R.TimedOut = true;
      break;
    }
    if (PidFd >= 0) {
      pollfd P{PidFd, POLLIN, 0};
      ::poll(&P, 1, int(std::min<long long>(Left.count(), INT_MAX)));
    } else {
      ::usleep(useconds_t(std::min<long long>(PauseMs, Left.count()) * 1000));
      PauseMs = std::min(PauseMs * 2, 20);
    }
  }
  if (PidFd >= 0) ::close(PidFd);
}

}  // namespace

std::vector<std::string> OwnCommandLine() {
  std::vector<std::string> Words;
  std::string Data;
  try {
    Data = ReadFileText("/proc/self/cmdline");
  } catch (const Exception&) {
    return Words;
  }
  // NUL-terminated words, the last one too.
  for (size_t I = 0; I < Data.size();) {
    size_t E = Data.find('\0', I);
    if (E == std::string::npos) E = Data.size();
    Words.push_back(Data.substr(I, E - I));
    I = E + 1;
  }
  return Words;
}

std::string FindProgram(const std::string& Name, const std::string& SearchFolder) {
  if (Name.empty()) return std::string();
  if (Name.find(PathDelim) != std::string::npos)
    return IsExecutableFile(Name) ? Name : std::string();
  std::vector<std::string> Folders;
  if (!SearchFolder.empty()) Folders.push_back(SearchFolder);
  for (std::string& Dir : HelperFolders()) Folders.push_back(std::move(Dir));
  const char* Path = std::getenv("PATH");
  std::string_view Rest = Path ? Path : "/usr/local/bin:/usr/bin:/bin";
  while (!Rest.empty()) {
    const size_t Colon = Rest.find(':');
    const std::string_view Dir = Rest.substr(0, Colon);
    // An empty entry would mean the current folder, which may be anything
    // (the site being published): it is not searched.
    if (!Dir.empty()) Folders.emplace_back(Dir);
    if (Colon == std::string_view::npos) break;
    Rest.remove_prefix(Colon + 1);
  }
  for (const std::string& Dir : Folders) {
    std::string Candidate = IncludeTrailingDelimiter(Dir) + Name;
    if (IsExecutableFile(Candidate)) return Candidate;
  }
  return std::string();
}

namespace {

// Outside programs get a UTF-8 locale that every Debian has (Java cannot
// open non-ASCII paths without one), unless the caller names its own.
std::vector<std::string> ToolEnvironment(std::vector<std::string> Extra) {
  if (std::none_of(Extra.begin(), Extra.end(),
                   [](const std::string& E) { return E.rfind("LC_ALL=", 0) == 0; }))
    Extra.push_back("LC_ALL=C.UTF-8");
  return ChildEnvironment(Extra);
}

}  // namespace

TProcessResult StartProcess(const std::string& Name, const std::vector<std::string>& Args,
                            const TProcessOptions& Options) {
  TProcessResult R;
  auto Fail = [&R](int Errno) {
    R.ErrorCode = Errno;
    R.ErrorText = SystemErrorText(Errno);
    return R;
  };
  // posix_spawn would not search our folders, and posix_spawnp reports a
  // missing program only after forking: look it up here instead.
  std::string Path =
      Name.find(PathDelim) != std::string::npos ? Name : FindProgram(Name, Options.SearchFolder);
  if (Path.empty()) return Fail(ENOENT);
  if (Options.Wait && StopAll.load()) return Fail(ECANCELED);

  const int NullIn = OpenHigh("/dev/null", O_RDONLY);
  if (NullIn < 0) return Fail(errno);
  int Out = -1;
  const std::string Log = GetEnv("LARKSPAN_TOOL_LOG");
  if (!Log.empty()) Out = OpenHigh(Log.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (Out < 0) Out = OpenHigh("/dev/null", O_WRONLY);  // an unusable log is no reason to fail
  if (Out < 0) {
    const int E = errno;
    ::close(NullIn);
    return Fail(E);
  }

  std::vector<char*> Argv;
  Argv.push_back(Path.data());
  std::vector<std::string> ArgCopy(Args);
  for (std::string& A : ArgCopy) Argv.push_back(A.data());
  Argv.push_back(nullptr);

  std::vector<std::string> EnvCopy = ToolEnvironment(Options.ExtraEnv);
  std::vector<char*> Envp;
  Envp.reserve(EnvCopy.size() + 1);
  for (std::string& E : EnvCopy) Envp.push_back(E.data());
  Envp.push_back(nullptr);

  // The child tells a failed chdir or exec through this pipe (closed on a
  // successful exec).
  int Pipe[2];
  if (::pipe2(Pipe, O_CLOEXEC) != 0) {
    const int E = errno;
    ::close(NullIn);
    ::close(Out);
    return Fail(E);
  }
  const char* Work = Options.WorkFolder.empty() ? nullptr : Options.WorkFolder.c_str();
  const pid_t Parent = ::getpid();
  const pid_t Pid = ::fork();
  if (Pid == 0) {
    // Child: async-signal-safe calls only. The program dies with us, so a
    // killed front end leaves no tool writing into the output.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != Parent) ::_exit(127);
    ::setpgid(0, 0);
    for (int Sig = 1; Sig < NSIG; ++Sig) ::signal(Sig, SIG_DFL);
    sigset_t Empty;
    sigemptyset(&Empty);
    ::sigprocmask(SIG_SETMASK, &Empty, nullptr);
    ::dup2(NullIn, 0);
    ::dup2(Out, 1);
    ::dup2(Out, 2);
    int Err = 0;
    if (Work && ::chdir(Work) != 0) Err = errno;
    if (Err == 0) {
      // Also descriptors that other code opened without close-on-exec.
      const int Max = int(::sysconf(_SC_OPEN_MAX) > 0 ? ::sysconf(_SC_OPEN_MAX) : 1024);
      if (::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0)
        for (int F = 3; F < Max && F < 65536; ++F)
          if (F != Pipe[1]) ::fcntl(F, F_SETFD, FD_CLOEXEC);
      ::execve(Path.c_str(), Argv.data(), Envp.data());
      Err = errno;
    }
    while (::write(Pipe[1], &Err, sizeof Err) < 0 && errno == EINTR) {
    }
    ::_exit(127);
  }
  const int ForkErr = errno;
  int Slot = -1;
  if (Pid > 0) {
    ::setpgid(Pid, Pid);  // also here, so a kill of the group never misses
    Slot = Register(Pid);
    // Stopped while it was being started: StopAllPrograms may have looked
    // at the slots before this one was taken.
    if (Options.Wait && StopAll.load()) ::kill(-Pid, SIGKILL);
  }
  ::close(Pipe[1]);
  ::close(NullIn);
  ::close(Out);
  if (Pid < 0) {
    ::close(Pipe[0]);
    return Fail(ForkErr);
  }
  int ChildErr = 0;
  ssize_t N;
  while ((N = ::read(Pipe[0], &ChildErr, sizeof ChildErr)) < 0 && errno == EINTR) {
  }
  ::close(Pipe[0]);
  if (N == ssize_t(sizeof ChildErr)) {
    Unregister(Slot);
    ReapBlocking(Pid);
    return Fail(ChildErr);
  }

  R.Started = true;
  R.Pid = Pid;
  if (!Options.Wait) {
    Unregister(Slot);  // not ours to end: it ends by itself
    ReapInBackground(Pid);
    return R;
  }
  WaitWithLimit(Pid, Slot,
                Options.TimeoutSeconds > 0 ? Options.TimeoutSeconds : ToolTimeoutSeconds(), R);
  return R;
}

void StopAllPrograms() noexcept {
  StopAll.store(true);
  KillRunningPrograms();
}

void AllowPrograms() noexcept { StopAll.store(false); }

bool ProgramsStopped() noexcept { return StopAll.load(); }

namespace {
constexpr long MaxTimeout = 10L * 24 * 3600;
// The variable's value in seconds, 0 when it is not a usable number.
long ParseTimeout(const std::string& Text) {
  char* End = nullptr;
  errno = 0;
  const long V = std::strtol(Text.c_str(), &End, 10);
  if (errno != 0 || End == Text.c_str() || *End != '\0' || V <= 0 || V > MaxTimeout) return 0;
  return V;
}
}  // namespace

int ToolTimeoutSeconds() {
  constexpr int Default = 300;
  const std::string Text = GetEnv("LARKSPAN_TOOL_TIMEOUT");
  const long V = Text.empty() ? 0 : ParseTimeout(Text);
  return V > 0 ? int(V) : Default;
}

std::string ToolTimeoutProblem() {
  const std::string Text = GetEnv("LARKSPAN_TOOL_TIMEOUT");
  if (Text.empty() || ParseTimeout(Text) > 0) return std::string();
  return "LARKSPAN_TOOL_TIMEOUT 必须是 1 到 " + std::to_string(MaxTimeout) +
         " 之间的整数秒数 (must be a whole number of seconds from 1 to " +
         std::to_string(MaxTimeout) + "): " + Text;
}

void KillRunningPrograms() noexcept {
  for (std::atomic<pid_t>& Slot : RunningPids) {
    const pid_t Pid = Slot.load();
    if (Pid > 0) {
      ::kill(-Pid, SIGKILL);
      ::kill(Pid, SIGKILL);
    }
  }
}

std::string AbsolutePathForChild(const std::string& Path) {
  if (Path.empty() || Path[0] == PathDelim) return Path;
  char Buf[PATH_MAX];
  if (!::getcwd(Buf, sizeof Buf)) return Path;
  std::string_view Rest(Path);
  while (Rest.size() >= 2 && Rest[0] == '.' && Rest[1] == PathDelim) Rest.remove_prefix(2);
  return IncludeTrailingDelimiter(Buf) + std::string(Rest);
}

}  // namespace larkspan
