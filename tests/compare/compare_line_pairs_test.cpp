#include "compare/compare_line_pairs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <locale>

#include "base/memory_budget.h"
#include "compare/compare_errors.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

using testing_support::BackendLog;

// The report's outline: each table named by its caption, separators as they are.
std::vector<std::string> Outline(std::string_view report) {
  std::vector<std::string> items;
  std::size_t at = 0;
  while (at < report.size()) {
    if (report.substr(at).starts_with("<table>")) {
      const std::size_t captionStart = report.find("caption\">", at) + 9;
      const std::size_t captionEnd = report.find("</span>", captionStart);
      items.emplace_back(report.substr(captionStart, captionEnd - captionStart));
      at = report.find("</table>\n", at) + 9;
    } else if (report.substr(at).starts_with("<hr><br>")) {
      items.emplace_back("<hr><br>");
      at += 8;
    } else if (report.substr(at).starts_with("<br>")) {
      items.emplace_back("<br>");
      at += 4;
    } else {
      items.emplace_back("?");
      break;
    }
  }
  return items;
}

const std::string kCharDp = "文字単位でDPマッチング";
const std::string kMorphDp = "形態素単位でDPマッチング";
const std::string kBunsetsuDp = "疑似文節単位でDPマッチング";
const std::string kBunsetsuMatch = "疑似文節単位でマッチング";
const std::string kMorphMatch = "形態素単位でマッチング";

struct OutlineCase {
  const char* name;
  CompareOptions options;
  bool withBackend;
  std::vector<std::string> pairOutline;
  int analysesPerPair;
};

class CompareOutlineTest : public testing::TestWithParam<OutlineCase> {};

TEST_P(CompareOutlineTest, WritesTablesInFixedOrder) {
  BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = GetParam().withBackend ? testing_support::ClassRunFactory(&log)
                                                     : testing_support::AbsentFactory(&log);
  std::string report;
  CompareLinePairs(u"私は学生です。\n本を読む\nextra", u"私が学生だ。\r\n本をよく読む", report,
                   GetParam().options, hooks);
  std::vector<std::string> expected = GetParam().pairOutline;
  expected.insert(expected.end(), GetParam().pairOutline.begin(), GetParam().pairOutline.end());
  EXPECT_EQ(Outline(report), expected);
  EXPECT_EQ(log.created, 1);
  EXPECT_EQ(log.destroyed, 1);
  if (GetParam().withBackend) {
    EXPECT_EQ(log.analyzed.load(), 2 * GetParam().analysesPerPair);
  }
}

const CompareOptions kAll{true, true, true, true, true};
const CompareOptions kNone{false, false, false, false, false};

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareOutlineTest,
    testing::Values(OutlineCase{"AllOptions",
                                kAll,
                                true,
                                {kCharDp, "<br>", kMorphDp, "<br>", kBunsetsuDp, "<br>",
                                 kBunsetsuMatch, "<br>", kMorphMatch, "<br>", "<hr><br>"},
                                2},
                    OutlineCase{"NoOptions", kNone, true, {"<hr><br>"}, 0},
                    OutlineCase{"OnlyCharDp",
                                {true, false, false, false, false},
                                true,
                                {kCharDp, "<br>", "<hr><br>"},
                                0},
                    OutlineCase{"OnlyMorphemeMatchStillAnalyses",
                                {false, false, false, false, true},
                                true,
                                {kMorphMatch, "<br>", "<hr><br>"},
                                2},
                    OutlineCase{"OnlyPseudoBunsetsuDpSkipsMorphemes",
                                {false, false, true, false, false},
                                true,
                                {kBunsetsuDp, "<br>", "<hr><br>"},
                                0},
                    // No analyser: the morpheme DP table has nothing to show, but its <br> stays,
                    // and the matching table is written with empty cells.
                    OutlineCase{"MissingBackend",
                                {false, true, false, false, true},
                                false,
                                {"<br>", kMorphMatch, "<br>", "<hr><br>"},
                                0}),
    [](const testing::TestParamInfo<OutlineCase>& info) { return info.param.name; });

TEST(CompareLinePairsTest, MissingBackendGivesEmptyMatchCells) {
  BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::AbsentFactory(&log);
  std::string report;
  CompareLinePairs(u"あ", u"い", report, {false, false, false, false, true}, hooks);
  EXPECT_NE(report.find("<td class=\"le\"></td></tr>\n<tr>\n<td class=\"le\"></td></tr>"),
            std::string::npos);
}

