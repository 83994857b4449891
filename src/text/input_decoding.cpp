#include "text/input_decoding.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "compare/compare_errors.h"

namespace sorowa {
namespace {

enum class Utf16Order { Little, Big };

std::string Hex(unsigned char byte) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02X", byte);
  return buffer;
}

[[noreturn]] void FailUtf8(std::size_t offset, const std::string& reason) {
  throw InputDecodingError(
      offset, "UTF-8", "invalid UTF-8 at byte offset " + std::to_string(offset) + ": " + reason);
}

// Writes cp at out as one code unit or a surrogate pair; returns the end.
char16_t* PutCodePoint(char16_t* out, std::uint32_t cp) {
  if (cp < 0x10000) {
    *out++ = static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
  return out;
}

// The code units that well-formed UTF-8 decodes to: one per byte that does not continue a
// sequence, and a second one for each four-byte sequence.
std::size_t CountUtf16Units(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t units = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time, counted in byte lanes that each gain at most two per step, so
  // they are summed before 128 steps. As signed bytes, those that do not continue a sequence
  // are the ones above -65 (0xBF).
  const __m128i continuation = _mm_set1_epi8(-65);
  const __m128i highNibble = _mm_set1_epi8(static_cast<char>(0xF0));
  while (i + 16 <= n) {
    const std::size_t end = std::min(n - n % 16, i + 127 * 16);
    __m128i counts = _mm_setzero_si128();
    for (; i < end; i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i starts = _mm_cmpgt_epi8(chunk, continuation);
      const __m128i fourByte = _mm_cmpeq_epi8(_mm_and_si128(chunk, highNibble), highNibble);
      counts = _mm_sub_epi8(_mm_sub_epi8(counts, starts), fourByte);
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    units += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
#endif
  for (; i < n; ++i) {
    units +=
        static_cast<std::size_t>((p[i] & 0xC0) != 0x80) + static_cast<std::size_t>(p[i] >= 0xF0);
  }
  return units;
}

// Well-formed UTF-8 as the Unicode standard's table of byte sequences defines it: the
// second byte's range depends on the lead byte, which is what rules out overlong forms,
// encoded surrogates and code points above U+10FFFF.
std::u16string DecodeUtf8(std::string_view bytes, std::size_t start) {
  // Room for exactly the code units of well-formed input (a text of megabytes costs fresh
  // pages, and one code unit per byte would ask for half as many again). Input that is not
  // well formed fails before it writes past what its valid start counted.
  std::u16string out(CountUtf16Units(bytes.substr(start)), u'\0');
  char16_t* o = out.data();
  const std::size_t n = bytes.size();
  std::size_t i = start;
  while (i < n) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
#if defined(__SSE2__)
      // A run of ASCII goes sixteen bytes at a time.
      if (i + 16 <= n) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        if (_mm_movemask_epi8(chunk) == 0) {
          const __m128i zero = _mm_setzero_si128();
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(chunk, zero));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(chunk, zero));
          o += 16;
          i += 16;
          continue;
        }
      }
#endif
      *o++ = lead;
      ++i;
      continue;
    }
    // Kana and kanji: three bytes whose lead allows any continuation byte (all but E0 and
    // ED). Anything else, well-formed or not, takes the general way below.
    if (lead >= 0xE1 && lead != 0xED && lead < 0xF0 && i + 2 < n) {
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      const auto third = static_cast<unsigned char>(bytes[i + 2]);
      if ((second & 0xC0) == 0x80 && (third & 0xC0) == 0x80) {
        *o++ =
            static_cast<char16_t>(((lead & 0x0F) << 12) | ((second & 0x3F) << 6) | (third & 0x3F));
        i += 3;
        continue;
      }
    }
    std::size_t length;
    std::uint32_t cp;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    const char* secondByteFault = nullptr;
    if (lead < 0xC0) {
      FailUtf8(i, "unexpected continuation byte " + Hex(lead));
    } else if (lead < 0xC2) {
      FailUtf8(i, "overlong encoding (lead byte " + Hex(lead) + ")");
    } else if (lead < 0xE0) {
      length = 2;
      cp = lead & 0x1F;
    } else if (lead < 0xF0) {
      length = 3;
      cp = lead & 0x0F;
      if (lead == 0xE0) {
        low = 0xA0;
        secondByteFault = "overlong encoding";
      } else if (lead == 0xED) {
        high = 0x9F;
        secondByteFault = "encoded surrogate code point";
      }
    } else if (lead < 0xF5) {
      length = 4;
      cp = lead & 0x07;
      if (lead == 0xF0) {
        low = 0x90;
        secondByteFault = "overlong encoding";
      } else if (lead == 0xF4) {
        high = 0x8F;
        secondByteFault = "code point above U+10FFFF";
      }
    } else if (lead < 0xF8) {
      FailUtf8(i, "code point above U+10FFFF (lead byte " + Hex(lead) + ")");
    } else {
      FailUtf8(i, "byte " + Hex(lead) + " never occurs in UTF-8");
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= n) FailUtf8(i, "sequence cut short by the end of the input");
      const auto byte = static_cast<unsigned char>(bytes[i + k]);
      const unsigned char min = k == 1 ? low : 0x80;
      const unsigned char max = k == 1 ? high : 0xBF;
      if (byte < min || byte > max) {
        if (k == 1 && secondByteFault != nullptr && byte >= 0x80 && byte <= 0xBF) {
          FailUtf8(i, secondByteFault);
        }
        FailUtf8(i, "sequence cut short by byte " + Hex(byte) + " at byte offset " +
                        std::to_string(i + k));
      }
      cp = (cp << 6) | (byte & 0x3F);
    }
    o = PutCodePoint(o, cp);
    i += length;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

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
