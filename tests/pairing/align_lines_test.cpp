#include "pairing/align_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "pairing/align_lines_reference.h"
#include "pairing/line_similarity.h"

namespace sorowa {
namespace {

using Lines = std::vector<std::u16string>;

std::string Describe(const LinePairing& pairing) {
  std::string text;
  for (const LinePair& pair : pairing) {
    text += "[" + std::to_string(pair.sourceFirst) + "+" + std::to_string(pair.sourceCount) + " " +
            std::to_string(pair.targetFirst) + "+" + std::to_string(pair.targetCount) + "]";
  }
  return text;
}

std::string Describe(const Lines& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += "\"";
    for (char16_t c : line)
      text += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
    text += "\" ";
  }
  return text;
}

// Random code units over a small alphabet, so that repeats and long common runs are common;
// the alphabet reaches the ends of the code-unit range and the surrogates.
std::u16string RandomText(std::mt19937_64& random, std::size_t length, std::size_t symbols) {
  static const char16_t kAlphabet[] = {u'あ', u'い', u'漢', 0xFFFF, 0xD800, 0, u'a', u'。'};
  std::u16string text;
  for (std::size_t k = 0; k < length; ++k) text += kAlphabet[random() % symbols];
  return text;
}

TEST(LcsScannerTest, MatchesTheTextbookTableForPrefixesAndSuffixes) {
  std::mt19937_64 random(1);
  pairing::LcsScanner scanner;
  std::vector<std::uint32_t> profile;
  for (int round = 0; round < 1500; ++round) {
    const std::size_t symbols = 1 + random() % 8;
    const std::u16string a = RandomText(random, random() % (round % 10 == 0 ? 300 : 70), symbols);
    const std::u16string b = RandomText(random, random() % 90, symbols);
    const auto prefixes = reference::LcsPrefixes(a, b);
    scanner.SetPattern(a);
    ASSERT_EQ(scanner.Length(b), prefixes.back()) << Describe({a, b});
    scanner.Profile(b, profile);
    ASSERT_EQ(profile, prefixes) << Describe({a, b});
    // Reversed: profile[k] is the LCS of a's last k code units with b.
    scanner.SetPattern(a, true);
    scanner.Profile(b, profile);
    for (std::size_t k = 0; k <= a.size(); ++k) {
      ASSERT_EQ(profile[k], reference::Lcs(a.substr(a.size() - k), b)) << Describe({a, b});
    }
  }
}

// A revision of random lines: lines kept, edited, dropped, added, split, merged, repeated and
// swapped, so that every kind of box and plenty of ties turn up.
std::pair<Lines, Lines> RandomDocument(std::mt19937_64& random) {
  const std::size_t symbols = 2 + random() % 7;
  const auto line = [&] { return RandomText(random, 1 + random() % 14, symbols); };
  Lines source(random() % 22);
  for (std::size_t k = 0; k < source.size(); ++k) {
    source[k] = k > 0 && random() % 6 == 0 ? source[k - 1] : line();
  }
  Lines target;
  for (std::size_t i = 0; i < source.size(); ++i) {
    std::u16string text = source[i];
    switch (random() % 12) {
      case 0:
        continue;
      case 1:
        target.push_back(line());
        break;
      case 2:
      case 3:
        text[random() % text.size()] = RandomText(random, 1, symbols)[0];
        break;
      case 4:
        if (text.size() > 1) {
          const std::size_t cut = 1 + random() % (text.size() - 1);
          target.push_back(text.substr(0, cut));
          text = text.substr(cut);
        }
        break;
      case 5:
        if (i + 1 < source.size()) text += source[++i];
        break;
      case 6:
        target.push_back(text);
        break;
      case 7:
        if (i + 1 < source.size()) {
          target.push_back(source[i + 1]);
          target.push_back(text);
          ++i;
          continue;
        }
        break;
      default:
        break;
    }
    if (!text.empty()) target.push_back(text);
  }
  return {source, target};
}

struct TuningCase {
  const char* name;
  AlignLinesTuning tuning;
};
void PrintTo(const TuningCase& tuningCase, std::ostream* out) { *out << tuningCase.name; }

// The box aligner alone, which the quadratic reference follows.
AlignLinesTuning Boxes() {
  AlignLinesTuning tuning;
  tuning.joinLines = false;
  return tuning;
}
AlignLinesTuning Filtered() {
  AlignLinesTuning tuning = Boxes();
  tuning.exhaustivePairs = 0;
  tuning.bandHalfWidth = 1;
  tuning.gramCandidates = 2;
  tuning.gramsPerLine = 3;
  tuning.gramLineLimit = 3;
  return tuning;
}
AlignLinesTuning Estimated() {
  AlignLinesTuning tuning = Boxes();
  tuning.lcsWorkLimit = 1;
  return tuning;
}
AlignLinesTuning WithoutBonus() {
  AlignLinesTuning tuning = Boxes();
  tuning.contextBonus = 0;
  return tuning;
}

class AlignLinesReferenceTest : public testing::TestWithParam<TuningCase> {};

// Same pairs out as the quadratic reference: the bounds that skip work lose nothing, the
// Fenwick sweep finds the same heaviest chain with the same tie-breaks, and the filtered
// path is exact over the pairs it looks at.
TEST_P(AlignLinesReferenceTest, GivesTheSamePairsAsTheQuadraticReference) {
  std::mt19937_64 random(7);
  AlignLinesOptions options;
  options.tuning = GetParam().tuning;
  for (int round = 0; round < 1000; ++round) {
    const auto [source, target] = RandomDocument(random);
    const LinePairing fast = AlignLines(source, target, options);
    const LinePairing slow = reference::AlignLines(source, target, options.tuning);
    ASSERT_EQ(fast, slow) << "round " << round << "\nsource " << Describe(source) << "\ntarget "
                          << Describe(target) << "\nfast " << Describe(fast) << "\nreference "
                          << Describe(slow);
  }
}

INSTANTIATE_TEST_SUITE_P(Tunings, AlignLinesReferenceTest,
                         testing::Values(TuningCase{"Default", Boxes()},
                                         TuningCase{"Filtered", Filtered()},
                                         TuningCase{"Estimated", Estimated()},
                                         TuningCase{"WithoutBonus", WithoutBonus()}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every kind of entry in one small revision.
TEST(AlignLinesTest, PairsAHandMadeRevision) {
  const Lines source{
      u"第一章　はじめに",                                            // 0 identical
      u"この文書は行の対応付けを説明します。",                        // 1 modified
      u"古い段落はここで消えます。",                                  // 2 deleted
      u"長い一行の文は、読みやすくするために二つに分けられました。",  // 3 split
      u"短い文です。",                                                // 4 merged
      u"続きの文です。",                                              // 5   with 4
      u"最後の行です。",                                              // 6 identical
  };
  const Lines target{
      u"第一章　はじめに",
      u"この文書は行の対応付けを詳しく説明します。",
      u"長い一行の文は、",
      u"読みやすくするために二つに分けました。",
      u"短い文です。続きの文です。",
      u"ここに一行足しました",  // inserted
      u"最後の行です。",
  };
  const LinePairing expected{{0, 1, 0, 1}, {1, 1, 1, 1}, {2, 1, 2, 0}, {3, 1, 2, 2},
                             {4, 2, 4, 1}, {6, 0, 5, 1}, {6, 1, 6, 1}};
  EXPECT_EQ(Describe(AlignLines(source, target)), Describe(expected));
}

TEST(AlignLinesTest, EmptySidesLeaveEveryLineAlone) {
  const Lines some{u"一", u"二"};
  EXPECT_EQ(AlignLines({}, {}), LinePairing{});
  EXPECT_EQ(AlignLines(some, {}), (LinePairing{{0, 1, 0, 0}, {1, 1, 0, 0}}));
  EXPECT_EQ(AlignLines({}, some), (LinePairing{{0, 0, 0, 1}, {0, 0, 1, 1}}));
}

// A long alignment calls the checkpoint, and an exception from it ends the alignment.
TEST(AlignLinesTest, CheckpointIsCalledAndMayCancel) {
  std::mt19937_64 random(3);
  Lines source;
  Lines target;
  for (int k = 0; k < 3000; ++k) {
    source.push_back(RandomText(random, 40, 6));
    target.push_back(RandomText(random, 40, 6));
  }
  int calls = 0;
  AlignLinesOptions options;
  options.checkpoint = [&] { ++calls; };
  AlignLines(source, target, options);
  EXPECT_GT(calls, 20);

  options.checkpoint = [&] { throw std::runtime_error("cancelled"); };
  EXPECT_THROW(AlignLines(source, target, options), std::runtime_error);
}

}  // namespace
}  // namespace sorowa
