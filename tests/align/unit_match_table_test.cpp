#include "align/unit_match_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorowa {
namespace {

// Reads one row's spans back as "class:text" items.
std::vector<std::u16string> Spans(std::u16string_view row) {
  std::vector<std::u16string> spans;
  const std::u16string_view open = u"<span class=\"";
  std::size_t at = row.find(u"<td class=\"le\">");
  while ((at = row.find(open, at)) != std::u16string_view::npos) {
    at += open.size();
    const std::size_t quote = row.find(u'"', at);
    const std::size_t close = row.find(u"</span>\n", quote);
    spans.push_back(std::u16string(row.substr(at, quote - at)) + u":" +
                    std::u16string(row.substr(quote + 2, close - quote - 2)));
    at = close;
  }
  return spans;
}

struct MatchCase {
  const char* name;
  SegmentList source, target;
  std::vector<std::u16string> sourceSpans, targetSpans;
};

class UnitMatchTableTest : public testing::TestWithParam<MatchCase> {};

TEST_P(UnitMatchTableTest, ClassesUnits) {
  std::u16string report;
  WriteUnitMatchTable(GetParam().source, GetParam().target, report, u"形態素");
  const std::size_t secondRow = report.find(u"</td></tr>\n<tr>\n");
  ASSERT_NE(secondRow, std::u16string::npos);
  EXPECT_EQ(Spans(std::u16string_view(report).substr(0, secondRow)), GetParam().sourceSpans);
  EXPECT_EQ(Spans(std::u16string_view(report).substr(secondRow)), GetParam().targetSpans);
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
  std::u16string report;
  WriteUnitMatchTable({}, {}, report, u"疑似文節");
  EXPECT_EQ(
      report,
      u"<table>\n<tr>\n"
      u"<td rowspan=2 width=50px><span class=\"caption\">疑似文節単位でマッチング</span></td>\n"
      u"<td class=\"le\"></td></tr>\n"
      u"<tr>\n<td class=\"le\"></td></tr>\n</table>\n");
}

TEST(UnitMatchTableMarkupTest, OneSpanPerUnitWithLineFeed) {
  std::u16string report;
  WriteUnitMatchTable({u"私は", u"。"}, {u"私は"}, report, u"形態素");
  EXPECT_EQ(report,
            u"<table>\n<tr>\n"
            u"<td rowspan=2 width=50px><span class=\"caption\">形態素単位でマッチング</span></td>\n"
            u"<td class=\"le\"><span class=\"same\">私は</span>\n"
            u"<span class=\"different\">。</span>\n</td></tr>\n"
            u"<tr>\n<td class=\"le\"><span class=\"same\">私は</span>\n</td></tr>\n</table>\n");
}

}  // namespace
}  // namespace sorowa

namespace sorowa {
namespace {

// The two passes written the plain way, a scan over the Target for every Source unit.
std::vector<std::u16string> PlainMatch(const SegmentList& source, const SegmentList& target) {
  struct Entry {
    std::u16string text;
    int position;
    int status;  // 0 same, 1 partial, 2 different
  };
  auto make = [](const SegmentList& units) {
    std::vector<Entry> entries;
    for (int i = 0; i < static_cast<int>(units.size()); ++i) entries.push_back({units[i], i, 2});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      if (a.text.size() != b.text.size()) return a.text.size() > b.text.size();
      if (a.text != b.text) return a.text > b.text;
      return a.position < b.position;
    });
    return entries;
  };
  std::vector<Entry> s = make(source), t = make(target);
  for (Entry& a : s) {
    for (Entry& b : t) {
      if (b.status != 2) continue;
      const bool prefix = a.text.size() < b.text.size() ? b.text.rfind(a.text, 0) == 0
                                                        : a.text.rfind(b.text, 0) == 0;
      if (!prefix) continue;
      if (a.text.size() == b.text.size()) a.status = b.status = 0;
      break;
    }
  }
  for (Entry& a : s) {
    if (a.status != 2) continue;
    for (Entry& b : t) {
      if (b.status != 2) continue;
      const bool inside = a.text.size() < b.text.size()
                              ? b.text.find(a.text) != std::u16string::npos
                              : a.text.find(b.text) != std::u16string::npos;
      if (inside) {
        a.status = b.status = 1;
        break;
      }
    }
  }
  std::vector<std::u16string> out;
  for (auto* side : {&s, &t}) {
    std::sort(side->begin(), side->end(),
              [](const Entry& a, const Entry& b) { return a.position < b.position; });
    for (const Entry& e : *side) {
      out.push_back(std::u16string(e.status == 0   ? u"same:"
                                   : e.status == 1 ? u"partial:"
                                                   : u"different:") +
                    e.text);
    }
  }
  return out;
}

TEST(UnitMatchTableRandomTest, AgreesWithPlainScan) {
  unsigned state = 4242;
  auto next = [&state](unsigned bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % bound;
  };
  for (int round = 0; round < 3000; ++round) {
    // Few short texts over two or three letters, so prefixes, duplicates and containment
    // are everywhere.
    auto units = [&] {
      SegmentList list;
      const unsigned count = next(9);
      for (unsigned k = 0; k < count; ++k) {
        std::u16string text;
        const unsigned length = 1 + next(4);
        for (unsigned c = 0; c < length; ++c)
          text += static_cast<char16_t>(u'x' + next(2 + round % 2));
        list.push_back(text);
      }
      return list;
    };
    const SegmentList source = units(), target = units();
    std::u16string report;
    WriteUnitMatchTable(source, target, report, u"c");
    const std::size_t secondRow = report.find(u"</td></tr>\n<tr>\n");
    std::vector<std::u16string> got = Spans(std::u16string_view(report).substr(0, secondRow));
    const std::vector<std::u16string> targetSpans =
        Spans(std::u16string_view(report).substr(secondRow));
    got.insert(got.end(), targetSpans.begin(), targetSpans.end());
    ASSERT_EQ(got, PlainMatch(source, target)) << "round " << round;
  }
}

TEST(UnitMatchTableRandomTest, LongIdenticalLinesAreFast) {
  SegmentList units;
  for (int i = 0; i < 200000; ++i) units.push_back(i % 3 ? u"今日は" : u"いい天気です");
  std::u16string report;
  WriteUnitMatchTable(units, units, report, u"c");
  EXPECT_EQ(report.find(u"different"), std::u16string::npos);
}

}  // namespace
}  // namespace sorowa