TEST(CompareLinePairsTest, UnchangedLineIsAnalysedOnce) {
  BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
  std::string report;
  // Two unchanged pairs and a changed one: four analyses, not six.
  CompareLinePairs(u"私は学生です。\n本を読む\n猫", u"私は学生です。\n本をよく読む\n猫", report,
                   kAll, hooks);
  EXPECT_EQ(log.analyzed.load(), 4);
  EXPECT_EQ(report.find("class=\"different\">私"), std::string::npos);
}

// The program sets its locale once at start-up; a Compare must not set it again while other
// threads (the report view's, its own workers) may be reading it.
TEST(CompareLinePairsTest, LeavesTheLocaleAlone) {
  std::locale::global(std::locale::classic());
  std::string report;
  CompareLinePairs(u"私は学生です。", u"私が学生だ。", report, kAll);
  EXPECT_EQ(std::locale().name(), "C");
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
}

TEST(CompareLinePairsTest, AnalyserLivesOncePerCallEvenWithoutLines) {
  BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
  std::string report;
  CompareLinePairs(u"", u"\r\n", report, kAll, hooks);
  CompareLinePairs(u"a", u"", report, kNone, hooks);
  EXPECT_EQ(report, "");
  EXPECT_EQ(log.created, 2);
  EXPECT_EQ(log.destroyed, 2);
}

TEST(CompareLinePairsTest, ProgressCountsPairsAndCanStopTheRun) {
  CompareHooks hooks;
  std::vector<std::pair<std::size_t, std::size_t>> calls;
  hooks.progress = [&](std::size_t done, std::size_t total) { calls.emplace_back(done, total); };
  std::string report;
  CompareLinePairs(u"a\nb\nc", u"a\nb", report, kNone, hooks);
  EXPECT_EQ(calls, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 2}, {1, 2}, {2, 2}}));

  struct Stop {};
  hooks.progress = [](std::size_t done, std::size_t) {
    if (done == 1) throw Stop{};
  };
  report.clear();
  EXPECT_THROW(CompareLinePairs(u"a\nb\nc", u"a\nb", report, kNone, hooks), Stop);
  EXPECT_EQ(report, "<hr><br>");
}

TEST(CompareLinePairsTest, TooLargePairNamesItsLineAndReleasesAnalyser) {
  BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
  SetDpMemoryLimit(4096);
  std::string report;
  const std::u16string source = u"short\n" + std::u16string(300, u'x');
  const std::u16string target = u"short\n" + std::u16string(200, u'y');
  try {
    CompareLinePairs(source, target, report, {true, false, false, false, false}, hooks);
    ADD_FAILURE() << "expected TableTooLargeError";
  } catch (const TableTooLargeError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("line pair 2"), std::string::npos) << message;
    EXPECT_NE(message.find("300 and 200"), std::string::npos) << message;
    // The same facts, for a front end that words the message itself.
    const ErrorDetails details = DetailsOf(error);
    EXPECT_EQ(details.kind, ErrorKind::TableTooLarge);
    EXPECT_EQ(details.pair, 2u);
    EXPECT_EQ(details.sourceLength, 300u);
    EXPECT_EQ(details.targetLength, 200u);
    EXPECT_EQ(details.limit, 4096u);
    EXPECT_GT(details.size, details.limit);
  }
  SetDpMemoryLimit(0);
  EXPECT_EQ(log.created, 1);
  EXPECT_EQ(log.destroyed, 1);
}

}  // namespace
}  // namespace sorowa

