// Line pairs other than line i with line i: a line alone, lines joined, and what the Compare
// tells the front ends about them.
#include <gtest/gtest.h>

#include <stdexcept>

#include "compare/compare_line_pairs.h"
#include "compare/compare_result.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

const CompareOptions kAll{true, true, true, true, true};

std::string Report(const std::u16string& source, const std::u16string& target,
                   const LinePairing* pairing, std::size_t threads = 0) {
  testing_support::BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
  hooks.threads = threads;
  std::string report;
  if (pairing != nullptr) {
    CompareLinePairs(source, target, *pairing, report, kAll, hooks);
  } else {
    CompareLinePairs(source, target, report, kAll, hooks);
  }
  return report;
}

std::vector<std::string> Pairs(const std::string& report) {
  std::vector<std::string> pairs;
  for (std::size_t at = 0; at < report.size();) {
    const std::size_t end = report.find("<hr><br>", at) + 8;
    pairs.push_back(report.substr(at, end - at));
    at = end;
  }
  return pairs;
}

// A deleted line and an inserted one, with every table: each line stands in its own row over
// (or under) empty different cells; the matching tables leave the missing row empty. The
// pairs with two lines are what they are when compared by position.
TEST(LonePairTest, DeletedAndInsertedLinesShowEveryTable) {
  const LinePairing pairing{{0, 1, 0, 1}, {1, 1, 0, 0}, {2, 1, 1, 1}, {0, 0, 2, 1}};
  const std::vector<std::string> pairs =
      Pairs(Report(u"ねこ\n\nx<y\nいぬ", u"ねこ\nいぬ\r\nとり", &pairing));
  ASSERT_EQ(pairs.size(), 4u);
  EXPECT_EQ(pairs[0], Report(u"ねこ", u"ねこ", nullptr));
  EXPECT_EQ(pairs[2], Report(u"いぬ", u"いぬ", nullptr));

  const std::string deletedDp =
      "<td class=\"different\">x</td>\n"
      "<td class=\"different\">&lt;</td>\n"
      "<td class=\"different\">y</td>\n"
      "</tr>\n<tr>\n"
      "<td class=\"different\"></td>\n"
      "<td class=\"different\"></td>\n"
      "<td class=\"different\"></td>\n"
      "</tr>\n</table>\n<br>";
  const std::string deletedMatch =
      "単位でマッチング</span></td>\n"
      "<td class=\"le\"><span class=\"different\">x</span>\n"
      "<span class=\"different\">&lt;</span>\n"
      "<span class=\"different\">y</span>\n"
      "</td></tr>\n<tr>\n"
      "<td class=\"le\"></td></tr>\n</table>\n<br>";
  const std::string caption = "<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
  EXPECT_EQ(pairs[1], caption + "文字単位でDPマッチング</span></td>\n" + deletedDp +  //
                          caption + "形態素単位でDPマッチング</span></td>\n" + deletedDp + caption +
                          "疑似文節単位でDPマッチング</span></td>\n" + deletedDp + caption +
                          "疑似文節" + deletedMatch +  //
                          caption + "形態素" + deletedMatch + "<hr><br>");

  const std::string insertedChars =
      "<td class=\"different\"></td>\n"
      "<td class=\"different\"></td>\n"
      "</tr>\n<tr>\n"
      "<td class=\"different\">と</td>\n"
      "<td class=\"different\">り</td>\n"
      "</tr>\n</table>\n<br>";
  const std::string insertedUnit =
      "<td class=\"different\"></td>\n"
      "</tr>\n<tr>\n"
      "<td class=\"different\">とり</td>\n"
      "</tr>\n</table>\n<br>";
  const std::string insertedMatch =
      "単位でマッチング</span></td>\n"
      "<td class=\"le\"></td></tr>\n<tr>\n"
      "<td class=\"le\"><span class=\"different\">とり</span>\n"
      "</td></tr>\n</table>\n<br>";
  EXPECT_EQ(pairs[3], caption + "文字単位でDPマッチング</span></td>\n" + insertedChars + caption +
                          "形態素単位でDPマッチング</span></td>\n" + insertedUnit + caption +
                          "疑似文節単位でDPマッチング</span></td>\n" + insertedUnit + caption +
                          "疑似文節" + insertedMatch +  //
                          caption + "形態素" + insertedMatch + "<hr><br>");
}

