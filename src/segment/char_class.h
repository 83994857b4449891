#pragma once

#include <cstdint>

namespace sorowa {

enum class CharClass : std::uint8_t {
  Hiragana = 0,
  Katakana = 1,
  Kanji = 2,
  Other = 3,
  Delimiter = 4,
};

CharClass ClassifyChar(char16_t c);

// Whether a pseudo-bunsetsu boundary falls between adjacent code units of these classes.
bool IsUnitBoundary(CharClass earlier, CharClass later);

}  // namespace sorowa
