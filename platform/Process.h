// Starting outside programs: looked up by name, started with an argument
// vector (never through a shell), with no terminal, optionally waited for
// under a time limit. Every started program is reaped, waited for or not.
#pragma once

#include <string>
#include <vector>

namespace larkspan {

struct TProcessOptions {
  // Folder the program starts in; "" keeps our current folder.
  std::string WorkFolder;
  // Looked in before the helper folders when the name has no "/"
  // (callers that were handed a folder for their helpers); "" for none.
  std::string SearchFolder;
  // "NAME=VALUE" entries added to the child's copy of our environment,
  // replacing a variable of the same name.
  std::vector<std::string> ExtraEnv;
  // Wait for the program to end. When false the program is left to end by
  // itself and is reaped in the background.
  bool Wait = true;
  // Seconds the program may run when waited for; 0 takes ToolTimeoutSeconds().
  // On expiry the program's whole process group is killed.
  int TimeoutSeconds = 0;
};

struct TProcessResult {
  bool Started = false;   // false: not found or the system refused the start
  int ErrorCode = 0;      // errno of a failed start
  std::string ErrorText;  // the system's reason for a failed start (strerror)
  int Pid = -1;           // the started process (already reaped when waited for)
  // Exit status of a waited-for program; -1 when it was killed by a signal
  // or for running past its time limit, or was not waited for.
  int ExitCode = -1;
  bool TimedOut = false;
  // Killed because StopAllPrograms was called while it ran.
  bool Stopped = false;
};

// Full path of the program Name, "" when none is found. A name containing
// "/" is taken as it is; otherwise SearchFolder (when given), the helper
// folders (HelperFolders(): the running executable's folder, then the
// installed lib/larkspan/), then every folder of PATH are tried in that
// order for an executable regular file.
std::string FindProgram(const std::string& Name, const std::string& SearchFolder = "");

// The words of this process's own command line, program name first, as the
// system handed them over (bytes, before a runtime decoded them in its
// locale); empty when the system does not say.
std::vector<std::string> OwnCommandLine();

// Starts Name with Args (Args excludes the program name itself). The child
// gets stdin from /dev/null, stdout and stderr on /dev/null or appended to
// the file named by LARKSPAN_TOOL_LOG, none of our other descriptors, a
// process group of its own, LC_ALL=C.UTF-8 in its environment (unless
// ExtraEnv names LC_ALL), and is killed by the system when the thread that
// started it ends (so a killed front end leaves no tool running). While a
// waited-for program runs, KillRunningPrograms and StopAllPrograms can end
// it. A program that is not found is a failed start (ENOENT). Never throws for anything the child
// or the system does; the outcome is in the result. Thread-safe, but changing the environment of
// this process meanwhile (setenv) is not.
TProcessResult StartProcess(const std::string& Name, const std::vector<std::string>& Args,
                            const TProcessOptions& Options = {});

// Stopping every outside program at once (a run the user stops). After
// StopAllPrograms, every waited-for program still running has its whole
// process group killed, and StartProcess refuses to start new ones (a failed
// start with ECANCELED) until AllowPrograms is called. StopAllPrograms only
// stores and sends signals, so it may be called from a signal handler; a
// program whose wait has ended is no longer signalled, so a reused process
// id is never hit.
void StopAllPrograms() noexcept;
void AllowPrograms() noexcept;
bool ProgramsStopped() noexcept;

// The time limit for outside programs: LARKSPAN_TOOL_TIMEOUT as a positive
// number of seconds, otherwise 300.
int ToolTimeoutSeconds();
// "" when LARKSPAN_TOOL_TIMEOUT is unset or a usable number of seconds,
// otherwise a message saying what is wrong with it (front ends refuse to
// run with it rather than silently taking 300).
std::string ToolTimeoutProblem();

// Kills the process group of every waited-for program still running, and
// nothing else: unlike StopAllPrograms, new programs may still start. Only
// sends signals (safe in a signal handler); the waiting threads then see
// the programs end.
void KillRunningPrograms() noexcept;

// Path made absolute against our current folder (unchanged when it already
// is, or when the current folder cannot be read). For paths handed to a
// program that runs in another working folder; a path that began with "-"
// can then no longer be taken for an option either.
std::string AbsolutePathForChild(const std::string& Path);

}  // namespace larkspan
