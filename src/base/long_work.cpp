#include "base/long_work.h"

#include <algorithm>

namespace sorowa {
namespace {

thread_local LongWorkMeter* boundMeter = nullptr;

}  // namespace

void LongWorkMeter::StartPair(std::size_t pair) {
  seconds_.store(-1, std::memory_order_relaxed);
  pair_.store(pair, std::memory_order_release);
}

void LongWorkMeter::Start(double seconds, std::size_t sourceLength, std::size_t targetLength,
                          double work) {
  sourceLength_.store(sourceLength, std::memory_order_relaxed);
  targetLength_.store(targetLength, std::memory_order_relaxed);
  work_.store(work, std::memory_order_relaxed);
  done_.store(0, std::memory_order_relaxed);
  seconds_.store(seconds, std::memory_order_release);
}

void LongWorkMeter::Advance(double workDone) { done_.store(workDone, std::memory_order_relaxed); }

std::optional<LongWorkStatus> LongWorkMeter::Read() const {
  const double seconds = seconds_.load(std::memory_order_acquire);
  if (seconds < 0) return std::nullopt;
  LongWorkStatus status;
  status.pair = pair_.load(std::memory_order_acquire);
  status.sourceLength = sourceLength_.load(std::memory_order_relaxed);
  status.targetLength = targetLength_.load(std::memory_order_relaxed);
  status.seconds = seconds;
  const double work = work_.load(std::memory_order_relaxed);
  // The work is an estimate too; until the end is seen, it is never shown as done.
  status.done = work > 0 ? std::clamp(done_.load(std::memory_order_relaxed) / work, 0.0, 0.99) : 0;
  return status;
}

ScopedLongWorkMeter::ScopedLongWorkMeter(LongWorkMeter& meter) : previous_(boundMeter) {
  boundMeter = &meter;
}

ScopedLongWorkMeter::~ScopedLongWorkMeter() { boundMeter = previous_; }

void StartLongWork(double seconds, std::size_t sourceLength, std::size_t targetLength,
                   double work) {
  if (boundMeter != nullptr && seconds >= kLongWorkSeconds) {
    boundMeter->Start(seconds, sourceLength, targetLength, work);
  }
}

void AdvanceLongWork(double workDone) {
  if (boundMeter != nullptr) boundMeter->Advance(workDone);
}

}  // namespace sorowa
