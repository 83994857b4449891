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

// Pairs the lines of two versions of a text by content, whatever the line breaks. Every line
// of both sides appears in exactly one entry; a pair joins any number of consecutive lines on
// either side. The entries are in Target order: pairs in order on both sides, and between two
// of them the Source lines alone, then the Target lines, each alone or the first line of a
// moved pair, whose Source lines stand elsewhere.
//
// Identical lines that occur once on each side are paired first (keeping the order). The
// lines between two such pairs are joined into one text a side and aligned character by
// character; pairs are cut where a Source line end meets a Target line end, as fine as the
// text allows (join_lines.h). Lines left alone whose text has a counterpart elsewhere are
// paired as moved pairs (line_moves.h). With tuning.joinLines off, the lines between anchors
// are paired by the heaviest chain of one-to-one pairs, splits and merges instead, each
// worth what its similarity says (docs/pairing.md), and nothing is moved.
LinePairing AlignLines(const std::vector<std::u16string>& sourceLines,
                       const std::vector<std::u16string>& targetLines,
                       const AlignLinesOptions& options = {});

}  // namespace sorowa
