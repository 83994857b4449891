#include "compare/utf8.h"

namespace sorowa {
namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::size_t Utf8Length(std::u16string_view text) {
  std::size_t bytes = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (IsHigh(c) && i + 1 < n && IsLow(text[i + 1])) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3;  // includes a lone surrogate, written as U+FFFD
    }
  }
  return bytes;
}

}  // namespace

void AppendUtf8(std::string& out, std::u16string_view text) {
  // Sized first and then filled through a pointer: reports run to tens of megabytes, and
  // growing byte by byte costs more than the conversion itself.
  const std::size_t start = out.size();
  out.resize(start + Utf8Length(text));
  char* p = out.data() + start;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (IsHigh(text[i]) && i + 1 < n && IsLow(text[i + 1])) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
      } else {
        c = 0xFFFD;  // a lone surrogate has no UTF-8 form
      }
    }
    if (c < 0x800) {
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
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

}  // namespace sorowa
