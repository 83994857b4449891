#pragma once

// What the readers of this folder share: the wording of their errors, the collection of
// lines with their pages, and the joining of OCR words into a line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/read_document.h"

namespace sorowa::formats {

// The file being read, and the errors about it.
struct ReadContext {
  const std::string& name;
  InputFormat format;
  const ReadOptions& options;

  const FormatLimits& limits() const { return options.limits; }
  // "NAME: not a readable PDF: reason".
  [[noreturn]] void Damaged(std::string_view reason) const;
  [[noreturn]] void Encrypted(std::string_view advice) const;
  // item names what is not supported; advice says what to do instead.
  [[noreturn]] void Unsupported(std::string_view item, std::string_view advice) const;
  // item names what was counted: "ITEM is SIZE, over the limit of LIMIT", or with a size
  // not above limit (counting stopped at the limit) "ITEM exceeds the limit of LIMIT".
  [[noreturn]] void LimitExceeded(std::string_view item, std::uint64_t size,
                                  std::uint64_t limit) const;
  [[noreturn]] void NoTextLayer() const;
};

// Collects the lines of a document with their pages. A line break inside a piece of text
// becomes a space: a line here is a line of the document, whatever characters it holds.
class LineCollector {
 public:
  explicit LineCollector(const ReadContext& context);

  // Starts the next page; lines added from now on carry its number.
  void NewPage();
  std::uint32_t page() const { return page_; }

  // The line being built.
  std::u16string& current() { return current_; }
  void Append(std::u16string_view text);
  void Append(char16_t c);
  // Ends the line being built (also when it is empty) and starts the next.
  void EndLine();
  // Adds finished lines, as they are, on the current page.
  void AddLines(std::vector<std::u16string>&& lines);

  std::size_t lineCount() const { return result_.lines.size(); }
  ExtractedText Finish(bool withPages);

 private:
  void CheckUnits(std::size_t adding);

  const ReadContext& context_;
  ExtractedText result_;
  std::u16string current_;
  std::uint32_t page_ = 0;
  std::uint64_t units_ = 0;
};

// Whether a character belongs to Japanese text, which sets no spaces between words: kana,
// kanji, CJK punctuation and symbols, full-width and half-width forms.
bool IsJapaneseChar(char32_t c);

// Appends one OCR word to a line: without a space when either character at the joint is
// Japanese, with one space between two words of other scripts. Whitespace around the word
// is dropped; an empty word adds nothing.
void AppendWord(std::u16string& line, std::u16string_view word);

// UTF-8 from a parsed XML file as UTF-16; ill-formed UTF-8 is a damaged file.
std::u16string XmlText(const ReadContext& context, std::string_view utf8);
void AppendXmlText(const ReadContext& context, std::u16string& out, std::string_view utf8);

}  // namespace sorowa::formats
