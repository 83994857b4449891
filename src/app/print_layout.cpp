#include "app/print_layout.h"

#include <optional>
#include <vector>

namespace sorowa {
namespace {

// A DP table as the report writes it: the caption cell spanning both rows, one cell per
// column on each row, each cell on a line of its own.
constexpr std::string_view kDpStart =
    "<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
constexpr std::string_view kCaptionEnd = "</span></td>\n";
constexpr std::string_view kCellStart = "<td class=\"";
constexpr std::string_view kCellEnd = "</td>\n";
constexpr std::string_view kBetweenRows = "</tr>\n<tr>\n";
constexpr std::string_view kTableEnd = "</tr>\n</table>\n";

// A unit of a matching table, and the bytes between two units of one row.
constexpr std::string_view kSameUnit = "<span class=\"same\">";
constexpr std::string_view kNextSameUnit = "</span>\n<span class=\"same\">";

// What the columns are made of. Every column has the same two rows of the same height, so
// that the rows line up from column to column; an empty cell keeps its height with a
// zero-width space. A column wider than the paper (one very long unit) wraps inside.
// The page is only ever printed: on screen it shows nothing, so that the browser lays it
// out once, for paper, rather than for the screen first and again after printing.
constexpr std::string_view kStylesheet =
    "<style type=\"text/css\">\n"
    "@media screen { body{ display: none; } }\n"
    ".dp{ font-size: 70%; line-height: 1.35; }\n"
    ".cap{ display: inline-block; vertical-align: top; margin-right: 2px; white-space: nowrap; }\n"
    ".col{ display: inline-block; vertical-align: top; box-sizing: border-box; max-width: 100%; "
    "margin-bottom: 4px; padding: 0 1px; text-align: center; word-break: break-all; }\n"
    ".col > b{ display: block; min-height: 1.35em; font-weight: normal; }\n"
    ".col > b:empty::before{ content: \"\\200b\"; }\n"
    "td.le{ white-space: normal; word-break: break-all; }\n"
    "</style>\n";

struct Cell {
  std::string_view status;
  std::string_view text;  // as escaped in the report
};

struct DpTable {
  std::string_view caption;
  std::vector<Cell> source;
  std::vector<Cell> target;
};

bool IsStatus(std::string_view name) {
  return name == "same" || name == "partial" || name == "different";
}

// Reads the cells of one row from at; false when something else than cells and the end
// given follows.
bool ReadRow(std::string_view bytes, std::size_t& at, std::string_view end,
             std::vector<Cell>& row) {
  while (bytes.substr(at).starts_with(kCellStart)) {
    const std::size_t name = at + kCellStart.size();
    const std::size_t quote = bytes.find('"', name);
    if (quote == std::string_view::npos || !IsStatus(bytes.substr(name, quote - name)) ||
        !bytes.substr(quote).starts_with("\">")) {
      return false;
    }
    const std::size_t text = quote + 2;
    const std::size_t close = bytes.find('<', text);
    if (close == std::string_view::npos || !bytes.substr(close).starts_with(kCellEnd)) {
      return false;
    }
    row.push_back({bytes.substr(name, quote - name), bytes.substr(text, close - text)});
    at = close + kCellEnd.size();
  }
  if (!bytes.substr(at).starts_with(end)) return false;
  at += end.size();
  return true;
}

// The DP table starting at at (which starts with kDpStart), and where it ends; nothing when
// the bytes there are some other table.
std::optional<std::size_t> ReadDpTable(std::string_view bytes, std::size_t at, DpTable& table) {
  at += kDpStart.size();
  const std::size_t captionEnd = bytes.find('<', at);
  if (captionEnd == std::string_view::npos || !bytes.substr(captionEnd).starts_with(kCaptionEnd)) {
    return std::nullopt;
  }
  table.caption = bytes.substr(at, captionEnd - at);
  at = captionEnd + kCaptionEnd.size();
  if (!ReadRow(bytes, at, kBetweenRows, table.source) ||
      !ReadRow(bytes, at, kTableEnd, table.target) || table.source.size() != table.target.size()) {
    return std::nullopt;
  }
  return at;
}

// Characters of UTF-8 text (an entity counts as several, which only makes joins shorter).
std::size_t Length(std::string_view text) {
  std::size_t length = 0;
  for (const char c : text) length += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return length;
}

void AppendCell(std::string& out, std::string_view status, std::string_view text) {
  out += "<b class=\"";
  out += status;
  out += "\">";
  out += text;
  out += "</b>";
}

void WriteColumns(std::string& out, const DpTable& table) {
  out += "<div class=\"dp\"><span class=\"caption cap\">";
  out += table.caption;
  out += "</span>";
  std::string source;  // a run of columns that are "same" on both rows, joined
  std::string target;
  std::size_t length = 0;
  auto flush = [&] {
    if (length == 0) return;
    out += "<span class=\"col\"><b>";
    out += source;
    out += "</b><b>";
    out += target;
    out += "</b></span>";
    source.clear();
    target.clear();
    length = 0;
  };
  for (std::size_t k = 0; k < table.source.size(); ++k) {
    const Cell& top = table.source[k];
    const Cell& bottom = table.target[k];
    if (top.status == "same" && bottom.status == "same") {
      const std::size_t more = std::max(Length(top.text), Length(bottom.text));
      if (length > 0 && length + more > kJoinedColumnLength) flush();
      source += top.text;
      target += bottom.text;
      length += std::max<std::size_t>(more, 1);
      continue;
    }
    flush();
    out += "<span class=\"col\">";
    AppendCell(out, top.status, top.text);
    AppendCell(out, bottom.status, bottom.text);
    out += "</span>";
  }
  flush();
  out += "</div>\n";
}

// Copies bytes that hold no DP table, with each run of "same" units of a matching table
// in one element: the line break between two units, a space on the page, moves inside.
void CopyJoiningUnits(std::string& out, std::string_view bytes) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t unit = bytes.find(kSameUnit, from);
    if (unit == std::string_view::npos) break;
    std::size_t at = unit + kSameUnit.size();
    out += bytes.substr(from, at - from);
    for (;;) {
      const std::size_t close = bytes.find('<', at);
      if (close == std::string_view::npos || !bytes.substr(close).starts_with(kNextSameUnit)) {
        from = close == std::string_view::npos ? bytes.size() : close;
        out += bytes.substr(at, from - at);
        break;
      }
      out += bytes.substr(at, close - at);
      out += '\n';
      at = close + kNextSameUnit.size();
    }
  }
  out += bytes.substr(from);
}

}  // namespace

std::string_view PrintStylesheet() { return kStylesheet; }

std::string RewriteForPrint(std::string_view pairs) {
  std::string out;
  out.reserve(pairs.size());
  std::size_t from = 0;
  DpTable table;
  for (;;) {
    const std::size_t start = pairs.find(kDpStart, from);
    if (start == std::string_view::npos) break;
    CopyJoiningUnits(out, pairs.substr(from, start - from));
    table.source.clear();
    table.target.clear();
    if (const std::optional<std::size_t> end = ReadDpTable(pairs, start, table)) {
      WriteColumns(out, table);
      from = *end;
    } else {
      // A matching table, or a table written some other way: on as it is.
      out += kDpStart;
      from = start + kDpStart.size();
    }
  }
  CopyJoiningUnits(out, pairs.substr(from));
  return out;
}

}  // namespace sorowa
