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

  // Pairing across line breaks (join_lines.h). Off, the lines between anchors are paired by
  // the boxes above (at most two lines a side), as before line breaks were looked through.
  bool joinLines = true;
  // The character alignment of the text between two anchors: a stretch of at most
  // pathDirectCells cells (code points of one side times the other's) is aligned exactly at
  // once; a larger one is first cut at matching runs around unique k-grams (k = 12, then 8,
  // then 5 within what is left), and a stretch without such runs is aligned exactly up to
  // pathExactCells cells, beyond which it follows the straight line from corner to corner.
  std::uint64_t pathDirectCells = std::uint64_t{1} << 22;
  std::uint64_t pathExactCells = std::uint64_t{1} << 32;
  // Texts between anchors of more code points than this (both sides) whose alignment matches
  // less than a tenth of them are unrelated: their lines are paired by the boxes above, as
  // without joinLines, which is as good there and much cheaper.
  std::uint64_t joinUnrelatedLength = std::uint64_t{1} << 20;
  // The band around that alignment in which the cost of cutting at a line end is measured:
  // this many code points on either side of it, besides its own runs of insertions.
  std::uint32_t cutBandHalfWidth = 8;
  // Where a Source line ends, the band reaches the Target line ends near the path as far as
  // the rectangle between them and the path holds at most this many cells.
  std::uint32_t cutReachCells = 1024;
  // What cutting may add to the pairs' summed distance, in ten-thousandths of the distance
  // of the texts between the anchors: the pairs are chosen as fine as this allows
  // (join_lines.h).
  std::uint32_t cutBudget = 50;
  // The level is at most this: a pair of both sides is worth at most this many characters of
  // excess. Higher, a deleted paragraph would rather be paired with a one-character tail of the
  // line before it than stand alone, and the pair would then fail the share below.
  std::int64_t cutMostLevel = 8;
  // A run of lines is paired with the run across from it only if the characters the
  // alignment matches between them make at least this share (percent) of both runs' length:
  // two unrelated paragraphs meeting at one place stay alone.
  std::uint32_t pairMatchShare = 25;
  // Lines cut away from a pair to stand alone are worth this share (percent) of a unit of
  // excess for each character by which their length exceeds twice the characters the
  // alignment matches in them: a line that matches nothing (an inserted line next to an
  // edited one, into which the alignment smeared or substituted a few characters) is cut away
  // where that costs less than its length, and a line that matches half of itself or more
  // earns nothing for standing alone.
  std::uint32_t aloneShare = 100;

  // Lines left alone that have a counterpart elsewhere (line_moves.h) are paired and marked
  // moved when the matched characters make at least moveMatchShare percent of both sides.
  bool findMoves = true;
  std::uint32_t moveMatchShare = 50;
  // and besides that share, this many characters matched on both sides together: two short
  // lines sharing one word ("Debian", "ディレクトリー") are not a move.
  std::uint32_t moveMatchMargin = 2;
};

}  // namespace sorowa
