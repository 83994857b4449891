#include "compare/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>

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

}  // namespace

char* EncodeCodePointUtf8(char32_t codePoint, char* out) { return EncodeCodePoint(codePoint, out); }

void AppendCodePointUtf8(std::string& out, char32_t codePoint) {
  char bytes[4];
  out.append(bytes, EncodeCodePoint(codePoint, bytes));
}

void AppendUtf8(std::string& out, std::u16string_view text) {
  // A stretch at a time into a buffer on the stack, then appended: one pass over the text,
  // and the string grows by whole stretches. Reports run to tens of megabytes; counting the
  // bytes first, or growing byte by byte, costs more than the conversion itself.
  constexpr std::size_t kStretch = 4096;
  // At most three bytes a code unit (a pair gives four for its two), and one more unit when
  // a pair straddles the end of the stretch.
  char buffer[3 * kStretch + 4];
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t end = std::min(n, i + kStretch);
    char* p = buffer;
    while (i < end) {
#if defined(__SSE2__)
      // Eight code units at once: narrowed and stored as they are, and as many kept as are
      // ASCII before the first that is not (the bytes after them are written over next).
      // Markup is ASCII, and most of a report is markup.
      const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
      while (i + 8 <= end) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const int ascii =
            _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, high), _mm_setzero_si128()));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(units, units));
        if (ascii == 0xFFFF) {
          p += 8;
          i += 8;
          continue;
        }
        const int leading = __builtin_ctz(~ascii) / 2;  // two mask bits a code unit
        p += leading;
        i += leading;
        break;
      }
#endif
      if (i >= end) break;
      char32_t c = text[i++];
      if (c < 0x80) {
        *p++ = static_cast<char>(c);
        continue;
      }
      if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
        // Kana and kanji, the rest of most reports: three bytes.
        p[0] = static_cast<char>(0xE0 | (c >> 12));
        p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        p[2] = static_cast<char>(0x80 | (c & 0x3F));
        p += 3;
        continue;
      }
      if (c >= 0xD800 && c <= 0xDFFF) {
        if (IsHigh(static_cast<char16_t>(c)) && i < n && IsLow(text[i])) {
          c = 0x10000 + ((c - 0xD800) << 10) + (text[i] - 0xDC00);
          ++i;
        } else {
          c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
      }
      p = EncodeCodePoint(c, p);
    }
    out.append(buffer, p);
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

}  // namespace sorowa
