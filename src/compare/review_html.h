#pragma once

// Pieces of HTML that the review page and the batch's results page share: the user's
// characters made safe and visible, rates, and the tables of the most frequent confusions.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "score/stats_document.h"

namespace sorowa {

// How a character of the user's text goes into a page.
enum class SpaceShown {
  AsIs,    // white space stays white space (in text the page keeps the spaces of)
  AsCode,  // white space is named by its code point, as in a table of single characters
};

// Appends code point c as page text, & < and > escaped. A character that would be invisible,
// would change the direction of the text around it, or that a page may not hold (controls,
// bidirectional and other formatting characters, line and paragraph separators,
// noncharacters, lone surrogates) is named instead by its code point in a small box of class
// "x", so that nothing in the text is hidden and nothing in it acts on the page. A box is one
// element whatever it says, so that a mark around it still counts one character.
void AppendShownChar(std::string& out, char32_t c, SpaceShown spaces = SpaceShown::AsIs);

// Appends UTF-8 bytes (a path, say) as AppendShownChar shows each character; bytes that are
// not UTF-8 show as U+FFFD.
void AppendShownUtf8(std::string& out, std::string_view bytes);

// The same for text that cannot hold markup (a page's title): the characters that would be
// named in a box become U+FFFD.
void AppendPlainUtf8(std::string& out, std::string_view bytes);

// A rate as a percentage with two decimals ("12.34 %"), or "—" when there is none.
std::string FormatRate(std::optional<double> rate);

// "2.50 %（8000 文字中 200：置換 100・脱落 50・挿入 50）" with unit the word for the elements.
std::string FormatCounts(const ErrorCounts& counts, std::string_view unit);

// The most frequent substitutions, deletions and insertions, up to limit of each, as three
// tables side by side in a <div class="conf">.
void AppendConfusionTables(std::string& out, const ConfusionCounts& counts, std::size_t limit);

}  // namespace sorowa
