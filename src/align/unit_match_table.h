#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "align/match_status.h"
#include "segment/segment.h"

namespace sorowa {

// The class of every unit of both lines, each list in line order.
struct UnitMatchStatuses {
  std::vector<MatchStatus> source;
  std::vector<MatchStatus> target;
  bool operator==(const UnitMatchStatuses&) const = default;
};

// Pairs the units of two lines one to one, regardless of order, first by identity and then
// by containment. Longer units choose first on both sides; unit_match_reference.h has the
// plain rules. Small lines take the plain scan, all others MatchUnitsIndexed.
UnitMatchStatuses MatchUnits(const SegmentList& sourceUnits, const SegmentList& targetUnits);

// The same result through a suffix array of the distinct texts, in O(n log n) time for n
// code units and units in all, whatever the lines hold.
UnitMatchStatuses MatchUnitsIndexed(const SegmentList& sourceUnits, const SegmentList& targetUnits);

// Appends a table showing each line's units classed by MatchUnits, in line order.
void WriteUnitMatchTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                         std::u16string& report, std::u16string_view caption);

}  // namespace sorowa
