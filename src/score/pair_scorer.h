#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/segment.h"
#include "distance/levenshtein.h"
#include "score/stats_document.h"

namespace sorowa {

// One line pair to score. The Source line is the reference, the Target line the hypothesis;
// a side that is absent (a line deleted or inserted) counts as empty, so that all elements of
// the other side count as deletions or insertions. Joined lines come as one text.
struct PairInput {
  std::string sourceSide = "-";  // as in the pairing file: "12", "12+13", "12-40" or "-"
  std::string targetSide = "-";
  std::optional<std::u16string_view> reference;
  std::optional<std::u16string_view> hypothesis;
  // With morphemes, both lists of the present sides must be given.
  bool morphemes = false;
  const SegmentList* referenceMorphemes = nullptr;
  const SegmentList* hypothesisMorphemes = nullptr;
  // A moved pair (its score says so).
  bool moved = false;
};

// Scores line pairs; keeps its buffers from one pair to the next. One per thread.
class PairScorer {
 public:
  // The pair's record; detail receives its classes and confusions (it is cleared first),
  // and charScript, when given, the character edit script they were counted from.
  // Throws std::invalid_argument for a pair without either side.
  PairScore Score(const PairInput& input, PairDetail& detail,
                  std::vector<EditOp>* charScript = nullptr);

  // The counts of the morpheme level alone: morphemes compared as strings.
  ErrorCounts ScoreMorphemes(const SegmentList& reference, const SegmentList& hypothesis);

 private:
  LevenshteinAligner aligner_;
  std::vector<std::uint32_t> reference_;
  std::vector<std::uint32_t> hypothesis_;
  std::unordered_map<std::u16string_view, std::uint32_t> morphemeIds_;
};

// The counts of an edit script.
ErrorCounts CountScript(const std::vector<EditOp>& script, std::size_t referenceLength);

}  // namespace sorowa
