// ALTO: a Page is a page, a TextLine a line, its String elements the words (their CONTENT)
// and a HYP the hyphen that ends a line. The SP elements between words are not read: the
// words are joined as Japanese and Latin text want, whatever spacing the engine recorded.

#include "formats/ocr_xml.h"
#include "formats/readers.h"

namespace sorowa::formats {

namespace {

class AltoReader {
 public:
  explicit AltoReader(const ReadContext& context) : context_(context), lines_(context) {}

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
      const std::string_view name = LocalName(child.name());
      if (name == "TextLine") {
        ReadLine(child);
        continue;
      }
      if (name == "Page") lines_.NewPage();
      Walk(child, depth + 1);
    }
  }

  void ReadLine(pugi::xml_node line) {
    std::u16string& text = lines_.current();
    for (pugi::xml_node child : line.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::string_view name = LocalName(child.name());
      if (name == "String") {
        word_.clear();
        AppendXmlText(context_, word_, child.attribute("CONTENT").value());
        AppendWord(text, word_);
      } else if (name == "HYP") {
        AppendXmlText(context_, text, child.attribute("CONTENT").value());
      }
    }
    EndOcrLine(lines_);
  }

  const ReadContext& context_;
  LineCollector lines_;
  std::u16string word_;
};

}  // namespace

ExtractedText ReadAlto(std::string_view bytes, const ReadContext& context) {
  return AltoReader(context).Read(bytes);
}

}  // namespace sorowa::formats
