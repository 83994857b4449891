#include "align/dp_align.h"

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>
#include <vector>

#include "align/char_dp_table.h"
#include "align/dp_table.h"
#include "align/match_status.h"
#include "base/utf8.h"

namespace sorowa {
namespace {

// The character table's columns, read back from its cells (the texts here need no
// escaping): "piece/target class" for each column.
std::string Describe(const std::u16string& source, const std::u16string& target) {
  ReportBuffer buffer;
  WriteCharDpTable(source, target, buffer);
  const std::string_view report = buffer.bytes();
  std::vector<std::string> cells;
  for (std::size_t at = report.find("<td class=\""); at != std::string_view::npos;
       at = report.find("<td class=\"", at + 1)) {
    const std::size_t classEnd = report.find('"', at + 11);
    const std::size_t textEnd = report.find("</td>", classEnd);
    cells.push_back(std::string(report.substr(classEnd + 2, textEnd - classEnd - 2)) + " " +
                    std::string(report.substr(at + 11, classEnd - at - 11)));
  }
  std::string out;
  const std::size_t columns = cells.size() / 2;
  for (std::size_t k = 0; k < columns; ++k) {
    if (k) out += " | ";
    const std::string& piece = cells[k];
    out += piece.substr(0, piece.rfind(' ')) + "/" + cells[columns + k];
  }
  return out;
}

struct AlignCase {
  const char* name;
  std::u16string source, target, expected;
};

class DpAlignColumnsTest : public testing::TestWithParam<AlignCase> {};

TEST_P(DpAlignColumnsTest, GivesColumns) {
  EXPECT_EQ(Describe(GetParam().source, GetParam().target), ToUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DpAlignColumnsTest,
    testing::Values(
        AlignCase{"TrailingSourceJoinsLastColumn", u"abcd", u"abc",
                  u"a/a same | b/b same | cd/c partial"},
        AlignCase{"UnpairedTargetGetsEmptyPiece", u"abc", u"abcd",
                  u"a/a same | b/b same | c/c same | /d different"},
        AlignCase{"SkippedSourceJoinsNextColumn", u"abcde", u"ace",
                  u"a/a same | bc/c partial | de/e partial"},
        AlignCase{"TiesPreferPairSoLastTargetPairs", u"a", u"aaa",
                  u"/a different | /a different | a/a same"},
        AlignCase{"NoSwapBeforeThree", u"aba", u"bab", u"ab/b partial | a/a same | /b different"},
        AlignCase{"SwapShownAsStraightPairs", u"xab", u"xba",
                  u"x/x same | a/b different | b/a different"},
        AlignCase{"AllDifferent", u"abc", u"xyz", u"a/x different | b/y different | c/z different"},
        AlignCase{"Identical", u"abc", u"abc", u"a/a same | b/b same | c/c same"},
        AlignCase{"SingleTargetTakesWholeSource", u"xyz", u"y", u"xyz/y partial"},
        AlignCase{"SingleTargetEqual", u"y", u"y", u"y/y same"},
        AlignCase{"SingleTargetMissing", u"xz", u"y", u"xz/y different"},
        AlignCase{"Weather", u"今日は晴れ", u"今日は雨",
                  u"今/今 same | 日/日 same | は/は same | 晴れ/雨 different"},
        AlignCase{"Desu", u"ですます", u"です", u"で/で same | すます/す partial"},
        AlignCase{"Tokyo", u"東京都", u"京都", u"東京/京 partial | 都/都 same"},
        AlignCase{"Cat", u"猫が好き", u"犬が好きだ",
                  u"猫/犬 different | が/が same | 好/好 same | き/き same | /だ different"},
        AlignCase{"Nihongo", u"日本語", u"日本語です",
                  u"日/日 same | 本/本 same | 語/語 same | /で different | /す different"},
        // A character outside the BMP is one column, never two halves.
        AlignCase{"NonBmpCharacterIsWhole", u"𩸽を食べた", u"𩸽を食べる",
                  u"𩸽/𩸽 same | を/を same | 食/食 same | べ/べ same | た/る different"},
        AlignCase{"NonBmpCharactersAligned", u"𠮷野家の𩸽", u"吉野家の𩸽",
                  u"𠮷/吉 different | 野/野 same | 家/家 same | の/の same | 𩸽/𩸽 same"},
        // A lone surrogate is a character of its own; half of a pair does not match it.
        AlignCase{"HalfAPairIsNotTheLoneSurrogate", u"a𩸽", u"a\xD867",
                  u"a/a same | 𩸽/\xD867 different"},
        AlignCase{"LoneSurrogateBesideAPair", u"\xD867𩸽", u"𩸽", u"\xD867𩸽/𩸽 partial"}),
    [](const testing::TestParamInfo<AlignCase>& info) { return info.param.name; });

TEST(GroupSourcePiecesTest, OutOfRangeStartsGiveEmptyPieces) {
  const std::u16string source = u"abcd";
  const std::span<const char16_t> s(source);
  // Starts beyond the Source, a start that does not advance, and a negative one.
  const ColumnStarts starts{-1, 1, 1, 3, 9};
  const std::vector<std::u16string> pieces = GroupSourcePieces(s, starts, 4);
  EXPECT_EQ(pieces, (std::vector<std::u16string>{u"", u"", u"bc", u"d"}));
}

TEST(GroupSourcePiecesTest, JoinsUnitTexts) {
  const std::vector<std::u16string> units{u"本", u"を", u"読む"};
  const ColumnStarts starts{0, 2, 3};
  const std::vector<std::u16string> pieces =
      GroupSourcePieces(std::span<const std::u16string>(units), starts, 2);
  EXPECT_EQ(pieces, (std::vector<std::u16string>{u"本を", u"読む"}));
}

// A textbook DP over the full cost and step matrices, kept separate from the engine's code so
// that both would have to be wrong in the same way for the comparison below to pass.
std::vector<int> TextbookColumnStarts(const std::u16string& s, const std::u16string& t) {
  const int n = static_cast<int>(s.size()), m = static_cast<int>(t.size());
  std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1, 0));
  std::vector<std::vector<int>> step(n + 1, std::vector<int>(m + 1, 0));
  for (int j = 0; j <= m; ++j) cost[0][j] = j;
  for (int i = 0; i <= n; ++i) cost[i][0] = i;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= m; ++j) {
      const int candidates[3] = {cost[i - 1][j - 1] + (s[i - 1] != t[j - 1]), cost[i][j - 1] + 1,
                                 cost[i - 1][j] + 1};
      // Least value; on ties the earlier of pair (2), skip target (1), skip source (0).
      const int stepOf[3] = {2, 1, 0};
      int best = 0;
      for (int c = 1; c < 3; ++c) {
        if (candidates[c] < candidates[best]) best = c;
      }
      int value = candidates[best], chosen = stepOf[best];
      if (i >= 3 && j >= 3) {
        const int swap = cost[i - 2][j - 2] + 1 + (s[i - 2] != t[j - 1]) + (s[i - 1] != t[j - 2]);
        if (swap < value) value = swap, chosen = 3;
      }
      cost[i][j] = value;
      step[i][j] = chosen;
    }
  }
  std::vector<int> starts(m + 1, 0);
  int i = n, j = m;
  while (i >= 0 && j >= 0) {
    starts[j] = i;
    switch (step[i][j]) {
      case 0:
        --i;
        break;
      case 1:
        --j;
        break;
      case 2:
        --i, --j;
        break;
      case 3:
        starts[j - 1] = i - 1, i -= 2, j -= 2;
        break;
    }
  }
  return starts;
}

