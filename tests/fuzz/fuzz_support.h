#pragma once

// Shared by the fuzz targets. Every check aborts, so libFuzzer keeps the input as a crash and
// the corpus replay fails loudly under plain ctest.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition, what)                                                           \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", __FILE__, __LINE__, #condition, \
                   std::string(what).c_str());                                                \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)

namespace sorowa::fuzz {

// Hands out the fuzz input piece by piece; once exhausted it yields zeros, so every input
// is a valid case.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::size_t remaining() const { return empty() ? 0 : size_ - pos_; }
  std::uint8_t Byte() { return empty() ? 0 : data_[pos_++]; }
  std::uint16_t Word() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A byte becomes one code unit from a small alphabet of Japanese script, ASCII, the five
// characters the report escapes, line breaks and awkward code units (NUL, lone surrogate
// halves, U+FFFD). Byte 0xFF escapes: the next two bytes are a raw code unit. A small
// alphabet makes equal characters and units common, which is what the tables react to.
char16_t AlphabetChar(ByteReader& in);

// Up to maxLength code units drawn with AlphabetChar; the text ends at byte 0xFE.
std::u16string ReadText(ByteReader& in, std::size_t maxLength, bool allowLineBreaks);

// Whether bytes are well-formed UTF-8: shortest forms only, no surrogates, at most U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Undoes the report's cell escaping (&amp; &quot; &lt; &gt; &nbsp;). Returns false for any
// other entity or a bare markup character, which escaped text can never contain.
bool UnescapeCell(std::string_view html, std::string& text);

// Whether shown, read back from the report, is line: code units other than surrogates are
// kept, a lone surrogate shows as U+FFFD, and a surrogate pair either survives or, when a
// cell boundary cut it in two, shows as two U+FFFD.
bool ShowsLine(std::u16string_view shown, std::u16string_view line);

std::string Printable(std::u16string_view text);

}  // namespace sorowa::fuzz
