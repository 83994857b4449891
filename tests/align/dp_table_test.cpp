#include "align/dp_table.h"

#include <gtest/gtest.h>

#include "align/char_dp_table.h"
#include "align/unit_dp_table.h"

namespace sorowa {
namespace {

struct ClassifyCase {
  std::u16string piece, target;
  MatchStatus expected;
};

TEST(ClassifyCellTest, FirstMatchingRuleDecides) {
  const ClassifyCase cases[] = {
      {u"a", u"a", MatchStatus::Same},
      {u"", u"", MatchStatus::Same},
      {u"xay", u"a", MatchStatus::Partial},
      {u"大", u"大学", MatchStatus::Partial},
      {u"", u"a", MatchStatus::Different},
      {u"a", u"", MatchStatus::Different},
      {u"ab", u"ba", MatchStatus::Different},
      {u"食べます", u"食べる", MatchStatus::Different},
      // Containment counts whole characters only: half of a surrogate pair is not contained.
      {u"x𩸽", u"𩸽", MatchStatus::Partial},
      {u"\xD867x", u"\xD867", MatchStatus::Partial},
      {u"𩸽", u"\xD867", MatchStatus::Different},
      {u"\xDE3D", u"𩸽", MatchStatus::Different},
      {u"𩸽\xDE3D", u"\xDE3D", MatchStatus::Partial},
  };
  for (const ClassifyCase& c : cases) {
    EXPECT_EQ(ClassifyCell(c.piece, c.target), c.expected)
        << std::string(c.piece.begin(), c.piece.end()) << " / "
        << std::string(c.target.begin(), c.target.end());
  }
}

TEST(CharDpTableTest, WritesExactMarkup) {
  std::u16string report = u"prefix";
  WriteCharDpTable(u"x<y", u"x>y", report);
  EXPECT_EQ(report,
            u"prefix<table>\n<tr>\n"
            u"<td rowspan=2 width=50px><span class=\"caption\">文字単位でDPマッチング</span></td>\n"
            u"<td class=\"same\">x</td>\n"
            u"<td class=\"different\">&lt;</td>\n"
            u"<td class=\"same\">y</td>\n"
            u"</tr>\n<tr>\n"
            u"<td class=\"same\">x</td>\n"
            u"<td class=\"different\">&gt;</td>\n"
            u"<td class=\"same\">y</td>\n"
            u"</tr>\n</table>\n");
}

TEST(CharDpTableTest, EscapesSpaceInPiece) {
  std::u16string report;
  WriteCharDpTable(u"a b", u"ab", report);
  EXPECT_NE(report.find(u"<td class=\"partial\">&nbsp;b</td>\n"), std::u16string::npos);
}

TEST(CharDpTableTest, EmptyLineAppendsNothing) {
  std::u16string report = u"keep";
  WriteCharDpTable(u"", u"abc", report);
  WriteCharDpTable(u"abc", u"", report);
  EXPECT_EQ(report, u"keep");
}

std::u16string UnitRow(const SegmentList& source, const SegmentList& target) {
  std::u16string report;
  WriteUnitDpTable(source, target, report, u"形態素");
  return report;
}

TEST(UnitDpTableTest, AlignsUnitsAsWholes) {
  const std::u16string report =
      UnitRow({u"私", u"は", u"学生", u"です"}, {u"私", u"が", u"学生", u"だ"});
  EXPECT_EQ(
      report,
      u"<table>\n<tr>\n"
      u"<td rowspan=2 width=50px><span class=\"caption\">形態素単位でDPマッチング</span></td>\n"
      u"<td class=\"same\">私</td>\n<td class=\"different\">は</td>\n"
      u"<td class=\"same\">学生</td>\n<td class=\"different\">です</td>\n"
      u"</tr>\n<tr>\n"
      u"<td class=\"same\">私</td>\n<td class=\"different\">が</td>\n"
      u"<td class=\"same\">学生</td>\n<td class=\"different\">だ</td>\n"
      u"</tr>\n</table>\n");
}

TEST(UnitDpTableTest, ContainmentBothWaysIsPartial) {
  const std::u16string report = UnitRow({u"大", u"学生"}, {u"大学", u"生"});
  EXPECT_NE(report.find(u"<td class=\"partial\">大</td>\n<td class=\"partial\">学生</td>"),
            std::u16string::npos);
}

TEST(UnitDpTableTest, InsertedUnitGetsEmptyCell) {
  const std::u16string report = UnitRow({u"本", u"を", u"読む"}, {u"本", u"を", u"よく", u"読む"});
  EXPECT_NE(report.find(u"<td class=\"same\">を</td>\n<td class=\"different\"></td>\n"
                        u"<td class=\"same\">読む</td>"),
            std::u16string::npos);
}

TEST(UnitDpTableTest, SingleTargetUnitTakesJoinedSource) {
  const std::u16string report = UnitRow({u"食べ", u"ます"}, {u"食べる"});
  EXPECT_NE(report.find(u"<td class=\"different\">食べます</td>"), std::u16string::npos);
}

TEST(UnitDpTableTest, EmptyListAppendsNothingAndCaptionIsUnescaped) {
  EXPECT_EQ(UnitRow({}, {u"a"}), u"");
  EXPECT_EQ(UnitRow({u"a"}, {}), u"");
  std::u16string report;
  WriteUnitDpTable({u"<"}, {u"<"}, report, u"&");
  EXPECT_NE(report.find(u"caption\">&単位"), std::u16string::npos);
  EXPECT_NE(report.find(u"<td class=\"same\">&lt;</td>"), std::u16string::npos);
}

}  // namespace
}  // namespace sorowa
