// The scores a Compare delivers: the same as scoring each pair on its own, whatever the
// threads, tables and pairing; surplus lines counted; normalisation before everything.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "base/memory_budget.h"
#include "compare/compare_line_pairs.h"
#include "compare/on_compare.h"
#include "compare/report_store.h"
#include "compare/split_lines.h"
#include "compare_test_support.h"
#include "fake_morph_backend.h"
#include "score/pair_scorer.h"
#include "segment/morph_analyzer.h"
#include "text/text_normalizer.h"

namespace sorowa {
namespace {

using testing_support::BackendLog;
using testing_support::ClassRunFactory;

// A text of short lines over a few characters that the normalisation options change:
// full-width letters, katakana, spaces, punctuation; some lines only punctuation, some empty.
std::u16string RandomText(std::mt19937& random) {
  static const std::u16string kChars = u"あいカキａbc 、。漢字";
  std::u16string text;
  const int lines = static_cast<int>(random() % 12);
  for (int k = 0; k < lines; ++k) {
    const int length = static_cast<int>(random() % 7);
    for (int i = 0; i < length; ++i) text += kChars[random() % kChars.size()];
    text += random() % 5 == 0 ? u"\r\n\n" : u"\n";
  }
  return text;
}

// The lines a Compare sees, by line number: split, normalised, emptied ones gone.
std::map<std::size_t, std::u16string> SeenLines(const std::u16string& text,
                                                const NormalizationOptions& options) {
  std::vector<std::u16string> lines;
  std::vector<std::size_t> numbers;
  SplitLines(text, lines, numbers);
  TextNormalizer normalizer(options);
  std::map<std::size_t, std::u16string> seen;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::u16string line = normalizer.Apply(lines[k]);
    if (!line.empty()) seen[numbers[k]] = line;
  }
  return seen;
}

// The line numbers a side names: the non-empty lines from its first to its last (empty lines
// between them belong to no pair).
std::vector<std::size_t> LinesOf(const std::map<std::size_t, std::u16string>& lines,
                                 std::string_view text) {
  const std::optional<PairSide> side = ParsePairSide(text);
  EXPECT_TRUE(side.has_value()) << text;
  std::vector<std::size_t> numbers;
  if (!side || side->empty()) return numbers;
  for (auto it = lines.lower_bound(side->first); it != lines.end() && it->first <= side->last;
       ++it) {
    numbers.push_back(it->first);
  }
  return numbers;
}

std::u16string Joined(const std::map<std::size_t, std::u16string>& lines, std::string_view text) {
  std::u16string joined;
  for (std::size_t number : LinesOf(lines, text)) joined += lines.at(number);
  return joined;
}

// Scores every pair the result names from the lines themselves, one after the other.
StatsDocument Reference(const std::map<std::size_t, std::u16string>& source,
                        const std::map<std::size_t, std::u16string>& target,
                        const StatsDocument& scores, bool morphemes, BackendLog& log) {
  MorphAnalyzer analyzer({}, ClassRunFactory(&log));
  analyzer.SetLanguage(0);
  PairScorer scorer;
  PairDetail detail;
  StatsDocument expected;
  expected.options = scores.options;
  if (morphemes) expected.totals.morphemes.emplace();
  for (const PairScore& pair : scores.pairs) {
    const std::u16string reference = Joined(source, pair.source);
    const std::u16string hypothesis = Joined(target, pair.target);
    SegmentList referenceMorphemes;
    SegmentList hypothesisMorphemes;
    PairInput input;
    input.sourceSide = pair.source;
    input.targetSide = pair.target;
    input.moved = pair.moved;
    if (pair.source != "-") input.reference = reference;
    if (pair.target != "-") input.hypothesis = hypothesis;
    if (morphemes) {
      analyzer.SplitMorphemes(reference, referenceMorphemes);
      analyzer.SplitMorphemes(hypothesis, hypothesisMorphemes);
      input.morphemes = true;
      input.referenceMorphemes = &referenceMorphemes;
      input.hypothesisMorphemes = &hypothesisMorphemes;
    }
    AddPair(expected, scorer.Score(input, detail), detail);
  }
  return expected;
}

// Every line the Compare sees is in exactly one scored pair: the report's pairs first, in
// their order, then (by position) the surplus lines alone.
void ExpectEveryLineOnce(const CompareResult& result, const StatsDocument& scores,
                         const std::map<std::size_t, std::u16string>& sourceText,
                         const std::map<std::size_t, std::u16string>& targetText) {
  const std::size_t sourceLines = sourceText.size();
  const std::size_t targetLines = targetText.size();
  ASSERT_GE(scores.pairs.size(), result.pairs.size());
  std::map<std::size_t, int> sourceSeen;
  std::map<std::size_t, int> targetSeen;
  for (std::size_t k = 0; k < scores.pairs.size(); ++k) {
    const auto source = LinesOf(sourceText, scores.pairs[k].source);
    const auto target = LinesOf(targetText, scores.pairs[k].target);
    if (k < result.pairs.size()) {
      EXPECT_EQ(scores.pairs[k].source, FormatPairSide(result.pairs[k].source));
      EXPECT_EQ(scores.pairs[k].target, FormatPairSide(result.pairs[k].target));
      EXPECT_EQ(source.size(), result.pairs[k].source.count);
      EXPECT_EQ(target.size(), result.pairs[k].target.count);
      EXPECT_EQ(scores.pairs[k].moved, result.pairs[k].moved);
    } else {
      EXPECT_FALSE(result.linesAligned) << "only position pairing leaves lines out";
      EXPECT_EQ(source.size() + target.size(), 1u);
    }
    for (std::size_t number : source) ++sourceSeen[number];
    for (std::size_t number : target) ++targetSeen[number];
  }
  EXPECT_EQ(sourceSeen.size(), sourceLines);
  EXPECT_EQ(targetSeen.size(), targetLines);
  for (const auto& [line, count] : sourceSeen) EXPECT_EQ(count, 1) << "Source line " << line;
  for (const auto& [line, count] : targetSeen) EXPECT_EQ(count, 1) << "Target line " << line;
}

TEST(CompareScoresTest, EqualScoringEachPairAloneWhateverThreadsAndTables) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    const std::u16string sourceText = RandomText(random);
    const std::u16string targetText = RandomText(random);
    CompareOptions options;
    options.charDp = random() % 2 == 0;
    options.morphemeDp = random() % 2 == 0;
    options.morphemeMatch = random() % 2 == 0;
    options.alignLines = random() % 2 == 0;
    options.normalization.form = static_cast<UnicodeForm>(random() % 3);
    options.normalization.foldKana = random() % 2 == 0;
    options.normalization.ignoreSpace = random() % 2 == 0;
    options.normalization.ignorePunctuation = random() % 2 == 0;
    const bool morphemes = random() % 2 == 0;
    options.scores = morphemes ? ScoreUnits::CharsAndMorphemes : ScoreUnits::Chars;
    SCOPED_TRACE("round " + std::to_string(round));

