#pragma once

#include <string>

namespace sorowa {

// The character-level table: one column per Target code unit. Appends nothing when either
// line is empty.
void WriteCharDpTable(const std::u16string& sourceLine, const std::u16string& targetLine,
                      std::u16string& report);

}  // namespace sorowa
