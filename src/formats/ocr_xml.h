#pragma once

// What the readers of OCR results (hOCR, ALTO, PAGE-XML) share.

#include <string_view>

#include "formats/xml_parse.h"

namespace sorowa::formats {

// How messages name the XML file itself.
inline constexpr std::string_view kWholeFile = "the file";

// The text of every text node below element, in document order.
void AppendTextContent(const ReadContext& context, pugi::xml_node element, std::size_t depth,
                       std::u16string& out);

// Each text node below element, split at white space, added to line as OCR words.
void AppendTextAsWords(const ReadContext& context, pugi::xml_node element, std::size_t depth,
                       std::u16string& line);

// Ends the line being built, on page 1 if the file named no page before it.
inline void EndOcrLine(LineCollector& lines) {
  if (lines.page() == 0) lines.NewPage();
  lines.EndLine();
}

}  // namespace sorowa::formats
