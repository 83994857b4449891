#pragma once

// The matching rules written the plain way, a scan over the Target units for every Source
// unit: quadratic, and kept as the yardstick that MatchUnits is tested against.

#include "align/unit_match_table.h"

namespace sorowa {

// Both lists are put in matching order (longer text first; equal lengths by descending code
// units; identical texts in line order), then:
// 1. identity: each Source unit walks the unpaired Target units and stops at the first that
//    begins with it or that it begins with; it pairs (same) only when that one is identical.
//    So a longer unpaired Target unit beginning with it hides an identical one further on.
// 2. containment: each Source unit still unpaired takes the first unpaired Target unit that
//    contains it or occurs in it (partial).
UnitMatchStatuses MatchUnitsReference(const SegmentList& sourceUnits,
                                      const SegmentList& targetUnits);

}  // namespace sorowa
