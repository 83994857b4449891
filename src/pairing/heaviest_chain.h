#pragma once

// The heaviest chain of boxes: the core of the line aligner. A box pairs a run of one or two
// consecutive lines of each side and has a positive weight; a chain is a list of boxes each
// of which starts, on both sides, at or after the end of the one before. The heaviest chain is
// found in O(K log K) for K boxes by sweeping the boxes in Source order and keeping, for every
// Target position, the best chain ending there in a Fenwick tree of prefix maxima.
//
// A box that starts exactly where the one before it ends (or at the very start, or that ends
// at the very end) earns `bonus` on top of its weight: lines between paired neighbours are
// likely the same line however much it was edited. A chain's weight is the sum of its boxes'
// weights and bonuses. So a box of weight down to -2 * bonus may pay off (never lower: taking
// it out loses at most its two bonuses); boxes must weigh more than that.
//
// Equal weights are common (identical repeated lines), so the answer is pinned down: every
// box's predecessor is the best (weight with its bonus, then PreferredEnd) among the boxes
// ending before it, and the chain ends with the best box overall (counting a bonus for ending
// at the very end). The tests' quadratic reference follows the same rule.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pairing/work_meter.h"

namespace sorowa::pairing {

struct ChainBox {
  std::uint32_t sourceFirst = 0;
  std::uint32_t targetFirst = 0;
  std::uint8_t sourceCount = 1;
  std::uint8_t targetCount = 1;
  std::int64_t weight = 0;

  std::uint32_t SourceEnd() const { return sourceFirst + sourceCount; }
  std::uint32_t TargetEnd() const { return targetFirst + targetCount; }
};

// Between chains of equal weight: the one whose last box ends earlier (in the sum of both
// ends, then on the Source side), then the one-to-one box before a split and a split before
// a merge. So repeated identical lines pair from the start, and a split must gain something
// to beat a plain pair.
bool PreferredEnd(const ChainBox& a, const ChainBox& b);

// Indices of the boxes of the heaviest chain through sourceSize x targetSize lines, in order.
std::vector<std::size_t> HeaviestChain(std::span<const ChainBox> boxes, std::uint32_t sourceSize,
                                       std::uint32_t targetSize, std::int64_t bonus,
                                       WorkMeter& meter);

}  // namespace sorowa::pairing
