#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sorowa {

// Every maximal run of characters other than CR and LF, in order. Empty lines vanish and
// CR, LF and CR LF may be mixed. lines is emptied first.
void SplitLines(const std::u16string& text, std::vector<std::u16string>& lines);

// The same lines, and for each its 1-based line number in the text as an editor or a file
// viewer counts them: every CR LF, lone LF and lone CR ends one line, empty lines included.
// Both lists are emptied first and come out equally long.
void SplitLines(const std::u16string& text, std::vector<std::u16string>& lines,
                std::vector<std::size_t>& lineNumbers);

// The lines, each followed by CR LF: what the editors hold after a Compare.
std::u16string NormalizeText(const std::vector<std::u16string>& lines);

// NormalizeText of text's lines, in one pass without a copy of each line.
std::u16string NormalizeLineBreaks(std::u16string_view text);

}  // namespace sorowa
