#include "pairing/gap_alignment.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "pairing/counting_order.h"
#include "pairing/gram_index.h"

namespace sorowa::pairing {
namespace {

// Identical lines are candidates whenever a line occurs at most this often in the gap's
// Target lines.
constexpr std::size_t kFewIdentical = 4;

// A monotone path through the gap from corner to corner, straight between its points.
class GuidePath {
 public:
  GuidePath(std::vector<CandidatePair> points, std::uint32_t n, std::uint32_t m) {
    // Corners just outside the gap, where the anchors are.
    xs_.push_back(-1);
    ys_.push_back(-1);
    for (const CandidatePair& point : points) {
      xs_.push_back(point.source);
      ys_.push_back(point.target);
    }
    xs_.push_back(n);
    ys_.push_back(m);
  }

  // The Target position across from Source line x (or the other way round).
  std::int64_t TargetAt(std::int64_t x) const { return Across(xs_, ys_, x); }
  std::int64_t SourceAt(std::int64_t y) const { return Across(ys_, xs_, y); }

 private:
  static std::int64_t Across(const std::vector<std::int64_t>& from,
                             const std::vector<std::int64_t>& to, std::int64_t x) {
    // Points strictly increase on both sides, so a segment holds x.
    const auto after = std::upper_bound(from.begin(), from.end(), x);
    const auto q = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(
        after - from.begin(), 1, static_cast<std::ptrdiff_t>(from.size()) - 1));
    const std::size_t p = q - 1;
    const std::int64_t run = from[q] - from[p];
    const std::int64_t rise = to[q] - to[p];
    return to[p] + ((x - from[p]) * rise * 2 + run) / (2 * run);
  }

  std::vector<std::int64_t> xs_;
  std::vector<std::int64_t> ys_;
};

// The best bigram matches of each Source line, best first, and a box for each line whose
// best match is clear.
void AddGramCandidates(const LineSet& lines, const Gap& gap, const AlignLinesTuning& tuning,
                       WorkMeter& meter, std::vector<CandidatePair>& pairs,
                       std::vector<ChainBox>& clearBest) {
  const std::uint32_t n = gap.SourceSize();
  const std::uint32_t m = gap.TargetSize();
  std::vector<std::uint32_t> targetLines(m);
  for (std::uint32_t j = 0; j < m; ++j) targetLines[j] = gap.targetBegin + j;
  const GramIndex index(lines.target, targetLines, meter);
  GramMatcher matcher(index, tuning);
  GramMatches matches;
  for (std::uint32_t i = 0; i < n; ++i) {
    matcher.Match(lines.source[gap.sourceBegin + i], static_cast<std::int64_t>(i) * m / n,
                  tuning.gramCandidates, matches, meter);
    for (std::size_t k = 0; k < matches.best.size() && k < tuning.gramCandidates; ++k) {
      pairs.push_back({i, matches.best[k].first});
    }
    if (matches.ClearBest()) {
      clearBest.push_back({i, matches.best[0].first, 1, 1, matches.best[0].second});
    }
  }
}

// The neighbours of the best two bigram pairs of each line, where a split or merge would be.
void AddNeighbours(std::vector<CandidatePair>& pairs, std::uint32_t n, std::uint32_t m) {
  const std::size_t gramPairs = pairs.size();
  for (std::size_t k = 0; k < gramPairs; ++k) {
    const auto [i, j] = pairs[k];
    if (k >= 2 && pairs[k - 2].source == i) continue;
    if (i > 0) pairs.push_back({i - 1, j});
    if (i + 1 < n) pairs.push_back({i + 1, j});
    if (j > 0) pairs.push_back({i, j - 1});
    if (j + 1 < m) pairs.push_back({i, j + 1});
  }
}

// Identical lines found a few times at most, whatever their bigrams.
void AddFewIdentical(const LineSet& lines, const Gap& gap, WorkMeter& meter,
                     std::vector<CandidatePair>& pairs) {
  const std::uint32_t n = gap.SourceSize();
  const std::uint32_t m = gap.TargetSize();
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> where;
  for (std::uint32_t j = 0; j < m; ++j) {
    meter.Add(32);
    auto& places = where[lines.targetIds[gap.targetBegin + j]];
    if (places.size() <= kFewIdentical) places.push_back(j);
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    meter.Add(32);
    const auto found = where.find(lines.sourceIds[gap.sourceBegin + i]);
    if (found == where.end() || found->second.size() > kFewIdentical) continue;
    for (std::uint32_t j : found->second) pairs.push_back({i, j});
  }
}

// Puts the pairs in order, without repeats: rows by counting, each row's few pairs by sorting.
void SortByRow(std::vector<CandidatePair>& pairs, std::uint32_t n, WorkMeter& meter) {
  const auto row = [&](std::size_t k) { return std::size_t{pairs[k].source}; };
  std::vector<CandidatePair> sorted;
  sorted.reserve(pairs.size());
  for (std::size_t k : CountingOrder(pairs.size(), n, row, meter)) sorted.push_back(pairs[k]);
  pairs.clear();
  for (std::size_t first = 0; first < sorted.size();) {
    std::size_t end = first;
    while (end < sorted.size() && sorted[end].source == sorted[first].source) ++end;
    std::sort(sorted.begin() + static_cast<std::ptrdiff_t>(first),
              sorted.begin() + static_cast<std::ptrdiff_t>(end));
    for (std::size_t k = first; k < end; ++k) {
      if (k == first || sorted[k] != sorted[k - 1]) pairs.push_back(sorted[k]);
    }
    meter.Add((end - first) * 32);
    first = end;
  }
}

// The band, row by row: around the guide's Target position for the row, and the Target
// lines whose guide Source position is near the row (contiguous, the guide being monotone);
// the row's band spans both. Merged in order with the other candidates (sorted by row).
std::vector<CandidatePair> MergeWithBand(const std::vector<CandidatePair>& pairs,
                                         const GuidePath& guide, std::uint32_t n, std::uint32_t m,
                                         const AlignLinesTuning& tuning, WorkMeter& meter) {
  const auto width = static_cast<std::int64_t>(tuning.bandHalfWidth);
  std::vector<std::int64_t> across(m);
  for (std::uint32_t j = 0; j < m; ++j) across[j] = guide.SourceAt(j);
  std::vector<CandidatePair> merged;
  merged.reserve(pairs.size() + static_cast<std::size_t>(n) * (2 * tuning.bandHalfWidth + 3));
  std::size_t other = 0;
  std::uint32_t nearFirst = 0;
  std::uint32_t nearEnd = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::int64_t centre = guide.TargetAt(i);
    std::int64_t first = std::max<std::int64_t>(0, centre - width);
    std::int64_t last = std::min<std::int64_t>(m - 1, centre + width);
    while (nearFirst < m && across[nearFirst] < static_cast<std::int64_t>(i) - width) ++nearFirst;
    nearEnd = std::max(nearEnd, nearFirst);
    while (nearEnd < m && across[nearEnd] <= static_cast<std::int64_t>(i) + width) ++nearEnd;
    if (nearEnd > nearFirst) {
      first = std::min<std::int64_t>(first, nearFirst);
      last = std::max<std::int64_t>(last, nearEnd - 1);
    }
    for (; other < pairs.size() && pairs[other].source == i && pairs[other].target < first;
         ++other) {
      merged.push_back(pairs[other]);
    }
    for (std::int64_t j = first; j <= last; ++j)
      merged.push_back({i, static_cast<std::uint32_t>(j)});
    meter.Add(static_cast<std::uint64_t>(last - first + 1) * 4 + 16);
    for (; other < pairs.size() && pairs[other].source == i; ++other) {
      if (pairs[other].target > last) merged.push_back(pairs[other]);
    }
  }
  meter.Add(m * 8);
  return merged;
}

