// Line pairs other than line i with line i: a line alone, lines joined, and what the Compare
// tells the front ends about them.
#include <gtest/gtest.h>

#include <stdexcept>

#include "compare/compare_line_pairs.h"
#include "compare/compare_result.h"
#include "compare/on_compare.h"
#include "compare_test_support.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

const CompareOptions kAll{true, true, true, true, true};

std::u16string Report(const std::u16string& source, const std::u16string& target,
                      const LinePairing* pairing, std::size_t threads = 0) {
  testing_support::BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
  hooks.threads = threads;
  std::u16string report;
  if (pairing != nullptr) {
    CompareLinePairs(source, target, *pairing, report, kAll, hooks);
  } else {
    CompareLinePairs(source, target, report, kAll, hooks);
  }
  return report;
}

std::vector<std::u16string> Pairs(const std::u16string& report) {
  std::vector<std::u16string> pairs;
  for (std::size_t at = 0; at < report.size();) {
    const std::size_t end = report.find(u"<hr><br>", at) + 8;
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
  const std::vector<std::u16string> pairs =
      Pairs(Report(u"ねこ\n\nx<y\nいぬ", u"ねこ\nいぬ\r\nとり", &pairing));
  ASSERT_EQ(pairs.size(), 4u);
  EXPECT_EQ(pairs[0], Report(u"ねこ", u"ねこ", nullptr));
  EXPECT_EQ(pairs[2], Report(u"いぬ", u"いぬ", nullptr));

  const std::u16string deletedDp =
      u"<td class=\"different\">x</td>\n"
      u"<td class=\"different\">&lt;</td>\n"
      u"<td class=\"different\">y</td>\n"
      u"</tr>\n<tr>\n"
      u"<td class=\"different\"></td>\n"
      u"<td class=\"different\"></td>\n"
      u"<td class=\"different\"></td>\n"
      u"</tr>\n</table>\n<br>";
  const std::u16string deletedMatch =
      u"単位でマッチング</span></td>\n"
      u"<td class=\"le\"><span class=\"different\">x</span>\n"
      u"<span class=\"different\">&lt;</span>\n"
      u"<span class=\"different\">y</span>\n"
      u"</td></tr>\n<tr>\n"
      u"<td class=\"le\"></td></tr>\n</table>\n<br>";
  const std::u16string caption =
      u"<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
  EXPECT_EQ(pairs[1], caption + u"文字単位でDPマッチング</span></td>\n" + deletedDp +  //
                          caption + u"形態素単位でDPマッチング</span></td>\n" + deletedDp +
                          caption + u"疑似文節単位でDPマッチング</span></td>\n" + deletedDp +
                          caption + u"疑似文節" + deletedMatch +  //
                          caption + u"形態素" + deletedMatch + u"<hr><br>");

  const std::u16string insertedChars =
      u"<td class=\"different\"></td>\n"
      u"<td class=\"different\"></td>\n"
      u"</tr>\n<tr>\n"
      u"<td class=\"different\">と</td>\n"
      u"<td class=\"different\">り</td>\n"
      u"</tr>\n</table>\n<br>";
  const std::u16string insertedUnit =
      u"<td class=\"different\"></td>\n"
      u"</tr>\n<tr>\n"
      u"<td class=\"different\">とり</td>\n"
      u"</tr>\n</table>\n<br>";
  const std::u16string insertedMatch =
      u"単位でマッチング</span></td>\n"
      u"<td class=\"le\"></td></tr>\n<tr>\n"
      u"<td class=\"le\"><span class=\"different\">とり</span>\n"
      u"</td></tr>\n</table>\n<br>";
  EXPECT_EQ(pairs[3], caption + u"文字単位でDPマッチング</span></td>\n" + insertedChars + caption +
                          u"形態素単位でDPマッチング</span></td>\n" + insertedUnit + caption +
                          u"疑似文節単位でDPマッチング</span></td>\n" + insertedUnit + caption +
                          u"疑似文節" + insertedMatch +  //
                          caption + u"形態素" + insertedMatch + u"<hr><br>");
}

struct JoinCase {
  const char* name;
  std::u16string source;
  std::u16string target;
  LinePairing pairing;
  // The same pairs as line i with line i.
  std::u16string joinedSource;
  std::u16string joinedTarget;
};

void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.name; }

