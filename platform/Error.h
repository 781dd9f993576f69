// The one exception type of the program, and the helpers that turn a system
// error number into it.
#pragma once

#include <stdexcept>
#include <string>

namespace larkspan {

// A failure with a message text meant for the user. Every layer throws this
// (or lets it pass); the worker thread catches it and keeps `what()` as the
// run's error text.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
  std::string Message() const { return what(); }
};

// The system's reason for the error number `Errno` (strerror text).
std::string SystemErrorText(int Errno);

// Throws Exception("<What>: <system reason>") for `Errno`.
[[noreturn]] void ThrowSystemError(const std::string& What, int Errno);

}  // namespace larkspan
