// The review page: its marks against the scores on generated revisions, and one page byte
// for byte. tests/fuzz/review_fuzz.cpp checks the same reading on arbitrary texts;
// tests/app/review_page_e2e_test.cpp how a browser lays the page out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>

#include "base/utf8.h"
#include "compare/compare_line_pairs.h"
#include "compare_test_support.h"
#include "fake_morph_backend.h"
#include "review_parsing.h"

namespace sorowa {
namespace {

using fuzz::ReadReviewPage;
using fuzz::ReviewPageRead;
using fuzz::ReviewRowRead;

// Characters a revision draws from: kana, kanji, Latin, the characters HTML escapes, a
// character outside the BMP, a control and a bidirectional override.
const std::u16string kAlphabet =
    u"のはをにでするたカタナーア漢字比較日本語文章abcX0 &<>\"'\t\U0001F600\x01\u202E";

char16_t Draw(std::mt19937& random, std::size_t from = 0) {
  return kAlphabet[std::uniform_int_distribution<std::size_t>(from, kAlphabet.size() - 1)(random)];
}

struct Revision {
  std::u16string source;
  std::u16string target;
};

// lines lines of up to longest code units, revised as a reviser or an OCR engine would:
// characters changed, dropped and added at editRate, lines dropped, added, split and
// joined. Draw may pick half of a surrogate pair: lone surrogates come with it.
Revision Revise(std::uint32_t seed, std::size_t lines, std::size_t longest, double editRate) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  Revision revision;
  for (std::size_t k = 0; k < lines; ++k) {
    std::u16string line;
    const std::size_t length = 1 + random() % longest;
    for (std::size_t i = 0; i < length; ++i) line += Draw(random);
    std::u16string revised;
    for (char16_t c : line) {
      const double roll = chance(random);
      if (roll < editRate / 3) {
        revised += Draw(random);
      } else if (roll < editRate * 2 / 3) {
        // dropped
      } else if (roll < editRate) {
        revised += c;
        revised += Draw(random);
      } else {
        revised += c;
      }
    }
    const double fate = chance(random);
    revision.source += line + u"\n";
    if (fate < 0.05) continue;  // the line is lost
    if (fate < 0.10) {
      std::u16string added = u"追加された行";
      added += Draw(random);
      added += u'\n';
      revised.insert(0, added);
    }
    if (fate < 0.15 && revised.size() > 2) revised.insert(revised.size() / 2, u"\n");
    revision.target += revised;
    revision.target += fate < 0.20 ? u"" : u"\n";  // the next line is joined on
  }
  return revision;
}

// The Target of revision with its first ten lines moved to the end and every line wrapped
// every 12 code units, so that a pairing by content has moved pairs and joined runs.
void MoveAndWrap(Revision& revision) {
  std::vector<std::u16string> lines;
  for (std::size_t start = 0; start < revision.target.size();) {
    std::size_t end = revision.target.find(u'\n', start);
    if (end == std::u16string::npos) end = revision.target.size();
    lines.push_back(revision.target.substr(start, end - start));
    start = end + 1;
  }
  std::rotate(lines.begin(), lines.begin() + std::min<std::size_t>(10, lines.size()), lines.end());
  revision.target.clear();
  for (const std::u16string& line : lines) {
    for (std::size_t at = 0; at < line.size(); at += 12) {
      revision.target += line.substr(at, 12) + u"\n";
    }
  }
}

// The line cell of a pair side as the pairs file writes it: "12–40" for "12+40" or "12-40".
std::string LineCell(const std::string& side) {
  if (side == "-") return "—";
  const std::size_t join = side.find_first_of("+-");
  return join == std::string::npos ? side : side.substr(0, join) + "–" + side.substr(join + 1);
}

struct MarksCase {
  const char* name;
  std::uint32_t seed;
  std::size_t lines;
  std::size_t longest;
  double editRate;
  bool alignLines;
  bool changedOnly;
  bool moveAndWrap = false;
};

class ReviewMarksTest : public ::testing::TestWithParam<MarksCase> {};

// Every row's marks count exactly the S, D and I of its pair's scores (and its texts read
// back as the pair's lines, which the fuzz target checks in detail); with only changes, the
// identical pairs and nothing else are left out; the line cells and the moved marks are the
// pairs'. The page does not depend on the number of threads that wrote it.
TEST_P(ReviewMarksTest, MarksCountTheScores) {
  const MarksCase& c = GetParam();
  Revision revision = Revise(c.seed, c.lines, c.longest, c.editRate);
  if (c.moveAndWrap) MoveAndWrap(revision);
  CompareOptions options;
  options.report = ReportKind::Review;
  options.scores = ScoreUnits::Chars;
  options.alignLines = c.alignLines;
  options.changedOnly = c.changedOnly;
  options.sourceName = "source.txt";
  options.targetName = "target.txt";
  CompareHooks hooks;
  hooks.threads = 3;
  std::string page;
  const CompareResult result =
      CompareLinePairs(revision.source, revision.target, page, options, hooks);
  ASSERT_TRUE(result.scores) << result.scoresError;
  const std::vector<PairScore>& pairs = result.scores->pairs;

  const ReviewPageRead read = ReadReviewPage(page);
  ASSERT_EQ(read.error, "");
  std::size_t identical = 0;
  std::uint64_t substituted = 0, deleted = 0, inserted = 0;
  for (const PairScore& pair : pairs) identical += pair.status == PairStatus::Identical;
  EXPECT_EQ(read.leftOut, c.changedOnly ? identical : 0);
  ASSERT_EQ(read.rows.size(), pairs.size() - read.leftOut);
  EXPECT_EQ(read.movedPairs, result.scores->totals.moved);
  std::size_t moved = 0, ranges = 0;
  for (const ReviewRowRead& row : read.rows) {
    ASSERT_LE(row.number, pairs.size());
    const PairScore& pair = pairs[row.number - 1];
    EXPECT_EQ(row.moved, pair.moved) << "row " << row.number;
    EXPECT_EQ(row.sourceLines, LineCell(pair.source)) << "row " << row.number;
    EXPECT_EQ(row.targetLines, LineCell(pair.target)) << "row " << row.number;
    moved += row.moved;
    ranges += pair.target.find('-', 1) != std::string::npos;
    const ErrorCounts& counts = pair.chars;
    EXPECT_EQ(row.substituted, counts.substitutions) << "row " << row.number;
    EXPECT_EQ(row.substitutedTarget, counts.substitutions) << "row " << row.number;
    EXPECT_EQ(row.deleted, counts.deletions) << "row " << row.number;
    EXPECT_EQ(row.inserted, counts.insertions) << "row " << row.number;
    substituted += row.substituted;
    deleted += row.deleted;
    inserted += row.inserted;
    if (c.changedOnly) {
      EXPECT_NE(pairs[row.number - 1].status, PairStatus::Identical);
    }
  }
  if (c.moveAndWrap) {
    EXPECT_GT(moved, 0u);
    EXPECT_GT(ranges, 0u);
  }
  EXPECT_EQ(substituted, result.scores->totals.chars.substitutions);
  EXPECT_EQ(deleted, result.scores->totals.chars.deletions);
  EXPECT_EQ(inserted, result.scores->totals.chars.insertions);

  hooks.threads = 1;
  std::string onOneThread;
  CompareLinePairs(revision.source, revision.target, onOneThread, options, hooks);
  EXPECT_EQ(onOneThread, page);
}

INSTANTIATE_TEST_SUITE_P(
    Revisions, ReviewMarksTest,
    ::testing::Values(MarksCase{"ByPosition", 1, 300, 80, 0.08, false, false},
                      MarksCase{"LinesAligned", 2, 300, 80, 0.08, true, false},
                      MarksCase{"ChangesOnly", 3, 300, 80, 0.03, true, true},
                      MarksCase{"HeavilyEdited", 4, 100, 40, 0.6, true, false},
                      MarksCase{"LongLines", 5, 4, 20000, 0.05, false, false},
                      MarksCase{"MovedAndWrapped", 6, 200, 60, 0.03, true, false, true}),
    [](const ::testing::TestParamInfo<MarksCase>& info) { return info.param.name; });

// The whole page for a small pair of texts with an identical line, lines joined, a line on
// either side only, characters outside the BMP and characters that must be escaped or
// named, paired by content, with morpheme figures. Regenerate with SOROWA_UPDATE_GOLDEN=1
// only after checking the differences by eye, in a browser too.
TEST(GoldenReviewTest, MatchesStoredPage) {
  const std::string dir = SOROWA_TEST_DATA_DIR;
  const std::u16string source = DecodeUtf8(testing_support::ReadFile(dir + "/review_source.txt"));
  const std::u16string target = DecodeUtf8(testing_support::ReadFile(dir + "/review_target.txt"));
  ASSERT_FALSE(source.empty());
  testing_support::BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
  CompareOptions options;
  options.report = ReportKind::Review;
  options.scores = ScoreUnits::CharsAndMorphemes;
  options.alignLines = true;
  options.sourceName = "review_source.txt";
  options.targetName = "review_target & <copy>.txt";
  std::string page;
  CompareLinePairs(source, target, page, options, hooks);

  const std::string goldenPath = dir + "/golden_review.htm";
  if (std::getenv("SOROWA_UPDATE_GOLDEN")) {
    std::ofstream(goldenPath, std::ios::binary) << page;
  }
  EXPECT_EQ(page, testing_support::ReadFile(goldenPath));
}

}  // namespace
}  // namespace sorowa
