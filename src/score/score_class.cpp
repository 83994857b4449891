#include "score/score_class.h"

#include <unicode/uchar.h>
#include <unicode/uscript.h>

namespace sorowa {

ScoreClass ClassifyForScore(std::uint32_t element) {
  if (element >= 0xD800 && element <= 0xDFFF) return ScoreClass::Other;
  const auto c = static_cast<UChar32>(element);
  if (u_isUWhiteSpace(c)) return ScoreClass::Whitespace;
  const auto category = static_cast<UCharCategory>(u_charType(c));
  if (category == U_DECIMAL_DIGIT_NUMBER) return ScoreClass::Digit;
  // The prolonged sound marks belong to both kana scripts but are written mostly with
  // katakana; the closing mark 〆 is a kanji in all but its script property.
  if (c == 0x30FC || c == 0xFF70) return ScoreClass::Katakana;
  if (c == 0x3006) return ScoreClass::Kanji;
  UErrorCode status = U_ZERO_ERROR;
  switch (uscript_getScript(c, &status)) {
    case USCRIPT_HAN:
      return ScoreClass::Kanji;
    case USCRIPT_HIRAGANA:
      return ScoreClass::Hiragana;
    case USCRIPT_KATAKANA:
      return ScoreClass::Katakana;
    case USCRIPT_LATIN:
      if (U_GET_GC_MASK(c) & U_GC_L_MASK) return ScoreClass::Latin;
      break;
    default:
      break;
  }
  if (U_GET_GC_MASK(c) & (U_GC_P_MASK | U_GC_S_MASK)) return ScoreClass::Punctuation;
  return ScoreClass::Other;
}

std::optional<ScoreClass> ScoreClassFromName(std::string_view name) {
  for (std::size_t k = 0; k < kScoreClassCount; ++k) {
    if (kScoreClassNames[k] == name) return static_cast<ScoreClass>(k);
  }
  return std::nullopt;
}

}  // namespace sorowa
