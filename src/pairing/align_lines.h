#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pairing/align_lines_tuning.h"
#include "pairing/line_pair.h"

namespace sorowa {

struct AlignLinesOptions {
  // Called now and then during a long alignment; it may throw (for example CompareCancelled)
  // to stop it. May be empty.
  std::function<void()> checkpoint;
  // Thresholds and limits; the defaults are the program's.
  AlignLinesTuning tuning;
};

// Pairs the lines of two versions of a text by content. Every line of both sides appears in
// exactly one entry, and the entries are in order on both sides.
//
// Identical lines that occur once on each side are paired first (keeping the order), and the
// lines between two such pairs are paired by the heaviest chain of one-to-one pairs, splits
// and merges, each worth what its similarity says (docs/pairing.md). Lines left over stand
// alone: between two pairs, the Source lines come first, then the Target lines.
LinePairing AlignLines(const std::vector<std::u16string>& sourceLines,
                       const std::vector<std::u16string>& targetLines,
                       const AlignLinesOptions& options = {});

}  // namespace sorowa
