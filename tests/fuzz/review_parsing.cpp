#include "review_parsing.h"

#include <charconv>
#include <optional>

#include "fuzz_support.h"

namespace sorowa::fuzz {
namespace {

constexpr std::string_view kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"};

bool IsVoid(std::string_view name) { return name == "meta" || name == "col" || name == "br"; }

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == ':';
}

std::size_t EntityAt(std::string_view text, std::size_t i) {
  for (std::string_view entity : kEntities) {
    if (text.substr(i).starts_with(entity)) return entity.size();
  }
  return 0;
}

// Every element closed in order (but the void ones), attributes quoted, and in text and
// attribute values no '<' or '>' and no '&' but the five entities.
std::string CheckWellFormed(std::string_view page) {
  constexpr std::string_view kDoctype = "<!DOCTYPE html>\n";
  if (!page.starts_with(kDoctype)) return "no doctype";
  std::vector<std::string_view> open;
  const auto at = [&](std::size_t i) { return " at byte " + std::to_string(i); };
  std::size_t i = kDoctype.size();
  while (i < page.size()) {
    const char c = page[i];
    if (c == '&') {
      const std::size_t length = EntityAt(page, i);
      if (length == 0) return "a bare '&'" + at(i);
      i += length;
      continue;
    }
    if (c == '>') return "a bare '>'" + at(i);
    if (c != '<') {
      ++i;
      continue;
    }
    const bool closing = page.substr(i).starts_with("</");
    std::size_t k = i + (closing ? 2 : 1);
    const std::size_t nameStart = k;
    while (k < page.size() && IsNameChar(page[k])) ++k;
    const std::string_view name = page.substr(nameStart, k - nameStart);
    if (name.empty()) return "a bare '<'" + at(i);
    if (closing) {
      if (k >= page.size() || page[k] != '>') return "a broken end tag" + at(i);
      if (open.empty() || open.back() != name) {
        return "</" + std::string(name) + "> closes " +
               (open.empty() ? std::string("nothing") : "<" + std::string(open.back()) + ">") +
               at(i);
      }
      open.pop_back();
      i = k + 1;
      continue;
    }
    bool selfClosed = false;
    for (;;) {
      while (k < page.size() && page[k] == ' ') ++k;
      if (k >= page.size()) return "a tag runs to the end" + at(i);
      if (page[k] == '>') break;
      if (page.substr(k).starts_with("/>")) {
        selfClosed = true;
        ++k;
        break;
      }
      const std::size_t attributeStart = k;
      while (k < page.size() && IsNameChar(page[k])) ++k;
      if (k == attributeStart || !page.substr(k).starts_with("=\"")) {
        return "a broken attribute" + at(k);
      }
      k += 2;
      while (k < page.size() && page[k] != '"') {
        if (page[k] == '<' || page[k] == '>') return "markup in an attribute" + at(k);
        if (page[k] == '&') {
          const std::size_t length = EntityAt(page, k);
          if (length == 0) return "a bare '&' in an attribute" + at(k);
          k += length;
        } else {
          ++k;
        }
      }
      if (k >= page.size()) return "an attribute runs to the end" + at(i);
      ++k;
    }
    i = k + 1;
    if (name == "style") {
      const std::size_t end = page.find("</style>", i);
      if (end == page.npos) return "an unclosed style sheet";
      i = end + 8;
      continue;
    }
    if (!selfClosed && !IsVoid(name)) open.push_back(name);
  }
  if (!open.empty()) return "<" + std::string(open.back()) + "> is never closed";
  return {};
}

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool LooksAt(std::string_view literal) const { return text_.substr(pos_).starts_with(literal); }
  bool Take(std::string_view literal) {
    if (!LooksAt(literal)) return false;
    pos_ += literal.size();
    return true;
  }
  // The text up to terminator, which is skipped; nullopt when there is none.
  std::optional<std::string_view> Until(std::string_view terminator) {
    const std::size_t end = text_.find(terminator, pos_);
    if (end == text_.npos) return std::nullopt;
    const std::string_view part = text_.substr(pos_, end - pos_);
    pos_ = end + terminator.size();
    return part;
  }
  std::optional<std::size_t> Number(std::string_view terminator) {
    const std::optional<std::string_view> digits = Until(terminator);
    std::size_t value = 0;
    if (!digits || digits->empty() ||
        std::from_chars(digits->data(), digits->data() + digits->size(), value).ptr !=
            digits->data() + digits->size()) {
      return std::nullopt;
    }
    return value;
  }
  // One code point of UTF-8 text.
  std::optional<char32_t> Char() {
    if (pos_ >= text_.size()) return std::nullopt;
    const auto lead = static_cast<unsigned char>(text_[pos_]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (pos_ + length > text_.size()) return std::nullopt;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text_[pos_ + k]) & 0x3F);
    }
    pos_ += length;
    return c;
  }
  std::size_t pos() const { return pos_; }
  bool AtEnd() const { return pos_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

void AppendUnit(std::u16string& text, char32_t c) {
  if (c < 0x10000) {
    text += static_cast<char16_t>(c);
  } else {
    text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// One shown character: an escaped or plain character, or a box naming a code point.
bool ReadShownChar(Cursor& in, std::u16string& text, std::string& error) {
  if (in.Take("<span class=\"x\">U+")) {
    const std::optional<std::string_view> hex = in.Until("</span>");
    unsigned value = 0;
    if (!hex || hex->size() < 4 || hex->size() > 6 ||
        std::from_chars(hex->data(), hex->data() + hex->size(), value, 16).ptr !=
            hex->data() + hex->size()) {
      error = "a broken box";
      return false;
    }
    AppendUnit(text, value);
    return true;
  }
  if (in.Take("&amp;")) return text += u'&', true;
  if (in.Take("&lt;")) return text += u'<', true;
  if (in.Take("&gt;")) return text += u'>', true;
  if (in.LooksAt("<") || in.LooksAt("&") || in.LooksAt(">")) {
    error = "unexpected markup in a text";
    return false;
  }
  const std::optional<char32_t> c = in.Char();
  if (!c) {
    error = "a text runs to the end";
    return false;
  }
  AppendUnit(text, *c);
  return true;
}

// A text cell's contents, up to and including "</td>".
bool ReadText(Cursor& in, bool source, ReviewRowRead& row, std::string& error) {
  std::u16string& text = source ? row.sourceText : row.targetText;
  while (!in.Take("</td>")) {
    if (in.Take("<i class=\"j\"></i>")) {
      ++(source ? row.sourceJoins : row.targetJoins);
      continue;
    }
    std::string_view close;
    if (in.Take("<mark>")) {
      close = "</mark>";
      ++(source ? row.substituted : row.substitutedTarget);
    } else if (source && in.Take("<del>")) {
      close = "</del>";
      ++row.deleted;
    } else if (!source && in.Take("<ins>")) {
      close = "</ins>";
      ++row.inserted;
    }
    if (!ReadShownChar(in, text, error)) return false;
    if (!close.empty() && !in.Take(close)) {
      error = "a mark that holds other than one character";
      return false;
    }
  }
  return true;
}

std::string ReadRow(Cursor& in, ReviewRowRead& row) {
  std::string error;
  const std::optional<std::size_t> number = in.Number("\" class=\"");
  if (!number) return "a row without a number";
  row.number = *number;
  const std::optional<std::string_view> rowClass = in.Until("\"><td>");
  const std::optional<std::string_view> sourceLines = rowClass ? in.Until("</td><td>") : rowClass;
  const std::optional<std::string_view> targetLines =
      sourceLines ? in.Until("</td><td class=\"st\">") : sourceLines;
  if (!targetLines) return "a broken row start";
  row.rowClass = *rowClass;
  row.sourceLines = *sourceLines;
  row.targetLines = *targetLines;
  const std::optional<std::string_view> status = in.Until("</td><td class=\"n\">");
  if (!status) return "no status cell";
  Cursor cell(*status);
  const std::optional<std::string_view> words = cell.Until("<");
  row.status = words ? std::string(*words) : std::string(*status);
  if (const std::size_t link = status->find("href=\"#p"); link != status->npos) {
    Cursor target(status->substr(link + 8));
    row.nextChange = target.Number("\"").value_or(0);
    if (row.nextChange == 0) return "a broken link";
  }
  row.unmarked = status->find("（照合できません）") != status->npos;
  row.moved = status->find("<span class=\"mv\">移動</span>") != status->npos;
  if (!in.Until("</td>")) return "no rate cell";
  if (in.Take("<td class=\"a none\">ソースにない行</td>")) {
    row.sourceMissing = true;
  } else if (!in.Take("<td class=\"a\">") || !ReadText(in, true, row, error)) {
    return error.empty() ? "no Source cell" : error;
  }
  if (in.Take("<td class=\"b none\">ターゲットにない行</td>")) {
    row.targetMissing = true;
  } else if (!in.Take("<td class=\"b\">") || !ReadText(in, false, row, error)) {
    return error.empty() ? "no Target cell" : error;
  }
  if (!in.Take("</tr>\n")) return "text after the Target cell";
  return {};
}

}  // namespace

ReviewPageRead ReadReviewPage(std::string_view page) {
  ReviewPageRead read;
  if (!IsValidUtf8(page)) {
    read.error = "not UTF-8";
    return read;
  }
  read.error = CheckWellFormed(page);
  if (!read.error.empty()) return read;
  const std::size_t body = page.find("<tbody>\n");
  constexpr std::string_view kFoot = "</tbody>\n</table>\n</body>\n</html>\n";
  if (body == page.npos || !page.ends_with(kFoot)) {
    read.error = "no table of rows";
    return read;
  }
  const std::string_view head = page.substr(0, body);
  if (const std::size_t at = head.find("<p>同一の行の組 "); at != head.npos) {
    Cursor count(head.substr(at + std::string_view("<p>同一の行の組 ").size()));
    read.leftOut = count.Number(" 組").value_or(0);
  }
  constexpr std::string_view kMoved = "<tr><th>移動した行の組</th><td>";
  if (const std::size_t at = head.find(kMoved); at != head.npos) {
    Cursor count(head.substr(at + kMoved.size()));
    read.movedPairs = count.Number(" 組").value_or(0);
  }
  if (const std::size_t at = head.find("<a href=\"#p"); at != head.npos) {
    Cursor first(head.substr(at + 11));
    read.firstChange = first.Number("\"").value_or(0);
  }
  Cursor in(page.substr(body + 8, page.size() - body - 8 - kFoot.size()));
  while (!in.AtEnd()) {
    if (!in.Take("<tr id=\"p")) {
      read.error = "not a row at row " + std::to_string(read.rows.size() + 1);
      return read;
    }
    ReviewRowRead row;
    read.error = ReadRow(in, row);
    if (!read.error.empty()) {
      read.error += " in row " + std::to_string(read.rows.size() + 1);
      return read;
    }
    read.rows.push_back(std::move(row));
  }
  return read;
}

}  // namespace sorowa::fuzz
