#include "pairing/line_anchors.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "pairing/gram_index.h"

namespace sorowa::pairing {
namespace {

// A unique identical pair weighs three votes and a little more for a longer line (so between
// crossing anchors the one with more text wins).
constexpr std::int64_t kVoteWeight = 256;
std::int64_t AnchorWeight(std::size_t lineLength) {
  return 3 * kVoteWeight + static_cast<std::int64_t>(std::min<std::size_t>(lineLength, 255));
}

}  // namespace

LineIds InternLines(const std::vector<std::u16string>& source,
                    const std::vector<std::u16string>& target, WorkMeter& meter) {
  LineIds ids;
  std::unordered_map<std::u16string_view, std::uint32_t> known;
  known.reserve(source.size() + target.size());
  const auto intern = [&](const std::vector<std::u16string>& lines,
                          std::vector<std::uint32_t>& out) {
    out.reserve(lines.size());
    for (const std::u16string& line : lines) {
      const auto [at, added] =
          known.emplace(std::u16string_view(line), static_cast<std::uint32_t>(known.size()));
      out.push_back(at->second);
      meter.Add(line.size() + 32);
    }
  };
  intern(source, ids.source);
  intern(target, ids.target);
  return ids;
}

AnchorCandidates FindAnchorCandidates(const LineIds& ids, const std::vector<std::u16string>& source,
                                      const std::vector<std::u16string>& target,
                                      const AlignLinesTuning& tuning, WorkMeter& meter) {
  AnchorCandidates candidates;
  const std::size_t n = ids.source.size();
  const std::size_t m = ids.target.size();
  std::size_t head = 0;
  while (head < n && head < m && ids.source[head] == ids.target[head]) ++head;
  std::size_t tail = 0;
  while (tail < n - head && tail < m - head &&
         ids.source[n - 1 - tail] == ids.target[m - 1 - tail]) {
    ++tail;
  }
  candidates.head = static_cast<std::uint32_t>(head);
  candidates.tail = static_cast<std::uint32_t>(tail);
  meter.Add(head + tail);
  const std::size_t middleN = n - head - tail;
  const std::size_t middleM = m - head - tail;

  // Lines that occur once on each side of the middle: their only place on each side.
  struct Occurrence {
    std::uint32_t sourceCount = 0;
    std::uint32_t targetCount = 0;
    std::uint32_t target = 0;
  };
  std::unordered_map<std::uint32_t, Occurrence> occurrences;
  for (std::size_t i = head; i < n - tail; ++i) {
    ++occurrences[ids.source[i]].sourceCount;
    meter.Add(16);
  }
  for (std::size_t j = head; j < m - tail; ++j) {
    meter.Add(16);
    const auto found = occurrences.find(ids.target[j]);
    if (found == occurrences.end()) continue;
    ++found->second.targetCount;
    found->second.target = static_cast<std::uint32_t>(j - head);
  }
  std::vector<bool> sourcePaired(middleN, false);
  std::vector<bool> targetPaired(middleM, false);
  for (std::size_t i = 0; i < middleN; ++i) {
    meter.Add(16);
    const Occurrence& occurrence = occurrences[ids.source[head + i]];
    if (occurrence.sourceCount == 1 && occurrence.targetCount == 1) {
      candidates.boxes.push_back({static_cast<std::uint32_t>(i), occurrence.target, 1, 1,
                                  AnchorWeight(source[head + i].size())});
      sourcePaired[i] = true;
      targetPaired[occurrence.target] = true;
    }
  }
  candidates.unique = candidates.boxes.size();
  // Votes are only needed to check anchors, and only where other lines are left.
  if (candidates.unique == 0 || candidates.unique == middleN || candidates.unique == middleM) {
    return candidates;
  }

  std::vector<std::uint32_t> rest;
  for (std::size_t j = 0; j < middleM; ++j) {
    if (!targetPaired[j]) rest.push_back(static_cast<std::uint32_t>(head + j));
  }
  const GramIndex index(target, rest, meter);
  GramMatcher matcher(index, tuning);
  GramMatches matches;
  for (std::size_t i = 0; i < middleN; ++i) {
    if (sourcePaired[i]) continue;
    // Ties go to the line across on the straight line through the middle.
    const auto across = static_cast<std::int64_t>(i * rest.size() / middleN);
    matcher.Match(source[head + i], across, 1, matches, meter);
    if (matches.ClearBest()) {
      candidates.boxes.push_back({static_cast<std::uint32_t>(i),
                                  rest[matches.best[0].first] - static_cast<std::uint32_t>(head), 1,
                                  1, kVoteWeight});
    }
  }
  return candidates;
}

std::vector<Anchor> AnchorsFromChain(const AnchorCandidates& candidates,
                                     const std::vector<std::size_t>& chain, std::size_t sourceSize,
                                     std::size_t targetSize) {
  std::vector<Anchor> anchors;
  for (std::uint32_t k = 0; k < candidates.head; ++k) anchors.push_back({k, k});
  for (std::size_t box : chain) {
    if (box >= candidates.unique) continue;  // a vote
    anchors.push_back({candidates.boxes[box].sourceFirst + candidates.head,
                       candidates.boxes[box].targetFirst + candidates.head});
  }
  for (std::uint32_t k = candidates.tail; k > 0; --k) {
    anchors.push_back(
        {static_cast<std::uint32_t>(sourceSize - k), static_cast<std::uint32_t>(targetSize - k)});
  }
  return anchors;
}

std::vector<Anchor> FindAnchors(const LineIds& ids, const std::vector<std::u16string>& source,
                                const std::vector<std::u16string>& target,
                                const AlignLinesTuning& tuning, WorkMeter& meter) {
  const AnchorCandidates candidates = FindAnchorCandidates(ids, source, target, tuning, meter);
  const auto middle =
      static_cast<std::uint32_t>(ids.target.size() - candidates.head - candidates.tail);
  const auto middleSource =
      static_cast<std::uint32_t>(ids.source.size() - candidates.head - candidates.tail);
  return AnchorsFromChain(candidates,
                          HeaviestChain(candidates.boxes, middleSource, middle, 0, meter),
                          ids.source.size(), ids.target.size());
}

}  // namespace sorowa::pairing
