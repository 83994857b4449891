#pragma once

// A near-optimal alignment of two long texts of code points: the guide along which the line
// joiner (join_lines.h) measures what cutting at each line end would cost.
//
// Exact Levenshtein alignment of two whole documents costs time with the product of their
// lengths once they differ much, so the texts are first cut where they surely correspond: a
// k-gram (k code points) that occurs exactly once in each text, of those the longest chain in
// order on both sides, each grown to its maximal run of equal code points. Between two runs
// what is left is aligned the same way with shorter k-grams (uniqueness is then counted within
// the stretch, where more k-grams are unique), and exactly once it is small. Prose revised
// anywhere from lightly to heavily keeps such runs every few dozen characters, so the exact
// pieces are small and the whole costs about linear time.
//
// Bad input stays fast: a stretch that has no such runs and is too large to align exactly
// (two unrelated documents, a 20 MB line against a million short ones) follows the straight
// line from its start to its end. That path is poor only where there is nothing good to find.

#include <cstdint>
#include <span>
#include <vector>

#include "distance/levenshtein.h"
#include "pairing/align_lines_tuning.h"
#include "pairing/work_meter.h"

namespace sorowa::pairing {

using CodePoints = std::span<const std::uint32_t>;

class CharPathFinder {
 public:
  CharPathFinder(const AlignLinesTuning& tuning, WorkMeter& meter)
      : tuning_(tuning), meter_(meter) {}

  // A path from (0, 0) to (|a|, |b|): Match and Substitute advance on both texts, Delete on a
  // alone, Insert on b alone; path is replaced.
  void Find(CodePoints a, CodePoints b, std::vector<EditOp>& path);

 private:
  struct Run {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t length = 0;
  };

  void Solve(CodePoints a, CodePoints b, int level, std::vector<EditOp>& path);
  void Exact(CodePoints a, CodePoints b, std::vector<EditOp>& path);
  void Straight(CodePoints a, CodePoints b, std::vector<EditOp>& path);
  // Matching runs around unique k-grams, in order on both sides, not overlapping.
  std::vector<Run> Anchor(CodePoints a, CodePoints b, std::uint32_t k);

  const AlignLinesTuning& tuning_;
  WorkMeter& meter_;
  LevenshteinAligner aligner_;
};

}  // namespace sorowa::pairing
