#pragma once

#include <string>
#include <string_view>

#include "segment/segment.h"

namespace sorowa {

// The unit-level table (morphemes or pseudo-bunsetsu): one column per Target unit. Appends
// nothing when either list is empty.
void WriteUnitDpTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                      std::u16string& report, std::u16string_view captionWord);

}  // namespace sorowa
