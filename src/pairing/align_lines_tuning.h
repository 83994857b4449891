#pragma once

// The numbers behind the line aligner. The defaults are what the program uses; docs/pairing.md
// says where each comes from. Tests and benchmarks change them to reach every path (tiny
// limits force the filtered path on small documents) or to measure their effect.

#include <cstddef>
#include <cstdint>

namespace sorowa {

struct AlignLinesTuning {
  // Similarity of two lines is their ratio 2 * LCS / (|s| + |t|), LCS being the length of
  // their longest common subsequence of code units. A pair of lines is worth, in hundredths
  // of a character,
  //   200 * LCS - pairThreshold * (|s| + |t|) - pairCost,
  // and is made only when that is above zero: the ratio must pass pairThreshold percent, and
  // short lines must do better still, since a few common characters say little.
  int pairThreshold = 45;
  int pairCost = 0;

  // A pair, split or merge right after another one (or at the start of the lines between two
  // identical ones) earns this much more: between paired neighbours a line is likely the same
  // line however much it was edited, and two runs of unrelated lines seldom meet there.
  int contextBonus = 300;

  // A split (one line against two consecutive lines of the other side, compared joined) is
  // worth the same with the joined text, minus splitCost. It is made only when both parts are
  // recognisably pieces of the whole: some cut of the whole gives each part a ratio of at
  // least partThreshold percent with its piece. Without that check any short line next to an
  // edited one would be swallowed into a false split.
  int partThreshold = 60;
  int splitCost = 300;

  // Gaps between anchors of at most exhaustivePairs line pairs, and of at most exhaustiveWork
  // 64-bit steps of LCS work, compare every Source line with every Target line. Larger gaps
  // compare only candidate pairs: a band around a guide path, and the lines that share the
  // most rare character bigrams.
  std::size_t exhaustivePairs = 16384;
  std::uint64_t exhaustiveWork = std::uint64_t{1} << 21;

  // Filtered gaps: half-width of the band around the guide path, in lines.
  std::size_t bandHalfWidth = 4;
  // Filtered gaps: how many Target lines sharing rare bigrams each Source line keeps, from how
  // many of its rarest bigrams, skipping bigrams found in more than gramLineLimit lines.
  std::size_t gramCandidates = 6;
  std::size_t gramsPerLine = 24;
  std::size_t gramLineLimit = 48;

  // One LCS of more than this many 64-bit steps is estimated from samples instead (only lines
  // of many thousands of characters get there), and splits are not looked for.
  std::uint64_t lcsWorkLimit = std::uint64_t{1} << 22;
};

}  // namespace sorowa
