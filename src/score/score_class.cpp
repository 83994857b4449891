#include "score/score_class.h"

#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include <array>
#include <atomic>

namespace sorowa {

namespace {

ScoreClass Classify(std::uint32_t element) {
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

// The classes of the BMP as they are first asked for, plus one (0: not known yet). Threads
// that race on an entry store the same value.
std::array<std::atomic<std::uint8_t>, 0x10000> bmpClasses{};

}  // namespace

ScoreClass ClassifyForScore(std::uint32_t element) {
  if (element >= 0x10000) return Classify(element);
  std::atomic<std::uint8_t>& known = bmpClasses[element];
  std::uint8_t entry = known.load(std::memory_order_relaxed);
  if (entry == 0) {
    entry = static_cast<std::uint8_t>(static_cast<std::uint8_t>(Classify(element)) + 1);
    known.store(entry, std::memory_order_relaxed);
  }
  return static_cast<ScoreClass>(entry - 1);
}

std::optional<ScoreClass> ScoreClassFromName(std::string_view name) {
  for (std::size_t k = 0; k < kScoreClassCount; ++k) {
    if (kScoreClassNames[k] == name) return static_cast<ScoreClass>(k);
  }
  return std::nullopt;
}

}  // namespace sorowa