// The candidates of a gap too large to try every pair: each line's best bigram matches and
// their neighbours, identical lines, and a band around the path of the clear best matches.
std::vector<CandidatePair> FilteredCandidates(const LineSet& lines, const Gap& gap,
                                              const AlignLinesTuning& tuning, WorkMeter& meter) {
  const std::uint32_t n = gap.SourceSize();
  const std::uint32_t m = gap.TargetSize();
  std::vector<CandidatePair> pairs;
  std::vector<ChainBox> clearBest;
  AddGramCandidates(lines, gap, tuning, meter, pairs, clearBest);
  AddNeighbours(pairs, n, m);
  AddFewIdentical(lines, gap, meter, pairs);
  std::vector<CandidatePair> points;
  for (std::size_t box : HeaviestChain(clearBest, n, m, 0, meter)) {
    points.push_back({clearBest[box].sourceFirst, clearBest[box].targetFirst});
  }
  const GuidePath guide(std::move(points), n, m);
  SortByRow(pairs, n, meter);
  return MergeWithBand(pairs, guide, n, m, tuning, meter);
}

// Where (i, j) is among candidates sorted by row, or -1.
class PairLookup {
 public:
  explicit PairLookup(std::span<const CandidatePair> pairs) : pairs_(pairs) {}
  std::ptrdiff_t Find(std::uint32_t i, std::uint32_t j) const {
    const CandidatePair key{i, j};
    const auto at = std::lower_bound(pairs_.begin(), pairs_.end(), key);
    return at != pairs_.end() && *at == key ? at - pairs_.begin() : -1;
  }

 private:
  std::span<const CandidatePair> pairs_;
};

}  // namespace

