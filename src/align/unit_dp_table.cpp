#include "align/unit_dp_table.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "align/dp_align.h"
#include "align/identical_tables.h"

namespace sorowa {
namespace {

// Numbers unit texts by first appearance, by open addressing: equal numbers exactly when the
// texts are equal. A line's few dozen units need no node per text.
class UnitInterner {
 public:
  explicit UnitInterner(std::size_t units) {
    std::size_t capacity = 16;
    while (capacity < 2 * units) capacity *= 2;
    slots_.assign(capacity, kEmpty);
    mask_ = capacity - 1;
    texts_.reserve(units);
  }

  std::uint32_t Number(std::u16string_view text) {
    for (std::size_t slot = Hash(text) & mask_;; slot = (slot + 1) & mask_) {
      const std::uint32_t k = slots_[slot];
      if (k == kEmpty) {
        slots_[slot] = static_cast<std::uint32_t>(texts_.size());
        texts_.push_back(text);
        return slots_[slot];
      }
      if (texts_[k] == text) return k;
    }
  }

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;

  // FNV-1a over the code units, folded: units are a few code units long, and a library hash
  // costs more than the rest of the numbering.
  static std::size_t Hash(std::u16string_view text) {
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (const char16_t c : text) hash = (hash ^ c) * 0x100000001B3u;
    return static_cast<std::size_t>(hash ^ (hash >> 29));
  }
  std::vector<std::uint32_t> slots_;
  std::size_t mask_ = 0;
  std::vector<std::u16string_view> texts_;
};

// The alignment of two unit lists. With a short side, the bit vectors look the texts up
// themselves; otherwise the texts are numbered first, so that each comparison in the table
// costs one integer compare.
ColumnStarts AlignUnits(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                        const std::vector<std::u16string_view>& targetTexts) {
  if (FitsBitParallel(sourceUnits.size(), targetUnits.size())) {
    const std::vector<std::u16string_view> sourceTexts(sourceUnits.begin(), sourceUnits.end());
    return DpAlignBitParallel(std::span<const std::u16string_view>(sourceTexts),
                              std::span<const std::u16string_view>(targetTexts));
  }
  UnitInterner interner(sourceUnits.size() + targetUnits.size());
  std::vector<std::uint32_t> sourceIds;
  std::vector<std::uint32_t> targetIds;
  sourceIds.reserve(sourceUnits.size());
  targetIds.reserve(targetUnits.size());
  for (const Segment& unit : sourceUnits) sourceIds.push_back(interner.Number(unit));
  for (const Segment& unit : targetUnits) targetIds.push_back(interner.Number(unit));
  return DpAlign(std::span<const std::uint32_t>(sourceIds),
                 std::span<const std::uint32_t>(targetIds));
}

}  // namespace

void WriteUnitDpTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                      ReportBuffer& report, std::u16string_view captionWord) {
  if (sourceUnits.empty() || targetUnits.empty()) return;
  const std::vector<std::u16string_view> targetTexts(targetUnits.begin(), targetUnits.end());
  if (&sourceUnits == &targetUnits || sourceUnits == targetUnits) {
    WriteIdenticalDpTable(report, captionWord, targetTexts);
    return;
  }

  const ColumnStarts starts = AlignUnits(sourceUnits, targetUnits, targetTexts);

  // A piece of one unit is that unit's text; pieces of several units are joined in one
  // string (a pair split between two units is whole again there, as the report shows it).
  const std::size_t m = targetUnits.size();
  std::vector<SourceRange> ranges(m);
  std::size_t joinedLength = 0;
  for (std::size_t k = 0; k < m; ++k) {
    ranges[k] = ColumnSourceRange(starts, k, sourceUnits.size(), m);
    if (ranges[k].end - ranges[k].first > 1) {
      for (std::size_t x = ranges[k].first; x < ranges[k].end; ++x) {
        joinedLength += sourceUnits[x].size();
      }
    }
  }
  std::u16string joined;
  joined.reserve(joinedLength);
  std::vector<std::u16string_view> pieces(m);
  for (std::size_t k = 0; k < m; ++k) {
    const SourceRange range = ranges[k];
    if (range.end - range.first == 1) {
      pieces[k] = sourceUnits[range.first];
    } else if (range.end > range.first) {
      const std::size_t at = joined.size();
      for (std::size_t x = range.first; x < range.end; ++x) joined += sourceUnits[x];
      // No reallocation: joined was reserved for all of them.
      pieces[k] = std::u16string_view(joined).substr(at);
    }
  }
  WriteDpTable(report, captionWord, pieces, targetTexts);
}

void WriteLoneUnitDpTable(const SegmentList& units, LoneSide side, ReportBuffer& report,
                          std::u16string_view captionWord) {
  WriteLoneDpTable(report, captionWord,
                   std::vector<std::u16string_view>(units.begin(), units.end()), side);
}

}  // namespace sorowa
