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

std::string Progress::Take(Clock::time_point deadline, bool& finished,
                           std::exception_ptr& error) {
  std::unique_lock lock(mutex_);
  done_changed_.wait_until(lock, deadline, [this] { return done_; });
  taken_ = true;
  finished = done_;
  error = error_;
  // The child is not reaped while the lock is held, so its pid cannot have been reused.
  if (child_ > 0) kill(child_, SIGKILL);
  return std::move(best_);
}

int Progress::Run(const std::vector<std::string>& args, int input_fd, int output_fd,
                  Clock::time_point deadline) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output_fd, 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, input_fd, 3);
  pid_t pid = 0;
  {
    std::lock_guard lock(mutex_);
    if (taken_) {
      posix_spawn_file_actions_destroy(&actions);
      return -1;
    }
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    child_ = pid;
  }
  auto pause = std::chrono::microseconds(200);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      int status = 0;
      const pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid || (done < 0 && errno != EINTR)) {
        child_ = 0;
        return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (Clock::now() >= deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        child_ = 0;
        return -1;
      }
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(5000));
  }
}

}  // namespace larkspan::png
