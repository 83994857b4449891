#include "pairing/align_lines.h"

#include <limits>
#include <stdexcept>

#include "pairing/gap_alignment.h"
#include "pairing/heaviest_chain.h"
#include "pairing/line_anchors.h"
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
