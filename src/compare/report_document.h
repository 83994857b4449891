#pragma once

#include <string>
#include <string_view>

namespace sorowa {

// The report under construction. Writers only append to it.
using ReportBuffer = std::u16string;

// The fixed head with the style sheet, ending in a line feed.
std::u16string_view ReportHead();
// Closes the document; no line feed after it.
std::u16string_view ReportFoot();

inline constexpr std::u16string_view kTableBreak = u"<br>";
inline constexpr std::u16string_view kPairSeparator = u"<hr><br>";

}  // namespace sorowa
