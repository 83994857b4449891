#include "align/identical_tables.h"

#include "align/escape_html.h"

namespace sorowa {

void WriteIdenticalDpTable(std::u16string& report, std::u16string_view captionWord,
                           const std::vector<std::u16string_view>& texts) {
  report += u"<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
  report += captionWord;
  report += u"単位でDPマッチング</span></td>\n";
  const std::size_t row = report.size();
  for (std::u16string_view text : texts) {
    report += u"<td class=\"same\">";
    AppendEscapedHtml(report, text);
    report += u"</td>\n";
  }
  const std::size_t rowEnd = report.size();
  report += u"</tr>\n<tr>\n";
  // The string copes with appending a part of itself, also when it has to grow.
  report.append(report, row, rowEnd - row);
  report += u"</tr>\n</table>\n";
}

void WriteIdenticalUnitMatchTable(const SegmentList& units, std::u16string& report,
                                  std::u16string_view caption) {
  report += u"<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
  report += caption;
  report += u"単位でマッチング</span></td>\n";
  const std::size_t row = report.size();
  report += u"<td class=\"le\">";
  for (const Segment& unit : units) {
    report += u"<span class=\"same\">";
    AppendEscapedHtml(report, unit);
    report += u"</span>\n";
  }
  report += u"</td></tr>\n";
  const std::size_t rowEnd = report.size();
  report += u"<tr>\n";
  report.append(report, row, rowEnd - row);
  report += u"</table>\n";
}

}  // namespace sorowa
