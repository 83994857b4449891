#include "formats/reader_support.h"

#include <algorithm>

#include "base/decoding_error.h"
#include "base/utf8.h"

namespace sorowa::formats {

namespace {

ErrorDetails Details(const ReadContext& context, ErrorKind kind) {
  ErrorDetails details = PathErrorDetails(kind, context.name);
  details.format = std::string(InputFormatLabel(context.format));
  return details;
}

std::string Lead(const ReadContext& context) { return context.name + ": "; }

std::string WithCommas(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return grouped;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// The first or the last code point of a text that is not empty.
char32_t FirstCodePoint(std::u16string_view text) {
  const char16_t c = text.front();
  if (c >= 0xD800 && c < 0xDC00 && text.size() > 1 && text[1] >= 0xDC00 && text[1] < 0xE000) {
    return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[1] - 0xDC00);
  }
  return c;
}

char32_t LastCodePoint(std::u16string_view text) {
  const char16_t c = text.back();
  const std::size_t n = text.size();
  if (c >= 0xDC00 && c < 0xE000 && n > 1 && text[n - 2] >= 0xD800 && text[n - 2] < 0xDC00) {
    return 0x10000 + ((char32_t(text[n - 2]) - 0xD800) << 10) + (c - 0xDC00);
  }
  return c;
}

}  // namespace

void ReadContext::Damaged(std::string_view reason) const {
  throw DocumentError(Details(*this, ErrorKind::DocumentDamaged),
                      Lead(*this) + "not a readable " + std::string(InputFormatLabel(format)) +
                          " file: " + std::string(reason));
}

void ReadContext::Encrypted(std::string_view advice) const {
  throw DocumentError(Details(*this, ErrorKind::DocumentEncrypted),
                      Lead(*this) + "the " + std::string(InputFormatLabel(format)) +
                          " file is protected by a password; " + std::string(advice));
}

void ReadContext::Unsupported(std::string_view item, std::string_view advice) const {
  ErrorDetails details = Details(*this, ErrorKind::DocumentUnsupported);
  details.item = std::string(item);
  throw DocumentError(std::move(details),
                      Lead(*this) + std::string(item) + " cannot be read; " + std::string(advice));
}

void ReadContext::LimitExceeded(std::string_view item, std::uint64_t size,
                                std::uint64_t limit) const {
  ErrorDetails details = Details(*this, ErrorKind::DocumentLimitExceeded);
  details.item = std::string(item);
  details.size = size;
  details.limit = limit;
  const std::string amount = size > limit ? " is " + WithCommas(size) + ", over" : " exceeds";
  throw DocumentError(std::move(details), Lead(*this) + "refused: " + std::string(item) + amount +
                                              " the limit of " + WithCommas(limit));
}

void ReadContext::NoTextLayer() const {
  throw DocumentError(Details(*this, ErrorKind::NoTextLayer),
                      Lead(*this) + "no text layer; run OCR first");
}

LineCollector::LineCollector(const ReadContext& context) : context_(context) {
  result_.format = context.format;
}

void LineCollector::NewPage() {
  ++page_;
  if (page_ > context_.limits().pages) {
    context_.LimitExceeded("the number of pages", page_, context_.limits().pages);
  }
}

void LineCollector::CheckUnits(std::size_t adding) {
  units_ += adding;
  if (units_ > context_.limits().textUnits) {
    context_.LimitExceeded("the extracted text (UTF-16 code units)", units_,
                           context_.limits().textUnits);
  }
}

void LineCollector::Append(std::u16string_view text) {
  const std::size_t start = current_.size();
  current_.append(text);
  for (std::size_t i = start; i < current_.size(); ++i) {
    if (current_[i] == u'\n' || current_[i] == u'\r') current_[i] = u' ';
  }
}

void LineCollector::Append(char16_t c) { current_.push_back(c == u'\n' || c == u'\r' ? u' ' : c); }

void LineCollector::EndLine() {
  CheckUnits(current_.size() + 1);
  for (char16_t& c : current_) {
    if (c == u'\n' || c == u'\r') c = u' ';
  }
  result_.lines.push_back(std::move(current_));
  result_.pages.push_back(page_);
  current_.clear();
}

void LineCollector::AddLines(std::vector<std::u16string>&& lines) {
  for (std::u16string& line : lines) {
    current_ = std::move(line);
    EndLine();
  }
}

ExtractedText LineCollector::Finish(bool withPages) {
  if (withPages) {
    result_.pageCount = page_;
  } else {
    result_.pages.clear();
  }
  return std::move(result_);
}

bool IsJapaneseChar(char32_t c) {
  return (c >= 0x2E80 && c <= 0x2FDF) ||    // CJK radicals
         (c >= 0x3000 && c <= 0x30FF) ||    // CJK punctuation, hiragana, katakana
         (c >= 0x3190 && c <= 0x9FFF) ||    // kanbun, katakana extensions, CJK ideographs
         (c >= 0xF900 && c <= 0xFAFF) ||    // CJK compatibility ideographs
         (c >= 0xFE30 && c <= 0xFE4F) ||    // CJK compatibility forms (vertical)
         (c >= 0xFF00 && c <= 0xFFEF) ||    // full-width and half-width forms
         (c >= 0x1B000 && c <= 0x1B16F) ||  // kana supplement and extensions
         (c >= 0x20000 && c <= 0x3FFFF);    // CJK ideographs beyond the BMP
}

void AppendWord(std::u16string& line, std::u16string_view word) {
  while (!word.empty() && IsSpace(word.front())) word.remove_prefix(1);
  while (!word.empty() && IsSpace(word.back())) word.remove_suffix(1);
  if (word.empty()) return;
  if (!line.empty() && !IsJapaneseChar(LastCodePoint(line)) &&
      !IsJapaneseChar(FirstCodePoint(word))) {
    line.push_back(u' ');
  }
  line.append(word);
}

void AppendXmlText(const ReadContext& context, std::u16string& out, std::string_view utf8) {
  // ASCII, most of markup-heavy files, needs no decoder.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
    out.append(utf8.begin(), utf8.end());
    return;
  }
  try {
    out += DecodeUtf8(utf8);
  } catch (const InputDecodingError& error) {
    context.Damaged(std::string("the text is not well-formed UTF-8 (") + error.what() + ")");
  }
}

std::u16string XmlText(const ReadContext& context, std::string_view utf8) {
  std::u16string out;
  AppendXmlText(context, out, utf8);
  return out;
}

}  // namespace sorowa::formats
