#include "align/unit_match_table.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>

#include "align/containment_index.h"
#include "align/dp_table.h"
#include "align/identical_tables.h"
#include "align/unit_text_index.h"
#include "base/stop_request.h"

namespace sorowa {
namespace {

using Index = UnitTextIndex::Index;

// Below this many Source × Target pairs (and this much text) the plain scan is quicker
// than building the index.
constexpr std::size_t kPlainScanPairs = 4096;
constexpr std::size_t kPlainScanCodeUnits = 4096;
// Lines with up to this many units a side are scanned with everything on the stack.
constexpr std::size_t kScanOnStack = 256;

bool TakesPlainScan(const SegmentList& sourceUnits, const SegmentList& targetUnits) {
  if (sourceUnits.size() * targetUnits.size() > kPlainScanPairs) return false;
  std::size_t codeUnits = 0;
  for (const Segment& unit : sourceUnits) codeUnits += unit.size();
  for (const Segment& unit : targetUnits) codeUnits += unit.size();
  return codeUnits <= kPlainScanCodeUnits;
}

// A unit in the scan's matching order, with a key that decides most comparisons: its length
// (above) and its first three code units, so that a descending key is the matching order
// up to ties (longer first, equal lengths by descending code units).
struct OrderedUnit {
  std::uint64_t key;
  std::uint32_t unit;
};

// Puts the units in matching order: longer texts first, equal lengths by descending code
// units, identical texts in line order.
void SortInMatchingOrder(const SegmentList& units, OrderedUnit* order) {
  const std::size_t n = units.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::u16string_view text = units[i];
    std::uint64_t key = std::min<std::size_t>(text.size(), 0xFFFF);
    for (std::size_t k = 0; k < 3; ++k) {
      // Lengths that do not fit leave the rest to the full comparison.
      const bool known = k < text.size() && text.size() < 0xFFFF;
      key = key << 16 | (known ? text[k] : 0u);
    }
    order[i] = {key, static_cast<std::uint32_t>(i)};
  }
  std::sort(order, order + n, [&units](const OrderedUnit& a, const OrderedUnit& b) {
    if (a.key != b.key) return a.key > b.key;
    const Segment& x = units[a.unit];
    const Segment& y = units[b.unit];
    if (x.size() != y.size()) return x.size() > y.size();
    const int byText = x.compare(y);
    return byText != 0 ? byText > 0 : a.unit < b.unit;
  });
}

// What the identity pass looks at first: a unit's first code unit, or that it is empty
// (an empty unit begins every unit, and every unit begins with it), or that it is paired.
constexpr std::uint32_t kEmptyUnitKey = 0x10000;
constexpr std::uint32_t kPairedKey = 0x20000;

std::uint32_t FirstKey(std::u16string_view text) {
  return text.empty() ? kEmptyUnitKey : std::uint32_t{text[0]};
}

// Scratch of the plain scan, m entries each for the Target: its order, the first key of each
// unit in that order, and for each the next position in that order with a key in the same
// bucket.
struct ScanScratch {
  OrderedUnit* sourceOrder;
  OrderedUnit* targetOrder;
  std::uint32_t* targetKey;
  std::int32_t* nextInBucket;
};

// Buckets of first keys: a Source unit looks only at the Target units whose first code unit
// falls into its bucket, in matching order.
constexpr std::size_t kKeyBuckets = 256;

// The plain scan of MatchUnitsReference, on numbers instead of copies of the units, with the
// classes written into the caller's arrays (line order). The identity pass needs, for each
// Source unit, the first unpaired Target unit in matching order that begins with it or with
// which it begins: with no empty unit about, such a unit has the same first code unit, so
// only the Target units of that bucket are visited.
void ScanUnits(const SegmentList& sourceUnits, const SegmentList& targetUnits,
               MatchStatus* sourceStatus, MatchStatus* targetStatus, const ScanScratch& scratch) {
  OrderedUnit* const sourceOrder = scratch.sourceOrder;
  OrderedUnit* const targetOrder = scratch.targetOrder;
  std::uint32_t* const targetKey = scratch.targetKey;
  std::int32_t* const nextInBucket = scratch.nextInBucket;
  const std::size_t n = sourceUnits.size();
  const std::size_t m = targetUnits.size();
  std::fill(sourceStatus, sourceStatus + n, MatchStatus::Different);
  std::fill(targetStatus, targetStatus + m, MatchStatus::Different);
  SortInMatchingOrder(sourceUnits, sourceOrder);
  SortInMatchingOrder(targetUnits, targetOrder);
  std::int32_t firstInBucket[kKeyBuckets];
  std::fill(std::begin(firstInBucket), std::end(firstInBucket), -1);
  bool emptyTarget = false;
  for (std::size_t j = m; j-- > 0;) {
    const std::uint32_t key = FirstKey(targetUnits[targetOrder[j].unit]);
    targetKey[j] = key;
    emptyTarget = emptyTarget || key == kEmptyUnitKey;
    std::int32_t& first = firstInBucket[key % kKeyBuckets];
    nextInBucket[j] = first;
    first = static_cast<std::int32_t>(j);
  }
  // Whether Target unit j is the one s meets: true to stop the search there.
  const auto meets = [&](std::size_t i, std::u16string_view s, std::size_t j) {
    const std::uint32_t t = targetOrder[j].unit;
    const std::u16string_view text = targetUnits[t];
    const bool prefix = s.size() < text.size() ? text.starts_with(s) : s.starts_with(text);
    if (!prefix) return false;
    if (s.size() == text.size()) {
      sourceStatus[sourceOrder[i].unit] = targetStatus[t] = MatchStatus::Same;
      targetKey[j] = kPairedKey;
    }
    return true;
  };
  for (std::size_t i = 0; i < n; ++i) {
    const std::u16string_view s = sourceUnits[sourceOrder[i].unit];
    const std::uint32_t sKey = FirstKey(s);
    if (emptyTarget || sKey == kEmptyUnitKey) {
      // An empty unit begins every unit and every unit begins with it: all are candidates.
      for (std::size_t j = 0; j < m; ++j) {
        const std::uint32_t key = targetKey[j];
        if (key == kPairedKey || (key != sKey && key != kEmptyUnitKey && sKey != kEmptyUnitKey)) {
          continue;
        }
        if (meets(i, s, j)) break;
      }
      continue;
    }
    for (std::int32_t j = firstInBucket[sKey % kKeyBuckets]; j >= 0; j = nextInBucket[j]) {
      if (targetKey[j] == sKey && meets(i, s, static_cast<std::size_t>(j))) break;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (sourceStatus[sourceOrder[i].unit] != MatchStatus::Different) continue;
    const std::u16string_view s = sourceUnits[sourceOrder[i].unit];
    for (std::size_t j = 0; j < m; ++j) {
      const std::uint32_t t = targetOrder[j].unit;
      if (targetStatus[t] != MatchStatus::Different) continue;
      const std::u16string_view text = targetUnits[t];
      const bool inside = s.size() < text.size() ? text.find(s) != std::u16string_view::npos
                                                 : s.find(text) != std::u16string_view::npos;
      if (inside) {
        sourceStatus[sourceOrder[i].unit] = targetStatus[t] = MatchStatus::Partial;
        break;
      }
    }
  }
}

// Numbers the distinct texts in order of first appearance, by open addressing.
class TextNumbering {
 public:
  explicit TextNumbering(std::size_t maxTexts) {
    std::size_t capacity = 16;
    while (capacity < 2 * maxTexts) capacity *= 2;
    slots_.assign(capacity, -1);
    mask_ = capacity - 1;
    texts_.reserve(maxTexts);
    hashes_.reserve(maxTexts);
  }

  Index Number(std::u16string_view text) {
    const std::size_t hash = std::hash<std::u16string_view>{}(text);
    for (std::size_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
      const Index k = slots_[slot];
      if (k < 0) {
        slots_[slot] = static_cast<Index>(texts_.size());
        texts_.push_back(text);
        hashes_.push_back(hash);
        return slots_[slot];
      }
      if (hashes_[k] == hash && texts_[k] == text) return k;
    }
  }

  const std::vector<std::u16string_view>& texts() const { return texts_; }

 private:
  std::vector<Index> slots_;
  std::size_t mask_ = 0;
  std::vector<std::u16string_view> texts_;
  std::vector<std::size_t> hashes_;
};

// One line's units grouped by text: text k's units are units[begin[k]] up to
// units[begin[k + 1]], positions in line order.
struct UnitsByText {
  std::vector<Index> begin;
  std::vector<Index> units;
};

UnitsByText GroupByText(const std::vector<Index>& textOfUnit, Index textCount) {
  UnitsByText grouped;
  grouped.begin.assign(static_cast<std::size_t>(textCount) + 1, 0);
  for (Index k : textOfUnit) ++grouped.begin[k + 1];
  for (Index k = 0; k < textCount; ++k) grouped.begin[k + 1] += grouped.begin[k];
  std::vector<Index> next(grouped.begin.begin(), grouped.begin.end() - 1);
  grouped.units.resize(textOfUnit.size());
  for (std::size_t i = 0; i < textOfUnit.size(); ++i) {
    grouped.units[next[textOfUnit[i]]++] = static_cast<Index>(i);
  }
  return grouped;
}

// Counts per rank, with sums over ranges of ranks (a Fenwick tree).
class CountTree {
 public:
  explicit CountTree(Index size) : tree_(static_cast<std::size_t>(size) + 1, 0) {}
  void Add(Index index, Index delta) {
    for (std::size_t i = static_cast<std::size_t>(index) + 1; i < tree_.size(); i += i & (~i + 1)) {
      tree_[i] += delta;
    }
  }
  // Sum over [first, last].
  Index Range(Index first, Index last) const { return Prefix(last + 1) - Prefix(first); }

 private:
  Index Prefix(Index end) const {
    Index sum = 0;
    for (std::size_t i = static_cast<std::size_t>(end); i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }
  std::vector<Index> tree_;
};

void AppendRow(ReportBuffer& report, const SegmentList& units, const MatchStatus* statuses) {
  report += kMatchRowOpen;
  for (std::size_t k = 0; k < units.size(); ++k) {
    report.AppendCell(SpanOpen(statuses[k]), units[k], kSpanClose);
  }
  report += kMatchRowClose;
}

void WriteTable(ReportBuffer& report, std::u16string_view caption, const SegmentList& sourceUnits,
                const MatchStatus* sourceStatus, const SegmentList& targetUnits,
                const MatchStatus* targetStatus) {
  report += kTableCaptionOpen;
  report.AppendText(caption);
  report += kMatchCaptionClose;
  AppendRow(report, sourceUnits, sourceStatus);
  report += kBetweenMatchRows;
  AppendRow(report, targetUnits, targetStatus);
  report += kMatchTableEnd;
}

}  // namespace

UnitMatchStatuses MatchUnitsIndexed(const SegmentList& sourceUnits,
                                    const SegmentList& targetUnits) {
  UnitMatchStatuses statuses{std::vector<MatchStatus>(sourceUnits.size(), MatchStatus::Different),
                             std::vector<MatchStatus>(targetUnits.size(), MatchStatus::Different)};
  if (sourceUnits.empty() || targetUnits.empty()) return statuses;

  // Identical units are handled together: one text each, holding its units in line order,
  // which is their matching order.
  TextNumbering numbering(sourceUnits.size() + targetUnits.size());
  std::vector<Index> sourceText;
  std::vector<Index> targetText;
  sourceText.reserve(sourceUnits.size());
  targetText.reserve(targetUnits.size());
  for (const Segment& unit : sourceUnits) sourceText.push_back(numbering.Number(unit));
  for (const Segment& unit : targetUnits) targetText.push_back(numbering.Number(unit));
  const UnitTextIndex index(numbering.texts());
  const Index textCount = index.textCount();
  const UnitsByText source = GroupByText(sourceText, textCount);
  const UnitsByText target = GroupByText(targetText, textCount);
  sourceText = {};
  targetText = {};

  // Matching order: longer texts first, so a long unit claims its counterpart before a
  // shorter one can; equal lengths by descending code units.
  std::vector<Index> order(index.ascending().rbegin(), index.ascending().rend());
  std::stable_sort(order.begin(), order.end(),
                   [&index](Index a, Index b) { return index.length(a) > index.length(b); });

  // The next unpaired unit of each text, on each side.
  std::vector<Index> nextSource(source.begin.begin(), source.begin.end() - 1);
  std::vector<Index> nextTarget(target.begin.begin(), target.begin.end() - 1);
  const auto openTargets = [&](Index k) { return target.begin[k + 1] - nextTarget[k]; };

  // Identity pass. Going through the Target in matching order, the first unpaired unit that
  // begins with s (or with which s begins) ends the search for s, and pairs only when it is
  // identical. Because longer units come first in that order, this comes down to: s pairs
  // with the first unpaired identical unit unless some unpaired longer unit begins with s.
  // A longer unit shadowing an identical one decides what the user sees, so it is kept.
  // The texts that begin with s are those whose own suffix ranks among the suffixes that
  // begin with s, so unpaired units are counted at their text's rank.
  {
    CountTree unpaired(index.suffixCount());
    for (Index k = 0; k < textCount; ++k) {
      if (openTargets(k) > 0) unpaired.Add(index.rank(index.start(k)), openTargets(k));
    }
    for (Index k : order) {
      const Index identical = openTargets(k);
      if (nextSource[k] == source.begin[k + 1] || identical == 0) continue;
      if (unpaired.Range(index.first(k), index.last(k)) > identical) continue;
      // Within one text only the identical units get fewer, so the answer holds for all.
      const Index pairs = std::min(source.begin[k + 1] - nextSource[k], identical);
      for (Index p = 0; p < pairs; ++p) {
        statuses.source[source.units[nextSource[k]++]] = MatchStatus::Same;
        statuses.target[target.units[nextTarget[k]++]] = MatchStatus::Same;
      }
      unpaired.Add(index.rank(index.start(k)), -pairs);
    }
  }

  // Containment pass: each unpaired Source unit, in matching order, takes the first
  // unpaired Target unit (in matching order) that contains it or occurs in it. The units of
  // one Target text are one candidate that hands them out in line order; the units of one
  // Source text ask the same question, so once one finds nothing the others find nothing.
  std::vector<Index> candidateText;
  for (Index k : order) {
    if (openTargets(k) > 0) candidateText.push_back(k);
  }
  if (candidateText.empty()) return statuses;
  ContainmentIndex containment(index, candidateText);
  std::size_t searches = 0;
  for (Index k : order) {
    for (; nextSource[k] < source.begin[k + 1]; ++nextSource[k]) {
      if ((++searches & 1023) == 0) ThrowIfStopped();
      const Index c = containment.FirstOpen(k);
      if (c < 0) break;
      const Index t = candidateText[c];
      statuses.source[source.units[nextSource[k]]] = MatchStatus::Partial;
      statuses.target[target.units[nextTarget[t]++]] = MatchStatus::Partial;
      if (openTargets(t) == 0) containment.Close(c);
    }
  }
  return statuses;
}

UnitMatchStatuses MatchUnits(const SegmentList& sourceUnits, const SegmentList& targetUnits) {
  if (!TakesPlainScan(sourceUnits, targetUnits)) return MatchUnitsIndexed(sourceUnits, targetUnits);
  UnitMatchStatuses statuses{std::vector<MatchStatus>(sourceUnits.size()),
                             std::vector<MatchStatus>(targetUnits.size())};
  std::vector<OrderedUnit> sourceOrder(sourceUnits.size());
  std::vector<OrderedUnit> targetOrder(targetUnits.size());
  std::vector<std::uint32_t> targetKey(targetUnits.size());
  std::vector<std::int32_t> nextInBucket(targetUnits.size());
  ScanUnits(sourceUnits, targetUnits, statuses.source.data(), statuses.target.data(),
            {sourceOrder.data(), targetOrder.data(), targetKey.data(), nextInBucket.data()});
  return statuses;
}

void WriteUnitMatchTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                         ReportBuffer& report, std::u16string_view caption) {
  if (&sourceUnits == &targetUnits || sourceUnits == targetUnits) {
    return WriteIdenticalUnitMatchTable(targetUnits, report, caption);
  }
  // A line's worth of units is matched without allocating anything.
  if (sourceUnits.size() <= kScanOnStack && targetUnits.size() <= kScanOnStack &&
      TakesPlainScan(sourceUnits, targetUnits)) {
    MatchStatus sourceStatus[kScanOnStack];
    MatchStatus targetStatus[kScanOnStack];
    OrderedUnit sourceOrder[kScanOnStack];
    OrderedUnit targetOrder[kScanOnStack];
    std::uint32_t targetKey[kScanOnStack];
    std::int32_t nextInBucket[kScanOnStack];
    ScanUnits(sourceUnits, targetUnits, sourceStatus, targetStatus,
              {sourceOrder, targetOrder, targetKey, nextInBucket});
    WriteTable(report, caption, sourceUnits, sourceStatus, targetUnits, targetStatus);
    return;
  }
  const UnitMatchStatuses statuses = MatchUnits(sourceUnits, targetUnits);
  WriteTable(report, caption, sourceUnits, statuses.source.data(), targetUnits,
             statuses.target.data());
}

}  // namespace sorowa
