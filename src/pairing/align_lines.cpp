#include "pairing/align_lines.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "pairing/gap_alignment.h"
#include "pairing/heaviest_chain.h"
#include "pairing/join_lines.h"
#include "pairing/line_anchors.h"
#include "pairing/line_moves.h"
#include "pairing/work_meter.h"

namespace sorowa {
namespace {

using pairing::Anchor;
using pairing::ChainBox;
using pairing::Gap;

// Appends the gap's lines: the chosen boxes in order, with the lines between them alone,
// Source lines first.
void EmitGap(const Gap& gap, const std::vector<ChainBox>& boxes,
             const std::vector<std::size_t>& chain, LinePairing& pairs) {
  std::size_t i = gap.sourceBegin;
  std::size_t j = gap.targetBegin;
  const auto leaveAlone = [&](std::size_t sourceUntil, std::size_t targetUntil) {
    for (; i < sourceUntil; ++i) pairs.push_back({i, 1, j, 0});
    for (; j < targetUntil; ++j) pairs.push_back({i, 0, j, 1});
  };
  for (std::size_t index : chain) {
    const ChainBox& box = boxes[index];
    const std::size_t sourceFirst = gap.sourceBegin + box.sourceFirst;
    const std::size_t targetFirst = gap.targetBegin + box.targetFirst;
    leaveAlone(sourceFirst, targetFirst);
    pairs.push_back({sourceFirst, box.sourceCount, targetFirst, box.targetCount});
    i = sourceFirst + box.sourceCount;
    j = targetFirst + box.targetCount;
  }
  leaveAlone(gap.sourceEnd, gap.targetEnd);
}

// The pairs of the heaviest chain of boxes in the gap, for texts too unrelated to be worth
// aligning across line breaks. A box's matched characters are its LCS, which its weight
// gives back.
void BoxPairs(const pairing::LineSet& lines, const Gap& gap, const AlignLinesTuning& tuning,
              pairing::WorkMeter& meter, pairing::GapBoxFinder& finder,
              std::vector<pairing::JoinedPair>& pairs) {
  const auto candidates = pairing::GapCandidates(lines, gap, tuning, meter);
  const auto boxes = finder.Find(gap, candidates);
  for (std::size_t index : pairing::HeaviestChain(boxes, gap.SourceSize(), gap.TargetSize(),
                                                  tuning.contextBonus, meter)) {
    const ChainBox& box = boxes[index];
    LinePair pair{gap.sourceBegin + box.sourceFirst, box.sourceCount,
                  gap.targetBegin + box.targetFirst, box.targetCount};
    std::uint64_t length = 0;
    for (std::size_t k = 0; k < pair.sourceCount; ++k)
      length += lines.source[pair.sourceFirst + k].size();
    for (std::size_t k = 0; k < pair.targetCount; ++k)
      length += lines.target[pair.targetFirst + k].size();
    const std::int64_t cost = box.sourceCount + box.targetCount > 2 ? tuning.splitCost : 0;
    const std::int64_t lcs =
        (box.weight + tuning.pairThreshold * static_cast<std::int64_t>(length) + tuning.pairCost +
         cost) /
        200;
    pairs.push_back(
        {pair, static_cast<std::uint32_t>(std::clamp<std::int64_t>(lcs, 0, length / 2)), length});
  }
}

// Pairs the lines between anchors across line breaks (join_lines.h): every gap is measured
// first, so that the cuts of all gaps share one budget, then cut; the lines left alone are
// searched for moves.
LinePairing JoinAcrossBreaks(const pairing::LineSet& lines, const std::vector<Anchor>& anchors,
                             const AlignLinesTuning& tuning, pairing::WorkMeter& meter) {
  constexpr std::size_t kNoBlock = SIZE_MAX;
  pairing::LineJoiner joiner(lines, tuning, meter);
  std::vector<std::size_t> blocks;
  blocks.reserve(anchors.size());
  Gap gap;
  // A gap of one line a side too long to align exactly can only be one pair or two lines
  // alone; the boxes decide that from a sampled LCS in milliseconds.
  constexpr std::size_t kBoxes = SIZE_MAX - 1;
  for (const Anchor& anchor : anchors) {
    gap.sourceEnd = anchor.source;
    gap.targetEnd = anchor.target;
    if (gap.SourceSize() == 0 || gap.TargetSize() == 0) {
      blocks.push_back(kNoBlock);
    } else if (gap.SourceSize() == 1 && gap.TargetSize() == 1 &&
               std::uint64_t{lines.source[gap.sourceBegin].size()} *
                       lines.target[gap.targetBegin].size() >
                   tuning.pathExactCells) {
      blocks.push_back(kBoxes);
    } else {
      blocks.push_back(joiner.Measure(gap));
    }
    gap.sourceBegin = anchor.source + 1;
    gap.targetBegin = anchor.target + 1;
  }
  const std::size_t measured = static_cast<std::size_t>(
      std::count_if(blocks.begin(), blocks.end(), [](std::size_t b) { return b < kBoxes; }));
  const std::int64_t level =
      joiner.ChooseLevel(measured, joiner.Distance() * tuning.cutBudget / 10000);
  std::vector<pairing::JoinedPair> inOrder;
  pairing::GapBoxFinder finder(lines, tuning, meter);
  gap = Gap{};
  for (std::size_t k = 0; k < anchors.size(); ++k) {
    gap.sourceEnd = anchors[k].source;
    gap.targetEnd = anchors[k].target;
    if (blocks[k] == kBoxes || (blocks[k] < kBoxes && joiner.Unrelated(blocks[k]))) {
      BoxPairs(lines, gap, tuning, meter, finder, inOrder);
    } else if (blocks[k] != kNoBlock) {
      joiner.Cut(blocks[k], level, tuning.pairMatchShare, 0, inOrder);
    }
    gap.sourceBegin = anchors[k].source + 1;
    gap.targetBegin = anchors[k].target + 1;
    if (anchors[k].source < lines.source.size()) {
      const std::size_t length = lines.source[anchors[k].source].size();
      inOrder.push_back({{anchors[k].source, 1, anchors[k].target, 1},
                         static_cast<std::uint32_t>(length),
                         2 * length});
    }
  }
  std::vector<pairing::JoinedPair> moved;
  if (tuning.findMoves) {
    pairing::FindMoves(lines, joiner, level, tuning, meter, inOrder, moved);
  }
  return pairing::ListPairs(inOrder, moved, lines.source.size(), lines.target.size());
}

}  // namespace

LinePairing AlignLines(const std::vector<std::u16string>& sourceLines,
                       const std::vector<std::u16string>& targetLines,
                       const AlignLinesOptions& options) {
  constexpr std::size_t kMostLines = std::numeric_limits<std::uint32_t>::max() - 2;
  if (sourceLines.size() > kMostLines || targetLines.size() > kMostLines) {
    throw std::length_error("too many lines to pair");
  }
  if (sourceLines.empty() || targetLines.empty()) {
    LinePairing alone;
    for (std::size_t i = 0; i < sourceLines.size(); ++i) alone.push_back({i, 1, 0, 0});
    for (std::size_t j = 0; j < targetLines.size(); ++j) alone.push_back({0, 0, j, 1});
    return alone;
  }
  pairing::WorkMeter meter(options.checkpoint);
  const pairing::LineIds ids = pairing::InternLines(sourceLines, targetLines, meter);
  const pairing::LineSet lines{sourceLines, targetLines, ids.source, ids.target};
  std::vector<Anchor> anchors =
      pairing::FindAnchors(ids, sourceLines, targetLines, options.tuning, meter);
  // A last anchor just past both ends closes the last gap.
  anchors.push_back({static_cast<std::uint32_t>(sourceLines.size()),
                     static_cast<std::uint32_t>(targetLines.size())});

  if (options.tuning.joinLines) {
    return JoinAcrossBreaks(lines, anchors, options.tuning, meter);
  }

  LinePairing pairs;
  pairs.reserve(sourceLines.size() + targetLines.size());
  pairing::GapBoxFinder finder(lines, options.tuning, meter);
  Gap gap;
  for (const Anchor& anchor : anchors) {
    gap.sourceEnd = anchor.source;
    gap.targetEnd = anchor.target;
    if (gap.SourceSize() > 0 && gap.TargetSize() > 0) {
      const auto candidates = pairing::GapCandidates(lines, gap, options.tuning, meter);
      const auto boxes = finder.Find(gap, candidates);
      EmitGap(gap, boxes,
              pairing::HeaviestChain(boxes, gap.SourceSize(), gap.TargetSize(),
                                     options.tuning.contextBonus, meter),
              pairs);
    } else {
      EmitGap(gap, {}, {}, pairs);
    }
    if (anchor.source < sourceLines.size()) {
      pairs.push_back({anchor.source, 1, anchor.target, 1});
    }
    gap.sourceBegin = anchor.source + 1;
    gap.targetBegin = anchor.target + 1;
  }
  return pairs;
}

}  // namespace sorowa
