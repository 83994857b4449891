#include "compare/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

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

}  // namespace

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

}  // namespace sorowa
