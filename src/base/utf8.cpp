#include "base/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/decoding_error.h"

namespace sorowa {
namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Writes c as UTF-8 at p and returns the end of what it wrote.
char* EncodeCodePoint(char32_t c, char* p) {
  if (c < 0x80) {
    *p++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *p++ = static_cast<char>(0xC0 | (c >> 6));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (c >> 12));
    *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (c >> 18));
    *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return p;
}

template <std::size_t N>
char* Put(char* p, const char (&entity)[N]) {
  std::memcpy(p, entity, N - 1);
  return p + N - 1;
}

// The one conversion loop, with or without the escaping of cell texts. Reports are mostly
// ASCII markup and kana or kanji, so those two have the short paths.
template <bool kEscape>
char* Encode(const char16_t* s, const char16_t* const end, char* p) {
#if defined(__SSE2__)
  const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
#endif
  while (s < end) {
    char32_t c = *s;
    if (c < 0x80) {
#if defined(__SSE2__)
      // A run of ASCII, eight code units at once: narrowed and stored as they are, and as
      // many kept as are plain before the first that is not (the bytes after them are
      // written over next). There is room: three bytes a code unit for at least eight.
      while (end - s >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        __m128i plain = _mm_cmpeq_epi16(_mm_and_si128(units, nonAscii), _mm_setzero_si128());
        if constexpr (kEscape) {
          __m128i special = _mm_cmpeq_epi16(units, _mm_set1_epi16(u'&'));
          special = _mm_or_si128(special, _mm_cmpeq_epi16(units, _mm_set1_epi16(u'"')));
          special = _mm_or_si128(special, _mm_cmpeq_epi16(units, _mm_set1_epi16(u'<')));
          special = _mm_or_si128(special, _mm_cmpeq_epi16(units, _mm_set1_epi16(u'>')));
          special = _mm_or_si128(special, _mm_cmpeq_epi16(units, _mm_set1_epi16(u' ')));
          plain = _mm_andnot_si128(special, plain);
        }
        const int mask = _mm_movemask_epi8(plain);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(units, units));
        if (mask == 0xFFFF) {
          p += 8;
          s += 8;
          continue;
        }
        const int leading = __builtin_ctz(~mask) / 2;  // two mask bits a code unit
        p += leading;
        s += leading;
        break;
      }
      if (s >= end) break;
      c = *s;
      if (c >= 0x80) continue;
#endif
      ++s;
      if constexpr (kEscape) {
        switch (c) {
          case u'&':
            p = Put(p, "&amp;");
            continue;
          case u'"':
            p = Put(p, "&quot;");
            continue;
          case u'<':
            p = Put(p, "&lt;");
            continue;
          case u'>':
            p = Put(p, "&gt;");
            continue;
          case u' ':
            p = Put(p, "&nbsp;");
            continue;
          default:
            break;
        }
      }
      *p++ = static_cast<char>(c);
      continue;
    }
    ++s;
    if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
      // Kana and kanji: three bytes.
      p[0] = static_cast<char>(0xE0 | (c >> 12));
      p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      p[2] = static_cast<char>(0x80 | (c & 0x3F));
      p += 3;
      continue;
    }
    if (c >= 0xD800) {
      if (IsHigh(static_cast<char16_t>(c)) && s < end && IsLow(*s)) {
        c = 0x10000 + ((c - 0xD800) << 10) + (*s - 0xDC00);
        ++s;
      } else {
        c = 0xFFFD;  // a lone surrogate has no UTF-8 form
      }
    }
    p = EncodeCodePoint(c, p);
  }
  return p;
}

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

}  // namespace

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

char* EncodeCodePointUtf8(char32_t codePoint, char* out) { return EncodeCodePoint(codePoint, out); }

char* EncodeUtf8(std::u16string_view text, char* out) {
  return Encode<false>(text.data(), text.data() + text.size(), out);
}

char* EncodeEscapedUtf8(std::u16string_view text, char* out) {
  return Encode<true>(text.data(), text.data() + text.size(), out);
}

void AppendCodePointUtf8(std::string& out, char32_t codePoint) {
  char bytes[4];
  out.append(bytes, EncodeCodePoint(codePoint, bytes));
}

void AppendUtf8(std::string& out, std::u16string_view text) {
  // A stretch at a time into a buffer on the stack, then appended: one pass over the text,
  // and the string grows by whole stretches. Counting the bytes first, or growing byte by
  // byte, costs more than the conversion itself.
  constexpr std::size_t kStretch = 4096;
  char buffer[kUtf8BytesPerUnit * (kStretch + 1)];
  while (!text.empty()) {
    std::size_t length = std::min(text.size(), kStretch);
    // A pair is never cut: its high half takes its low half along.
    if (length < text.size() && IsHigh(text[length - 1]) && IsLow(text[length])) ++length;
    out.append(buffer, EncodeUtf8(text.substr(0, length), buffer));
    text.remove_prefix(length);
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

std::size_t DecodeCodePointUtf8(std::string_view text, std::size_t i, char32_t& c) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace sorowa
