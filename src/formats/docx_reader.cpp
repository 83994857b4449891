// Word (.docx): the main document part, its footnotes and endnotes, read as a person reads
// the document with every tracked change accepted. A paragraph is a line (a heading, a
// paragraph in a table cell, in a text box or in a footnote alike); a line break inside a
// paragraph starts a new line. Text boxes and footnotes follow the paragraph they are
// anchored in or cited from; endnotes come at the end.

#include <map>
#include <optional>

#include "formats/readers.h"
#include "formats/xml_parse.h"
#include "formats/zip_archive.h"

namespace sorowa::formats {

namespace {

constexpr std::string_view kWord = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
// The same vocabulary in ISO 29500 Strict.
constexpr std::string_view kWordStrict = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr std::string_view kCompatibility =
    "http://schemas.openxmlformats.org/markup-compatibility/2006";
constexpr std::string_view kRelationships =
    "http://schemas.openxmlformats.org/package/2006/relationships";

bool IsWord(std::string_view uri) { return uri == kWord || uri == kWordStrict; }

// The lines of a run of paragraphs. A paragraph whose mark was deleted joins the next one.
struct Output {
  std::vector<std::u16string> lines;
  std::optional<std::u16string> joining;  // text of a paragraph whose mark was deleted
};

// A paragraph being read.
struct Paragraph {
  std::u16string text;                // the line being built
  std::vector<std::u16string> lines;  // lines ended by breaks inside the paragraph
  std::vector<std::u16string> after;  // text boxes and footnotes anchored here
};

// A path inside the package, from a relationship's target and the folder of its source.
std::string ResolveTarget(std::string_view folder, std::string_view target) {
  std::string path;
  if (target.starts_with('/')) {
    target.remove_prefix(1);
  } else {
    path = folder;
  }
  while (!target.empty()) {
    const std::size_t slash = target.find('/');
    const std::string_view segment = target.substr(0, slash);
    target = slash == target.npos ? std::string_view() : target.substr(slash + 1);
    if (segment == "..") {
      if (!path.empty()) path.pop_back();
      path.erase(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    } else if (!segment.empty() && segment != ".") {
      path.append(segment);
      if (slash != std::string_view::npos) path.push_back('/');
    }
  }
  return path;
}

class DocxReader {
 public:
  explicit DocxReader(const ReadContext& context) : context_(context) {}

  ExtractedText Read(std::string_view bytes);

 private:
  // Relationship targets of one part by the last segment of their type.
  std::map<std::string, std::string, std::less<>> Relationships(const ZipArchive& archive,
                                                                const std::string& part);
  void ReadNotes(const ZipArchive& archive, const std::string& part,
                 std::map<std::string, std::vector<std::u16string>, std::less<>>& notes);

  void Blocks(pugi::xml_node parent, std::size_t depth, Output& out);
  void Block(pugi::xml_node element, std::size_t depth, Output& out);
  void ReadParagraph(pugi::xml_node element, std::size_t depth, Output& out);
  void Inline(pugi::xml_node parent, std::size_t depth, Paragraph& paragraph);
  void InlineElement(pugi::xml_node element, std::size_t depth, Paragraph& paragraph);
  bool HasWordChild(pugi::xml_node element, std::string_view local,
                    pugi::xml_node* found = nullptr) const;
  void Flush(Output& out);

  const ReadContext& context_;
  Namespaces namespaces_;
  std::string part_;
  std::map<std::string, std::vector<std::u16string>, std::less<>> footnotes_;
  std::map<std::string, std::vector<std::u16string>, std::less<>> endnotes_;
  std::vector<std::u16string> endnoteLines_;
  std::uint64_t copiedUnits_ = 0;
};

std::map<std::string, std::string, std::less<>> DocxReader::Relationships(const ZipArchive& archive,
                                                                          const std::string& part) {
  std::map<std::string, std::string, std::less<>> targets;
  const std::size_t slash = part.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
  const std::string relsName = folder + "_rels/" + name + ".rels";
  const std::optional<std::string> rels = archive.Read(relsName);
  if (!rels) return targets;
  pugi::xml_document document;
  ParseXml(document, *rels, context_, relsName, XmlSpace::Drop);
  Namespaces namespaces;
  const pugi::xml_node root = document.document_element();
  NamespaceScope scope(namespaces, root);
  for (pugi::xml_node relationship : root.children()) {
    NamespaceScope inner(namespaces, relationship);
    const Namespaces::Name element = namespaces.Resolve(relationship);
    if (element.uri != kRelationships || element.local != "Relationship") continue;
    if (std::string_view(relationship.attribute("TargetMode").value()) == "External") continue;
    const std::string_view type = relationship.attribute("Type").value();
    const std::string_view kind = type.substr(type.rfind('/') + 1);
    targets.emplace(std::string(kind),
                    ResolveTarget(folder, relationship.attribute("Target").value()));
  }
  return targets;
}

void DocxReader::ReadNotes(const ZipArchive& archive, const std::string& part,
                           std::map<std::string, std::vector<std::u16string>, std::less<>>& notes) {
  const std::optional<std::string> bytes = archive.Read(part);
  if (!bytes) return;
  pugi::xml_document document;
  ParseXml(document, *bytes, context_, part, XmlSpace::KeepSingle);
  part_ = part;
  const pugi::xml_node root = document.document_element();
  NamespaceScope scope(namespaces_, root);
  for (pugi::xml_node note : root.children()) {
    if (note.type() != pugi::node_element) continue;
    NamespaceScope inner(namespaces_, note);
    const Namespaces::Name name = namespaces_.Resolve(note);
    if (!IsWord(name.uri) || (name.local != "footnote" && name.local != "endnote")) continue;
    // The separator lines above the notes are notes too, of a type of their own.
    const char* type = namespaces_.Attribute(note, name.uri, "type");
    if (type != nullptr && std::string_view(type) != "normal") continue;
    const char* id = namespaces_.Attribute(note, name.uri, "id");
    if (id == nullptr) continue;
    Output out;
    Blocks(note, 2, out);
    Flush(out);
    notes[id] = std::move(out.lines);
  }
}

bool DocxReader::HasWordChild(pugi::xml_node element, std::string_view local,
                              pugi::xml_node* found) const {
  for (pugi::xml_node child : element.children()) {
    if (child.type() != pugi::node_element || LocalName(child.name()) != local) continue;
    // Properties declare no namespaces of their own in any file Word writes; the prefix in
    // scope of the element is the one to check.
    if (IsWord(namespaces_.Resolve(child).uri)) {
      if (found != nullptr) *found = child;
      return true;
    }
  }
  return false;
}

void DocxReader::Flush(Output& out) {
  if (out.joining) {
    out.lines.push_back(std::move(*out.joining));
    out.joining.reset();
  }
}

// Of alternatives of the same content, the one read: the first choice, else the first
// fallback, never both; null when there is neither.
pugi::xml_node ChosenAlternative(pugi::xml_node alternateContent) {
  for (const char* kind : {"Choice", "Fallback"}) {
    for (pugi::xml_node child : alternateContent.children()) {
      if (child.type() == pugi::node_element && LocalName(child.name()) == kind) return child;
    }
  }
  return {};
}

void DocxReader::Blocks(pugi::xml_node parent, std::size_t depth, Output& out) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element) Block(child, depth + 1, out);
  }
}

