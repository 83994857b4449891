// Decoding of sorowa-compare's input files: any bytes in any of the encodings a user may
// name either decode or raise InputDecodingError naming an offset inside the input. UTF-8
// and UTF-16 are checked against decoders written here: strict UTF-8 decodes exactly when
// it is well-formed, the error names the start of the first bad sequence, and what decodes
// converts back to the same bytes. UTF-32 (named, or found by its byte order mark, which
// wins over UTF-16's that it starts with) decodes exactly when its length divides into
// code units that are all code points other than surrogates, back to the same bytes; a
// refusal names the first bad unit or the incomplete one at the end.
//
// The same bytes also go through encoding detection: it either decodes them in an
// encoding that decodes them again to the same text, or refuses them only when none of the
// encodings it knows decodes them, naming an offset inside the input.
//
// Input: one byte choosing the encoding, then the file's bytes.

#include <algorithm>
#include <iterator>

#include "base/utf8.h"
#include "fuzz_support.h"
#include "text/input_decoding.h"
#include "text/text_encoding.h"

namespace {

constexpr const char* kEncodings[] = {
    "",       "UTF-8",       "utf8",   "UTF-16LE", "UTF-16BE",   "UTF-16", "CP932",    "SHIFT_JIS",
    "EUC-JP", "ISO-2022-JP", "UTF-32", "GB18030",  "ISO-8859-1", "UTF-7",  "UTF-32LE", "UTF-32BE"};

const std::string_view kUtf32LeBom("\xFF\xFE\0\0", 4);
const std::string_view kUtf32BeBom("\0\0\xFE\xFF", 4);

// Offset of the lead byte of the first ill-formed sequence, or npos.
std::size_t FirstBadUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t length = 1;
    while (length <= 4 && !sorowa::fuzz::IsValidUtf8(bytes.substr(i, length))) ++length;
    if (length > 4 || i + length > bytes.size()) return i;
    i += length;
  }
  return std::string_view::npos;
}

std::string Utf16Bytes(std::u16string_view text, bool little) {
  std::string out;
  for (char16_t c : text) {
    const char low = static_cast<char>(c & 0xFF);
    const char high = static_cast<char>(c >> 8);
    out += little ? low : high;
    out += little ? high : low;
  }
  return out;
}

// The code points of UTF-16 code units (pairs joined) as UTF-32 bytes.
std::string Utf32Bytes(std::u16string_view text, bool little) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    for (int k = 0; k < 4; ++k) {
      const int shift = little ? 8 * k : 8 * (3 - k);
      out += static_cast<char>((c >> shift) & 0xFF);
    }
  }
  return out;
}

// Where a UTF-32 body first goes wrong (a unit that is no character, or a cut-off unit at
// the end), as an offset into the body; npos when it is all good.
std::size_t FirstBadUtf32(std::string_view body, bool little) {
  for (std::size_t i = 0; i + 4 <= body.size(); i += 4) {
    char32_t unit = 0;
    for (int k = 0; k < 4; ++k) {
      unit = (unit << 8) | static_cast<unsigned char>(body[i + (little ? 3 - k : k)]);
    }
    if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) return i;
  }
  return body.size() % 4 != 0 ? body.size() - body.size() % 4 : std::string_view::npos;
}

