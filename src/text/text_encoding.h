#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace sorowa {

// The encodings a Japanese text file is found in, and the ones the window offers.
// New values go at the end, so that the others keep their numbers.
enum class TextEncoding {
  Utf8,
  Utf8Bom,
  Utf16Le,
  Utf16Be,
  Cp932,
  EucJp,
  Iso2022Jp,
  Utf32Le,
  Utf32Be
};

inline constexpr std::array<TextEncoding, 9> kTextEncodings{
    TextEncoding::Utf8,    TextEncoding::Utf8Bom, TextEncoding::Utf16Le,
    TextEncoding::Utf16Be, TextEncoding::Utf32Le, TextEncoding::Utf32Be,
    TextEncoding::Cp932,   TextEncoding::EucJp,   TextEncoding::Iso2022Jp};

// The name users know the encoding by ("UTF-8", "Shift_JIS (CP932)", ...), in English.
std::string_view EncodingName(TextEncoding encoding);
// The name DecodeInput and iconv take.
std::string_view DecoderName(TextEncoding encoding);

struct DecodedText {
  std::u16string text;
  TextEncoding encoding = TextEncoding::Utf8;
};

// Decodes bytes known to be in encoding; a byte order mark of that encoding is dropped. The
// encoding returned tells whether a UTF-8 text had one. Throws InputDecodingError.
DecodedText DecodeAs(std::string_view bytes, TextEncoding encoding);

// Finds the encoding of a file's bytes and decodes them. A byte order mark decides at once;
// otherwise ISO-2022-JP (7-bit text with escape sequences), UTF-8, the detector's guess
// between CP932 and EUC-JP and then the other are tried in turn, each decoded strictly, and
// the first that decodes the whole input wins. When none does, throws the InputDecodingError
// of the encoding that got furthest into the input.
DecodedText DecodeDetected(std::string_view bytes);

// What the character-set detector makes of bytes, if it is one of the encodings above.
std::optional<TextEncoding> GuessEncoding(std::string_view bytes);

}  // namespace sorowa
