#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "align/dp_table.h"

namespace sorowa {

// The character-level table: one column per Target character. A character is a code point:
// a surrogate pair is one character, a lone surrogate one of its own. Appends nothing when
// either line is empty.
void WriteCharDpTable(const std::u16string& sourceLine, const std::u16string& targetLine,
                      std::u16string& report);

// The character-level table of a pair whose only line is line, on the given side.
void WriteLoneCharDpTable(const std::u16string& line, LoneSide side, std::u16string& report);

// The characters of line as the table's columns show them, in order.
std::vector<std::u16string_view> LineCharacters(std::u16string_view line);

}  // namespace sorowa
