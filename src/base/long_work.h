#pragma once

// Word from one long computation on a worker thread (a table of billions of cells) to the
// thread that waits for it, so that the user hears how long it will take and how far it is.

#include <atomic>
#include <cstddef>
#include <optional>

namespace sorowa {

// Work expected to take at least this long is announced; shorter work passes unremarked.
inline constexpr double kLongWorkSeconds = 10;

struct LongWorkStatus {
  std::size_t pair = 0;  // the line pair, counted from 0, as the meter was told
  std::size_t sourceLength = 0;
  std::size_t targetLength = 0;
  double seconds = 0;  // the estimate made before the work began
  double done = 0;     // the share done, from 0 to 1
};

// Written by one worker, read by any thread. Lock-free: the worker writes every few
// milliseconds, the reader looks every 100.
class LongWorkMeter {
 public:
  // A new pair begins; what was announced for the one before is forgotten.
  void StartPair(std::size_t pair);
  // Work of about `seconds` and `work` units (cells, say) on a pair of these lengths.
  void Start(double seconds, std::size_t sourceLength, std::size_t targetLength, double work);
  // So many of the units are done.
  void Advance(double workDone);
  // The long work of the current pair, if one was announced.
  std::optional<LongWorkStatus> Read() const;

 private:
  std::atomic<std::size_t> pair_{0};
  std::atomic<std::size_t> sourceLength_{0};
  std::atomic<std::size_t> targetLength_{0};
  std::atomic<double> seconds_{-1};
  std::atomic<double> work_{0};
  std::atomic<double> done_{0};
};

// Binds meter to the calling thread while this object lives, as ScopedStopFlag binds a flag.
class ScopedLongWorkMeter {
 public:
  explicit ScopedLongWorkMeter(LongWorkMeter& meter);
  ~ScopedLongWorkMeter();
  ScopedLongWorkMeter(const ScopedLongWorkMeter&) = delete;
  ScopedLongWorkMeter& operator=(const ScopedLongWorkMeter&) = delete;

 private:
  LongWorkMeter* previous_;
};

// For the engine's long loops: announce work about to begin (only when it is estimated at
// kLongWorkSeconds or more), and tell how far it is. Nothing happens on a thread without a
// meter.
void StartLongWork(double seconds, std::size_t sourceLength, std::size_t targetLength, double work);
void AdvanceLongWork(double workDone);

}  // namespace sorowa