    BackendLog log;
    CompareHooks hooks;
    hooks.morphBackendFactory = ClassRunFactory(&log);
    hooks.threads = 1;
    std::string report;
    const CompareResult result = CompareLinePairs(sourceText, targetText, report, options, hooks);
    ASSERT_TRUE(result.scores) << result.scoresError;

    const auto source = SeenLines(sourceText, options.normalization);
    const auto target = SeenLines(targetText, options.normalization);
    ExpectEveryLineOnce(result, *result.scores, source, target);
    EXPECT_EQ(*result.scores, Reference(source, target, *result.scores, morphemes, log));

    // More threads, no scores, or no tables: the same report and the same scores.
    hooks.threads = 4;
    std::string threaded;
    EXPECT_EQ(CompareLinePairs(sourceText, targetText, threaded, options, hooks).scores,
              result.scores);
    EXPECT_EQ(threaded, report);
    CompareOptions unscored = options;
    unscored.scores = ScoreUnits::None;
    std::string plain;
    EXPECT_FALSE(CompareLinePairs(sourceText, targetText, plain, unscored, hooks).scores);
    EXPECT_EQ(plain, report);
    CompareOptions noTables = options;
    noTables.writeTables = false;
    std::string none;
    EXPECT_EQ(CompareLinePairs(sourceText, targetText, none, noTables, hooks).scores,
              result.scores);
    EXPECT_EQ(none, "");
  }
}

