#pragma once

#include <string>
#include <vector>

namespace sorowa {

// Every maximal run of characters other than CR and LF, in order. Empty lines vanish and
// CR, LF and CR LF may be mixed. lines is emptied first.
void SplitLines(const std::u16string& text, std::vector<std::u16string>& lines);

// The lines, each followed by CR LF: what the editors hold after a Compare.
std::u16string NormalizeText(const std::vector<std::u16string>& lines);

}  // namespace sorowa
