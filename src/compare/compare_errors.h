#pragma once

#include <stdexcept>
#include <string>

namespace sorowa {

// The user cancelled a running Compare. Not an error: nothing is written and nothing shown.
class CompareCancelled : public std::runtime_error {
 public:
  CompareCancelled() : std::runtime_error("the comparison was cancelled") {}
};

// The report file could not be created or written. Nothing partial is left behind.
class ReportWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sorowa
