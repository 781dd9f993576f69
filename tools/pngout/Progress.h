// The best result so far of pngout's work on one picture: offered by the worker thread, taken
// by the main thread when the worker is done, or given up when a safety cap comes first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>

namespace larkspan::png {

class Progress {
 public:
  using Clock = std::chrono::steady_clock;

  // source: what is written when nothing smaller is offered (the picture unchanged).
  explicit Progress(std::string source);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Keeps png when it is smaller than the best so far.
  void Offer(std::string png);

  // Adds to the account of what was done (for pngout /v).
  void Note(const std::string& text);
  // The account so far.
  std::string note();

  // The worker is done; error is what it threw (null when it did not).
  void Finish(std::exception_ptr error);

  // Waits until the worker is done, or until this process has used cpu_cap of processor time
  // (all its threads) or deadline has come, whichever is first. Returns the best result and
  // sets error to what the worker threw when it was done within both caps; nullopt when a cap
  // came first (what the worker had is then not used: it depends on how far it got). Call
  // once.
  std::optional<std::string> Take(std::chrono::milliseconds cpu_cap, Clock::time_point deadline,
                                  std::exception_ptr& error);

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  std::string best_;
  std::string note_;
  bool done_ = false;
  std::exception_ptr error_;
};

}  // namespace larkspan::png
