#include "fuzz_support.h"

#include <iterator>

namespace sorowa::fuzz {
namespace {

constexpr char16_t kAlphabet[] = {
    u'の', u'は',     u'を',     u'に',     u'で',     u'す',     u'る',
    u'た',                                                     // hiragana
    u'カ', u'タ',     u'ナ',     u'ー',     u'ア',             // katakana (ー is not katakana)
    u'漢', u'字',     u'比',     u'較',     u'日',     u'本',  // kanji
    u'、', u'。',     u'「',     u'」',     u'　',             // Japanese punctuation
    u'a',  u'b',      u'c',      u'A',      u'0',      u'1',      u'Ｘ',  // letters and digits
    u' ',  u'&',      u'<',      u'>',      u'"',      u'\'',     u';',
    u'\t',         // escaped or delimiting
    u'\r', u'\n',  // line breaks
    u'\0', u'\xD83D', u'\xDE00', u'\xDC00', u'\xFFFD', u'\xFEFF',
};
constexpr std::size_t kAlphabetSize = std::size(kAlphabet);
constexpr std::uint8_t kRawUnit = 0xFF;
constexpr std::uint8_t kEndOfText = 0xFE;

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }
bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

char16_t AlphabetChar(ByteReader& in) {
  const std::uint8_t b = in.Byte();
  if (b == kRawUnit) return static_cast<char16_t>(in.Word());
  return kAlphabet[b % kAlphabetSize];
}

std::u16string ReadText(ByteReader& in, std::size_t maxLength, bool allowLineBreaks) {
  std::u16string text;
  while (!in.empty() && text.size() < maxLength) {
    // Peek at the terminator without consuming a character for it.
    ByteReader probe = in;
    if (probe.Byte() == kEndOfText) {
      in.Byte();
      break;
    }
    char16_t c = AlphabetChar(in);
    if (!allowLineBreaks && IsLineBreak(c)) c = u'x';
    text += c;
  }
  return text;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    std::size_t length;
    char32_t c;
    if (b0 < 0x80) {
      ++i;
      continue;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
      c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      c = b0 & 0x07;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(bytes[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      c = (c << 6) | (b & 0x3F);
    }
    if (length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) return false;
    if (length == 4 && (c < 0x10000 || c > 0x10FFFF)) return false;
    i += length;
  }
  return true;
}

bool UnescapeCell(std::string_view html, std::string& text) {
  static constexpr struct {
    std::string_view entity;
    char c;
  } kEntities[] = {{"&amp;", '&'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&nbsp;", ' '}};
  text.clear();
  std::size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '<' || c == '>' || c == '"' || c == ' ') return false;
    if (c != '&') {
      text += c;
      ++i;
      continue;
    }
    bool known = false;
    for (const auto& e : kEntities) {
      if (html.substr(i).starts_with(e.entity)) {
        text += e.c;
        i += e.entity.size();
        known = true;
        break;
      }
    }
    if (!known) return false;
  }
  return true;
}

bool ShowsLine(std::u16string_view shown, std::u16string_view line) {
  std::size_t s = 0;
  std::size_t i = 0;
  while (i < line.size()) {
    if (s >= shown.size()) return false;
    const char16_t c = line[i];
    if (IsHigh(c) && i + 1 < line.size() && IsLow(line[i + 1])) {
      const bool kept = shown.substr(s, 2) == line.substr(i, 2);
      const bool cut = shown.substr(s, 2) == u"\xFFFD\xFFFD";
      if (!kept && !cut) return false;
      s += 2;
      i += 2;
      continue;
    }
    const char16_t expected = (IsHigh(c) || IsLow(c)) ? u'\xFFFD' : c;
    if (shown[s] != expected) return false;
    ++s;
    ++i;
  }
  return s == shown.size();
}

std::string Printable(std::u16string_view text) {
  std::string out;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
    }
  }
  return out;
}

}  // namespace sorowa::fuzz
