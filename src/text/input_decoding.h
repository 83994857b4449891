#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/decoding_error.h"

namespace sorowa {

// The encoding name is not one the system's iconv can convert from.
class UnknownEncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decodes the whole content of a text file into UTF-16. Pure: no I/O, no global state.
//
// With an empty encoding, a UTF-32 byte order mark (FF FE 00 00 or 00 00 FE FF) selects
// UTF-32, a UTF-16 one (FF FE or FE FF) UTF-16, and anything else must be strict UTF-8, whose
// byte order mark is dropped. Otherwise encoding is any name iconv knows. UTF-8, UTF-16 and
// UTF-32 are decoded here rather than by iconv: UTF-8 so that every fault is reported the
// same way, UTF-16 so that lone surrogates reach the comparison as the code units they are,
// UTF-32 so that its byte order mark is dropped as the others' are. A leading byte order
// mark of the named Unicode encoding is dropped.
//
// Throws InputDecodingError or UnknownEncodingError.
std::u16string DecodeInput(std::string_view bytes, std::string_view encoding = {});

// Whether DecodeInput accepts encoding as a name.
bool IsKnownEncoding(std::string_view encoding);

}  // namespace sorowa
