#include "align/char_dp_table.h"

#include <span>

#include "align/dp_align.h"
#include "align/dp_table.h"

namespace sorowa {

void WriteCharDpTable(const std::u16string& sourceLine, const std::u16string& targetLine,
                      std::u16string& report) {
  if (sourceLine.empty() || targetLine.empty()) return;
  const std::span<const char16_t> source(sourceLine.data(), sourceLine.size());
  const std::span<const char16_t> target(targetLine.data(), targetLine.size());
  const ColumnStarts starts = DpAlign(source, target);
  const std::vector<std::u16string> pieces = GroupSourcePieces(source, starts, target.size());
  std::vector<std::u16string> targetTexts;
  targetTexts.reserve(target.size());
  for (char16_t c : targetLine) targetTexts.emplace_back(1, c);
  WriteDpTable(report, u"文字", pieces, targetTexts);
}

void WriteLoneCharDpTable(const std::u16string& line, LoneSide side, std::u16string& report) {
  std::vector<std::u16string> units;
  units.reserve(line.size());
  for (char16_t c : line) units.emplace_back(1, c);
  WriteLoneDpTable(report, u"文字", units, side);
}

}  // namespace sorowa
