// hOCR: the HTML that OCR engines write, each element's role in its class. A page is an
// ocr_page; a line is an ocr_line (or one of the kinds of line beside it: header, caption,
// floating text), whose ocrx_word elements are its words. A line without word elements is
// read from its text.

#include "formats/ocr_xml.h"
#include "formats/readers.h"

namespace sorowa::formats {

namespace {

bool HasClass(pugi::xml_node element, std::string_view wanted) {
  std::string_view classes = element.attribute("class").value();
  while (!classes.empty()) {
    const std::size_t end = classes.find_first_of(" \t\r\n");
    if (classes.substr(0, end) == wanted) return true;
    if (end == classes.npos) break;
    classes.remove_prefix(end + 1);
  }
  return false;
}

bool IsLine(pugi::xml_node element) {
  return HasClass(element, "ocr_line") || HasClass(element, "ocrx_line") ||
         HasClass(element, "ocr_header") || HasClass(element, "ocr_caption") ||
         HasClass(element, "ocr_textfloat");
}

class HocrReader {
 public:
  explicit HocrReader(const ReadContext& context) : context_(context), lines_(context) {}

  ExtractedText Read(std::string_view bytes) {
    pugi::xml_document document;
    ParseXml(document, bytes, context_, kWholeFile, XmlSpace::Drop);
    Walk(document.document_element(), 1);
    return lines_.Finish(true);
  }

 private:
  void Walk(pugi::xml_node parent, std::size_t depth) {
    CheckDepth(context_, depth, kWholeFile);
    for (pugi::xml_node child : parent.children()) {
      if (child.type() != pugi::node_element) continue;
      if (HasClass(child, "ocr_page")) {
        lines_.NewPage();
        Walk(child, depth + 1);
      } else if (IsLine(child) && !ContainsLine(child, depth + 1)) {
        ReadLine(child, depth + 1);
      } else {
        Walk(child, depth + 1);
      }
    }
  }

  // A header or a caption may be an area holding lines rather than a line itself.
  bool ContainsLine(pugi::xml_node element, std::size_t depth) {
    CheckDepth(context_, depth, kWholeFile);
    for (pugi::xml_node child : element.children()) {
      if (child.type() != pugi::node_element) continue;
      if (IsLine(child) || ContainsLine(child, depth + 1)) return true;
    }
    return false;
  }

  bool AppendWords(pugi::xml_node parent, std::size_t depth) {
    CheckDepth(context_, depth, kWholeFile);
    bool found = false;
    for (pugi::xml_node child : parent.children()) {
      if (child.type() != pugi::node_element) continue;
      if (HasClass(child, "ocrx_word")) {
        word_.clear();
        AppendTextContent(context_, child, depth + 1, word_);
        AppendWord(lines_.current(), word_);
        found = true;
      } else {
        found = AppendWords(child, depth + 1) || found;
      }
    }
    return found;
  }

  void ReadLine(pugi::xml_node line, std::size_t depth) {
    if (!AppendWords(line, depth)) AppendTextAsWords(context_, line, depth, lines_.current());
    EndOcrLine(lines_);
  }

  const ReadContext& context_;
  LineCollector lines_;
  std::u16string word_;
};

}  // namespace

ExtractedText ReadHocr(std::string_view bytes, const ReadContext& context) {
  return HocrReader(context).Read(bytes);
}

}  // namespace sorowa::formats
