#include "Progress.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <thread>

extern char** environ;

namespace larkspan::png {

Progress::Progress(std::string source) : best_(std::move(source)) {}

void Progress::Offer(std::string png) {
  std::lock_guard lock(mutex_);
  if (!taken_ && png.size() < best_.size()) best_ = std::move(png);
}

void Progress::Note(const std::string& text) {
  std::lock_guard lock(mutex_);
  note_ += text;
}

std::string Progress::note() {
  std::lock_guard lock(mutex_);
  return note_;
}

void Progress::Finish(std::exception_ptr error) {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
    error_ = std::move(error);
  }
  done_changed_.notify_all();
}

std::string Progress::Take(Clock::time_point deadline, bool& finished, std::exception_ptr& error) {
  std::unique_lock lock(mutex_);
  done_changed_.wait_until(lock, deadline, [this] { return done_; });
  taken_ = true;
  finished = done_;
  error = error_;
  // Children are reaped only under the lock, so none of these pids can have been reused.
  for (pid_t pid : children_) kill(pid, SIGKILL);
  return std::move(best_);
}

bool Progress::RunAll(const std::vector<Command>& commands, Clock::time_point deadline) {
  bool ok = true;
  {
    std::lock_guard lock(mutex_);
    if (taken_) return false;
    for (const Command& c : commands) {
      std::vector<char*> argv;
      argv.reserve(c.args.size() + 1);
      for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_adddup2(&actions, c.output_fd, 1);
      posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
      posix_spawn_file_actions_adddup2(&actions, c.input_fd, 3);
      pid_t pid = 0;
      const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
      posix_spawn_file_actions_destroy(&actions);
      if (rc != 0) {
        ok = false;
        break;
      }
      children_.push_back(pid);
    }
  }
  auto pause = std::chrono::microseconds(200);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      const bool late = Clock::now() >= deadline;
      for (size_t k = 0; k < children_.size();) {
        int status = 0;
        pid_t done = waitpid(children_[k], &status, WNOHANG);
        if (done == 0 && (late || !ok)) {
          kill(children_[k], SIGKILL);
          done = waitpid(children_[k], &status, 0);
          ok = false;
        }
        if (done == children_[k] || (done < 0 && errno != EINTR)) {
          ok = ok && done == children_[k] && WIFEXITED(status) && WEXITSTATUS(status) == 0;
          children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
          k++;
        }
      }
      if (children_.empty()) return ok;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(5000));
  }
}

}  // namespace larkspan::png
