#include "Progress.h"

namespace larkspan::png {

Progress::Progress(std::string source) : best_(std::move(source)) {}

void Progress::Offer(std::string png) {
  std::lock_guard lock(mutex_);
  if (png.size() < best_.size()) best_ = std::move(png);
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

std::optional<std::string> Progress::Take(Clock::time_point deadline, std::exception_ptr& error) {
  std::unique_lock lock(mutex_);
  if (!done_changed_.wait_until(lock, deadline, [this] { return done_; })) return std::nullopt;
  error = error_;
  return std::move(best_);
}

}  // namespace larkspan::png
