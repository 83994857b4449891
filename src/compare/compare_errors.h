#pragma once

#include <stdexcept>
#include <string>

#include "base/engine_error.h"

namespace sorowa {

// The user cancelled a running Compare. Not an error: nothing is written and nothing shown.
class CompareCancelled : public std::runtime_error {
 public:
  CompareCancelled() : std::runtime_error("the comparison was cancelled") {}
};

// The report file could not be created or written. Nothing partial is left behind.
class ReportWriteError : public EngineError {
 public:
  using EngineError::EngineError;
  // Names the file or folder and the system's reason (errno) for the window's wording.
  ReportWriteError(ErrorKind kind, const std::string& path, int systemError,
                   const std::string& message)
      : EngineError(PathErrorDetails(kind, path, systemError), message) {}
};

}  // namespace sorowa
