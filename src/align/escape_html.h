#pragma once

#include <string>
#include <string_view>

namespace sorowa {

// Replaces every occurrence of pattern, scanning left to right and resuming after each
// replacement, so inserted text is never searched again. pattern must not be empty.
void ReplaceAll(std::u16string& target, std::u16string_view pattern,
                std::u16string_view replacement);

// User text made safe for a table cell: & " < > and the space become entities, in that
// order, so that no entity is escaped twice and runs of spaces keep their width. The plain
// five-pass way: the report's writers escape in one pass while converting to UTF-8
// (ReportBuffer::AppendEscaped), and this is their yardstick.
std::u16string EscapeHtml(std::u16string_view text);

}  // namespace sorowa