TEST(DpAlignRandomTest, MatchesTextbookImplementation) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 4000; ++round) {
    const int alphabet = 1 + round % 4;
    auto make = [&](int length) {
      std::u16string text;
      for (int k = 0; k < length; ++k) {
        text += static_cast<char16_t>(u'a' + random() % alphabet);
      }
      return text;
    };
    const std::u16string s = make(1 + static_cast<int>(random() % 24));
    const std::u16string t = make(1 + static_cast<int>(random() % 24));
    const ColumnStarts got = DpAlign(std::span<const char16_t>(s), std::span<const char16_t>(t));
    const std::vector<int> want = TextbookColumnStarts(s, t);
    ASSERT_EQ(std::vector<int>(got.begin(), got.end()), want)
        << "source " << std::string(s.begin(), s.end()) << " target "
        << std::string(t.begin(), t.end());
  }
}

TEST(DpAlignTest, RefusesTableOverMemoryLimit) {
  // Both sides past the bit-parallel length, so that the table is one that stores its steps.
  SetDpMemoryLimit(1000);
  const std::u16string s(200, u'a'), t(200, u'b');
  try {
    DpAlign(std::span<const char16_t>(s), std::span<const char16_t>(t));
    ADD_FAILURE() << "expected TableTooLargeError";
  } catch (const TableTooLargeError& error) {
    EXPECT_EQ(error.sourceLength(), 200u);
    EXPECT_NE(std::string(error.what()).find("200 and 200"), std::string::npos) << error.what();
  }
  SetDpMemoryLimit(0);
  EXPECT_NO_THROW(DpAlign(std::span<const char16_t>(s), std::span<const char16_t>(t)));
}

}  // namespace
}  // namespace sorowa
