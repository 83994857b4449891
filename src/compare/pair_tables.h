#pragma once

// The tables of one line pair, in the order the report shows them. Internal to compare/.

#include <cstddef>
#include <string>

#include "base/segment.h"
#include "compare/compare_options.h"

namespace sorowa {

class MorphAnalyzer;
class ReportBuffer;

// A worker's unit lists, kept from pair to pair so that their room is used again. The scores
// reuse the tables' morphemes when they were computed.
struct PairUnits {
  SegmentList sourceMorphemes;
  SegmentList targetMorphemes;
  SegmentList sourceUnits;
  SegmentList targetUnits;
  bool morphemesComputed = false;
  // An unchanged line's units are split once and stand for both sides: the Target's lists
  // are then left as they are.
  bool sameLines = false;
  const SegmentList& TargetMorphemes() const {
    return sameLines ? sourceMorphemes : targetMorphemes;
  }
  const SegmentList& TargetUnits() const { return sameLines ? sourceUnits : targetUnits; }
};

// Appends the tables the options ask for, each followed by <br>, then <hr><br>: characters by
// DP, morphemes by DP, pseudo-bunsetsu by DP and by matching, morphemes by matching. An empty
// side is a missing one (a real line never is empty): the tables then show the other side's
// line alone. Segments are computed at most once per line, Source before Target, into units.
// A pair too large to align throws TableTooLargeError naming pair number pairIndex + 1.
void WritePairTables(MorphAnalyzer& analyzer, const std::u16string& source,
                     const std::u16string& target, std::size_t pairIndex, PairUnits& units,
                     ReportBuffer& report, const CompareOptions& options);

}  // namespace sorowa
