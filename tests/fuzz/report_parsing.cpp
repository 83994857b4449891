#include "report_parsing.h"

#include <algorithm>
#include <functional>
#include <map>

#include "base/utf8.h"
#include "fuzz_support.h"

namespace sorowa::fuzz {
namespace {

bool Contains(std::u16string_view a, std::u16string_view b) {
  return a.size() >= b.size() ? a.find(b) != a.npos : b.find(a) != b.npos;
}

std::vector<Cell> ReadDpRow(HtmlCursor& html) {
  std::vector<Cell> row;
  while (html.LooksAt("<td class=\"")) {
    html.Expect("<td class=\"");
    Cell cell;
    cell.status = html.ReadUntil("\">");
    const std::string_view escaped = html.ReadUntil("</td>\n");
    if (!UnescapeCell(escaped, cell.text)) html.Fail("badly escaped cell text");
    row.push_back(std::move(cell));
  }
  return row;
}

std::vector<Cell> ReadMatchRow(HtmlCursor& html) {
  std::vector<Cell> row;
  html.Expect("<td class=\"le\">");
  while (html.LooksAt("<span class=\"")) {
    html.Expect("<span class=\"");
    Cell cell;
    cell.status = html.ReadUntil("\">");
    const std::string_view escaped = html.ReadUntil("</span>\n");
    if (!UnescapeCell(escaped, cell.text)) html.Fail("badly escaped unit text");
    row.push_back(std::move(cell));
  }
  html.Expect("</td></tr>\n");
  return row;
}

void CheckStatus(const HtmlCursor& html, const std::string& status) {
  if (status != "same" && status != "partial" && status != "different") {
    html.Fail("unknown class " + status);
  }
}

void CheckUnitsShown(const HtmlCursor& html, const std::vector<Cell>& row, const SegmentList& units,
                     const char* side) {
  if (row.size() != units.size()) {
    html.Fail(std::string(side) + ": " + std::to_string(row.size()) + " cells for " +
              std::to_string(units.size()) + " units");
  }
  for (std::size_t k = 0; k < row.size(); ++k) {
    CheckStatus(html, row[k].status);
    if (row[k].text != ToUtf8(units[k])) {
      html.Fail(std::string(side) + " cell " + std::to_string(k) + " does not show unit " +
                Printable(units[k]));
    }
  }
}

// Kuhn's augmenting paths: whether every partial Source unit can be given its own partial
// Target unit that it contains or is contained in.
bool PartialsPairOff(const std::vector<std::u16string_view>& source,
                     const std::vector<std::u16string_view>& target) {
  if (source.size() != target.size()) return false;
  std::vector<int> owner(target.size(), -1);
  for (std::size_t s = 0; s < source.size(); ++s) {
    std::vector<bool> seen(target.size(), false);
    std::function<bool(std::size_t)> augment = [&](std::size_t from) {
      for (std::size_t t = 0; t < target.size(); ++t) {
        if (seen[t] || !Contains(source[from], target[t])) continue;
        seen[t] = true;
        if (owner[t] < 0 || augment(static_cast<std::size_t>(owner[t]))) {
          owner[t] = static_cast<int>(from);
          return true;
        }
      }
      return false;
    };
    if (!augment(s)) return false;
  }
  return true;
}

}  // namespace

void HtmlCursor::Expect(std::string_view literal) {
  if (!LooksAt(literal)) Fail("expected " + std::string(literal));
  pos_ += literal.size();
}

std::string_view HtmlCursor::ReadUntil(std::string_view terminator) {
  const std::size_t end = html_.find(terminator, pos_);
  if (end == html_.npos) Fail("missing " + std::string(terminator));
  const std::string_view text = html_.substr(pos_, end - pos_);
  pos_ = end + terminator.size();
  return text;
}

void HtmlCursor::Fail(std::string_view what) const {
  std::fprintf(stderr, "report check failed at byte %zu: %.*s\n  near: %.*s\n", pos_,
               static_cast<int>(what.size()), what.data(),
               static_cast<int>(std::min<std::size_t>(160, html_.size() - pos_)),
               html_.data() + pos_);
  std::abort();
}

void CheckDpTable(HtmlCursor& html, std::string_view captionWord, std::u16string_view sourceLine,
                  const SegmentList& targetUnits) {
  html.Expect("<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">");
  html.Expect(captionWord);
  html.Expect("単位でDPマッチング</span></td>\n");
  const std::vector<Cell> sourceRow = ReadDpRow(html);
  html.Expect("</tr>\n<tr>\n");
  const std::vector<Cell> targetRow = ReadDpRow(html);
  html.Expect("</tr>\n</table>\n");

  CheckUnitsShown(html, targetRow, targetUnits, "Target row");
  if (sourceRow.size() != targetRow.size()) html.Fail("the two rows differ in length");
  std::u16string shown;
  for (std::size_t k = 0; k < sourceRow.size(); ++k) {
    if (sourceRow[k].status != targetRow[k].status) html.Fail("a column has two classes");
    if (sourceRow[k].status == "same" && sourceRow[k].text != targetRow[k].text) {
      html.Fail("column " + std::to_string(k) + " is same but its texts differ");
    }
    shown += DecodeUtf8(sourceRow[k].text);
  }
  if (!ShowsLine(shown, sourceLine)) {
    html.Fail("the Source pieces give " + Printable(shown) + ", not the line " +
              Printable(sourceLine));
  }
}

void CheckLoneDpTable(HtmlCursor& html, std::string_view captionWord, const SegmentList& units,
                      bool onSourceRow) {
  if (units.empty()) return;
  html.Expect("<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">");
  html.Expect(captionWord);
  html.Expect("単位でDPマッチング</span></td>\n");
  const std::vector<Cell> sourceRow = ReadDpRow(html);
  html.Expect("</tr>\n<tr>\n");
  const std::vector<Cell> targetRow = ReadDpRow(html);
  html.Expect("</tr>\n</table>\n");

  const std::vector<Cell>& shown = onSourceRow ? sourceRow : targetRow;
  const std::vector<Cell>& empty = onSourceRow ? targetRow : sourceRow;
  CheckUnitsShown(html, shown, units, onSourceRow ? "Source row" : "Target row");
  if (empty.size() != shown.size()) html.Fail("the two rows differ in length");
  for (std::size_t k = 0; k < shown.size(); ++k) {
    if (shown[k].status != "different" || empty[k].status != "different") {
      html.Fail("column " + std::to_string(k) + " of a lone line is not different");
    }
    if (!empty[k].text.empty()) html.Fail("the missing side shows text");
  }
}

void CheckMatchTable(HtmlCursor& html, std::string_view captionWord, const SegmentList& sourceUnits,
                     const SegmentList& targetUnits) {
  html.Expect("<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">");
  html.Expect(captionWord);
  html.Expect("単位でマッチング</span></td>\n");
  const std::vector<Cell> sourceRow = ReadMatchRow(html);
  html.Expect("<tr>\n");
  const std::vector<Cell> targetRow = ReadMatchRow(html);
  html.Expect("</table>\n");

  CheckUnitsShown(html, sourceRow, sourceUnits, "Source row");
  CheckUnitsShown(html, targetRow, targetUnits, "Target row");

  // Same units pair off by identical text: per text, as many same on each side.
  std::map<std::u16string_view, long> sameBalance;
  std::vector<std::u16string_view> sourcePartial;
  std::vector<std::u16string_view> targetPartial;
  std::vector<std::u16string_view> sourceLeft;
  std::vector<std::u16string_view> targetLeft;
  for (std::size_t k = 0; k < sourceRow.size(); ++k) {
    const std::string& status = sourceRow[k].status;
    if (status == "same") ++sameBalance[sourceUnits[k]];
    if (status == "partial") sourcePartial.push_back(sourceUnits[k]);
    if (status == "different") sourceLeft.push_back(sourceUnits[k]);
  }
  for (std::size_t k = 0; k < targetRow.size(); ++k) {
    const std::string& status = targetRow[k].status;
    if (status == "same") --sameBalance[targetUnits[k]];
    if (status == "partial") targetPartial.push_back(targetUnits[k]);
    if (status == "different") targetLeft.push_back(targetUnits[k]);
  }
  for (const auto& [text, balance] : sameBalance) {
    if (balance != 0) {
      html.Fail("unit " + Printable(text) + " is same " + std::to_string(balance) +
                " more times on the Source side than on the Target side");
    }
  }
  if (!PartialsPairOff(sourcePartial, targetPartial)) {
    html.Fail("the partial units cannot be paired one to one by containment");
  }
  for (std::u16string_view s : sourceLeft) {
    for (std::u16string_view t : targetLeft) {
      if (Contains(s, t)) {
        html.Fail("units " + Printable(s) + " and " + Printable(t) +
                  " were both left different though one contains the other");
      }
    }
  }
}

}  // namespace sorowa::fuzz
