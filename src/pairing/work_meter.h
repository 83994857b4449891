#pragma once

#include <cstdint>
#include <functional>

namespace sorowa::pairing {

// Counts the work an alignment has done, in units of roughly a nanosecond (one 64-bit LCS
// step, one posting visited), and calls the caller's checkpoint every few milliseconds of it,
// so that a long alignment can be cancelled by an exception thrown from there.
class WorkMeter {
 public:
  explicit WorkMeter(const std::function<void()>& checkpoint) : checkpoint_(checkpoint) {}

  void Add(std::uint64_t units) {
    done_ += units;
    if (done_ >= next_) Tick();
  }

 private:
  static constexpr std::uint64_t kInterval = std::uint64_t{1} << 19;

  void Tick() {
    next_ = done_ + kInterval;
    if (checkpoint_) checkpoint_();
  }

  const std::function<void()>& checkpoint_;
  std::uint64_t done_ = 0;
  std::uint64_t next_ = kInterval;
};

}  // namespace sorowa::pairing
