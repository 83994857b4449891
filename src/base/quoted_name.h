#pragma once

#include <string>
#include <string_view>

namespace sorowa {

// Text for a terminal: control characters (C0, DEL and the C1 range written as UTF-8) become
// escapes such as \n, \t or \x1B, so that a file name or a message cannot move the cursor,
// change colours or start a line of its own that looks like one of the program's. Other
// bytes are kept as they are, so a Japanese name still reads as itself.
std::string EscapeControls(std::string_view text);

// A file or folder name as messages quote it: between single quotes, controls escaped.
std::string QuoteName(std::string_view name);

}  // namespace sorowa
