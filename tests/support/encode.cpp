#include "support/encode.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "base/utf8.h"

namespace sorowa::testing_support {

std::string Encode(std::string_view utf8, const char* encoding) {
  const iconv_t cd = iconv_open(encoding, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv does not know the encoding ") + encoding);
  }
  // Four bytes out for each byte in, and a few more, hold any of these encodings of any text,
  // escape sequences included.
  std::string out(utf8.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  constexpr std::size_t kFailed = static_cast<std::size_t>(-1);
  // The second call ends a stateful encoding such as ISO-2022-JP in its initial state.
  const bool converted = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != kFailed &&
                         iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != kFailed;
  const int error = errno;
  iconv_close(cd);
  if (!converted) {
    throw std::runtime_error(std::string("iconv cannot convert the text to ") + encoding + ": " +
                             std::strerror(error));
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::string Encode(std::u16string_view text, const char* encoding) {
  return Encode(ToUtf8(text), encoding);
}

}  // namespace sorowa::testing_support
