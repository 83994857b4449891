#pragma once

#include <string>
#include <string_view>

namespace sorowa {

// Converts by length, so a NUL does not end the text. Each unpaired surrogate becomes
// U+FFFD. No byte order mark.
std::string ToUtf8(std::u16string_view text);
// The same conversion, appended to out.
void AppendUtf8(std::string& out, std::u16string_view text);

}  // namespace sorowa
