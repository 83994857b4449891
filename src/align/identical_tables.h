#pragma once

#include <span>
#include <string_view>

#include "align/report_buffer.h"
#include "base/segment.h"

namespace sorowa {

// Tables of a pair whose two sides are the same sequence. Their result is known without
// aligning or matching anything: every column, every unit is same. Most pairs of a
// proofreading pass are such pairs, so they skip the work and write each row once, the
// second being a copy of the first (written again only when the first has already been
// handed on). The bytes are those the general writers give.

// The DP table of texts over themselves: one same column per text.
void WriteIdenticalDpTable(ReportBuffer& report, std::u16string_view captionWord,
                           std::span<const std::u16string_view> texts);

// The matching table of units over themselves: every unit same, on both rows.
void WriteIdenticalUnitMatchTable(const SegmentList& units, ReportBuffer& report,
                                  std::u16string_view caption);

}  // namespace sorowa
