#pragma once

#include <string>

#include "align/dp_table.h"

namespace sorowa {

// The character-level table: one column per Target code unit. Appends nothing when either
// line is empty.
void WriteCharDpTable(const std::u16string& sourceLine, const std::u16string& targetLine,
                      std::u16string& report);

// The character-level table of a pair whose only line is line, on the given side.
void WriteLoneCharDpTable(const std::u16string& line, LoneSide side, std::u16string& report);

}  // namespace sorowa
