#include "base/stop_request.h"

namespace sorowa {
namespace {

thread_local const std::atomic<bool>* stopFlag = nullptr;

}  // namespace

ScopedStopFlag::ScopedStopFlag(const std::atomic<bool>& flag) : previous_(stopFlag) {
  stopFlag = &flag;
}

ScopedStopFlag::~ScopedStopFlag() { stopFlag = previous_; }

bool StopRequested() { return stopFlag != nullptr && stopFlag->load(std::memory_order_relaxed); }

}  // namespace sorowa
