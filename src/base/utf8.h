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

// The conversion of ToUtf8 written at out, which has room for kUtf8BytesPerUnit bytes a code
// unit; returns the end of what it wrote. A high surrogate that ends text counts as
// unpaired, so a text cut in pieces must not be cut inside a pair.
inline constexpr std::size_t kUtf8BytesPerUnit = 3;
char* EncodeUtf8(std::u16string_view text, char* out);
// The same for the text of an HTML table cell: & " < > and the space are written as &amp;
// &quot; &lt; &gt; &nbsp; (so that runs of spaces keep their width) in the same pass. out has
// room for kEscapedUtf8BytesPerUnit bytes a code unit.
inline constexpr std::size_t kEscapedUtf8BytesPerUnit = 6;
char* EncodeEscapedUtf8(std::u16string_view text, char* out);

// The code point of the well-formed UTF-8 sequence that starts at text[i], in c, and its
// length in bytes; 0 when text[i] does not start one (a stray or cut-short byte, an overlong
// form, a surrogate, a code point above U+10FFFF). For text that may hold any bytes, such as a
// path, read one character at a time.
std::size_t DecodeCodePointUtf8(std::string_view text, std::size_t i, char32_t& c);

// Decodes well-formed UTF-8 from bytes[start] on (the Unicode standard's table of byte
// sequences: no overlong forms, encoded surrogates or code points above U+10FFFF) into
// UTF-16. Throws InputDecodingError naming the byte offset and the fault.
std::u16string DecodeUtf8(std::string_view bytes, std::size_t start = 0);

}  // namespace sorowa