// A merge and a split, repeated so that several workers write them: the same report as the
// joined texts compared line by line on one thread.
TEST(JoinedLinesTest, AreComparedAsOneLineWithNothingBetween) {
  std::u16string source, target, joinedSource, joinedTarget;
  LinePairing pairing;
  for (std::size_t i = 0; i < 40; ++i) {
    source += u"今日は\n晴れ\n明日は雨。\n";
    target += u"今日は晴れ\n明日は\r\n\r\n雨だ。\n";
    joinedSource += u"今日は晴れ\n明日は雨。\n";
    joinedTarget += u"今日は晴れ\n明日は雨だ。\n";
    pairing.push_back({3 * i, 2, 3 * i, 1});
    pairing.push_back({3 * i + 2, 1, 3 * i + 1, 2});
  }
  EXPECT_EQ(Report(source, target, &pairing, 4), Report(joinedSource, joinedTarget, nullptr, 1));
}

}  // namespace

void PrintTo(const SideSummary& s, std::ostream* os) {
  *os << s.lines << " lines, " << s.alone << " alone, " << s.omitted
      << " left out: " << FormatLineRanges(s.omittedRanges);
}

namespace {

// Lines are named by their number in the text, empty lines counted; joined lines by both
// numbers; a missing side by "-". Lines in no pair are counted and named range by range.
TEST(CompareResultTest, NamesEveryKindOfPairAndTheLinesLeftOut) {
  std::string report;
  const CompareResult result =
      CompareLinePairs(u"a\nb\n\nc\nd\ne\rf\r\ng", u"\nx\ny\nz",
                       {{1, 2, 0, 1}, {3, 1, 0, 0}, {4, 1, 1, 2}}, report, kAll);
  EXPECT_EQ(FormatPairsText(result), "2+4\t2\n5\t-\n6\t3+4\n");
  EXPECT_EQ(result.source, (SideSummary{7, 4, 3, {{1, 1}, {7, 8}}}));
  EXPECT_EQ(result.target, (SideSummary{3, 0, 0, {}}));
}

// Runs of three lines or more are written by their ends, empty lines between them belonging to
// no pair, and read back; a moved pair stands where the pairing lists it.
TEST(CompareResultTest, WritesAndReadsRunsOfLines) {
  std::string report;
  const CompareResult result = CompareLinePairs(u"a\nb\n\nc\nd\ne", u"x\ny\n\nz\nw",
                                                {{2, 3, 0, 3}, {0, 2, 3, 1, true}}, report, kAll);
  EXPECT_EQ(FormatPairsText(result), "4-6\t1-4\n1+2\t5\n");
  EXPECT_TRUE(result.pairs[1].moved);
  const std::pair<std::string_view, std::optional<PairSide>> sides[] = {
      {"-", PairSide{}},
      {"12", PairSide{1, 12, 12}},
      {"12+14", PairSide{2, 12, 14}},
      {"12-40", PairSide{3, 12, 40}},
      {"12-12", std::nullopt},
      {"012", std::nullopt},
      {"12+", std::nullopt},
      {"+12", std::nullopt},
      {"1-2-3", std::nullopt},
      {"", std::nullopt}};
  for (const auto& [text, side] : sides) {
    EXPECT_EQ(ParsePairSide(text), side) << text;
    if (side && side->count < 3) {
      EXPECT_EQ(FormatPairSide(*side), text);
    }
  }
}

TEST(CompareResultTest, PairingNamingMissingLinesIsRefusedBeforeAnyTable) {
  std::string report;
  for (const LinePair& bad :
       {LinePair{0, 1, 1, 1}, LinePair{1, 2, 0, 1}, LinePair{0, 0, 0, 0}, LinePair{0, 3, 0, 1}}) {
    EXPECT_THROW(CompareLinePairs(u"a\nb", u"x", {{0, 1, 0, 1}, bad}, report, kAll),
                 std::logic_error);
  }
  EXPECT_EQ(report, "");
}

}  // namespace
}  // namespace sorowa
