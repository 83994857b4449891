#include "align/identical_tables.h"

#include "align/dp_table.h"
#include "align/unit_match_table.h"

namespace sorowa {
namespace {

void AppendSameCells(ReportBuffer& report, std::span<const std::u16string_view> texts) {
  for (const std::u16string_view text : texts) {
    report.AppendCell(CellOpen(MatchStatus::Same), text, kCellClose);
  }
}

void AppendSameRow(ReportBuffer& report, const SegmentList& units) {
  report += kMatchRowOpen;
  for (const Segment& unit : units) {
    report.AppendCell(SpanOpen(MatchStatus::Same), unit, kSpanClose);
  }
  report += kMatchRowClose;
}

}  // namespace

void WriteIdenticalDpTable(ReportBuffer& report, std::u16string_view captionWord,
                           std::span<const std::u16string_view> texts) {
  report += kTableCaptionOpen;
  report.AppendText(captionWord);
  report += kDpCaptionClose;
  const std::size_t row = report.written();
  AppendSameCells(report, texts);
  const std::size_t rowEnd = report.written();
  report += kBetweenRows;
  if (!report.AppendCopy(row, rowEnd)) AppendSameCells(report, texts);
  report += kDpTableEnd;
}

void WriteIdenticalUnitMatchTable(const SegmentList& units, ReportBuffer& report,
                                  std::u16string_view caption) {
  report += kTableCaptionOpen;
  report.AppendText(caption);
  report += kMatchCaptionClose;
  const std::size_t row = report.written();
  AppendSameRow(report, units);
  const std::size_t rowEnd = report.written();
  report += kBetweenMatchRows;
  if (!report.AppendCopy(row, rowEnd)) AppendSameRow(report, units);
  report += kMatchTableEnd;
}

}  // namespace sorowa
