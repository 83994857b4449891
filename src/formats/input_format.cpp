#include "formats/input_format.h"

#include <array>
#include <cstring>
#include <string>

namespace sorowa {

namespace {

struct FormatNames {
  InputFormat format;
  std::string_view name;
  std::string_view label;
};

constexpr std::array<FormatNames, 7> kFormats = {{
    {InputFormat::Text, "text", "text"},
    {InputFormat::Pdf, "pdf", "PDF"},
    {InputFormat::Docx, "docx", "Word (.docx)"},
    {InputFormat::Odt, "odt", "OpenDocument (.odt)"},
    {InputFormat::Hocr, "hocr", "hOCR"},
    {InputFormat::Alto, "alto", "ALTO"},
    {InputFormat::Page, "page", "PAGE-XML"},
}};

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The name of the root element of an XML file in UTF-8, without its prefix: the first start
// tag after the declaration, comments, processing instructions and the document type.
// Empty when the head is not XML.
std::string_view RootElement(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::size_t i = 0;
  // Only the head is looked at: a root element is never preceded by megabytes.
  const std::size_t end = std::min<std::size_t>(bytes.size(), 64 * 1024);
  while (i < end) {
    while (i < end && IsXmlSpace(bytes[i])) ++i;
    if (i >= end || bytes[i] != '<') return {};
    const std::string_view rest = bytes.substr(i, end - i);
    std::string_view close;
    if (rest.starts_with("<?")) {
      close = "?>";
    } else if (rest.starts_with("<!--")) {
      close = "-->";
    } else if (rest.starts_with("<!")) {
      // A document type, past its internal subset if it has one: the reader then refuses
      // the subset by name rather than the file being taken for text.
      const std::size_t open = rest.find('[');
      const std::size_t typeEnd = rest.find('>');
      if (open != rest.npos && typeEnd != rest.npos && open < typeEnd) {
        const std::size_t subsetEnd = rest.find(']', open);
        const std::size_t afterSubset =
            subsetEnd == rest.npos ? rest.npos : rest.find('>', subsetEnd);
        if (afterSubset == rest.npos) return {};
        i += afterSubset + 1;
        continue;
      }
      close = ">";
    } else {
      std::size_t j = 1;
      while (j < rest.size() && !IsXmlSpace(rest[j]) && rest[j] != '>' && rest[j] != '/') ++j;
      std::string_view name = rest.substr(1, j - 1);
      if (const std::size_t colon = name.find(':'); colon != name.npos) {
        name.remove_prefix(colon + 1);
      }
      return name;
    }
    const std::size_t found = rest.find(close);
    if (found == rest.npos) return {};
    i += found + close.size();
  }
  return {};
}

bool IsZipDocument(std::string_view bytes, InputFormat& format) {
  if (!bytes.starts_with("PK\x03\x04")) return false;
  // An OpenDocument file starts with its media type, stored: "mimetype" as the first entry's
  // name at offset 30 and its content right after.
  constexpr std::string_view kOpenDocument = "mimetypeapplication/vnd.oasis.opendocument.";
  if (bytes.size() > 30 && bytes.substr(30).starts_with(kOpenDocument)) {
    format = InputFormat::Odt;
    return true;
  }
  // A Word document names its main part in the central directory at the end.
  if (Contains(bytes, "word/document.xml") || Contains(bytes, "[Content_Types].xml")) {
    format = InputFormat::Docx;
    return true;
  }
  return false;
}

}  // namespace

std::string_view InputFormatName(InputFormat format) {
  return kFormats[static_cast<std::size_t>(format)].name;
}

std::string_view InputFormatLabel(InputFormat format) {
  return kFormats[static_cast<std::size_t>(format)].label;
}

std::optional<InputFormat> ParseInputFormat(std::string_view name) {
  for (const FormatNames& names : kFormats) {
    if (names.name == name) return names.format;
  }
  return std::nullopt;
}

bool HasPages(InputFormat format) {
  return format == InputFormat::Pdf || format == InputFormat::Hocr || format == InputFormat::Alto ||
         format == InputFormat::Page;
}

InputFormat DetectInputFormat(std::string_view bytes) {
  // Viewers also find the header further into the first kilobyte, but a text file may quote
  // it; only a file that starts with it is taken for a PDF without being asked.
  if (bytes.starts_with("%PDF-")) return InputFormat::Pdf;
  if (InputFormat zipped; IsZipDocument(bytes, zipped)) return zipped;
  // An encrypted .docx is an OLE compound file, as is the old .doc; the Word reader says so.
  if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return InputFormat::Docx;
  const std::string_view root = RootElement(bytes);
  if (root == "alto") return InputFormat::Alto;
  if (root == "PcGts") return InputFormat::Page;
  if (root == "html") {
    // Any web page has <html>; hOCR is the one whose elements carry the OCR classes.
    const std::string_view head = bytes.substr(0, 1 << 20);
    if (Contains(head, "ocr_page") || Contains(head, "ocr_line") || Contains(head, "ocrx_word")) {
      return InputFormat::Hocr;
    }
  }
  return InputFormat::Text;
}

}  // namespace sorowa
