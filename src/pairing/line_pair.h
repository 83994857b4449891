#pragma once

#include <cstddef>
#include <vector>

namespace sorowa {

// One entry of a line pairing: a run of consecutive lines on each side, given as indices into
// the two line lists. Position pairing and the box aligner give the shapes 1:1 (identical or
// modified), 1:2 (a Source line split in two), 2:1 (two Source lines merged), 1:0 (Source
// only: deleted) and 0:1 (Target only: inserted); pairing across line breaks joins any number
// of lines on either side (a manuscript paragraph with the proof lines that set it). Joined
// lines are compared as one text with nothing between them.
//
// A moved pair joins lines whose counterparts stand elsewhere: the pairing lists it at its
// Target position, so its Source lines are out of order with those of the pairs around it.
struct LinePair {
  std::size_t sourceFirst = 0;
  std::size_t sourceCount = 0;
  std::size_t targetFirst = 0;
  std::size_t targetCount = 0;
  bool moved = false;

  friend bool operator==(const LinePair&, const LinePair&) = default;
};

using LinePairing = std::vector<LinePair>;

// Line i with line i for every i that both sides have; surplus lines of the longer side are
// left out, which is what the report has always done.
LinePairing PairLinesByPosition(std::size_t sourceLines, std::size_t targetLines);

}  // namespace sorowa
