#include "Progress.h"

#include <algorithm>
#include <ctime>

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

std::optional<std::string> Progress::Take(std::chrono::milliseconds cpu_cap,
                                          Clock::time_point deadline, std::exception_ptr& error) {
  // Processor time has no waitable clock: it is looked at every tenth of a second.
  constexpr auto kLook = std::chrono::milliseconds(100);
  const auto cpu_limit = static_cast<double>(cpu_cap.count()) / 1000.0;
  const auto over = [&] { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC >= cpu_limit; };
  std::unique_lock lock(mutex_);
  for (;;) {
    const Clock::time_point wake = std::min(deadline, Clock::now() + kLook);
    if (done_changed_.wait_until(lock, wake, [this] { return done_; })) break;
    if (over() || Clock::now() >= deadline) return std::nullopt;
  }
  // Done between two looks, yet over the cap: the same answer as had it been seen running.
  if (over()) return std::nullopt;
  error = error_;
  return std::move(best_);
}

}  // namespace larkspan::png
