#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

namespace sorowa {

// The system's description of an errno value, in English whatever the locale: the engine
// installs a Japanese one, and these texts end up in English messages.
inline std::string ErrorDescription(int error) {
  const char* description = ::strerrordesc_np(error);
  return description != nullptr ? description : "error " + std::to_string(error);
}

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