// A line that normalisation empties drops out as an empty line does, and the others keep
// their line numbers; the report shows the normalised text.
TEST(CompareScoresTest, NormalisedLinesKeepTheirNumbers) {
  CompareOptions options{.charDp = true,
                         .morphemeDp = false,
                         .pseudoBunsetsuDp = false,
                         .pseudoBunsetsuMatch = false,
                         .morphemeMatch = false};
  options.normalization = {UnicodeForm::Nfkc, true, true, true};
  options.scores = ScoreUnits::Chars;
  std::string report;
  const CompareResult result =
      CompareLinePairs(u"ＡＢ カナ\n「」。\nでした", u"AB かな\nでした！", report, options);
  EXPECT_EQ(FormatPairsText(result), "1\t1\n3\t2\n");
  ASSERT_TRUE(result.scores);
  EXPECT_EQ(result.scores->totals.identical, 2u);
  EXPECT_EQ(result.scores->totals.chars.n, 7u);
  EXPECT_NE(report.find(">か<"), std::string::npos);
  EXPECT_EQ(report.find("カ"), std::string::npos);
}

// A pair too long to score leaves the scores out with the reason; the report is still
// written, as it would have been without scores.
TEST(CompareScoresTest, PairTooLongToScoreLeavesTheReport) {
  std::u16string longSource(3000, u'あ');
  std::u16string longTarget(3000, u'い');
  CompareOptions options{.charDp = false,
                         .morphemeDp = false,
                         .pseudoBunsetsuDp = true,
                         .pseudoBunsetsuMatch = false,
                         .morphemeMatch = false};
  options.scores = ScoreUnits::Chars;
  SetDpMemoryLimit(64 << 10);
  std::string report;
  const CompareResult result =
      CompareLinePairs(u"同じ\n" + longSource, u"同じ\n" + longTarget, report, options);
  SetDpMemoryLimit(0);
  EXPECT_FALSE(result.scores);
  EXPECT_NE(result.scoresError.find("line pair 2 cannot be scored"), std::string::npos)
      << result.scoresError;
  EXPECT_EQ(result.pairs.size(), 2u);
  EXPECT_NE(report.find("疑似文節"), std::string::npos);
}

// The window's options reach the Compare through OptionIds; with NoReport nothing is stored
// and the scores come through ShowResult. The editors keep their text.
TEST(CompareScoresTest, OnCompareReadsNormalisationAndScoresFromTheUi) {
  testing_support::TempDir temp;
  TempReportStore store(temp.path());
  testing_support::FakeUi ui;
  ui.texts[0] = u"ｶﾅ、\r\n";
  ui.texts[1] = u"かな\r\n";
  ui.options[static_cast<int>(OptionId::NormalizeNfkc)] = true;
  ui.options[static_cast<int>(OptionId::FoldKana)] = true;
  ui.options[static_cast<int>(OptionId::IgnorePunctuation)] = true;
  ui.options[static_cast<int>(OptionId::Scores)] = true;
  ui.options[static_cast<int>(OptionId::NoReport)] = true;
  BackendLog log;
  OnCompare(ui, store, ClassRunFactory(&log));
  EXPECT_EQ(ui.errors, std::vector<std::string>{});
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
  ASSERT_EQ(ui.results.size(), 1u);
  ASSERT_TRUE(ui.results[0].scores);
  EXPECT_EQ(ui.results[0].scores->totals.identical, 1u);
  EXPECT_FALSE(ui.results[0].scores->options.morphemes);
  EXPECT_EQ(ui.texts[0], u"ｶﾅ、\r\n");
}

}  // namespace
}  // namespace sorowa
