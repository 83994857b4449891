#include "formats/read_document.h"

#include <stdexcept>

#include "formats/readers.h"

namespace sorowa {

std::u16string JoinLines(const ExtractedText& text) {
  std::size_t size = 0;
  for (const std::u16string& line : text.lines) size += line.size() + 1;
  std::u16string joined;
  joined.reserve(size);
  for (std::size_t i = 0; i < text.lines.size(); ++i) {
    if (i > 0) joined.push_back(u'\n');
    joined += text.lines[i];
  }
  return joined;
}

ExtractedText ReadDocument(std::string_view bytes, InputFormat format, const std::string& name,
                           const ReadOptions& options) {
  const formats::ReadContext context{name, format, options};
  switch (format) {
    case InputFormat::Pdf:
      return formats::ReadPdf(bytes, context);
    case InputFormat::Docx:
      return formats::ReadDocx(bytes, context);
    case InputFormat::Odt:
      return formats::ReadOdt(bytes, context);
    case InputFormat::Hocr:
      return formats::ReadHocr(bytes, context);
    case InputFormat::Alto:
      return formats::ReadAlto(bytes, context);
    case InputFormat::Page:
      return formats::ReadPageXml(bytes, context);
    case InputFormat::Text:
      break;
  }
  throw std::logic_error("ReadDocument: plain text is decoded by text/, not read here");
}

}  // namespace sorowa
