#pragma once

#include <string>
#include <string_view>

namespace sorowa {

// Converts by length, so a NUL does not end the text. Each unpaired surrogate becomes
// U+FFFD. No byte order mark.
std::string ToUtf8(std::u16string_view text);
// The same conversion, appended to out.
void AppendUtf8(std::string& out, std::u16string_view text);
// Appends one code point (at most U+10FFFF, not a surrogate) as UTF-8.
void AppendCodePointUtf8(std::string& out, char32_t codePoint);
// Writes one such code point as UTF-8 at out, which has room for four bytes, and returns the
// end of what it wrote.
char* EncodeCodePointUtf8(char32_t codePoint, char* out);

}  // namespace sorowa
