#pragma once

// The line aligner written the slow, obvious way, to check the fast one against. It shares
// with the aligner only what defines the answer: the worth formulas (line_similarity.h), the
// anchor and vote candidates and the candidate pairs of a gap (which pairs are looked at at
// all), and the tie rule PreferredEnd. Everything the aligner does to be fast is done here
// plainly: LCS by the textbook table, every box of every candidate pair measured with no
// bounds, and the heaviest chain by trying every predecessor of every box.
//
// In a gap small enough to be compared exhaustively, the candidates are all pairs, so there
// the reference is the full quadratic DP. In a large gap, it checks the fast path within the
// pairs the filter lets through: the filter is a choice, not something to be checked against.

#include <algorithm>
#include <string>
#include <vector>

#include "pairing/align_lines.h"
#include "pairing/gap_alignment.h"
#include "pairing/heaviest_chain.h"
#include "pairing/line_anchors.h"
#include "pairing/line_similarity.h"

namespace sorowa::reference {

// prefix[k] = LCS(a[0..k), b) for k = 0 .. |a|.
inline std::vector<std::uint32_t> LcsPrefixes(std::u16string_view a, std::u16string_view b) {
  std::vector<std::vector<std::uint32_t>> table(a.size() + 1,
                                                std::vector<std::uint32_t>(b.size() + 1, 0));
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      table[i][j] = a[i - 1] == b[j - 1] ? table[i - 1][j - 1] + 1
                                         : std::max(table[i - 1][j], table[i][j - 1]);
    }
  }
  std::vector<std::uint32_t> prefix;
  for (const auto& row : table) prefix.push_back(row.back());
  return prefix;
}

inline std::size_t Lcs(std::u16string_view a, std::u16string_view b) {
  return LcsPrefixes(a, b).back();
}

// Every chain tried: each box's predecessor is the best (total plus bonus if adjacent, then
// PreferredEnd) among all boxes ending before it.
inline std::vector<std::size_t> HeaviestChain(const std::vector<pairing::ChainBox>& boxes,
                                              std::uint32_t n, std::uint32_t m,
                                              std::int64_t bonus) {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  struct Choice {
    std::int64_t value = 0;
    std::size_t box = kNone;
  };
  const auto better = [&](const Choice& a, const Choice& b) {
    if (a.box == kNone) return false;
    if (b.box == kNone) return true;
    if (a.value != b.value) return a.value > b.value;
    return pairing::PreferredEnd(boxes[a.box], boxes[b.box]);
  };
  std::vector<std::size_t> order(boxes.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return boxes[a].sourceFirst < boxes[b].sourceFirst;
  });
  std::vector<std::int64_t> total(boxes.size());
  std::vector<std::size_t> previous(boxes.size(), kNone);
  Choice last;
  for (std::size_t b : order) {
    Choice best;
    if (boxes[b].sourceFirst == 0 && boxes[b].targetFirst == 0) best.value = bonus;
    for (std::size_t a = 0; a < boxes.size(); ++a) {
      if (boxes[a].SourceEnd() > boxes[b].sourceFirst ||
          boxes[a].TargetEnd() > boxes[b].targetFirst) {
        continue;
      }
      const bool adjacent = boxes[a].SourceEnd() == boxes[b].sourceFirst &&
                            boxes[a].TargetEnd() == boxes[b].targetFirst;
      const Choice here{total[a] + (adjacent ? bonus : 0), a};
      if (better(here, best)) best = here;
    }
    total[b] = boxes[b].weight + best.value;
    previous[b] = best.box;
    const bool atEnd = boxes[b].SourceEnd() == n && boxes[b].TargetEnd() == m;
    const Choice finished{total[b] + (atEnd ? bonus : 0), b};
    if (better(finished, last)) last = finished;
  }
  std::vector<std::size_t> chain;
  for (std::size_t box = last.box; box != kNone; box = previous[box]) chain.push_back(box);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

