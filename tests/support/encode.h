#pragma once

// Text in the encodings other programs save Japanese in, for the tests of decoding.

#include <string>
#include <string_view>

namespace sorowa::testing_support {

// The text in an encoding by its iconv name ("CP932", "EUC-JP", "ISO-2022-JP", "UTF-16LE"…),
// without a byte order mark; a stateful encoding ends back in ASCII, as a file would. iconv
// is a converter of its own, so the bytes do not come from the decoder under test. Throws
// std::runtime_error naming the encoding when iconv does not know it or cannot convert the
// text, which fails the test that asked.
std::string Encode(std::string_view utf8, const char* encoding);
std::string Encode(std::u16string_view text, const char* encoding);

}  // namespace sorowa::testing_support
