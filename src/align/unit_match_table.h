#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "align/match_status.h"
#include "align/report_buffer.h"
#include "base/segment.h"

namespace sorowa {

// The class of every unit of both lines, each list in line order.
struct UnitMatchStatuses {
  std::vector<MatchStatus> source;
  std::vector<MatchStatus> target;
  bool operator==(const UnitMatchStatuses&) const = default;
};

// Pairs the units of two lines one to one, regardless of order, first by identity and then
// by containment. Longer units choose first on both sides; unit_match_reference.h has the
// plain rules. Small lines take a plain scan by those rules, all others MatchUnitsIndexed.
UnitMatchStatuses MatchUnits(const SegmentList& sourceUnits, const SegmentList& targetUnits);

// The same result through a suffix array of the distinct texts, in O(n log n) time for n
// code units and units in all, whatever the lines hold.
UnitMatchStatuses MatchUnitsIndexed(const SegmentList& sourceUnits, const SegmentList& targetUnits);

// Appends a table showing each line's units classed by MatchUnits, in line order.
void WriteUnitMatchTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                         ReportBuffer& report, std::u16string_view caption);

// The markup of matching tables: the caption closes with kMatchCaptionClose, each row is
// kMatchRowOpen, one span per unit and kMatchRowClose, and the second row begins with
// kBetweenMatchRows.
inline constexpr std::string_view kMatchCaptionClose = "単位でマッチング</span></td>\n";
inline constexpr std::string_view kMatchRowOpen = "<td class=\"le\">";
inline constexpr std::string_view kMatchRowClose = "</td></tr>\n";
inline constexpr std::string_view kBetweenMatchRows = "<tr>\n";
inline constexpr std::string_view kMatchTableEnd = "</table>\n";
inline constexpr ShortMarkup kSpanClose = "</span>\n";
// In the order of MatchStatus.
inline constexpr ShortMarkup kSpanOpen[] = {"<span class=\"same\">", "<span class=\"partial\">",
                                            "<span class=\"different\">"};
constexpr const ShortMarkup& SpanOpen(MatchStatus status) {
  return kSpanOpen[static_cast<int>(status)];
}

}  // namespace sorowa
