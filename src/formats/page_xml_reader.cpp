// PAGE-XML: the ground truth format of OCR. Lines are TextLine elements, read from their
// TextEquiv (the one of lowest index) or else from their words; regions come in the order of
// the ReadingOrder when there is one (ordered groups by index, unordered ones as written),
// then every region the order leaves out, in document order, so that no line is lost.

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "formats/ocr_xml.h"
#include "formats/readers.h"

namespace sorowa::formats {

namespace {

bool IsRegion(std::string_view name) { return name.ends_with("Region"); }

class PageXmlReader {
 public:
  explicit PageXmlReader(const ReadContext& context) : context_(context), lines_(context) {}

  ExtractedText Read(std::string_view bytes) {
    pugi::xml_document document;
    ParseXml(document, bytes, context_, kWholeFile, XmlSpace::Drop);
    const pugi::xml_node root = document.document_element();
    if (LocalName(root.name()) != "PcGts") context_.Damaged("the root element is not PcGts");
    for (pugi::xml_node page : root.children()) {
      if (page.type() != pugi::node_element || LocalName(page.name()) != "Page") continue;
      lines_.NewPage();
      ReadPage(page);
    }
    return lines_.Finish(true);
  }

 private:
  void ReadPage(pugi::xml_node page) {
    regions_.clear();
    order_.clear();
    ordered_.clear();
    done_.clear();
    CollectRegions(page, 1);
    for (pugi::xml_node child : page.children()) {
      if (child.type() == pugi::node_element && LocalName(child.name()) == "ReadingOrder") {
        for (pugi::xml_node group : child.children()) {
          if (group.type() == pugi::node_element) Order(group, 2);
        }
      }
    }
    for (const std::string_view id : order_) ordered_.insert(id);
    std::unordered_set<std::string_view> visited;
    for (const std::string_view id : order_) {
      if (!visited.insert(id).second) continue;  // named twice: its place is the first
      if (const auto found = regions_.find(id); found != regions_.end()) {
        EmitLines(found->second, 2, true);
      }
    }
    EmitLines(page, 1, false);
  }

  void CollectRegions(pugi::xml_node parent, std::size_t depth) {
    CheckDepth(context_, depth, kWholeFile);
    for (pugi::xml_node child : parent.children()) {
      if (child.type() != pugi::node_element) continue;
      if (IsRegion(LocalName(child.name()))) {
        const char* id = child.attribute("id").value();
        if (*id != '\0') regions_.emplace(id, child);
      }
      CollectRegions(child, depth + 1);
    }
  }

  // The region ids of a group of the reading order, flattened in reading order.
  void Order(pugi::xml_node group, std::size_t depth) {
    CheckDepth(context_, depth, kWholeFile);
    const std::string_view kind = LocalName(group.name());
    if (kind.starts_with("RegionRef")) {
      order_.push_back(group.attribute("regionRef").value());
      return;
    }
    if (!kind.starts_with("OrderedGroup") && !kind.starts_with("UnorderedGroup")) return;
    if (const char* own = group.attribute("regionRef").value(); *own != '\0') {
      order_.push_back(own);
    }
    std::vector<pugi::xml_node> members;
    for (pugi::xml_node child : group.children()) {
      if (child.type() == pugi::node_element) members.push_back(child);
    }
    if (kind.starts_with("OrderedGroup")) {
      std::stable_sort(members.begin(), members.end(), [](pugi::xml_node a, pugi::xml_node b) {
        return a.attribute("index").as_llong(0) < b.attribute("index").as_llong(0);
      });
    }
    for (pugi::xml_node member : members) Order(member, depth + 1);
  }

  // The lines below element not read yet, in document order. A region that the reading
  // order names gets its own turn, so a walk through its parent skips it.
  void EmitLines(pugi::xml_node element, std::size_t depth, bool isOwnTurn) {
    CheckDepth(context_, depth, kWholeFile);
    for (pugi::xml_node child : element.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::string_view name = LocalName(child.name());
      if (name == "TextLine") {
        if (done_.insert(child.internal_object()).second) ReadLine(child, depth + 1);
        continue;
      }
      if (isOwnTurn && IsRegion(name) && ordered_.contains(child.attribute("id").value())) {
        continue;
      }
      if (name == "ReadingOrder") continue;
      EmitLines(child, depth + 1, isOwnTurn);
    }
  }

  // The text of an element's best TextEquiv (lowest index; the first without indexes).
  bool BestText(pugi::xml_node element, std::size_t depth, std::u16string& out) {
    pugi::xml_node best;
    long long bestIndex = 0;
    for (pugi::xml_node child : element.children()) {
      if (child.type() != pugi::node_element || LocalName(child.name()) != "TextEquiv") continue;
      const long long index = child.attribute("index").as_llong(0);
      if (!best || index < bestIndex) {
        best = child;
        bestIndex = index;
      }
    }
    if (!best) return false;
    for (pugi::xml_node child : best.children()) {
      if (child.type() == pugi::node_element && LocalName(child.name()) == "Unicode") {
        AppendTextContent(context_, child, depth + 2, out);
        return true;
      }
    }
    return false;
  }

  void ReadLine(pugi::xml_node line, std::size_t depth) {
    std::u16string& text = lines_.current();
    if (!BestText(line, depth, text)) {
      for (pugi::xml_node word : line.children()) {
        if (word.type() != pugi::node_element || LocalName(word.name()) != "Word") continue;
        word_.clear();
        BestText(word, depth + 1, word_);
        AppendWord(text, word_);
      }
    }
    EndOcrLine(lines_);
  }

  const ReadContext& context_;
  LineCollector lines_;
  std::unordered_map<std::string_view, pugi::xml_node> regions_;
  std::vector<std::string_view> order_;
  std::unordered_set<std::string_view> ordered_;
  std::unordered_set<const void*> done_;
  std::u16string word_;
};

}  // namespace

ExtractedText ReadPageXml(std::string_view bytes, const ReadContext& context) {
  return PageXmlReader(context).Read(bytes);
}

}  // namespace sorowa::formats
