#pragma once

// The first stage of the line aligner: lines as numbers, and the identical lines that are
// paired before anything else is looked at.

#include <cstdint>
#include <string>
#include <vector>

#include "pairing/align_lines_tuning.h"
#include "pairing/heaviest_chain.h"
#include "pairing/work_meter.h"

namespace sorowa::pairing {

// Every line as a number, equal exactly for equal lines, on both sides alike.
struct LineIds {
  std::vector<std::uint32_t> source;
  std::vector<std::uint32_t> target;
};
LineIds InternLines(const std::vector<std::u16string>& source,
                    const std::vector<std::u16string>& target, WorkMeter& meter);

struct Anchor {
  std::uint32_t source = 0;
  std::uint32_t target = 0;
  friend bool operator==(const Anchor&, const Anchor&) = default;
};

// Identical lines that are paired whatever else happens, in order: the identical lines at the
// start of both sides, those at the end, and in between the lines that occur exactly once on
// each side there and keep the order. A line that occurs once on each side is almost surely
// the same line, and everything between two anchors is aligned on its own, which is what
// makes long documents fast.
//
// Such a line can still be a sentence copied into a far place, and as an anchor it would
// cut every line between its two places off from its partner. So the anchors are the unique
// identical pairs in the heaviest chain of those pairs together with votes: for every other
// line of the middle, its clear best match by rare bigrams (GramMatches::ClearBest). A vote
// weighs a third of an anchor, so a few stray votes do not outweigh a true anchor, while a
// copied line crossing the votes of the lines it jumps over is dropped.
std::vector<Anchor> FindAnchors(const LineIds& ids, const std::vector<std::u16string>& source,
                                const std::vector<std::u16string>& target,
                                const AlignLinesTuning& tuning, WorkMeter& meter);

// The steps of FindAnchors, for the tests' reference.
struct AnchorCandidates {
  std::uint32_t head = 0;  // identical lines at the start
  std::uint32_t tail = 0;  // and at the end
  // Unique identical pairs and votes, numbered from the end of the head, in Source order;
  // the first `unique` are the identical pairs.
  std::vector<ChainBox> boxes;
  std::size_t unique = 0;
};
AnchorCandidates FindAnchorCandidates(const LineIds& ids, const std::vector<std::u16string>& source,
                                      const std::vector<std::u16string>& target,
                                      const AlignLinesTuning& tuning, WorkMeter& meter);
// The anchors from the chosen boxes (indices into candidates.boxes, in order).
std::vector<Anchor> AnchorsFromChain(const AnchorCandidates& candidates,
                                     const std::vector<std::size_t>& chain, std::size_t sourceSize,
                                     std::size_t targetSize);

}  // namespace sorowa::pairing
