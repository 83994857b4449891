#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "align/match_status.h"

namespace sorowa {

// same when equal; partial when either text contains the other as whole characters (an
// empty text counts only as the container's partner, never as contained, and half of a
// surrogate pair never counts as contained); different otherwise.
MatchStatus ClassifyCell(std::u16string_view piece, std::u16string_view targetText);

// Appends the two-row table: caption cell, the Source pieces over the Target texts, each
// column classed once and shown with the same class in both rows.
void WriteDpTable(std::u16string& report, std::u16string_view captionWord,
                  const std::vector<std::u16string>& pieces,
                  const std::vector<std::u16string>& targetTexts);

// The row that holds the line of a pair with no line on the other side.
enum class LoneSide { Source, Target };

// The same table for a pair with one side missing, so that the line stands out instead of
// vanishing: one column per unit, each unit in a different cell on its own row over (or
// under) an empty different cell. Appends nothing when there are no units.
void WriteLoneDpTable(std::u16string& report, std::u16string_view captionWord,
                      const std::vector<std::u16string>& units, LoneSide side);

}  // namespace sorowa
