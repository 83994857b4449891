#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/engine_error.h"

namespace sorowa {

// The bytes of an input file are not valid in the encoding they were read as.
class InputDecodingError : public EngineError {
 public:
  InputDecodingError(std::size_t offset, std::string_view encoding, const std::string& message)
      : EngineError(Details(offset, encoding), message) {}
  // Offset from the start of the file (byte order mark included) of the first byte that
  // could not be decoded.
  std::size_t offset() const { return static_cast<std::size_t>(details().offset); }
  // The same error with the file's path among its details and in front of the message, and
  // hint (what to try) after it.
  InputDecodingError InFile(const std::string& path, const std::string& hint = {}) const {
    InputDecodingError named(offset(), details().encoding, path + ": " + what() + hint);
    named.SetPath(path);
    return named;
  }

 private:
  static ErrorDetails Details(std::size_t offset, std::string_view encoding) {
    ErrorDetails details;
    details.kind = ErrorKind::Undecodable;
    details.encoding = std::string(encoding);
    details.offset = offset;
    return details;
  }
  void SetPath(const std::string& path) { MutableDetails().path = path; }
};

}  // namespace sorowa
