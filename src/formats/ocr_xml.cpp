#include "formats/ocr_xml.h"

namespace sorowa::formats {

void AppendTextContent(const ReadContext& context, pugi::xml_node element, std::size_t depth,
                       std::u16string& out) {
  CheckDepth(context, depth, kWholeFile);
  for (pugi::xml_node child : element.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      AppendXmlText(context, out, child.value());
    } else if (child.type() == pugi::node_element) {
      AppendTextContent(context, child, depth + 1, out);
    }
  }
}

void AppendTextAsWords(const ReadContext& context, pugi::xml_node element, std::size_t depth,
                       std::u16string& line) {
  CheckDepth(context, depth, kWholeFile);
  for (pugi::xml_node child : element.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      const std::u16string text = XmlText(context, child.value());
      std::size_t start = 0;
      while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != u' ' && text[end] != u'\t' && text[end] != u'\n' &&
               text[end] != u'\r') {
          ++end;
        }
        AppendWord(line, std::u16string_view(text).substr(start, end - start));
        start = end + 1;
      }
    } else if (child.type() == pugi::node_element) {
      AppendTextAsWords(context, child, depth + 1, line);
    }
  }
}

}  // namespace sorowa::formats
