#include "align/unit_dp_table.h"

#include <cstdint>
#include <span>
#include <unordered_map>

#include "align/dp_align.h"
#include "align/dp_table.h"
#include "align/identical_tables.h"

namespace sorowa {

void WriteUnitDpTable(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                      std::u16string& report, std::u16string_view captionWord) {
  if (sourceUnits.empty() || targetUnits.empty()) return;
  if (sourceUnits == targetUnits) {
    WriteIdenticalDpTable(report, captionWord,
                          std::vector<std::u16string_view>(targetUnits.begin(), targetUnits.end()));
    return;
  }

  // Equal ids exactly when the texts are equal, so aligning ids gives the alignment of the
  // texts while each comparison in the table costs one integer compare.
  std::unordered_map<std::u16string_view, std::uint32_t> ids;
  auto intern = [&ids](const SegmentList& units) {
    std::vector<std::uint32_t> result;
    result.reserve(units.size());
    for (const Segment& unit : units) {
      result.push_back(ids.try_emplace(unit, static_cast<std::uint32_t>(ids.size())).first->second);
    }
    return result;
  };
  const std::vector<std::uint32_t> sourceIds = intern(sourceUnits);
  const std::vector<std::uint32_t> targetIds = intern(targetUnits);

  const ColumnStarts starts =
      DpAlign(std::span<const std::uint32_t>(sourceIds), std::span<const std::uint32_t>(targetIds));
  const std::vector<std::u16string> pieces =
      GroupSourcePieces(std::span<const Segment>(sourceUnits), starts, targetUnits.size());
  WriteDpTable(report, captionWord, pieces, targetUnits);
}

void WriteLoneUnitDpTable(const SegmentList& units, LoneSide side, std::u16string& report,
                          std::u16string_view captionWord) {
  WriteLoneDpTable(report, captionWord, units, side);
}

}  // namespace sorowa
