#include "align/unit_match_reference.h"

#include <algorithm>
#include <string_view>

namespace sorowa {
namespace {

struct Entry {
  std::u16string_view text;
  std::size_t position;
  MatchStatus status = MatchStatus::Different;
};

std::vector<Entry> InMatchingOrder(const SegmentList& units) {
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < units.size(); ++i) entries.push_back({units[i], i});
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.text.size() != b.text.size()) return a.text.size() > b.text.size();
    if (a.text != b.text) return a.text > b.text;
    return a.position < b.position;
  });
  return entries;
}

std::vector<MatchStatus> InLineOrder(const std::vector<Entry>& entries) {
  std::vector<MatchStatus> statuses(entries.size());
  for (const Entry& entry : entries) statuses[entry.position] = entry.status;
  return statuses;
}

}  // namespace

UnitMatchStatuses MatchUnitsReference(const SegmentList& sourceUnits,
                                      const SegmentList& targetUnits) {
  std::vector<Entry> source = InMatchingOrder(sourceUnits);
  std::vector<Entry> target = InMatchingOrder(targetUnits);
  for (Entry& s : source) {
    for (Entry& t : target) {
      if (t.status != MatchStatus::Different) continue;
      const bool prefix =
          s.text.size() < t.text.size() ? t.text.starts_with(s.text) : s.text.starts_with(t.text);
      if (!prefix) continue;
      if (s.text.size() == t.text.size()) s.status = t.status = MatchStatus::Same;
      break;
    }
  }
  for (Entry& s : source) {
    if (s.status != MatchStatus::Different) continue;
    for (Entry& t : target) {
      if (t.status != MatchStatus::Different) continue;
      const bool inside = s.text.size() < t.text.size()
                              ? t.text.find(s.text) != std::u16string_view::npos
                              : s.text.find(t.text) != std::u16string_view::npos;
      if (inside) {
        s.status = t.status = MatchStatus::Partial;
        break;
      }
    }
  }
  return {InLineOrder(source), InLineOrder(target)};
}

}  // namespace sorowa
