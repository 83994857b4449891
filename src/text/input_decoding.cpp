#include "text/input_decoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/engine_error.h"
#include "base/utf8.h"

namespace sorowa {
namespace {

enum class Utf16Order { Little, Big };

// Code units are taken as they come, unpaired surrogates included.
std::u16string DecodeUtf16(std::string_view bytes, std::size_t start, Utf16Order order,
                           const char* name) {
  const std::size_t n = bytes.size();
  if ((n - start) % 2 != 0) {
    throw InputDecodingError(n - 1, name,
                             std::string("odd number of bytes for ") + name +
                                 ": the last byte, at byte offset " + std::to_string(n - 1) +
                                 ", is half a code unit");
  }
  std::u16string out;
  out.reserve((n - start) / 2);
  for (std::size_t i = start; i < n; i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(order == Utf16Order::Little ? static_cast<char16_t>(first | (second << 8))
                                              : static_cast<char16_t>((first << 8) | second));
  }
  return out;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// "utf-8", "UTF_8" and "utf8" all name the same thing.
std::string CanonicalName(std::string_view name) {
  std::string canonical;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    canonical.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return canonical;
}

class IconvHandle {
 public:
  explicit IconvHandle(const std::string& from) : cd_(iconv_open("UTF-16LE", from.c_str())) {}
  ~IconvHandle() {
    if (valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

std::u16string DecodeWithIconv(std::string_view bytes, const std::string& name) {
  IconvHandle cd(name);
  if (!cd.valid()) throw UnknownEncodingError("unknown encoding '" + name + "'");
  // Right for double-byte text; single-byte text makes it grow once.
  std::string out(bytes.size() + 16, '\0');
  std::size_t used = 0;
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  // The first pass converts the input; the second, with no input, lets stateful encodings
  // such as ISO-2022-JP emit what they still hold.
  for (bool flushing = bytes.empty();;) {
    char* outPtr = out.data() + used;
    std::size_t outLeft = out.size() - used;
    const std::size_t result = flushing ? iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft)
                                        : iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
    used = static_cast<std::size_t>(outPtr - out.data());
    if (result != static_cast<std::size_t>(-1)) {
      if (flushing) break;
      flushing = true;
      continue;
    }
    const int error = errno;
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    const auto offset = static_cast<std::size_t>(in - bytes.data());
    const std::string where =
        "cannot decode as " + name + " at byte offset " + std::to_string(offset);
    if (error == EILSEQ) throw InputDecodingError(offset, name, where + ": invalid byte sequence");
    if (error == EINVAL) {
      throw InputDecodingError(offset, name,
                               where + ": sequence cut short by the end of the input");
    }
    throw InputDecodingError(offset, name, where + ": " + ErrorDescription(error));
  }
  std::u16string text;
  text.reserve(used / 2);
  for (std::size_t i = 0; i + 1 < used; i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(out[i]) |
                                         (static_cast<unsigned char>(out[i + 1]) << 8)));
  }
  return text;
}

}  // namespace

std::u16string DecodeInput(std::string_view bytes, std::string_view encoding) {
  const std::string canonical = CanonicalName(encoding);
  if (canonical.empty()) {
    if (StartsWith(bytes, kUtf16LeBom))
      return DecodeUtf16(bytes, 2, Utf16Order::Little, "UTF-16LE");
    if (StartsWith(bytes, kUtf16BeBom)) return DecodeUtf16(bytes, 2, Utf16Order::Big, "UTF-16BE");
  }
  if (canonical.empty() || canonical == "UTF8") {
    return DecodeUtf8(bytes, StartsWith(bytes, kUtf8Bom) ? kUtf8Bom.size() : 0);
  }
  if (canonical == "UTF16LE") {
    return DecodeUtf16(bytes, StartsWith(bytes, kUtf16LeBom) ? 2 : 0, Utf16Order::Little,
                       "UTF-16LE");
  }
  if (canonical == "UTF16BE") {
    return DecodeUtf16(bytes, StartsWith(bytes, kUtf16BeBom) ? 2 : 0, Utf16Order::Big, "UTF-16BE");
  }
  if (canonical == "UTF16") {
    // Without a byte order mark, UTF-16 is big-endian.
    if (StartsWith(bytes, kUtf16LeBom)) return DecodeUtf16(bytes, 2, Utf16Order::Little, "UTF-16");
    return DecodeUtf16(bytes, StartsWith(bytes, kUtf16BeBom) ? 2 : 0, Utf16Order::Big, "UTF-16");
  }
  return DecodeWithIconv(bytes, std::string(encoding));
}

bool IsKnownEncoding(std::string_view encoding) {
  const std::string canonical = CanonicalName(encoding);
  if (canonical.empty()) return false;
  if (canonical == "UTF8" || canonical == "UTF16" || canonical == "UTF16LE" ||
      canonical == "UTF16BE") {
    return true;
  }
  return IconvHandle(std::string(encoding)).valid();
}

}  // namespace sorowa
