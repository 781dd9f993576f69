// Single-instance lock: one running copy of the program per user and desktop.
#pragma once

#include <string>

namespace larkspan {

// A named lock held through an advisory lock (flock) on a lock file. The
// lock file is "<Name>.lock" in $XDG_RUNTIME_DIR, or "<Name>-<uid>.lock" in
// the temporary folder when that variable is unset, so every instance the
// same user starts finds the same file and other users never share it.
//
// Acquisition never blocks for long: it retries for at most the given
// time-out. The lock is released by Release(), by the destructor, or by the
// system when the process ends in any way (crash and kill included); the
// descriptor is close-on-exec, so programs started by the holder never
// inherit it. The lock file itself is left in place: removing it would let
// a third instance lock a fresh file while the second still holds the old
// one.
//
// Not thread-safe; use one object from one thread.
class TInstanceLock {
 public:
  enum class TResult {
    Acquired,     // this object now holds the lock
    HeldByOther,  // another open of the lock file holds it (another instance)
    Failed,       // the lock file could not be opened or locked; see ErrorText
  };

  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  // The lock file used for Name in the current environment.
  static std::string LockFileName(const std::string& Name);

  // Tries to take the lock named Name for at most TimeoutMs milliseconds.
  // REQUIRES: this object holds no lock yet.
  TResult Acquire(const std::string& Name, int TimeoutMs = 10);

  // Gives the lock up (nothing happens when none is held).
  void Release();
  bool Held() const { return Fd >= 0; }

  // The system's reason after Failed: "<lock file>: <strerror text>".
  std::string ErrorText;

 private:
  int Fd = -1;
};

}  // namespace larkspan