bool GapIsExhaustive(const LineSet& lines, const Gap& gap, const AlignLinesTuning& tuning) {
  const std::uint64_t n = gap.SourceSize();
  const std::uint64_t m = gap.TargetSize();
  if (n * m > tuning.exhaustivePairs) return false;
  // A gap this thin is all band anyway.
  if (std::min(n, m) <= 2 * tuning.bandHalfWidth + 1) return true;
  std::uint64_t words = 0;
  std::uint64_t units = 0;
  for (std::uint32_t i = gap.sourceBegin; i < gap.sourceEnd; ++i) {
    words += (lines.source[i].size() + 63) / 64;
  }
  for (std::uint32_t j = gap.targetBegin; j < gap.targetEnd; ++j) units += lines.target[j].size();
  return words * units <= tuning.exhaustiveWork;
}

std::vector<CandidatePair> GapCandidates(const LineSet& lines, const Gap& gap,
                                         const AlignLinesTuning& tuning, WorkMeter& meter) {
  if (gap.SourceSize() == 0 || gap.TargetSize() == 0) return {};
  if (!GapIsExhaustive(lines, gap, tuning)) return FilteredCandidates(lines, gap, tuning, meter);
  std::vector<CandidatePair> pairs;
  pairs.reserve(static_cast<std::size_t>(gap.SourceSize()) * gap.TargetSize());
  for (std::uint32_t i = 0; i < gap.SourceSize(); ++i) {
    for (std::uint32_t j = 0; j < gap.TargetSize(); ++j) pairs.push_back({i, j});
  }
  meter.Add(pairs.size() * 2);
  return pairs;
}

std::vector<ChainBox> GapBoxFinder::Find(const Gap& gap,
                                         std::span<const CandidatePair> candidates) {
  const PairLookup lookup(candidates);
  const auto sourceLength = [&](std::uint32_t i) {
    return lines_.source[gap.sourceBegin + i].size();
  };
  const auto targetLength = [&](std::uint32_t j) {
    return lines_.target[gap.targetBegin + j].size();
  };
  const auto identical = [&](std::uint32_t i, std::uint32_t j) {
    return lines_.sourceIds[gap.sourceBegin + i] == lines_.targetIds[gap.targetBegin + j];
  };
  // Whether any box made of pair k could be worth something, judging by lengths alone.
  const auto needed = [&](std::size_t k) {
    const auto [i, j] = candidates[k];
    const std::size_t a = sourceLength(i);
    const std::size_t b = targetLength(j);
    if (PairMayCount(tuning_, a, b)) return true;
    if (j > 0 && k > 0 && candidates[k - 1] == CandidatePair{i, j - 1} &&
        SplitLengthsMayCount(tuning_, a, targetLength(j - 1), b)) {
      return true;
    }
    if (k + 1 < candidates.size() && candidates[k + 1] == CandidatePair{i, j + 1} &&
        SplitLengthsMayCount(tuning_, a, b, targetLength(j + 1))) {
      return true;
    }
    if (i > 0 && SplitLengthsMayCount(tuning_, b, sourceLength(i - 1), a) &&
        lookup.Find(i - 1, j) >= 0) {
      return true;
    }
    return i + 1 < gap.SourceSize() && SplitLengthsMayCount(tuning_, b, a, sourceLength(i + 1)) &&
           lookup.Find(i + 1, j) >= 0;
  };

  // LCS of every candidate pair that may matter, -1 for the others.
  std::vector<std::int32_t> lcs(candidates.size(), -1);
  std::vector<ChainBox> boxes;
  std::size_t rowStart = 0;
  std::size_t previousRow = 0;
  while (rowStart < candidates.size()) {
    const std::uint32_t i = candidates[rowStart].source;
    std::size_t rowEnd = rowStart;
    while (rowEnd < candidates.size() && candidates[rowEnd].source == i) ++rowEnd;
    const std::u16string& line = lines_.source[gap.sourceBegin + i];
    bool loaded = false;
    for (std::size_t k = rowStart; k < rowEnd; ++k) {
      const std::uint32_t j = candidates[k].target;
      const std::u16string& other = lines_.target[gap.targetBegin + j];
      if (identical(i, j)) {
        lcs[k] = static_cast<std::int32_t>(line.size());
      } else if (needed(k)) {
        if (LcsNeedsEstimate(line.size(), other.size(), tuning_)) {
          lcs[k] = static_cast<std::int32_t>(LineLcs(line, other, tuning_, scratch_));
          meter_.Add(std::uint64_t{1} << 17);
        } else {
          if (!loaded) {
            forward_.SetPattern(line);
            loaded = true;
            meter_.Add(line.size() * 2);
          }
          lcs[k] = static_cast<std::int32_t>(forward_.Length(other));
          meter_.Add(forward_.Work(other.size()) + 16);
        }
      }
      meter_.Add(4);
      if (lcs[k] >= 0) {
        const std::int64_t weight = PairWeight(tuning_, line.size(), other.size(),
                                               static_cast<std::size_t>(lcs[k]), identical(i, j));
        if (weight > BoxFloor(tuning_)) boxes.push_back({i, j, 1, 1, weight});
      }
    }
    // Splits of this row.
    for (std::size_t k = rowStart; k + 1 < rowEnd; ++k) {
      if (candidates[k + 1].target == candidates[k].target + 1 && lcs[k] >= 0 && lcs[k + 1] >= 0) {
        AddSplit(gap, i, candidates[k].target, static_cast<std::uint32_t>(lcs[k]),
                 static_cast<std::uint32_t>(lcs[k + 1]), boxes);
      }
    }
    // Merges of the row before with this one.
    if (rowStart > 0 && candidates[previousRow].source + 1 == i) {
      std::size_t up = previousRow;
      for (std::size_t k = rowStart; k < rowEnd; ++k) {
        while (up < rowStart && candidates[up].target < candidates[k].target) ++up;
        if (up < rowStart && candidates[up].target == candidates[k].target && lcs[up] >= 0 &&
            lcs[k] >= 0) {
          AddMerge(gap, i - 1, candidates[k].target, static_cast<std::uint32_t>(lcs[up]),
                   static_cast<std::uint32_t>(lcs[k]), boxes);
        }
      }
    }
    previousRow = rowStart;
    rowStart = rowEnd;
  }
  return boxes;
}

