#include "text/text_encoding.h"

#include <uchardet.h>

#include <memory>
#include <vector>

#include "text/input_decoding.h"

namespace sorowa {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// ISO-2022-JP keeps every byte below 0x80 and switches character sets with ESC sequences;
// such a file is also valid UTF-8, so it has to be recognised before UTF-8 is tried.
bool LooksLikeIso2022Jp(std::string_view bytes) {
  bool escape = false;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) return false;
    if (byte == 0x1B) escape = true;
  }
  return escape;
}

struct DetectorDeleter {
  void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

}  // namespace

std::string_view EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8:
      return "UTF-8";
    case TextEncoding::Utf8Bom:
      return "UTF-8 with BOM";
    case TextEncoding::Utf16Le:
      return "UTF-16LE";
    case TextEncoding::Utf16Be:
      return "UTF-16BE";
    case TextEncoding::Utf32Le:
      return "UTF-32LE";
    case TextEncoding::Utf32Be:
      return "UTF-32BE";
    case TextEncoding::Cp932:
      return "Shift_JIS (CP932)";
    case TextEncoding::EucJp:
      return "EUC-JP";
    case TextEncoding::Iso2022Jp:
      return "ISO-2022-JP";
  }
  return "UTF-8";
}

std::string_view DecoderName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
      return "UTF-8";
    case TextEncoding::Utf16Le:
      return "UTF-16LE";
    case TextEncoding::Utf16Be:
      return "UTF-16BE";
    case TextEncoding::Utf32Le:
      return "UTF-32LE";
    case TextEncoding::Utf32Be:
      return "UTF-32BE";
    case TextEncoding::Cp932:
      return "CP932";
    case TextEncoding::EucJp:
      return "EUC-JP";
    case TextEncoding::Iso2022Jp:
      return "ISO-2022-JP";
  }
  return "UTF-8";
}

DecodedText DecodeAs(std::string_view bytes, TextEncoding encoding) {
  DecodedText decoded;
  decoded.text = DecodeInput(bytes, DecoderName(encoding));
  decoded.encoding = encoding;
  if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom) {
    decoded.encoding =
        StartsWith(bytes, "\xEF\xBB\xBF") ? TextEncoding::Utf8Bom : TextEncoding::Utf8;
  }
  return decoded;
}

std::optional<TextEncoding> GuessEncoding(std::string_view bytes) {
  std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
  if (!detector) return std::nullopt;
  // The detector settles within the first few kilobytes of real text; the strict decoding
  // that follows checks the rest.
  constexpr std::size_t kSample = std::size_t{1} << 20;
  const std::string_view sample = bytes.substr(0, kSample);
  if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) {
    return std::nullopt;
  }
  uchardet_data_end(detector.get());
  const std::string_view name = uchardet_get_charset(detector.get());
  if (name == "SHIFT_JIS" || name == "CP932" || name == "WINDOWS-31J") return TextEncoding::Cp932;
  if (name == "EUC-JP") return TextEncoding::EucJp;
  if (name == "ISO-2022-JP") return TextEncoding::Iso2022Jp;
  if (name == "UTF-8" || name == "ASCII") return TextEncoding::Utf8;
  return std::nullopt;
}

DecodedText DecodeDetected(std::string_view bytes) {
  if (StartsWith(bytes, "\xEF\xBB\xBF")) return DecodeAs(bytes, TextEncoding::Utf8Bom);
  // UTF-32LE's mark starts with UTF-16LE's, so it goes first.
  if (StartsWith(bytes, std::string_view("\xFF\xFE\0\0", 4))) {
    return DecodeAs(bytes, TextEncoding::Utf32Le);
  }
  if (StartsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) {
    return DecodeAs(bytes, TextEncoding::Utf32Be);
  }
  if (StartsWith(bytes, "\xFF\xFE")) return DecodeAs(bytes, TextEncoding::Utf16Le);
  if (StartsWith(bytes, "\xFE\xFF")) return DecodeAs(bytes, TextEncoding::Utf16Be);

  std::vector<TextEncoding> candidates;
  auto add = [&candidates](TextEncoding encoding) {
    for (TextEncoding known : candidates) {
      if (known == encoding) return;
    }
    candidates.push_back(encoding);
  };
  if (LooksLikeIso2022Jp(bytes)) add(TextEncoding::Iso2022Jp);
  add(TextEncoding::Utf8);
  if (const std::optional<TextEncoding> guess = GuessEncoding(bytes)) add(*guess);
  add(TextEncoding::Cp932);
  add(TextEncoding::EucJp);

  std::optional<InputDecodingError> furthest;
  for (TextEncoding encoding : candidates) {
    try {
      return DecodeAs(bytes, encoding);
    } catch (const InputDecodingError& error) {
      if (!furthest || error.offset() > furthest->offset()) furthest = error;
    }
  }
  throw *furthest;
}

}  // namespace sorowa
