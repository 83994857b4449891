#include "align/unit_match_table.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "align/escape_html.h"
#include "align/identical_tables.h"
#include "align/match_status.h"
#include "align/stop_request.h"

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

// Counts per distinct text, with prefix sums over ranges of texts (a Fenwick tree).
class CountTree {
 public:
  explicit CountTree(std::size_t size) : tree_(size + 1, 0) {}
  void Add(std::size_t index, std::int64_t delta) {
    for (std::size_t i = index + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
  }
  // Sum over [0, end).
  std::int64_t Prefix(std::size_t end) const {
    std::int64_t sum = 0;
    for (std::size_t i = end; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }

 private:
  std::vector<std::int64_t> tree_;
};

// Identity pass. Going through the Target in matching order, the first unpaired unit that
// begins with s (or with which s begins) ends the search for s, and pairs only when it is
// identical. Because longer units come first in that order, this comes down to: s pairs
// with the first unpaired identical unit unless some unpaired longer unit begins with s.
// A longer unit shadowing an identical one decides what the user sees, so it is kept, but
// found through the sorted distinct texts instead of a scan over the whole Target for
// every Source unit, which took minutes on long lines.
void PairIdentical(std::vector<UnitMatchEntry>& source, std::vector<UnitMatchEntry>& target) {
  // Distinct Target texts in code-unit order; those beginning with s form one range.
  std::vector<std::u16string_view> texts;
  texts.reserve(target.size());
  for (const UnitMatchEntry& t : target) texts.push_back(t.text);
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());

  // Each text's entries in matching order (which, for one text, is line order).
  std::vector<std::vector<UnitMatchEntry*>> entriesOf(texts.size());
  CountTree unpaired(texts.size());
  std::vector<std::int64_t> unpairedOf(texts.size(), 0);
  for (UnitMatchEntry& t : target) {
    const std::size_t index = std::lower_bound(texts.begin(), texts.end(), t.text) - texts.begin();
    entriesOf[index].push_back(&t);
    ++unpairedOf[index];
    unpaired.Add(index, 1);
  }
  std::vector<std::size_t> nextOf(texts.size(), 0);

  for (UnitMatchEntry& s : source) {
    const std::u16string_view text = s.text;
    const auto prefixLess = [&text](std::u16string_view candidate, std::u16string_view) {
      return candidate.substr(0, text.size()) < text;
    };
    const auto prefixGreater = [&text](std::u16string_view, std::u16string_view candidate) {
      return text < candidate.substr(0, text.size());
    };
    const std::size_t first =
        std::lower_bound(texts.begin(), texts.end(), text, prefixLess) - texts.begin();
    const std::size_t last =
        std::upper_bound(texts.begin(), texts.end(), text, prefixGreater) - texts.begin();
    // The identical text, if there is one, is the smallest text of the range.
    const bool identical = first < last && texts[first].size() == text.size();
    const std::int64_t longer =
        unpaired.Prefix(last) - unpaired.Prefix(first) - (identical ? unpairedOf[first] : 0);
    if (longer > 0 || !identical || unpairedOf[first] == 0) continue;
    UnitMatchEntry* t = entriesOf[first][nextOf[first]++];
    s.status = MatchStatus::Same;
    t->status = MatchStatus::Same;
    --unpairedOf[first];
    unpaired.Add(first, -1);
  }
}

// Containment pass: the first unpaired Target unit (in matching order) that contains s or
// is contained in it. Paired units leave the list, so each search walks only unpaired ones.
void PairContained(std::vector<UnitMatchEntry>& source, std::vector<UnitMatchEntry>& target) {
  std::vector<std::size_t> open;
  open.reserve(target.size());
  for (std::size_t k = 0; k < target.size(); ++k) {
    if (target[k].status == MatchStatus::Different) open.push_back(k);
  }
  for (UnitMatchEntry& s : source) {
    if (s.status != MatchStatus::Different) continue;
    ThrowIfStopped();  // the pass is quadratic in the units left unpaired
    for (auto it = open.begin(); it != open.end(); ++it) {
      UnitMatchEntry& t = target[*it];
      const bool contained = s.text.size() < t.text.size()
                                 ? t.text.find(s.text) != std::u16string_view::npos
                                 : s.text.find(t.text) != std::u16string_view::npos;
      if (contained) {
        s.status = MatchStatus::Partial;
        t.status = MatchStatus::Partial;
        open.erase(it);
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
  if (sourceUnits == targetUnits) return WriteIdenticalUnitMatchTable(targetUnits, report, caption);
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
