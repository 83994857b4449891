#pragma once

// The second stage of the line aligner: the lines between two anchors (a gap) are paired by
// the heaviest chain of boxes (one-to-one pairs, splits and merges of positive worth, see
// line_similarity.h). A small gap looks at every pair of its lines; a large one only at
// candidate pairs (GapCandidates).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pairing/align_lines_tuning.h"
#include "pairing/heaviest_chain.h"
#include "pairing/line_similarity.h"
#include "pairing/work_meter.h"

namespace sorowa::pairing {

// The two line lists and their line numbers (LineIds).
struct LineSet {
  const std::vector<std::u16string>& source;
  const std::vector<std::u16string>& target;
  const std::vector<std::uint32_t>& sourceIds;
  const std::vector<std::uint32_t>& targetIds;
};

// Source lines [sourceBegin, sourceEnd) and Target lines [targetBegin, targetEnd).
struct Gap {
  std::uint32_t sourceBegin = 0;
  std::uint32_t sourceEnd = 0;
  std::uint32_t targetBegin = 0;
  std::uint32_t targetEnd = 0;
  std::uint32_t SourceSize() const { return sourceEnd - sourceBegin; }
  std::uint32_t TargetSize() const { return targetEnd - targetBegin; }
};

// A pair of lines, numbered from the start of the gap.
struct CandidatePair {
  std::uint32_t source = 0;
  std::uint32_t target = 0;
  friend auto operator<=>(const CandidatePair&, const CandidatePair&) = default;
};

// Whether every pair of the gap's lines is compared (see AlignLinesTuning).
bool GapIsExhaustive(const LineSet& lines, const Gap& gap, const AlignLinesTuning& tuning);

// The pairs whose similarity is measured, sorted and distinct. Every pair of a small gap.
// In a large one:
//  - each Source line's Target lines sharing the most of its rarest character bigrams (rare
//    in the gap's Target lines), so that a line is found wherever it went in the gap;
//  - a band of lines around a guide path through the gap, so that lines too common or too
//    short to be found that way are still compared with their neighbourhood; the guide is
//    the heaviest chain of the lines with one clear best match by bigrams, joined by straight
//    lines, from one corner of the gap to the other. In each row the band spans the lines
//    within bandHalfWidth of the guide's position across and the lines whose guide position
//    is within bandHalfWidth of the row;
//  - the neighbours on both sides of each line's best two bigram pairs, where a split or
//    merge would be;
//  - identical lines, for lines found at most four times in the gap's Target lines.
// A split or merge is looked at only where all its line pairs are candidates.
std::vector<CandidatePair> GapCandidates(const LineSet& lines, const Gap& gap,
                                         const AlignLinesTuning& tuning, WorkMeter& meter);

// Boxes of positive worth among the candidates, numbered from the start of the gap. Pairs and
// splits that the bounds of line_similarity.h rule out are not measured.
class GapBoxFinder {
 public:
  GapBoxFinder(const LineSet& lines, const AlignLinesTuning& tuning, WorkMeter& meter)
      : lines_(lines), tuning_(tuning), meter_(meter) {}

  std::vector<ChainBox> Find(const Gap& gap, std::span<const CandidatePair> candidates);

 private:
  void AddSplit(const Gap& gap, std::uint32_t i, std::uint32_t j, std::uint32_t lcs1,
                std::uint32_t lcs2, std::vector<ChainBox>& boxes);
  void AddMerge(const Gap& gap, std::uint32_t i, std::uint32_t j, std::uint32_t lcs1,
                std::uint32_t lcs2, std::vector<ChainBox>& boxes);

  const LineSet& lines_;
  const AlignLinesTuning& tuning_;
  WorkMeter& meter_;
  LcsScanner forward_;
  LcsScanner backward_;
  LcsScanner scratch_;
  std::vector<std::uint32_t> prefix_;
  std::vector<std::uint32_t> suffix_;
};

}  // namespace sorowa::pairing
