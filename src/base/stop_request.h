#pragma once

#include <atomic>
#include <stdexcept>

namespace sorowa {

// Thrown inside a long computation on a worker thread whose result is no longer wanted,
// because the Compare was cancelled or failed at an earlier pair.
class WorkStopped : public std::runtime_error {
 public:
  WorkStopped() : std::runtime_error("the work was stopped") {}
};

// Binds flag to the calling thread while this object lives: long loops then stop soon after
// someone sets it, instead of keeping a cancelled Compare (and the window) waiting.
class ScopedStopFlag {
 public:
  explicit ScopedStopFlag(const std::atomic<bool>& flag);
  ~ScopedStopFlag();
  ScopedStopFlag(const ScopedStopFlag&) = delete;
  ScopedStopFlag& operator=(const ScopedStopFlag&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

// Whether the calling thread's work should stop. Not inline, so that code built for other
// instruction sets can call it through a plain function pointer.
bool StopRequested();

inline void ThrowIfStopped() {
  if (StopRequested()) throw WorkStopped();
}

}  // namespace sorowa
