// The best result so far of pngout's work on one picture, kept by a worker thread and taken
// by the main thread when the worker is done or the wall-clock cap comes first.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

namespace larkspan::png {

class Progress {
 public:
  using Clock = std::chrono::steady_clock;

  // source: what is written when nothing better is found in time (the picture unchanged).
  explicit Progress(std::string source);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Keeps png when it is smaller than the best so far and the result is not taken yet.
  void Offer(std::string png);

  // Adds to the account of what was done (for pngout /v).
  void Note(const std::string& text);
  // The account so far.
  std::string note();

  // The worker is done; error is what it threw (null when it did not).
  void Finish(std::exception_ptr error);

  // Waits until the worker is done or deadline, whichever is first; from then on offers are
  // ignored and the outside program being run, if any, is killed. Returns the best result;
  // finished says whether the worker was done, error what it threw.
  std::string Take(Clock::time_point deadline, bool& finished, std::exception_ptr& error);

  // One outside program: args[0] is found on PATH (no shell); its standard input is
  // /dev/null, file descriptor 3 is input_fd (the program reads it as /dev/fd/3), standard
  // output goes to output_fd, standard error to /dev/null.
  struct Command {
    std::vector<std::string> args;
    int input_fd;
    int output_fd;
  };

  // Runs the commands side by side and waits for them all. True when every one exited with
  // status 0; false when one could not be started, failed, died or was killed (all are
  // killed at deadline and by Take). Never starts any after Take.
  // REQUIRES: called from the worker thread.
  bool RunAll(const std::vector<Command>& commands, Clock::time_point deadline);

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  std::string best_;
  std::string note_;
  bool done_ = false;
  bool taken_ = false;
  std::exception_ptr error_;
  std::vector<pid_t> children_;  // running and not yet reaped
};

}  // namespace larkspan::png