void CheckDetection(std::string_view bytes) {
  using namespace sorowa;
  bool decodesAsSomething = false;
  std::u16string utf8Text;
  bool validUtf8 = false;
  // Without a byte order mark, detection considers these; UTF-16 decodes any even length.
  for (TextEncoding encoding :
       {TextEncoding::Utf8, TextEncoding::Cp932, TextEncoding::EucJp, TextEncoding::Iso2022Jp}) {
    try {
      const std::u16string text = DecodeAs(bytes, encoding).text;
      decodesAsSomething = true;
      if (encoding == TextEncoding::Utf8) {
        validUtf8 = true;
        utf8Text = text;
      }
    } catch (const InputDecodingError&) {
    }
  }
  const bool bom = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
                   bytes.starts_with("\xFE\xFF") || bytes.starts_with(kUtf32BeBom);
  try {
    const DecodedText found = DecodeDetected(bytes);
    if (bytes.starts_with(kUtf32LeBom) || bytes.starts_with(kUtf32BeBom)) {
      FUZZ_CHECK(
          found.encoding ==
              (bytes.starts_with(kUtf32LeBom) ? TextEncoding::Utf32Le : TextEncoding::Utf32Be),
          "a UTF-32 byte order mark detected as " + std::string(EncodingName(found.encoding)));
    }
    FUZZ_CHECK(DecodeAs(bytes, found.encoding).text == found.text,
               "detected " + std::string(EncodingName(found.encoding)) +
                   " does not decode to the same text again");
    const bool sevenBitWithEscape =
        bytes.find('\x1B') != bytes.npos &&
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    if (validUtf8 && !bom && !sevenBitWithEscape) {
      FUZZ_CHECK(found.encoding == TextEncoding::Utf8,
                 "valid UTF-8 detected as " + std::string(EncodingName(found.encoding)));
      FUZZ_CHECK(found.text == utf8Text, "valid UTF-8 decoded differently");
    }
  } catch (const InputDecodingError& error) {
    FUZZ_CHECK(bom || !decodesAsSomething,
               "detection refused bytes that decode: " + std::string(error.what()));
    FUZZ_CHECK(error.offset() < bytes.size(), "detection error offset outside the input");
    FUZZ_CHECK(!error.details().encoding.empty(), "detection error names no encoding");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa;
  using sorowa::fuzz::Printable;
  if (size == 0) return 0;
  const std::string encoding = kEncodings[data[0] % std::size(kEncodings)];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string what = "encoding '" + encoding + "'";
  CheckDetection(bytes);

  const bool utf32Bom = bytes.starts_with(kUtf32LeBom) || bytes.starts_with(kUtf32BeBom);
  const bool utf16Bom =
      !utf32Bom && (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"));
  const bool strictUtf8 =
      (encoding.empty() && !utf16Bom && !utf32Bom) || encoding == "UTF-8" || encoding == "utf8";
  const bool utf32 = encoding.starts_with("UTF-32") || (encoding.empty() && utf32Bom);
  const bool little32 =
      encoding == "UTF-32LE" || (encoding != "UTF-32BE" && bytes.starts_with(kUtf32LeBom));
  const std::size_t utf32Start =
      utf32 && bytes.starts_with(little32 ? kUtf32LeBom : kUtf32BeBom) ? 4 : 0;
  const std::size_t utf8Start = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  bool little = encoding == "UTF-16LE" || (encoding.empty() && bytes.starts_with("\xFF\xFE")) ||
                (encoding == "UTF-16" && bytes.starts_with("\xFF\xFE"));
  const bool utf16 = encoding.starts_with("UTF-16") || (encoding.empty() && utf16Bom);
  std::size_t utf16Start = 0;
  if (utf16 && (bytes.starts_with(little ? "\xFF\xFE" : "\xFE\xFF"))) utf16Start = 2;

  try {
    const std::u16string text = DecodeInput(bytes, encoding);
    if (strictUtf8) {
      const std::string_view body = bytes.substr(utf8Start);
      FUZZ_CHECK(FirstBadUtf8(body) == std::string_view::npos,
                 what + ": ill-formed UTF-8 was accepted");
      FUZZ_CHECK(ToUtf8(text) == body,
                 what + ": decoding does not round-trip, got " + Printable(text));
    } else if (utf16) {
      FUZZ_CHECK(Utf16Bytes(text, little) == bytes.substr(utf16Start),
                 what + ": code units differ from the bytes");
    } else if (utf32) {
      FUZZ_CHECK(FirstBadUtf32(bytes.substr(utf32Start), little32) == std::string_view::npos,
                 what + ": a bad UTF-32 unit was accepted");
      FUZZ_CHECK(Utf32Bytes(text, little32) == bytes.substr(utf32Start),
                 what + ": UTF-32 does not round-trip, got " + Printable(text));
    }
  } catch (const InputDecodingError& error) {
    const std::string message = error.what();
    FUZZ_CHECK(error.offset() < bytes.size(),
               what + ": offset " + std::to_string(error.offset()) + " outside the input");
    FUZZ_CHECK(message.find("byte offset " + std::to_string(error.offset())) != message.npos,
               what + ": the message does not name the offset: " + message);
    if (strictUtf8) {
      const std::size_t bad = FirstBadUtf8(bytes.substr(utf8Start));
      FUZZ_CHECK(bad != std::string_view::npos, what + ": well-formed UTF-8 refused: " + message);
      FUZZ_CHECK(error.offset() == utf8Start + bad,
                 what + ": first bad byte at " + std::to_string(utf8Start + bad) + ": " + message);
    } else if (utf16) {
      FUZZ_CHECK((bytes.size() - utf16Start) % 2 == 1 && error.offset() == bytes.size() - 1,
                 what + ": UTF-16 refused for something other than an odd length: " + message);
    } else if (utf32) {
      const std::size_t bad = FirstBadUtf32(bytes.substr(utf32Start), little32);
      FUZZ_CHECK(bad != std::string_view::npos, what + ": good UTF-32 refused: " + message);
      FUZZ_CHECK(error.offset() == utf32Start + bad,
                 what + ": first bad unit at " + std::to_string(utf32Start + bad) + ": " + message);
    }
  }
  return 0;
}
