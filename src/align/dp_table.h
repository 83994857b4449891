#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "align/dp_align_reference.h"
#include "align/match_status.h"
#include "align/report_buffer.h"

namespace sorowa {

// same when equal; partial when either text contains the other as whole characters (an
// empty text counts only as the container's partner, never as contained, and half of a
// surrogate pair never counts as contained); different otherwise.
MatchStatus ClassifyCell(std::u16string_view piece, std::u16string_view targetText);

// The Source elements [first, end) that column k of m shows, from the column starts of an
// alignment of n Source elements to m Target elements: a skipped Source element joins the next
// column, and everything after the last partner joins the last one (first == end: an empty piece).
struct SourceRange {
  std::size_t first = 0;
  std::size_t end = 0;
};
inline SourceRange ColumnSourceRange(const ColumnStarts& starts, std::size_t k, std::size_t n,
                                     std::size_t m) {
  const std::int64_t first = starts[k];
  const auto count = static_cast<std::int64_t>(n);
  if (first < 0 || first >= count) return {};
  const std::int64_t end = k + 1 < m ? std::min<std::int64_t>(starts[k + 1], count) : count;
  if (end <= first) return {};
  return {static_cast<std::size_t>(first), static_cast<std::size_t>(end)};
}

// Appends the two-row table: caption cell, the Source pieces over the Target texts, each
// column classed once and shown with the same class in both rows.
void WriteDpTable(ReportBuffer& report, std::u16string_view captionWord,
                  std::span<const std::u16string_view> pieces,
                  std::span<const std::u16string_view> targetTexts);

// The row that holds the line of a pair with no line on the other side.
enum class LoneSide { Source, Target };

// The same table for a pair with one side missing, so that the line stands out instead of
// vanishing: one column per unit, each unit in a different cell on its own row over (or
// under) an empty different cell. Appends nothing when there are no units.
void WriteLoneDpTable(ReportBuffer& report, std::u16string_view captionWord,
                      std::span<const std::u16string_view> units, LoneSide side);

// The markup the tables share.
inline constexpr std::string_view kTableCaptionOpen =
    "<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
inline constexpr std::string_view kDpCaptionClose = "単位でDPマッチング</span></td>\n";
inline constexpr ShortMarkup kCellClose = "</td>\n";
inline constexpr std::string_view kBetweenRows = "</tr>\n<tr>\n";
inline constexpr std::string_view kDpTableEnd = "</tr>\n</table>\n";
// The opening of a DP table cell, in the order of MatchStatus.
inline constexpr ShortMarkup kCellOpen[] = {"<td class=\"same\">", "<td class=\"partial\">",
                                            "<td class=\"different\">"};
constexpr const ShortMarkup& CellOpen(MatchStatus status) {
  return kCellOpen[static_cast<int>(status)];
}

}  // namespace sorowa
