// OpenDocument text (.odt): content.xml, read as the document shows with every tracked
// change accepted (the body already holds the accepted text; the deleted text waits in
// text:tracked-changes, which is left out). A paragraph or heading is a line, in table cells,
// lists, sections, frames and notes alike; a line break starts a new line. Frames and
// footnotes follow the paragraph they are anchored in; endnotes come at the end. White space
// is collapsed as the format prescribes: runs of spaces, tabs and line feeds in the file are
// one space, leading ones in a paragraph none; text:s, text:tab and text:line-break are the
// spaces, tabs and breaks that count.

#include <optional>

#include "formats/readers.h"
#include "formats/xml_parse.h"
#include "formats/zip_archive.h"

namespace sorowa::formats {

namespace {

constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kContent = "content.xml";

struct Paragraph {
  std::u16string text;
  std::vector<std::u16string> lines;  // lines ended by breaks inside the paragraph
  std::vector<std::u16string> after;  // frames and footnotes anchored here
  bool afterSpace = true;             // white space in the file adds nothing here
};

class OdtReader {
 public:
  explicit OdtReader(const ReadContext& context) : context_(context) {}
  ExtractedText Read(std::string_view bytes);

 private:
  void Blocks(pugi::xml_node parent, std::size_t depth, std::vector<std::u16string>& out);
  void Block(pugi::xml_node element, std::size_t depth, std::vector<std::u16string>& out);
  void ReadParagraph(pugi::xml_node element, std::size_t depth, std::vector<std::u16string>& out);
  void Inline(pugi::xml_node parent, std::size_t depth, Paragraph& paragraph);
  void InlineElement(pugi::xml_node element, std::size_t depth, Paragraph& paragraph);
  void AppendCollapsed(Paragraph& paragraph, std::string_view utf8);
  // Counts text against the limit before it is added: text:s multiplies a few bytes.
  void Count(std::uint64_t units);

  const ReadContext& context_;
  std::uint64_t units_ = 0;
  Namespaces namespaces_;
  std::vector<std::u16string> endnoteLines_;
};

void OdtReader::Blocks(pugi::xml_node parent, std::size_t depth, std::vector<std::u16string>& out) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element) Block(child, depth + 1, out);
  }
}

void OdtReader::Block(pugi::xml_node element, std::size_t depth, std::vector<std::u16string>& out) {
  CheckDepth(context_, depth, kContent);
  NamespaceScope scope(namespaces_, element);
  const Namespaces::Name name = namespaces_.Resolve(element);
  if (name.uri == kText) {
    if (name.local == "p" || name.local == "h") return ReadParagraph(element, depth, out);
    // Deleted text of tracked changes, the templates an index is generated from, the
    // declarations of variables: none of it is shown.
    if (name.local == "tracked-changes" || name.local.ends_with("-source") ||
        name.local.ends_with("-decls")) {
      return;
    }
  }
  if (name.uri == kOffice && (name.local == "forms" || name.local == "annotation")) return;
  Blocks(element, depth, out);
}

void OdtReader::ReadParagraph(pugi::xml_node element, std::size_t depth,
                              std::vector<std::u16string>& out) {
  Paragraph paragraph;
  Inline(element, depth, paragraph);
  for (std::u16string& line : paragraph.lines) out.push_back(std::move(line));
  out.push_back(std::move(paragraph.text));
  for (std::u16string& line : paragraph.after) out.push_back(std::move(line));
}

void OdtReader::Count(std::uint64_t units) {
  units_ += units;
  if (units_ > context_.limits().textUnits) {
    context_.LimitExceeded("the extracted text (UTF-16 code units)", units_,
                           context_.limits().textUnits);
  }
}

void OdtReader::AppendCollapsed(Paragraph& paragraph, std::string_view utf8) {
  std::u16string text;
  AppendXmlText(context_, text, utf8);
  Count(text.size());
  for (char16_t c : text) {
    if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
      if (!paragraph.afterSpace) paragraph.text.push_back(u' ');
      paragraph.afterSpace = true;
    } else {
      paragraph.text.push_back(c);
      paragraph.afterSpace = false;
    }
  }
}

void OdtReader::Inline(pugi::xml_node parent, std::size_t depth, Paragraph& paragraph) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      AppendCollapsed(paragraph, child.value());
    } else if (child.type() == pugi::node_element) {
      InlineElement(child, depth + 1, paragraph);
    }
  }
}