void DocxReader::Block(pugi::xml_node element, std::size_t depth, Output& out) {
  CheckDepth(context_, depth, part_);
  NamespaceScope scope(namespaces_, element);
  const Namespaces::Name name = namespaces_.Resolve(element);
  if (name.uri == kCompatibility) {
    if (name.local != "AlternateContent") return;
    if (const pugi::xml_node chosen = ChosenAlternative(element)) {
      NamespaceScope inner(namespaces_, chosen);
      Blocks(chosen, depth + 1, out);
    }
    return;
  }
  if (IsWord(name.uri)) {
    const std::string_view local = name.local;
    if (local == "p") return ReadParagraph(element, depth, out);
    // Deleted and moved-away content reads as gone.
    if (local == "del" || local == "moveFrom") return;
    if (local == "tr") {
      pugi::xml_node properties;
      if (HasWordChild(element, "trPr", &properties)) {
        NamespaceScope inner(namespaces_, properties);
        if (HasWordChild(properties, "del")) return;
      }
    }
    // Properties hold no text that is shown.
    if (local.ends_with("Pr") || local == "tblGrid" || local == "sdtEndPr") return;
  }
  Blocks(element, depth, out);
}

void DocxReader::ReadParagraph(pugi::xml_node element, std::size_t depth, Output& out) {
  Paragraph paragraph;
  if (out.joining) {
    paragraph.text = std::move(*out.joining);
    out.joining.reset();
  }
  Inline(element, depth, paragraph);
  bool markDeleted = false;
  pugi::xml_node properties;
  if (HasWordChild(element, "pPr", &properties)) {
    NamespaceScope inner(namespaces_, properties);
    pugi::xml_node markProperties;
    if (HasWordChild(properties, "rPr", &markProperties)) {
      NamespaceScope mark(namespaces_, markProperties);
      markDeleted = HasWordChild(markProperties, "del");
    }
  }
  for (std::u16string& line : paragraph.lines) out.lines.push_back(std::move(line));
  if (markDeleted) {
    // Accepting the deletion of the mark joins this paragraph's last line with the next.
    out.joining = std::move(paragraph.text);
  } else {
    out.lines.push_back(std::move(paragraph.text));
  }
  for (std::u16string& line : paragraph.after) out.lines.push_back(std::move(line));
}