// Source line i split into Target lines j and j + 1, with those LCS against the whole line.
void GapBoxFinder::AddSplit(const Gap& gap, std::uint32_t i, std::uint32_t j, std::uint32_t lcs1,
                            std::uint32_t lcs2, std::vector<ChainBox>& boxes) {
  const std::u16string& whole = lines_.source[gap.sourceBegin + i];
  const std::u16string& part1 = lines_.target[gap.targetBegin + j];
  const std::u16string& part2 = lines_.target[gap.targetBegin + j + 1];
  if (SplitTooLong(tuning_, whole.size(), part1.size(), part2.size()) ||
      !SplitMayCount(tuning_, whole.size(), part1.size(), part2.size(), lcs1 + lcs2) ||
      !PartMayBeRecognisable(tuning_, part1.size(), lcs1) ||
      !PartMayBeRecognisable(tuning_, part2.size(), lcs2)) {
    return;
  }
  forward_.SetPattern(whole);
  forward_.Profile(part1, prefix_);
  backward_.SetPattern(whole, true);
  backward_.Profile(part2, suffix_);
  std::reverse(suffix_.begin(), suffix_.end());
  meter_.Add(forward_.Work(part1.size() + part2.size()) + 4 * whole.size());
  const SplitMeasure measure = MeasureSplit(tuning_, part1.size(), part2.size(), prefix_, suffix_);
  if (!measure.partsRecognisable) return;
  const std::int64_t weight =
      SplitWeight(tuning_, whole.size(), part1.size(), part2.size(), measure.lcs);
  if (weight > BoxFloor(tuning_)) boxes.push_back({i, j, 1, 2, weight});
}

// Source lines i and i + 1 merged into Target line j.
void GapBoxFinder::AddMerge(const Gap& gap, std::uint32_t i, std::uint32_t j, std::uint32_t lcs1,
                            std::uint32_t lcs2, std::vector<ChainBox>& boxes) {
  const std::u16string& whole = lines_.target[gap.targetBegin + j];
  const std::u16string& part1 = lines_.source[gap.sourceBegin + i];
  const std::u16string& part2 = lines_.source[gap.sourceBegin + i + 1];
  if (SplitTooLong(tuning_, whole.size(), part1.size(), part2.size()) ||
      !SplitMayCount(tuning_, whole.size(), part1.size(), part2.size(), lcs1 + lcs2) ||
      !PartMayBeRecognisable(tuning_, part1.size(), lcs1) ||
      !PartMayBeRecognisable(tuning_, part2.size(), lcs2)) {
    return;
  }
  scratch_.SetPattern(whole);
  scratch_.Profile(part1, prefix_);
  backward_.SetPattern(whole, true);
  backward_.Profile(part2, suffix_);
  std::reverse(suffix_.begin(), suffix_.end());
  meter_.Add(scratch_.Work(part1.size() + part2.size()) + 4 * whole.size());
  const SplitMeasure measure = MeasureSplit(tuning_, part1.size(), part2.size(), prefix_, suffix_);
  if (!measure.partsRecognisable) return;
  const std::int64_t weight =
      SplitWeight(tuning_, whole.size(), part1.size(), part2.size(), measure.lcs);
  if (weight > BoxFloor(tuning_)) boxes.push_back({i, j, 2, 1, weight});
}

}  // namespace sorowa::pairing