// Every box of the candidate pairs, measured in full.
inline std::vector<pairing::ChainBox> GapBoxes(const pairing::LineSet& lines,
                                               const pairing::Gap& gap,
                                               const std::vector<pairing::CandidatePair>& pairs,
                                               const AlignLinesTuning& tuning) {
  pairing::LcsScanner scratch;
  const auto has = [&](std::uint32_t i, std::uint32_t j) {
    return std::binary_search(pairs.begin(), pairs.end(), pairing::CandidatePair{i, j});
  };
  const auto lcs = [&](const std::u16string& a, const std::u16string& b) {
    return pairing::LcsNeedsEstimate(a.size(), b.size(), tuning)
               ? pairing::LineLcs(a, b, tuning, scratch)
               : Lcs(a, b);
  };
  // whole against part1 followed by part2.
  const auto split = [&](const std::u16string& whole, const std::u16string& part1,
                         const std::u16string& part2) -> std::int64_t {
    if (pairing::SplitTooLong(tuning, whole.size(), part1.size(), part2.size())) return INT64_MIN;
    const auto prefix = LcsPrefixes(whole, part1);
    std::u16string wholeBack(whole.rbegin(), whole.rend());
    std::u16string part2Back(part2.rbegin(), part2.rend());
    auto suffix = LcsPrefixes(wholeBack, part2Back);
    std::reverse(suffix.begin(), suffix.end());
    const auto measure = pairing::MeasureSplit(tuning, part1.size(), part2.size(), prefix, suffix);
    if (!measure.partsRecognisable) return INT64_MIN;
    return pairing::SplitWeight(tuning, whole.size(), part1.size(), part2.size(), measure.lcs);
  };
  std::vector<pairing::ChainBox> boxes;
  const auto keep = [&](pairing::ChainBox box) {
    if (box.weight > pairing::BoxFloor(tuning)) boxes.push_back(box);
  };
  for (const auto [i, j] : pairs) {
    const std::u16string& s = lines.source[gap.sourceBegin + i];
    const std::u16string& t = lines.target[gap.targetBegin + j];
    keep({i, j, 1, 1, pairing::PairWeight(tuning, s.size(), t.size(), lcs(s, t), s == t)});
    if (has(i, j + 1)) keep({i, j, 1, 2, split(s, t, lines.target[gap.targetBegin + j + 1])});
    if (has(i + 1, j)) keep({i, j, 2, 1, split(t, s, lines.source[gap.sourceBegin + i + 1])});
  }
  return boxes;
}

inline LinePairing AlignLines(const std::vector<std::u16string>& source,
                              const std::vector<std::u16string>& target,
                              const AlignLinesTuning& tuning) {
  const std::function<void()> none;
  pairing::WorkMeter meter(none);
  const pairing::LineIds ids = pairing::InternLines(source, target, meter);
  const pairing::LineSet lines{source, target, ids.source, ids.target};
  const auto candidates = pairing::FindAnchorCandidates(ids, source, target, tuning, meter);
  const auto middleN =
      static_cast<std::uint32_t>(source.size() - candidates.head - candidates.tail);
  const auto middleM =
      static_cast<std::uint32_t>(target.size() - candidates.head - candidates.tail);
  auto anchors =
      pairing::AnchorsFromChain(candidates, HeaviestChain(candidates.boxes, middleN, middleM, 0),
                                source.size(), target.size());
  anchors.push_back(
      {static_cast<std::uint32_t>(source.size()), static_cast<std::uint32_t>(target.size())});

  LinePairing result;
  std::size_t i = 0;
  std::size_t j = 0;
  const auto alone = [&](std::size_t sourceUntil, std::size_t targetUntil) {
    for (; i < sourceUntil; ++i) result.push_back({i, 1, j, 0});
    for (; j < targetUntil; ++j) result.push_back({i, 0, j, 1});
  };
  for (const auto& anchor : anchors) {
    const pairing::Gap gap{static_cast<std::uint32_t>(i), anchor.source,
                           static_cast<std::uint32_t>(j), anchor.target};
    const auto pairs = pairing::GapCandidates(lines, gap, tuning, meter);
    const auto boxes = GapBoxes(lines, gap, pairs, tuning);
    for (std::size_t k :
         HeaviestChain(boxes, gap.SourceSize(), gap.TargetSize(), tuning.contextBonus)) {
      alone(gap.sourceBegin + boxes[k].sourceFirst, gap.targetBegin + boxes[k].targetFirst);
      result.push_back({i, boxes[k].sourceCount, j, boxes[k].targetCount});
      i += boxes[k].sourceCount;
      j += boxes[k].targetCount;
    }
    alone(anchor.source, anchor.target);
    if (anchor.source < source.size()) result.push_back({i++, 1, j++, 1});
  }
  return result;
}

}  // namespace sorowa::reference
