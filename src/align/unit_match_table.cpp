#include "align/unit_match_table.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "align/escape_html.h"
#include "align/match_status.h"

namespace sorowa {
namespace {

struct UnitMatchEntry {
  std::u16string_view text;
  std::int32_t position;
  MatchStatus status = MatchStatus::Different;
};

std::vector<UnitMatchEntry> MakeEntries(const SegmentList& units) {
  std::vector<UnitMatchEntry> entries;
  entries.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    entries.push_back({units[i], static_cast<std::int32_t>(i)});
  }
  return entries;
}

// Longer texts first, so a long unit claims its counterpart before a shorter one can;
// equal lengths by descending code units; identical texts in line order.
bool InMatchingOrder(const UnitMatchEntry& a, const UnitMatchEntry& b) {
  if (a.text.size() != b.text.size()) return a.text.size() > b.text.size();
  if (a.text != b.text) return a.text > b.text;  // char16_t compares as unsigned
  return a.position < b.position;
}

bool InLineOrder(const UnitMatchEntry& a, const UnitMatchEntry& b) {
  return a.position < b.position;
}

// The first unpaired Target unit that begins with s (or with which s begins) ends the
// search for s, paired only when the texts are identical. This lets a longer Target unit
// shadow an identical one further down the order, which decides what the user sees.
void PairIdentical(std::vector<UnitMatchEntry>& source, std::vector<UnitMatchEntry>& target) {
  for (UnitMatchEntry& s : source) {
    for (UnitMatchEntry& t : target) {
      if (t.status != MatchStatus::Different) continue;
      const bool prefix =
          s.text.size() < t.text.size() ? t.text.starts_with(s.text) : s.text.starts_with(t.text);
      if (!prefix) continue;
      if (s.text.size() == t.text.size()) {
        s.status = MatchStatus::Same;
        t.status = MatchStatus::Same;
      }
      break;
    }
  }
}

void PairContained(std::vector<UnitMatchEntry>& source, std::vector<UnitMatchEntry>& target) {
  for (UnitMatchEntry& s : source) {
    if (s.status != MatchStatus::Different) continue;
    for (UnitMatchEntry& t : target) {
      if (t.status != MatchStatus::Different) continue;
      const bool contained = s.text.size() < t.text.size()
                                 ? t.text.find(s.text) != std::u16string_view::npos
                                 : s.text.find(t.text) != std::u16string_view::npos;
      if (contained) {
        s.status = MatchStatus::Partial;
        t.status = MatchStatus::Partial;
        break;
      }
    }
  }
}

void AppendRow(std::u16string& report, const std::vector<UnitMatchEntry>& entries) {
  report += u"<td class=\"le\">";
  for (const UnitMatchEntry& entry : entries) {
    report += u"<span class=\"";
    report += ClassName(entry.status);
    report += u"\">";
    AppendEscapedHtml(report, entry.text);
    report += u"</span>\n";
  }
  report += u"</td></tr>\n";
}

}  // namespace

void WriteUnitMatchTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                         std::u16string& report, std::u16string_view caption) {
  std::vector<UnitMatchEntry> source = MakeEntries(sourceUnits);
  std::vector<UnitMatchEntry> target = MakeEntries(targetUnits);
  std::sort(source.begin(), source.end(), InMatchingOrder);
  std::sort(target.begin(), target.end(), InMatchingOrder);
  PairIdentical(source, target);
  PairContained(source, target);
  std::sort(source.begin(), source.end(), InLineOrder);
  std::sort(target.begin(), target.end(), InLineOrder);

  report += u"<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
  report += caption;
  report += u"単位でマッチング</span></td>\n";
  AppendRow(report, source);
  report += u"<tr>\n";
  AppendRow(report, target);
  report += u"</table>\n";
}

}  // namespace sorowa
