#include "pairing/heaviest_chain.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace sorowa::pairing {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

int ShapeRank(const ChainBox& box) {
  return box.sourceCount == box.targetCount ? 0 : box.sourceCount < box.targetCount ? 1 : 2;
}

struct Best {
  std::int64_t weight = 0;
  std::size_t box = kNone;
};

// Maxima of Best over prefixes of Target positions 0 .. last.
class PrefixMaxima {
 public:
  PrefixMaxima(std::size_t last, std::span<const ChainBox> boxes)
      : tree_(last + 2), boxes_(boxes) {}

  bool Better(const Best& a, const Best& b) const {
    if (a.box == kNone) return false;
    if (b.box == kNone) return true;
    if (a.weight != b.weight) return a.weight > b.weight;
    return PreferredEnd(boxes_[a.box], boxes_[b.box]);
  }

  void Raise(std::size_t position, const Best& value) {
    for (std::size_t k = position + 1; k < tree_.size(); k += k & (~k + 1)) {
      if (Better(value, tree_[k])) tree_[k] = value;
    }
  }

  // The best over positions 0 .. position.
  Best Query(std::size_t position) const {
    Best best;
    for (std::size_t k = std::min(position + 1, tree_.size() - 1); k > 0; k -= k & (~k + 1)) {
      if (Better(tree_[k], best)) best = tree_[k];
    }
    return best;
  }

 private:
  std::vector<Best> tree_;
  std::span<const ChainBox> boxes_;
};

}  // namespace

bool PreferredEnd(const ChainBox& a, const ChainBox& b) {
  const std::uint64_t aSum = std::uint64_t{a.SourceEnd()} + a.TargetEnd();
  const std::uint64_t bSum = std::uint64_t{b.SourceEnd()} + b.TargetEnd();
  if (aSum != bSum) return aSum < bSum;
  if (a.SourceEnd() != b.SourceEnd()) return a.SourceEnd() < b.SourceEnd();
  return ShapeRank(a) < ShapeRank(b);
}

std::vector<std::size_t> HeaviestChain(std::span<const ChainBox> boxes, std::uint32_t sourceSize,
                                       std::uint32_t targetSize, std::int64_t bonus,
                                       WorkMeter& meter) {
  const std::size_t count = boxes.size();
  if (count == 0) return {};
  std::vector<std::size_t> byStart(count);
  std::iota(byStart.begin(), byStart.end(), 0);
  std::vector<std::size_t> byEnd = byStart;
  std::stable_sort(byStart.begin(), byStart.end(), [&](std::size_t a, std::size_t b) {
    return boxes[a].sourceFirst < boxes[b].sourceFirst;
  });
  std::stable_sort(byEnd.begin(), byEnd.end(), [&](std::size_t a, std::size_t b) {
    return boxes[a].SourceEnd() < boxes[b].SourceEnd();
  });
  meter.Add(count * 16);

  const auto cell = [](std::uint32_t i, std::uint32_t j) { return (std::uint64_t{i} << 32) | j; };
  PrefixMaxima maxima(targetSize, boxes);
  // The best chain ending exactly at each cell where a box ends.
  std::unordered_map<std::uint64_t, Best> endingAt;
  if (bonus != 0) endingAt.reserve(count);
  std::vector<std::int64_t> total(count);
  std::vector<std::size_t> previous(count, kNone);
  std::size_t inserted = 0;
  Best last;
  for (std::size_t next : byStart) {
    const ChainBox& box = boxes[next];
    // Every box ending by this one's start began earlier, so its total is known.
    while (inserted < count && boxes[byEnd[inserted]].SourceEnd() <= box.sourceFirst) {
      const std::size_t done = byEnd[inserted++];
      const Best value{total[done], done};
      maxima.Raise(boxes[done].TargetEnd(), value);
      if (bonus != 0) {
        Best& here = endingAt[cell(boxes[done].SourceEnd(), boxes[done].TargetEnd())];
        if (maxima.Better(value, here)) here = value;
      }
    }
    Best before = maxima.Query(box.targetFirst);
    if (bonus != 0) {
      if (box.sourceFirst == 0 && box.targetFirst == 0) {
        before = {bonus, kNone};  // right after the gap's start
      } else if (const auto found = endingAt.find(cell(box.sourceFirst, box.targetFirst));
                 found != endingAt.end()) {
        const Best adjacent{found->second.weight + bonus, found->second.box};
        if (maxima.Better(adjacent, before)) before = adjacent;
      }
    }
    total[next] = box.weight + before.weight;
    previous[next] = before.box;
    const bool atEnd = box.SourceEnd() == sourceSize && box.TargetEnd() == targetSize;
    const Best finished{total[next] + (atEnd ? bonus : 0), next};
    if (maxima.Better(finished, last)) last = finished;
    meter.Add(64);
  }

  std::vector<std::size_t> chain;
  for (std::size_t box = last.box; box != kNone; box = previous[box]) chain.push_back(box);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

}  // namespace sorowa::pairing
