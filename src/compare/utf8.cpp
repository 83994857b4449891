#include "compare/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sorowa {
namespace {

// How many code units from the start of text are ASCII, eight at a time where the
// processor allows; most of a report is ASCII markup.
std::size_t AsciiPrefix(const char16_t* text, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, high), _mm_setzero_si128())) !=
        0xFFFF) {
      break;
    }
  }
#endif
  while (i < n && text[i] < 0x80) ++i;
  return i;
}

// Copies n ASCII code units as bytes.
void NarrowAscii(const char16_t* text, std::size_t n, char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(units, units));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<char>(text[i]);
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::size_t Utf8Length(std::u16string_view text) {
  const std::size_t n = text.size();
  std::size_t bytes = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t ascii = AsciiPrefix(text.data() + i, n - i);
    bytes += ascii;
    i += ascii;
    for (; i < n && text[i] >= 0x80; ++i) {
      const char16_t c = text[i];
      if (c < 0x800) {
        bytes += 2;
      } else if (IsHigh(c) && i + 1 < n && IsLow(text[i + 1])) {
        bytes += 4;
        ++i;
      } else {
        bytes += 3;  // includes a lone surrogate, written as U+FFFD
      }
    }
  }
  return bytes;
}

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

void AppendCodePointUtf8(std::string& out, char32_t codePoint) {
  char bytes[4];
  out.append(bytes, EncodeCodePoint(codePoint, bytes));
}

void AppendUtf8(std::string& out, std::u16string_view text) {
  // Sized first and then filled through a pointer: reports run to tens of megabytes, and
  // growing byte by byte costs more than the conversion itself.
  const std::size_t start = out.size();
  out.resize(start + Utf8Length(text));
  char* p = out.data() + start;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t ascii = AsciiPrefix(text.data() + i, n - i);
    NarrowAscii(text.data() + i, ascii, p);
    p += ascii;
    i += ascii;
    for (; i < n && text[i] >= 0x80; ++i) {
      char32_t c = text[i];
      if (c >= 0xD800 && c <= 0xDFFF) {
        if (IsHigh(text[i]) && i + 1 < n && IsLow(text[i + 1])) {
          c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
          ++i;
        } else {
          c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
      }
      p = EncodeCodePoint(c, p);
    }
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

}  // namespace sorowa