void DocxReader::Inline(pugi::xml_node parent, std::size_t depth, Paragraph& paragraph) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element) InlineElement(child, depth + 1, paragraph);
  }
}

void DocxReader::InlineElement(pugi::xml_node element, std::size_t depth, Paragraph& paragraph) {
  CheckDepth(context_, depth, part_);
  NamespaceScope scope(namespaces_, element);
  const Namespaces::Name name = namespaces_.Resolve(element);
  if (name.uri == kCompatibility) {
    if (name.local != "AlternateContent") return;
    if (const pugi::xml_node chosen = ChosenAlternative(element)) {
      NamespaceScope inner(namespaces_, chosen);
      Inline(chosen, depth + 1, paragraph);
    }
    return;
  }
  if (!IsWord(name.uri)) return Inline(element, depth, paragraph);  // drawings and the like
  const std::string_view local = name.local;
  if (local == "t") {
    for (pugi::xml_node text : element.children()) {
      if (text.type() == pugi::node_pcdata || text.type() == pugi::node_cdata) {
        AppendXmlText(context_, paragraph.text, text.value());
      }
    }
  } else if (local == "tab" || local == "ptab") {
    paragraph.text.push_back(u'\t');
  } else if (local == "br" || local == "cr") {
    // A page or column break moves text on without ending its line of thought; a line
    // break ends the line.
    const char* type = namespaces_.Attribute(element, name.uri, "type");
    const std::string_view kind = type == nullptr ? "textWrapping" : type;
    if (local == "cr" || kind == "textWrapping") {
      paragraph.lines.push_back(std::move(paragraph.text));
      paragraph.text.clear();
    }
  } else if (local == "noBreakHyphen") {
    paragraph.text.push_back(u'-');
  } else if (local == "ruby") {
    pugi::xml_node base, annotation;
    HasWordChild(element, "rubyBase", &base);
    HasWordChild(element, "rt", &annotation);
    if (base) {
      NamespaceScope inner(namespaces_, base);
      Inline(base, depth + 1, paragraph);
    }
    if (annotation && context_.options.keepRuby) {
      NamespaceScope inner(namespaces_, annotation);
      Paragraph ruby;
      Inline(annotation, depth + 1, ruby);
      paragraph.text += u'（';
      paragraph.text += ruby.text;
      paragraph.text += u'）';
    }
  } else if (local == "footnoteReference" || local == "endnoteReference") {
    const char* id = namespaces_.Attribute(element, name.uri, "id");
    if (id != nullptr) {
      auto& notes = local == "footnoteReference" ? footnotes_ : endnotes_;
      if (const auto found = notes.find(std::string_view(id)); found != notes.end()) {
        auto& target = local == "footnoteReference" ? paragraph.after : endnoteLines_;
        // A note cited again is read again; the copies count against the text limit, or a
        // long note cited a million times would fill the memory.
        for (const std::u16string& line : found->second) {
          copiedUnits_ += line.size() + 1;
          if (copiedUnits_ > context_.limits().textUnits) {
            context_.LimitExceeded("the text of the notes as cited (UTF-16 code units)",
                                   copiedUnits_, context_.limits().textUnits);
          }
          target.push_back(line);
        }
      }
    }
  } else if (local == "p" || local == "tbl" || local == "txbxContent") {
    // Paragraphs inside a paragraph: a text box's, read as lines after it.
    Output nested;
    if (local == "p") {
      ReadParagraph(element, depth, nested);
    } else {
      Blocks(element, depth, nested);
    }
    Flush(nested);
    for (std::u16string& line : nested.lines) paragraph.after.push_back(std::move(line));
  } else if (local == "del" || local == "moveFrom" || local == "delText" || local == "instrText" ||
             local == "delInstrText" || local.ends_with("Pr") || local == "sym" ||
             local == "softHyphen") {
    // Deleted text, field instructions, properties, symbols of symbol fonts: nothing a reader
    // reads as text.
  } else {
    Inline(element, depth, paragraph);  // runs, insertions, hyperlinks, fields, content controls
  }
}

