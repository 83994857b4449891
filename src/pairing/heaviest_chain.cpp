#include "pairing/heaviest_chain.h"

#include <algorithm>
#include <numeric>

#include "pairing/counting_order.h"

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
  // Boxes by where they start and by where they end on the Source side, and by their end
  // cell (Source end, then Target end) for the ones ending exactly where another starts.
  const auto sourceFirst = [&](std::size_t k) { return std::size_t{boxes[k].sourceFirst}; };
  const auto sourceEnd = [&](std::size_t k) { return std::size_t{boxes[k].SourceEnd()}; };
  const auto targetEnd = [&](std::size_t k) { return std::size_t{boxes[k].TargetEnd()}; };
  const std::vector<std::size_t> byStart = CountingOrder(count, sourceSize, sourceFirst, meter);
  const std::vector<std::size_t> byEnd = CountingOrder(count, sourceSize, sourceEnd, meter);
  std::vector<std::size_t> byEndCell;
  if (bonus != 0) {
    const std::vector<std::size_t> byTargetEnd = CountingOrder(count, targetSize, targetEnd, meter);
    byEndCell = CountingOrder(count, sourceSize, sourceEnd, meter, &byTargetEnd);
  }
  PrefixMaxima maxima(targetSize, boxes);
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
    }
    Best before = maxima.Query(box.targetFirst);
    if (bonus != 0) {
      if (box.sourceFirst == 0 && box.targetFirst == 0) {
        before = {bonus, kNone};  // right after the gap's start
      } else {
        // Those ending at this box's start; all of them are done.
        auto at = std::lower_bound(byEndCell.begin(), byEndCell.end(), box,
                                   [&](std::size_t a, const ChainBox& key) {
                                     return boxes[a].SourceEnd() != key.sourceFirst
                                                ? boxes[a].SourceEnd() < key.sourceFirst
                                                : boxes[a].TargetEnd() < key.targetFirst;
                                   });
        for (; at != byEndCell.end() && boxes[*at].SourceEnd() == box.sourceFirst &&
               boxes[*at].TargetEnd() == box.targetFirst;
             ++at) {
          const Best adjacent{total[*at] + bonus, *at};
          if (maxima.Better(adjacent, before)) before = adjacent;
        }
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
