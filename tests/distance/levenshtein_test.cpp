#include "distance/levenshtein.h"

#include <gtest/gtest.h>

#include <random>

#include "base/memory_budget.h"
#include "distance/levenshtein_reference.h"

namespace sorowa {
namespace {

using testing::ReferenceScript;
using testing::ScriptCost;

// Applies the script to a and checks that it spells b: every element of both sides used once,
// matches on equal elements, substitutions on different ones.
void ExpectScriptTurnsInto(const std::vector<EditOp>& ops, const std::vector<std::uint32_t>& a,
                           const std::vector<std::uint32_t>& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (EditOp op : ops) {
    if (op == EditOp::Match || op == EditOp::Substitute) {
      ASSERT_LT(i, a.size());
      ASSERT_LT(j, b.size());
      ASSERT_EQ(op == EditOp::Match, a[i] == b[j]) << "at " << i << ", " << j;
      ++i;
      ++j;
    } else if (op == EditOp::Delete) {
      ASSERT_LT(i++, a.size());
    } else {
      ASSERT_LT(j++, b.size());
    }
  }
  EXPECT_EQ(i, a.size());
  EXPECT_EQ(j, b.size());
}

// The distance by two rows of the plain DP, for lines too long for the full reference.
std::size_t PlainDistance(const std::vector<std::uint32_t>& a,
                          const std::vector<std::uint32_t>& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      row[j] = std::min({diagonal + (a[i - 1] == b[j - 1] ? 0 : 1), up + 1, row[j - 1] + 1});
      diagonal = up;
    }
  }
  return row.back();
}

// b as a revision of a: substitutions, deletions, insertions and swaps at the given rate.
std::vector<std::uint32_t> Revise(const std::vector<std::uint32_t>& a, double rate,
                                  std::uint32_t alphabet, std::mt19937_64& random) {
  std::uniform_real_distribution<double> chance(0, 1);
  std::vector<std::uint32_t> b;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (chance(random) >= rate) {
      b.push_back(a[i]);
      continue;
    }
    switch (random() % 4) {
      case 0:
        b.push_back(static_cast<std::uint32_t>(random() % alphabet));
        break;
      case 1:
        break;
      case 2:
        b.push_back(a[i]);
        b.push_back(static_cast<std::uint32_t>(random() % alphabet));
        break;
      default:
        if (i + 1 < a.size()) b.push_back(a[i + 1]);
        b.push_back(a[i]);
        ++i;
        break;
    }
  }
  return b;
}

std::vector<std::uint32_t> RandomSequence(std::size_t length, std::uint32_t alphabet,
                                          std::uint32_t spread, std::mt19937_64& random) {
  std::vector<std::uint32_t> out(length);
  for (auto& x : out) x = static_cast<std::uint32_t>(random() % alphabet) * spread;
  return out;
}

// Every path of the fast code against the full reference on many small random pairs: tiny
// alphabets (many ties), elements spread over the whole 32-bit range, unrelated and revised
// pairs, both empty sides, and knobs that force narrow first bands (several passes) and
// saved states every few columns.
TEST(LevenshteinTest, MatchesReferenceOnRandomPairs) {
  std::mt19937_64 random(20240610);
  LevenshteinAligner aligner;
  struct Knobs {
    std::size_t firstHalfWidth;
    std::size_t interval;
  };
  const Knobs knobs[] = {{0, 0}, {1, 1}, {1, 3}, {5, 64}, {200, 2}};
  for (int round = 0; round < 3000; ++round) {
    const std::uint32_t alphabet = 1 + static_cast<std::uint32_t>(random() % 5);
    const std::uint32_t spread = round % 3 == 0 ? 0x9E3779B1u : 1;
    const std::size_t n = random() % (round % 10 == 0 ? 400 : 90);
    const std::vector<std::uint32_t> a = RandomSequence(n, alphabet, spread, random);
    const std::vector<std::uint32_t> b =
        round % 2 == 0 ? Revise(a, 0.05 + 0.3 * (round % 7) / 7.0, alphabet, random)
                       : RandomSequence(random() % 90, alphabet, spread, random);
    const std::vector<EditOp> expected = ReferenceScript(a, b);
    const Knobs& knob = knobs[round % std::size(knobs)];
    const std::size_t distance = aligner.Align(a, b, {knob.firstHalfWidth, knob.interval});
    ASSERT_EQ(distance, ScriptCost(expected)) << "round " << round;
    ASSERT_EQ(aligner.script(), expected)
        << "round " << round << " n=" << a.size() << " m=" << b.size();
    ASSERT_EQ(aligner.Distance(b, a, {knob.firstHalfWidth, knob.interval}), distance);
  }
}

// Long revised and unrelated lines: the distance of the plain DP, a script that is valid and
// optimal, and the same script whatever the knobs.
TEST(LevenshteinTest, LongLinesAreExact) {
  std::mt19937_64 random(7);
  LevenshteinAligner aligner;
  struct Case {
    std::size_t length;
    double rate;  // negative: unrelated lines
    std::uint32_t alphabet;
  };
  for (const Case& c : {Case{3000, 0.02, 3000}, Case{5000, 0.15, 60}, Case{2500, -1, 4},
                        Case{4000, 0.4, 2}, Case{20000, 0.01, 2000}}) {
    const std::vector<std::uint32_t> a = RandomSequence(c.length, c.alphabet, 1, random);
    const std::vector<std::uint32_t> b = c.rate < 0
                                             ? RandomSequence(c.length + 77, c.alphabet, 1, random)
                                             : Revise(a, c.rate, c.alphabet, random);
    const std::size_t distance = aligner.Align(a, b);
    const std::vector<EditOp> script = aligner.script();
    EXPECT_EQ(distance, PlainDistance(a, b)) << c.length;
    EXPECT_EQ(ScriptCost(script), distance);
    ExpectScriptTurnsInto(script, a, b);
    aligner.Align(a, b, {1, 17});
    EXPECT_EQ(aligner.script(), script) << c.length;
  }
}

// A pair whose saved states would pass the memory limit ends with a message naming its
// lengths, before the memory is taken.
TEST(LevenshteinTest, MemoryLimitGivesAClearError) {
  std::mt19937_64 random(2);
  const std::vector<std::uint32_t> a = RandomSequence(30000, 50, 1, random);
  const std::vector<std::uint32_t> b = RandomSequence(30000, 50, 1, random);
  LevenshteinAligner aligner;
  SetDpMemoryLimit(std::size_t{1} << 20);
  try {
    aligner.Align(a, b);
    ADD_FAILURE() << "no error";
  } catch (const ScoreTooLargeError& e) {
    EXPECT_NE(std::string(e.what()).find("a line pair of 30000 and 30000 elements is too long"),
              std::string::npos)
        << e.what();
  }
  SetDpMemoryLimit(0);
}

}  // namespace
}  // namespace sorowa