ExtractedText DocxReader::Read(std::string_view bytes) {
  if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    // The compound file of an encrypted package names its stream in UTF-16.
    constexpr char16_t kStream[] = u"EncryptedPackage";
    const std::string_view stream(reinterpret_cast<const char*>(kStream), 32);
    if (bytes.find(stream) != bytes.npos) {
      context_.Encrypted("save it in Word without a password and open it again");
    }
    context_.Unsupported("an old Word document (.doc)", "save it as .docx and open it again");
  }
  const ZipArchive archive(bytes, context_);
  std::string main = "word/document.xml";
  if (const auto targets = Relationships(archive, ""); targets.contains("officeDocument")) {
    main = targets.find("officeDocument")->second;
  }
  const std::optional<std::string> document = archive.Read(main);
  if (!document) {
    if (archive.Has("content.xml")) {
      context_.Unsupported("an OpenDocument file", "open it as OpenDocument (odt)");
    }
    context_.Unsupported("a zip archive without a Word document (" + main + ")",
                         "save the document as .docx and open it again");
  }
  const auto targets = Relationships(archive, main);
  if (const auto found = targets.find("footnotes"); found != targets.end()) {
    ReadNotes(archive, found->second, footnotes_);
  }
  if (const auto found = targets.find("endnotes"); found != targets.end()) {
    ReadNotes(archive, found->second, endnotes_);
  }

  pugi::xml_document xml;
  ParseXml(xml, *document, context_, main, XmlSpace::KeepSingle);
  part_ = main;
  const pugi::xml_node root = xml.document_element();
  NamespaceScope scope(namespaces_, root);
  const Namespaces::Name rootName = namespaces_.Resolve(root);
  if (!IsWord(rootName.uri) || rootName.local != "document") {
    context_.Unsupported(
        "an Office file other than a Word document (its main part is " + main + ")",
        "save the document as .docx and open it again");
  }
  Output out;
  Blocks(root, 1, out);
  Flush(out);
  for (std::u16string& line : endnoteLines_) out.lines.push_back(std::move(line));

  LineCollector collector(context_);
  collector.AddLines(std::move(out.lines));
  return collector.Finish(false);
}

}  // namespace

ExtractedText ReadDocx(std::string_view bytes, const ReadContext& context) {
  return DocxReader(context).Read(bytes);
}

}  // namespace sorowa::formats