namespace sorowa {
namespace {

// Pairs may be written on several threads; the report must not show it.
TEST(CompareLinePairsThreadsTest, ReportIsTheSameOnAnyNumberOfThreads) {
  std::u16string source, target;
  for (int i = 0; i < 300; ++i) {
    const std::u16string n = std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
    source += u"第" + n + u"章では東京タワーへ行った。猫が好き & <も>\n";
    target += u"第" + n + u"章で東京タワーに行きました。犬が好き  <も>\r\n";
  }
  std::string reports[3];
  const std::size_t threadCounts[3] = {1, 2, 4};
  for (int k = 0; k < 3; ++k) {
    testing_support::BackendLog log;
    CompareHooks hooks;
    hooks.threads = threadCounts[k];
    hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
    std::size_t lastDone = 0;
    hooks.progress = [&lastDone](std::size_t done, std::size_t total) {
      EXPECT_GE(done, lastDone);
      EXPECT_EQ(total, 300u);
      lastDone = done;
    };
    CompareLinePairs(source, target, reports[k], {true, true, true, true, true}, hooks);
    EXPECT_EQ(lastDone, 300u);
    EXPECT_EQ(log.created, 1) << "the factory runs once; other threads share its model";
  }
  EXPECT_EQ(reports[1], reports[0]);
  EXPECT_EQ(reports[2], reports[0]);
}

// Two tables that might not fit side by side keep the Compare on one thread, so the same
// pair fails, with the same message, however many threads were asked for.
TEST(CompareLinePairsThreadsTest, LargePairsFailAsOnOneThread) {
  std::u16string source, target;
  for (int i = 0; i < 200; ++i) {
    const bool big = i == 150 || i == 170;
    source += (big ? std::u16string(2000 + i, u'x') : u"short") + u"\n";
    target += (big ? std::u16string(1000, u'y') : u"shirt") + u"\n";
  }
  SetDpMemoryLimit(64 * 1024);
  CompareHooks hooks;
  hooks.threads = 2;
  std::string report;
  try {
    CompareLinePairs(source, target, report, {true, false, false, false, false}, hooks);
    ADD_FAILURE() << "expected TableTooLargeError";
  } catch (const TableTooLargeError& error) {
    EXPECT_NE(std::string(error.what()).find("line pair 151"), std::string::npos) << error.what();
  }
  SetDpMemoryLimit(0);
}

}  // namespace
}  // namespace sorowa

namespace sorowa {
namespace {

// Cancelling must not wait for the rest of a pair that would take minutes: the work in
// flight stops at its next check.
TEST(CompareLinePairsThreadsTest, CancelStopsALongPairSoon) {
  std::u16string source, target;
  unsigned state = 1;
  auto unit = [&state] {
    state = state * 1103515245u + 12345u;
    std::u16string text(1, static_cast<char16_t>(u'\u4E00' + (state >> 8) % 20000));
    return text + static_cast<char16_t>(u'\u3041' + (state >> 20) % 80);
  };
  for (int i = 0; i < 60000; ++i) source += unit();
  for (int i = 0; i < 60000; ++i) target += unit();

  CompareHooks hooks;
  hooks.progress = [](std::size_t, std::size_t) { throw CompareCancelled(); };
  const auto start = std::chrono::steady_clock::now();
  std::string report;
  EXPECT_THROW(CompareLinePairs(source + u"\n", target + u"\n", report,
                                {false, false, false, true, false}, hooks),
               CompareCancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(report, "");
}

}  // namespace
}  // namespace sorowa

namespace sorowa {
namespace {

// A long pair goes on in pieces of about a megabyte while it is written, not whole at its
// end, and the pieces make the report that the whole pair makes.
TEST(CompareLinePairsStreamTest, LongPairGoesOnInPieces) {
  std::u16string line;
  for (int i = 0; i < 150000; ++i) line += static_cast<char16_t>(u'あ' + i % 80);
  std::u16string changed = line;
  for (std::size_t k = 0; k < changed.size(); k += 997) changed[k] = u'&';
  const std::u16string source = u"a\n" + line + u"\nb";
  const std::u16string target = u"a\n" + changed + u"\nc";
  const CompareOptions charOnly{true, false, false, false, false};
  std::string whole;
  CompareLinePairs(source, target, whole, charOnly);

  CompareHooks hooks;
  std::vector<std::size_t> sizes;
  std::string joined;
  hooks.reportBytes = [&](std::string_view bytes) {
    sizes.push_back(bytes.size());
    joined += bytes;
  };
  std::string untouched;
  CompareLinePairs(source, target, untouched, charOnly, hooks);
  EXPECT_EQ(untouched, "");
  EXPECT_EQ(joined, whole);
  EXPECT_GE(sizes.size(), whole.size() >> 20);
  EXPECT_LE(*std::max_element(sizes.begin(), sizes.end()), std::size_t{3} << 19);
}

}  // namespace
}  // namespace sorowa
