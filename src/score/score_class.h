#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace sorowa {

// The classes of reference characters that the scores break accuracy down by.
enum class ScoreClass : std::uint8_t {
  Kanji,
  Hiragana,
  Katakana,
  Latin,
  Digit,
  Punctuation,  // punctuation and symbols
  Whitespace,
  Other,
};
inline constexpr std::size_t kScoreClassCount = 8;

// The key of each class in the stats documents, in the order of the enum.
inline constexpr std::array<std::string_view, kScoreClassCount> kScoreClassNames{
    "kanji", "hiragana", "katakana", "latin", "digit", "punctuation", "whitespace", "other"};

// The class of one element of the character scores (a code point, or a lone surrogate,
// which is Other). docs/scores.md lists the rules.
ScoreClass ClassifyForScore(std::uint32_t element);

std::optional<ScoreClass> ScoreClassFromName(std::string_view name);

}  // namespace sorowa
