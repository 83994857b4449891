#pragma once

#include <string_view>

namespace sorowa {

// The report is UTF-8 (src/align/report_buffer.h writes it).

// The fixed head with the style sheet, ending in a line feed.
std::string_view ReportHead();
// Closes the document; no line feed after it.
std::string_view ReportFoot();

inline constexpr std::string_view kTableBreak = "<br>";
inline constexpr std::string_view kPairSeparator = "<hr><br>";

}  // namespace sorowa
