#pragma once

#include <string>
#include <string_view>

#include "segment/segment.h"

namespace sorowa {

// Pairs the units of two lines one to one, regardless of order, first by identity and then
// by containment, and appends a table showing each line's units classed in line order.
void WriteUnitMatchTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                         std::u16string& report, std::u16string_view caption);

}  // namespace sorowa
