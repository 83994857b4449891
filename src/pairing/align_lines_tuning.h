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
  //   200 * LCS - pairThreshold * (|s| + |t|) - pairCost:
  // (ratio - 0.45) times the characters involved. 0.45 lies between the ratios of revised
  // lines and of unrelated neighbouring lines from about 45 characters on (docs/pairing.md);
  // a cost per pair, to make short lines pass a higher ratio, rejected more true pairs than
  // false ones on the benchmark, so there is none.
  int pairThreshold = 45;
  int pairCost = 0;

  // A pair, split or merge right after another one (or at the start of the lines between two
  // anchors), and one right before the end of them, earns this much more: between paired
  // neighbours a line is likely the same line however much it was edited, while unrelated
  // lines seldom share enough to make up the rest.
  int contextBonus = 300;

  // A split (one line against two consecutive lines of the other side, compared joined) is
  // worth the same with the joined text, minus splitCost, so that it must gain something over
  // pairing the larger part alone. It is made only when both parts are pieces of the whole:
  // some cut of the whole gives each part a ratio of at least partThreshold percent with its
  // piece. A demand of 60 % lost true splits with heavily edited parts; the weight alone
  // keeps unrelated short lines out, and the check only rules out a part that matches
  // nothing of its piece.
  int partThreshold = 30;
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
