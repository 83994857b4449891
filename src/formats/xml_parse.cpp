#include "formats/xml_parse.h"

#include <cstring>

#include "base/utf8.h"
#include "text/input_decoding.h"

namespace sorowa::formats {

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The encoding the XML declaration names, or empty.
std::string_view DeclaredEncoding(std::string_view declaration) {
  const std::size_t at = declaration.find("encoding");
  if (at == declaration.npos) return {};
  std::size_t i = at + 8;
  while (i < declaration.size() && (IsXmlSpace(declaration[i]) || declaration[i] == '=')) ++i;
  if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return {};
  const char quote = declaration[i];
  const std::size_t end = declaration.find(quote, i + 1);
  if (end == declaration.npos) return {};
  return declaration.substr(i + 1, end - i - 1);
}

// Looks through the prolog (declaration, comments, processing instructions, document type)
// up to the root element and refuses what pugixml should never see.
void CheckProlog(std::string_view bytes, const ReadContext& context, std::string_view part,
                 bool wasUtf16) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    while (i < bytes.size() && IsXmlSpace(bytes[i])) ++i;
    const std::string_view rest = bytes.substr(i);
    if (rest.starts_with("<?xml") && rest.size() > 5 && IsXmlSpace(rest[5])) {
      const std::size_t end = rest.find("?>");
      const std::string_view encoding = DeclaredEncoding(rest.substr(0, end));
      if (!encoding.empty() && !EqualsIgnoringCase(encoding, "UTF-8") &&
          !EqualsIgnoringCase(encoding, "UTF8") && !EqualsIgnoringCase(encoding, "US-ASCII") &&
          !(wasUtf16 && EqualsIgnoringCase(encoding.substr(0, 6), "UTF-16"))) {
        context.Unsupported(std::string(part) + " in the encoding " + std::string(encoding),
                            "save it as UTF-8");
      }
      if (end == rest.npos) return;  // the parser says what is wrong
      i += end + 2;
    } else if (rest.starts_with("<?")) {
      const std::size_t end = rest.find("?>");
      if (end == rest.npos) return;
      i += end + 2;
    } else if (rest.starts_with("<!--")) {
      const std::size_t end = rest.find("-->");
      if (end == rest.npos) return;
      i += end + 3;
    } else if (rest.starts_with("<!DOCTYPE")) {
      // Without an internal subset the type only names a DTD, which nothing here fetches.
      const std::size_t close = rest.find('>');
      const std::size_t open = rest.find('[');
      if (open != rest.npos && (close == rest.npos || open < close)) {
        context.Unsupported(
            "an internal document type subset (<!DOCTYPE … [ … ]>) in " + std::string(part),
            "its entity declarations could expand without bounds or reach other files; remove "
            "the subset");
      }
      if (close == rest.npos) return;
      i += close + 1;
    } else {
      return;  // the root element, or something the parser will refuse
    }
  }
}

std::string Describe(const pugi::xml_parse_result& result) {
  return std::string(result.description()) + " at byte " + std::to_string(result.offset);
}

}  // namespace

void ParseXml(pugi::xml_document& document, std::string_view bytes, const ReadContext& context,
              std::string_view part, XmlSpace space) {
  // UTF-16 files are turned into UTF-8 first, so that the checks below read them too.
  std::string converted;
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
      bytes.starts_with(std::string_view("<\0", 2)) ||
      bytes.starts_with(std::string_view("\0<", 2))) {
    const char* encoding =
        bytes.starts_with("\xFF\xFE") || bytes[0] == '<' ? "UTF-16LE" : "UTF-16BE";
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) bytes.remove_prefix(2);
    try {
      converted = ToUtf8(DecodeInput(bytes, encoding));
    } catch (const std::exception& error) {
      context.Damaged(std::string(part) + ": " + error.what());
    }
    bytes = converted;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  CheckProlog(bytes, context, part, !converted.empty());

  std::uint64_t markup = 0;
  for (const char* p = bytes.data();
       (p = static_cast<const char*>(std::memchr(p, '<', bytes.data() + bytes.size() - p))) !=
       nullptr;
       ++p) {
    ++markup;
  }
  if (markup > context.limits().xmlElements) {
    context.LimitExceeded("the markup of " + std::string(part) + " (tags)", markup,
                          context.limits().xmlElements);
  }

  unsigned flags =
      pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_wconv_attribute;
  if (space == XmlSpace::KeepSingle) flags |= pugi::parse_ws_pcdata_single;
  if (space == XmlSpace::Keep) flags |= pugi::parse_ws_pcdata;
  const pugi::xml_parse_result result =
      document.load_buffer(bytes.data(), bytes.size(), flags, pugi::encoding_utf8);
  if (!result) context.Damaged(std::string(part) + ": " + Describe(result));
  if (!document.document_element()) context.Damaged(std::string(part) + ": no root element");
}

std::string_view LocalName(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon == nullptr ? std::string_view(name) : std::string_view(colon + 1);
}

std::size_t Namespaces::Enter(pugi::xml_node element) {
  std::size_t count = 0;
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    const char* name = attribute.name();
    if (std::strncmp(name, "xmlns", 5) != 0) continue;
    if (name[5] == '\0') {
      declarations_.emplace_back(std::string_view(), attribute.value());
      ++count;
    } else if (name[5] == ':') {
      declarations_.emplace_back(std::string_view(name + 6), attribute.value());
      ++count;
    }
  }
  return count;
}

Namespaces::Name Namespaces::Resolve(std::string_view qualified, bool attribute) const {
  const std::size_t colon = qualified.find(':');
  std::string_view prefix;
  Name name{{}, qualified};
  if (colon != qualified.npos) {
    prefix = qualified.substr(0, colon);
    name.local = qualified.substr(colon + 1);
  } else if (attribute) {
    return name;  // an attribute without a prefix is in no namespace
  }
  if (prefix == "xml") {
    name.uri = "http://www.w3.org/XML/1998/namespace";
    return name;
  }
  for (auto it = declarations_.rbegin(); it != declarations_.rend(); ++it) {
    if (it->first == prefix) {
      name.uri = it->second;
      return name;
    }
  }
  return name;
}

const char* Namespaces::Attribute(pugi::xml_node element, std::string_view uri,
                                  std::string_view local) const {
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    const Name name = Resolve(attribute.name(), true);
    if (name.local == local && name.uri == uri) return attribute.value();
  }
  return nullptr;
}

}  // namespace sorowa::formats
