#pragma once

// The last stage of the line aligner: lines whose counterpart stands elsewhere. A pairing in
// order cannot pair a paragraph moved past others, nor both of two swapped neighbours: it
// leaves them alone on both sides. Among the lines left alone, the Source lines are indexed by
// their text and their character 3-grams; each Target line left alone goes with an identical
// Source line, or votes for the one sharing most of its rare 3-grams. Runs of Target lines
// voting for a run of Source lines are candidate blocks,
// which are paired by the same joiner as the gaps (join_lines.h), keeping only the pieces that
// match at least moveMatchShare of their characters: similar text, not chance.
//
// A piece that fits between the pairs already made (its lines of both sides lie between the
// same two pairs) is a pair in order like any other; where several fit between the same two
// pairs but cross one another (two swapped neighbours), the heaviest chain of them by matched
// characters stays in order. Every other piece is a moved pair.

#include <cstdint>
#include <vector>

#include "pairing/align_lines_tuning.h"
#include "pairing/gap_alignment.h"
#include "pairing/join_lines.h"
#include "pairing/line_pair.h"
#include "pairing/work_meter.h"

namespace sorowa::pairing {

// inOrder: the pairs in order (both sides increasing), to which pairs found in order are
// added (the list stays sorted); moved receives the moved pairs.
void FindMoves(const LineSet& lines, LineJoiner& joiner, std::int64_t level,
               const AlignLinesTuning& tuning, WorkMeter& meter, std::vector<JoinedPair>& inOrder,
               std::vector<JoinedPair>& moved);

// Every line once, in Target order: between two pairs in order, the Source lines alone first,
// then the Target lines, each alone or as the first line of a moved pair, which stands there
// with its Source lines.
LinePairing ListPairs(const std::vector<JoinedPair>& inOrder, const std::vector<JoinedPair>& moved,
                      std::size_t sourceLines, std::size_t targetLines);

}  // namespace sorowa::pairing
