#include "align/unit_match_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "align/unit_match_reference.h"
#include "base/utf8.h"

namespace sorowa {
namespace {

// Reads one row's spans back as "class:text" items.
std::vector<std::string> Spans(std::string_view row) {
  std::vector<std::string> spans;
  const std::string_view open = "<span class=\"";
  std::size_t at = row.find("<td class=\"le\">");
  while ((at = row.find(open, at)) != std::string_view::npos) {
    at += open.size();
    const std::size_t quote = row.find('"', at);
    const std::size_t close = row.find("</span>\n", quote);
    spans.push_back(std::string(row.substr(at, quote - at)) + ":" +
                    std::string(row.substr(quote + 2, close - quote - 2)));
    at = close;
  }
  return spans;
}

std::vector<std::string> InUtf8(const std::vector<std::u16string>& texts) {
  std::vector<std::string> converted;
  for (const std::u16string& text : texts) converted.push_back(ToUtf8(text));
  return converted;
}

struct MatchCase {
  const char* name;
  SegmentList source, target;
  std::vector<std::u16string> sourceSpans, targetSpans;
};

class UnitMatchTableTest : public testing::TestWithParam<MatchCase> {};

TEST_P(UnitMatchTableTest, ClassesUnits) {
  ReportBuffer buffer;
  WriteUnitMatchTable(GetParam().source, GetParam().target, buffer, u"形態素");
  const std::string_view report = buffer.bytes();
  const std::size_t secondRow = report.find("</td></tr>\n<tr>\n");
  ASSERT_NE(secondRow, std::string_view::npos);
  EXPECT_EQ(Spans(report.substr(0, secondRow)), InUtf8(GetParam().sourceSpans));
  EXPECT_EQ(Spans(report.substr(secondRow)), InUtf8(GetParam().targetSpans));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnitMatchTableTest,
    testing::Values(
        MatchCase{"Identical",
                  {u"x", u"y"},
                  {u"x", u"y"},
                  {u"same:x", u"same:y"},
                  {u"same:x", u"same:y"}},
        MatchCase{"OrderIgnoredRowsKeepLineOrder",
                  {u"x", u"y", u"z"},
                  {u"z", u"y", u"x"},
                  {u"same:x", u"same:y", u"same:z"},
                  {u"same:z", u"same:y", u"same:x"}},
        // xyz comes first in matching order and begins with xy, which ends xy's search.
        MatchCase{"LongerPrefixShadowsIdentical",
                  {u"xy"},
                  {u"xyz", u"xy"},
                  {u"partial:xy"},
                  {u"partial:xyz", u"different:xy"}},
        MatchCase{"LongerUnitClaimsFirst",
                  {u"xy", u"xyz"},
                  {u"xyz"},
                  {u"different:xy", u"same:xyz"},
                  {u"same:xyz"}},
        MatchCase{"DuplicateSourceSmallerPositionWins",
                  {u"xy", u"xy"},
                  {u"xy"},
                  {u"same:xy", u"different:xy"},
                  {u"same:xy"}},
        MatchCase{"FirstDuplicatePartial",
                  {u"x", u"x"},
                  {u"xyz"},
                  {u"partial:x", u"different:x"},
                  {u"partial:xyz"}},
        MatchCase{"ContainedNotPrefix", {u"yz"}, {u"xyz"}, {u"partial:yz"}, {u"partial:xyz"}},
        MatchCase{
            "EqualLengthNeverPartial", {u"xy"}, {u"yx"}, {u"different:xy"}, {u"different:yx"}},
        MatchCase{"SourceContainsTarget",
                  {u"abc", u"c"},
                  {u"b"},
                  {u"partial:abc", u"different:c"},
                  {u"partial:b"}},
        MatchCase{"Escaped",
                  {u"a b", u"<&>\""},
                  {u"a b"},
                  {u"same:a&nbsp;b", u"different:&lt;&amp;&gt;&quot;"},
                  {u"same:a&nbsp;b"}},
        MatchCase{"OneSideEmpty", {}, {u"x", u"y"}, {}, {u"different:x", u"different:y"}}),
    [](const testing::TestParamInfo<MatchCase>& info) { return info.param.name; });

TEST(UnitMatchTableMarkupTest, BothEmptyStillWritesTable) {
  ReportBuffer report;
  WriteUnitMatchTable({}, {}, report, u"疑似文節");
  EXPECT_EQ(
      report.bytes(),
      "<table>\n<tr>\n"
      "<td rowspan=2 width=50px><span class=\"caption\">疑似文節単位でマッチング</span></td>\n"
      "<td class=\"le\"></td></tr>\n"
      "<tr>\n<td class=\"le\"></td></tr>\n</table>\n");
}

TEST(UnitMatchTableMarkupTest, OneSpanPerUnitWithLineFeed) {
  ReportBuffer report;
  WriteUnitMatchTable({u"私は", u"。"}, {u"私は"}, report, u"形態素");
  EXPECT_EQ(report.bytes(),
            "<table>\n<tr>\n"
            "<td rowspan=2 width=50px><span class=\"caption\">形態素単位でマッチング</span></td>\n"
            "<td class=\"le\"><span class=\"same\">私は</span>\n"
            "<span class=\"different\">。</span>\n</td></tr>\n"
            "<tr>\n<td class=\"le\"><span class=\"same\">私は</span>\n</td></tr>\n</table>\n");
}

}  // namespace
}  // namespace sorowa