class JoinedLinesTest : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinedLinesTest, AreComparedAsOneLineWithNothingBetween) {
  const JoinCase& c = GetParam();
  EXPECT_EQ(Report(c.source, c.target, &c.pairing),
            Report(c.joinedSource, c.joinedTarget, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Cases, JoinedLinesTest,
                         testing::Values(JoinCase{"Merge",
                                                  u"今日は\n晴れ\n明日",
                                                  u"今日は晴れ\n明日も",
                                                  {{0, 2, 0, 1}, {2, 1, 1, 1}},
                                                  u"今日は晴れ\n明日",
                                                  u"今日は晴れ\n明日も"},
                                         JoinCase{"Split",
                                                  u"東京へ行った。大阪にも",
                                                  u"東京へ\r\n\r\n行った。\n大阪にも",
                                                  {{0, 1, 0, 2}},
                                                  u"東京へ行った。大阪にも",
                                                  u"東京へ行った。"}),
                         [](const testing::TestParamInfo<JoinCase>& info) {
                           return info.param.name;
                         });

// Enough pairs for several workers: lone and joined pairs come out as on one thread.
TEST(JoinedLinesThreadsTest, ReportIsTheSameOnAnyNumberOfThreads) {
  std::u16string source, target;
  LinePairing pairing;
  for (std::size_t i = 0; i < 60; ++i) {
    source += u"猫が好き\n犬も\n鳥は嫌い\n";
    target += u"猫が好き犬も\n魚\n";
    pairing.push_back({3 * i, 2, 2 * i, 1});
    pairing.push_back({3 * i + 2, 1, 0, 0});
    pairing.push_back({0, 0, 2 * i + 1, 1});
  }
  const std::u16string one = Report(source, target, &pairing, 1);
  EXPECT_EQ(Report(source, target, &pairing, 4), one);
  EXPECT_EQ(Pairs(one).size(), pairing.size());
}

struct ResultCase {
  const char* name;
  std::u16string source;
  std::u16string target;
  std::optional<LinePairing> pairing;  // none: by position
  std::string pairs;                   // as --pairs writes them
  SideSummary sourceSummary;
  SideSummary targetSummary;
};

void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

void PrintTo(const SideSummary& s, std::ostream* os) {
  *os << s.lines << " lines, " << s.alone << " alone, " << s.omitted
      << " left out: " << FormatLineRanges(s.omittedRanges);
}

namespace {

class CompareResultTest : public testing::TestWithParam<ResultCase> {};

TEST_P(CompareResultTest, NamesLinesByTheirNumberInTheText) {
  const ResultCase& c = GetParam();
  std::u16string report;
  const CompareOptions none{false, false, false, false, false};
  const CompareResult result = c.pairing
                                   ? CompareLinePairs(c.source, c.target, *c.pairing, report, none)
                                   : CompareLinePairs(c.source, c.target, report, none);
  EXPECT_EQ(FormatPairsText(result), c.pairs);
  EXPECT_EQ(result.source, c.sourceSummary);
  EXPECT_EQ(result.target, c.targetSummary);
}

INSTANTIATE_TEST_SUITE_P(Cases, CompareResultTest,
                         testing::Values(
                             // Empty lines count; CR LF, LF and a lone CR each end one line.
                             ResultCase{"SurplusSourceLines",
                                        u"a\n\nb\r\n\r\nc\rd\n",
                                        u"x\ny",
                                        std::nullopt,
                                        "1\t1\n3\t2\n",
                                        {4, 2, 2, {{5, 6}}},
                                        {2, 0, 0, {}}},
                             ResultCase{"OneSurplusTargetLine",
                                        u"a",
                                        u"\n\nx\ny",
                                        std::nullopt,
                                        "1\t3\n",
                                        {1, 0, 0, {}},
                                        {2, 1, 1, {{4, 4}}}},
                             ResultCase{"NoLines", u"\r\n", u"", std::nullopt, "", {}, {}},
                             ResultCase{"EveryKindOfPair",
                                        u"a\nb\n\nc\nd\ne",
                                        u"\nx\ny\nz",
                                        LinePairing{{0, 2, 0, 1}, {2, 1, 0, 0}, {3, 1, 1, 2}},
                                        "1+2\t2\n4\t-\n5\t3+4\n",
                                        {5, 2, 1, {{6, 6}}},
                                        {3, 0, 0, {}}},
                             // Lines left out in the middle are named range by range.
                             ResultCase{"GapsInAGivenPairing",
                                        u"a\nb\nc\nd\ne",
                                        u"x",
                                        LinePairing{{2, 1, 0, 1}},
                                        "3\t1\n",
                                        {5, 4, 4, {{1, 2}, {4, 5}}},
                                        {1, 0, 0, {}}}),
                         [](const testing::TestParamInfo<ResultCase>& info) {
                           return info.param.name;
                         });

TEST(CompareResultTest, FormatsSidesAndRanges) {
  EXPECT_EQ(FormatPairSide({}), "-");
  EXPECT_EQ(FormatPairSide({1, {7, 0}}), "7");
  EXPECT_EQ(FormatPairSide({2, {12, 14}}), "12+14");
  EXPECT_EQ(FormatLineRanges({{41, 43}, {50, 50}}), "41\u201343, 50");
}

TEST(CompareResultTest, PairingNamingMissingLinesIsRefusedBeforeAnyTable) {
  std::u16string report;
  for (const LinePair& bad :
       {LinePair{0, 1, 1, 1}, LinePair{1, 2, 0, 1}, LinePair{0, 0, 0, 0}, LinePair{0, 3, 0, 1}}) {
    EXPECT_THROW(CompareLinePairs(u"a\nb", u"x", {{0, 1, 0, 1}, bad}, report, kAll),
                 std::logic_error);
  }
  EXPECT_EQ(report, u"");
}

// The window's box reaches the engine, and the front end hears what was paired: with lines
// paired by content no line is left out.
TEST(CompareResultTest, OnCompareReadsThePairingOptionAndHandsOverTheResult) {
  testing_support::TempDir temp;
  TempReportStore store(temp.path());
  testing_support::BackendLog log;
  for (const bool aligned : {false, true}) {
    testing_support::FakeUi ui;
    ui.options[static_cast<int>(OptionId::AlignLines)] = aligned;
    ui.texts[0] = u"a\nb\nc";
    ui.texts[1] = u"a\n\nb";
    OnCompare(ui, store, testing_support::ClassRunFactory(&log));
    ASSERT_EQ(ui.results.size(), 1u);
    EXPECT_EQ(ui.results[0].linesAligned, aligned);
    EXPECT_EQ(ui.results[0].source.omitted, aligned ? 0u : 1u);
    std::size_t sourceLines = 0;
    for (const PairRecord& pair : ui.results[0].pairs) sourceLines += pair.source.count;
    EXPECT_EQ(sourceLines, aligned ? 3u : 2u);
  }
}

}  // namespace
}  // namespace sorowa
