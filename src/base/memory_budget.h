#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "base/engine_error.h"

namespace sorowa {

// Raised before a DP table is allocated when it would not fit in the memory budget, so the
// command ends with a message instead of the process being killed with the user's texts.
class TableTooLargeError : public EngineError {
 public:
  // seconds, when not negative, is how long the work was expected to take.
  TableTooLargeError(std::size_t sourceLength, std::size_t targetLength, std::size_t bytes,
                     std::size_t limit, double seconds = -1);
  // The same error, naming the line pair (counted from 1) in which it happened.
  TableTooLargeError(const TableTooLargeError& inner, std::size_t linePair);
  std::size_t sourceLength() const { return details().sourceLength; }
  std::size_t targetLength() const { return details().targetLength; }
};

// Raised before memory is taken when a pair's script would need more than the memory limit
// of the alignment tables (DpMemoryLimit).
class ScoreTooLargeError : public std::runtime_error {
 public:
  ScoreTooLargeError(std::size_t referenceLength, std::size_t hypothesisLength, std::size_t bytes,
                     std::size_t limit);
};

// The most bytes one alignment may allocate. By default half of physical memory (or of the
// address-space limit, if that is lower).
std::size_t DpMemoryLimit();
// Overrides the limit; 0 restores the default. Meant for tests and the command line.
void SetDpMemoryLimit(std::size_t bytes);

// Throws TableTooLargeError when bytes exceed the limit; seconds is the estimated time, if
// known, for the message.
void CheckDpMemory(std::size_t sourceLength, std::size_t targetLength, std::size_t bytes,
                   double seconds = -1);

}  // namespace sorowa
