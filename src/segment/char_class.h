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

// Defined here, inline, because pseudo-bunsetsu splitting asks for every code unit.
constexpr CharClass ClassifyChar(char16_t c) {
  // Tried in order; the first range that holds the code unit decides.
  if (c >= u'\u3041' && c <= u'\u3093') return CharClass::Hiragana;
  if (c >= u'\u30A1' && c <= u'\u30F6') return CharClass::Katakana;
  if (c >= u'\u4E00' && c <= u'\u9FFF') return CharClass::Kanji;
  if (c >= u'0' && c <= u'9') return CharClass::Other;
  if (c >= u'A') return CharClass::Other;
  return CharClass::Delimiter;
}

// Whether a pseudo-bunsetsu boundary falls between adjacent code units of these classes.
constexpr bool IsUnitBoundary(CharClass earlier, CharClass later) {
  if (earlier == later) return false;
  if (earlier == CharClass::Hiragana || earlier == CharClass::Delimiter ||
      later == CharClass::Delimiter) {
    return true;
  }
  // A kanji run keeps the hiragana after it; katakana and kanji/other runs part ways here.
  return (earlier == CharClass::Kanji && later == CharClass::Other) ||
         (earlier == CharClass::Katakana && later == CharClass::Hiragana) ||
         (earlier == CharClass::Katakana && later == CharClass::Kanji) ||
         (earlier == CharClass::Other && later == CharClass::Kanji);
}

}  // namespace sorowa
