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

// Each code unit is a code point: above U+FFFF it becomes a surrogate pair. Unlike in UTF-16,
// a surrogate on its own is refused: in UTF-32 it is no code unit of anything, and kept, two
// of them in a row would read as one character that the file never held.
std::u16string DecodeUtf32(std::string_view bytes, std::size_t start, Utf16Order order,
                           const char* name) {
  const std::size_t n = bytes.size();
  const std::size_t whole = n - (n - start) % 4;  // where the complete code units end
  std::u16string out;
  out.reserve((n - start) / 4);
  for (std::size_t i = start; i < whole; i += 4) {
    char32_t unit = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::size_t at = i + (order == Utf16Order::Little ? 3 - k : k);
      unit = (unit << 8) | static_cast<unsigned char>(bytes[at]);
    }
    if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(unit));
      throw InputDecodingError(
          i, name,
          "cannot decode as " + std::string(name) + " at byte offset " + std::to_string(i) + ": " +
              code + (unit > 0x10FFFF ? " is above U+10FFFF" : " is a surrogate, not a character"));
    }
    if (unit >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((unit - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((unit - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(unit));
    }
  }
  if (whole != n) {
    throw InputDecodingError(whole, name,
                             std::string("the length does not divide into code units of ") + name +
                                 ": the last " + std::to_string(n - whole) +
                                 " bytes, from byte offset " + std::to_string(whole) +
                                 ", are part of one");
  }
  return out;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
// The little-endian one starts like UTF-16's, so it is looked for first.
constexpr std::string_view kUtf32LeBom("\xFF\xFE\0\0", 4);
constexpr std::string_view kUtf32BeBom("\0\0\xFE\xFF", 4);

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
    if (StartsWith(bytes, kUtf32LeBom)) {
      return DecodeUtf32(bytes, 4, Utf16Order::Little, "UTF-32LE");
    }
    if (StartsWith(bytes, kUtf32BeBom)) return DecodeUtf32(bytes, 4, Utf16Order::Big, "UTF-32BE");
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
  if (canonical == "UTF32LE") {
    return DecodeUtf32(bytes, StartsWith(bytes, kUtf32LeBom) ? 4 : 0, Utf16Order::Little,
                       "UTF-32LE");
  }
  if (canonical == "UTF32BE") {
    return DecodeUtf32(bytes, StartsWith(bytes, kUtf32BeBom) ? 4 : 0, Utf16Order::Big, "UTF-32BE");
  }
  if (canonical == "UTF32") {
    // Without a byte order mark, UTF-32 is big-endian, as UTF-16 is.
    if (StartsWith(bytes, kUtf32LeBom)) return DecodeUtf32(bytes, 4, Utf16Order::Little, "UTF-32");
    return DecodeUtf32(bytes, StartsWith(bytes, kUtf32BeBom) ? 4 : 0, Utf16Order::Big, "UTF-32");
  }
  return DecodeWithIconv(bytes, std::string(encoding));
}

bool IsKnownEncoding(std::string_view encoding) {
  const std::string canonical = CanonicalName(encoding);
  if (canonical.empty()) return false;
  if (canonical == "UTF8" || canonical == "UTF16" || canonical == "UTF16LE" ||
      canonical == "UTF16BE" || canonical == "UTF32" || canonical == "UTF32LE" ||
      canonical == "UTF32BE") {
    return true;
  }
  return IconvHandle(std::string(encoding)).valid();
}

}  // namespace sorowa