void OdtReader::InlineElement(pugi::xml_node element, std::size_t depth, Paragraph& paragraph) {
  CheckDepth(context_, depth, kContent);
  NamespaceScope scope(namespaces_, element);
  const Namespaces::Name name = namespaces_.Resolve(element);
  if (name.uri == kOffice) return;  // comments and their ends
  if (name.uri != kText) {
    // Frames, shapes and the like: their paragraphs become lines after this one; their
    // titles and descriptions are not text of the document.
    if (name.local == "title" || name.local == "desc") return;
    std::vector<std::u16string> nested;
    Blocks(element, depth, nested);
    for (std::u16string& line : nested) paragraph.after.push_back(std::move(line));
    return;
  }
  const std::string_view local = name.local;
  if (local == "s") {
    const char* count = namespaces_.Attribute(element, kText, "c");
    std::uint64_t spaces = 1;
    if (count != nullptr) {
      spaces = 0;
      for (const char* p = count; *p >= '0' && *p <= '9' && spaces <= context_.limits().textUnits;
           ++p) {
        spaces = spaces * 10 + static_cast<std::uint64_t>(*p - '0');
      }
    }
    Count(spaces);
    paragraph.text.append(static_cast<std::size_t>(spaces), u' ');
    paragraph.afterSpace = false;
  } else if (local == "tab") {
    paragraph.text.push_back(u'\t');
    paragraph.afterSpace = false;
  } else if (local == "line-break") {
    paragraph.lines.push_back(std::move(paragraph.text));
    paragraph.text.clear();
    paragraph.afterSpace = true;
  } else if (local == "ruby") {
    for (pugi::xml_node child : element.children()) {
      if (child.type() != pugi::node_element) continue;
      NamespaceScope inner(namespaces_, child);
      const std::string_view part = namespaces_.Resolve(child).local;
      if (part == "ruby-base") {
        Inline(child, depth + 1, paragraph);
      } else if (part == "ruby-text" && context_.options.keepRuby) {
        Paragraph ruby;
        Inline(child, depth + 1, ruby);
        paragraph.text += u'（';
        paragraph.text += ruby.text;
        paragraph.text += u'）';
        paragraph.afterSpace = false;
      }
    }
  } else if (local == "note") {
    const char* noteClass = namespaces_.Attribute(element, kText, "note-class");
    const bool endnote = noteClass != nullptr && std::string_view(noteClass) == "endnote";
    for (pugi::xml_node child : element.children()) {
      if (child.type() != pugi::node_element) continue;
      NamespaceScope inner(namespaces_, child);
      if (namespaces_.Resolve(child).local != "note-body") continue;  // not the citation mark
      std::vector<std::u16string> lines;
      Blocks(child, depth + 1, lines);
      auto& target = endnote ? endnoteLines_ : paragraph.after;
      for (std::u16string& line : lines) target.push_back(std::move(line));
    }
  } else if (local == "p" || local == "h" || local == "list" || local == "section") {
    std::vector<std::u16string> nested;
    Block(element, depth, nested);
    for (std::u16string& line : nested) paragraph.after.push_back(std::move(line));
  } else if (local == "tracked-changes" || local == "number" || local == "hidden-text" ||
             local == "change" || local == "change-start" || local == "change-end" ||
             local == "bookmark" || local == "bookmark-start" || local == "bookmark-end") {
    // Deleted text, cached numbering, hidden text and markers.
  } else {
    Inline(element, depth, paragraph);  // spans, links, fields, metadata
  }
}

ExtractedText OdtReader::Read(std::string_view bytes) {
  const ZipArchive archive(bytes, context_);
  if (const std::optional<std::string> mimetype = archive.Read("mimetype")) {
    if (!mimetype->starts_with("application/vnd.oasis.opendocument.text")) {
      context_.Unsupported("an OpenDocument file of another kind (" + mimetype->substr(0, 80) + ")",
                           "open a text document (.odt)");
    }
  }
  if (const std::optional<std::string> manifest = archive.Read("META-INF/manifest.xml")) {
    if (manifest->find("encryption-data") != std::string::npos) {
      context_.Encrypted("save it without a password and open it again");
    }
  }
  const std::optional<std::string> content = archive.Read(std::string(kContent));
  if (!content) {
    if (archive.Has("word/document.xml")) {
      context_.Unsupported("a Word document", "open it as Word (docx)");
    }
    context_.Damaged("content.xml is missing");
  }
  pugi::xml_document xml;
  ParseXml(xml, *content, context_, kContent, XmlSpace::Keep);
  const pugi::xml_node root = xml.document_element();
  NamespaceScope scope(namespaces_, root);
  const Namespaces::Name rootName = namespaces_.Resolve(root);
  if (rootName.uri != kOffice || rootName.local != "document-content") {
    context_.Damaged("content.xml holds no document content");
  }
  std::vector<std::u16string> lines;
  bool foundText = false;
  for (pugi::xml_node body : root.children()) {
    if (body.type() != pugi::node_element) continue;
    NamespaceScope bodyScope(namespaces_, body);
    if (namespaces_.Resolve(body).local != "body") continue;
    for (pugi::xml_node text : body.children()) {
      if (text.type() != pugi::node_element) continue;
      NamespaceScope textScope(namespaces_, text);
      const Namespaces::Name name = namespaces_.Resolve(text);
      if (name.uri != kOffice || name.local != "text") {
        context_.Unsupported("an OpenDocument " + std::string(name.local) + " document",
                             "open a text document (.odt)");
      }
      foundText = true;
      Blocks(text, 3, lines);
    }
  }
  if (!foundText) context_.Damaged("content.xml holds no text body");
  for (std::u16string& line : endnoteLines_) lines.push_back(std::move(line));
  LineCollector collector(context_);
  collector.AddLines(std::move(lines));
  return collector.Finish(false);
}

}  // namespace

ExtractedText ReadOdt(std::string_view bytes, const ReadContext& context) {
  return OdtReader(context).Read(bytes);
}

}  // namespace sorowa::formats
