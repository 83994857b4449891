#pragma once

#include <string>
#include <vector>

namespace sorowa {

// One unit of a line, as a copy of its code units; never empty.
using Segment = std::u16string;
using SegmentList = std::vector<Segment>;

}  // namespace sorowa
