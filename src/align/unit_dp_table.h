#pragma once

#include <string_view>

#include "align/dp_table.h"
#include "align/report_buffer.h"
#include "base/segment.h"

namespace sorowa {

// The unit-level table (morphemes or pseudo-bunsetsu): one column per Target unit. Appends
// nothing when either list is empty.
void WriteUnitDpTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                      ReportBuffer& report, std::u16string_view captionWord);

// The unit-level table of a pair whose only line has units, on the given side.
void WriteLoneUnitDpTable(const SegmentList& units, LoneSide side, ReportBuffer& report,
                          std::u16string_view captionWord);

}  // namespace sorowa