namespace sorowa {
namespace {

// The index against the plain scan, on lines made for the rules to compete: few letters
// (including the smallest and the greatest code unit), so identical units, prefixes and
// containment are everywhere; units repeated, cut from the front or back of, or grown from
// earlier ones, which makes chains like x, xx, xxx; empty lists, now and then an empty unit
// (which begins and occurs in every unit) and long lines.
TEST(UnitMatchTableRandomTest, AgreesWithPlainScan) {
  constexpr char16_t kLetters[] = {u'x', u'\xFFFF', u'\0', u'y'};
  std::mt19937 random(4242);
  const auto below = [&random](std::size_t bound) { return random() % bound; };
  for (int round = 0; round < 4000; ++round) {
    const std::size_t letters = 1 + round % 4;
    const bool big = round % 100 == 99;
    auto units = [&] {
      SegmentList list;
      const std::size_t count = below(big ? 800 : 10);
      for (std::size_t k = 0; k < count; ++k) {
        std::u16string text;
        if (!list.empty() && below(2) == 0) {
          text = list[below(list.size())];
          const std::size_t cut = below(text.size() + 1);
          const int how = below(4);
          if (how == 1) text.erase(0, cut);
          if (how == 2) text.erase(text.size() - cut);
          if (how == 3) text += kLetters[below(letters)];
        }
        if (text.empty() && below(30) != 0) {
          const std::size_t length = 1 + below(big ? 20 : 5);
          for (std::size_t c = 0; c < length; ++c) text += kLetters[below(letters)];
        }
        list.push_back(text);
      }
      return list;
    };
    const SegmentList source = units();
    const SegmentList target = round % 3 == 0 ? source : units();
    const UnitMatchStatuses expected = MatchUnitsReference(source, target);
    ASSERT_EQ(MatchUnitsIndexed(source, target), expected) << "round " << round;
    ASSERT_EQ(MatchUnits(source, target), expected) << "round " << round;
  }
}

TEST(UnitMatchTableRandomTest, LongIdenticalLinesAreFast) {
  SegmentList units;
  for (int i = 0; i < 200000; ++i) units.push_back(i % 3 ? u"今日は" : u"いい天気です");
  ReportBuffer report;
  WriteUnitMatchTable(units, units, report, u"c");
  EXPECT_EQ(report.bytes().find("different"), std::string_view::npos);
}

}  // namespace
}  // namespace sorowa
