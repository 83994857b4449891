#include "pairing/join_lines.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace sorowa::pairing {
namespace {

using Scored = std::pair<std::int64_t, std::uint32_t>;
constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::min() / 4;
constexpr std::uint32_t kFar = std::numeric_limits<std::uint32_t>::max() / 4;
// A piece is aligned again to count its matches up to this many cells (a few milliseconds).
constexpr std::uint64_t kMostPieceCells = std::uint64_t{1} << 26;
// The band reaches at most this many line ends on either side of the path in a row.
constexpr std::size_t kMostReached = 8;

// The band's columns in row y: within halfWidth of the path's columns there.
std::uint32_t BandLow(std::uint32_t pathLow, std::uint32_t halfWidth) {
  return pathLow > halfWidth ? pathLow - halfWidth : 0;
}
std::uint32_t BandHigh(std::uint32_t pathHigh, std::uint32_t halfWidth, std::size_t end) {
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(end, std::uint64_t{pathHigh} + halfWidth));
}

// Fenwick tree of prefix maxima over the Target corner, holding the rows done.
class PrefixMaxima {
 public:
  PrefixMaxima(std::vector<Scored>& tree, std::size_t end) : tree_(tree), end_(end) {}
  Scored Query(std::size_t target) const {
    Scored best{kNone, 0};
    for (std::size_t at = target + 1; at > 0; at &= at - 1) {
      if (tree_[at].first > best.first) best = tree_[at];
    }
    return best;
  }
  void Update(std::size_t target, Scored scored) {
    for (std::size_t at = target + 1; at <= end_; at += at & (~at + 1)) {
      if (scored.first > tree_[at].first) tree_[at] = scored;
    }
  }

 private:
  std::vector<Scored>& tree_;
  std::size_t end_;
};

}  // namespace

void JoinLines(const std::vector<std::u16string>& lines, std::size_t first, std::size_t count,
               JoinedText& out) {
  out.text.clear();
  out.starts.clear();
  for (std::size_t k = first; k < first + count; ++k) {
    out.starts.push_back(static_cast<std::uint32_t>(out.text.size()));
    const std::u16string& line = lines[k];
    for (std::size_t u = 0; u < line.size(); ++u) {
      const char16_t c = line[u];
      // A surrogate pair is one code point; a lone surrogate stands for itself, as in the
      // scores.
      if (c >= 0xD800 && c < 0xDC00 && u + 1 < line.size() && line[u + 1] >= 0xDC00 &&
          line[u + 1] < 0xE000) {
        out.text.push_back(0x10000 + ((std::uint32_t{c} - 0xD800) << 10) + (line[u + 1] - 0xDC00));
        ++u;
      } else {
        out.text.push_back(c);
      }
    }
  }
  out.starts.push_back(static_cast<std::uint32_t>(out.text.size()));
}

LineJoiner::LineJoiner(const LineSet& lines, const AlignLinesTuning& tuning, WorkMeter& meter)
    : lines_(lines), tuning_(tuning), meter_(meter), finder_(tuning, meter) {}

std::size_t LineJoiner::Measure(const Gap& gap) {
  JoinLines(lines_.source, gap.sourceBegin, gap.SourceSize(), source_);
  JoinLines(lines_.target, gap.targetBegin, gap.TargetSize(), target_);
  finder_.Find(source_.text, target_.text, path_);
  Block block;
  block.gap = gap;
  block.firstCorner = corners_.size();
  block.sourceStarts = starts_.size();
  starts_.insert(starts_.end(), source_.starts.begin(), source_.starts.end());
  starts_.insert(starts_.end(), target_.starts.begin(), target_.starts.end());
  const std::uint64_t length = source_.text.size() + target_.text.size();
  const auto matches =
      static_cast<std::uint32_t>(std::count(path_.begin(), path_.end(), EditOp::Match));
  // A large block whose path matches next to nothing holds unrelated texts (two documents
  // sharing no line, a huge line against a million short ones): its pairs, if any, are left
  // to the box aligner, which finds them in linear time without the band. A block of one line
  // a side can only be one pair or two lines alone, which the path's matches decide.
  block.unrelated = length > tuning_.joinUnrelatedLength && 20 * std::uint64_t{matches} < length;
  if (block.unrelated || (gap.SourceSize() == 1 && gap.TargetSize() == 1)) {
    block.distance = path_.size() - matches;
    corners_.push_back({0, 0, 0, 0});
    corners_.push_back(
        {gap.SourceSize(), gap.TargetSize(), static_cast<std::uint32_t>(block.distance), 0});
    rowMatches_.assign(gap.SourceSize() + 1, 0);
    columnMatches_.assign(gap.TargetSize() + 1, 0);
    rowMatches_.back() = matches;
    columnMatches_.back() = matches;
  } else {
    FindCorners(source_, target_, path_, corners_, block.distance);
  }
  block.endCorner = corners_.size();
  block.lineMatches = lineMatches_.size();
  lineMatches_.insert(lineMatches_.end(), rowMatches_.begin(), rowMatches_.end());
  lineMatches_.insert(lineMatches_.end(), columnMatches_.begin(), columnMatches_.end());
  distance_ += block.distance;
  blocks_.push_back(block);
  return blocks_.size() - 1;
}

void LineJoiner::DropLast() {
  const Block& block = blocks_.back();
  corners_.resize(block.firstCorner);
  starts_.resize(block.sourceStarts);
  lineMatches_.resize(block.lineMatches);
  distance_ -= block.distance;
  blocks_.pop_back();
}

void LineJoiner::MakeBand(const JoinedText& a, const JoinedText& b,
                          const std::vector<EditOp>& path) {
  const auto n = static_cast<std::uint32_t>(a.text.size());
  const auto m = static_cast<std::uint32_t>(b.text.size());
  const std::vector<std::uint32_t>& x0 = a.starts;
  const std::vector<std::uint32_t>& y0 = b.starts;
  const std::uint32_t w = tuning_.cutBandHalfWidth;
  // A rectangle of rows x columns between the path and a line end is added when it is small,
  // or long and narrow, up to 16 times as large: such a rectangle lies along a long run of
  // deletions or insertions (lines alone), at whose far end the path has aligned the last
  // characters of the neighbouring line. A square one lies along a diagonal path, where line
  // ends away from the path are dear to cut at.
  const auto Reachable = [&](std::uint64_t rows, std::uint64_t columns) {
    const std::uint64_t cells = rows * columns;
    const bool narrow = std::max(rows, columns) >= 4 * std::min(rows, columns);
    return cells <= tuning_.cutReachCells ||
           (narrow && cells <= 16 * std::uint64_t{tuning_.cutReachCells});
  };
  // The row in which the path reaches each column.
  reachRow_.assign(m + 1, 0);
  {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    for (const EditOp op : path) {
      if (op != EditOp::Insert) ++x;
      if (op != EditOp::Delete) reachRow_[++y] = x;
    }
  }
  low_.resize(n + 1);
  high_.resize(n + 1);
  cornerLow_.clear();
  cornerHigh_.clear();
  struct Reach {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint32_t column = 0;
  };
  std::vector<Reach> rightward;
  std::size_t t = 0;
  std::uint32_t y = 0;
  std::size_t i = 0;
  for (std::uint32_t x = 0; x <= n; ++x) {
    const std::uint32_t pathLow = y;
    while (t < path.size() && path[t] == EditOp::Insert) ++y, ++t;
    const std::uint32_t pathHigh = y;
    low_[x] = BandLow(pathLow, w);
    high_[x] = BandHigh(pathHigh, w, m);
    if (i < x0.size() && x0[i] == x) {
      // Line ends of the Target left of the band: the rectangle from the row where the path
      // reaches that column down to this row. Nested, so the farthest that fits is enough.
      std::size_t j =
          static_cast<std::size_t>(std::lower_bound(y0.begin(), y0.end(), low_[x]) - y0.begin());
      std::uint32_t column = low_[x];
      for (std::size_t taken = 0; j-- > 0 && taken < kMostReached; ++taken) {
        if (!Reachable(x - reachRow_[y0[j]] + 1, pathLow - y0[j] + 1)) break;
        column = y0[j];
      }
      cornerLow_.push_back(column);
      if (column < low_[x]) {
        for (std::uint32_t r = reachRow_[column]; r <= x; ++r) low_[r] = std::min(low_[r], column);
        meter_.Add(x - reachRow_[column] + 1);
      }
      // And right of it: from this row down to where the path reaches that column.
      j = static_cast<std::size_t>(std::upper_bound(y0.begin(), y0.end(), high_[x]) - y0.begin());
      column = high_[x];
      for (std::size_t taken = 0; j < y0.size() && taken < kMostReached; ++j, ++taken) {
        if (!Reachable(reachRow_[y0[j]] - x + 1, y0[j] - pathHigh + 1)) break;
        column = y0[j];
      }
      cornerHigh_.push_back(column);
      if (column > high_[x]) rightward.push_back({x, reachRow_[column], column});
      while (i < x0.size() && x0[i] == x) ++i;
    }
    if (x < n && path[t++] != EditOp::Delete) ++y;
  }
  for (const Reach& right : rightward) {
    for (std::uint32_t r = right.from; r <= right.to; ++r) {
      high_[r] = std::max(high_[r], right.column);
    }
    meter_.Add(right.to - right.from + 1);
  }
  meter_.Add(path.size() + n + m);
}

void LineJoiner::FindCorners(const JoinedText& a, const JoinedText& b,
                             const std::vector<EditOp>& path, std::vector<Corner>& corners,
                             std::uint64_t& distance) {
  const std::size_t first = corners.size();
  MakeBand(a, b, path);
  FindCornersForward(a, b, corners);
  distance = corners.back().before;
  FindDetours(a, b, first, distance, corners);
  CountLineMatches(a, b, path);
}

// The corners in the band, with their Dpre, forward: row x holds the distances of a's first x
// code points to b's prefixes. At rows where Source lines start, the values at Target line
// starts are the corners' Dpre.
void LineJoiner::FindCornersForward(const JoinedText& a, const JoinedText& b,
                                    std::vector<Corner>& corners) {
  const std::vector<std::uint32_t>& x0 = a.starts;
  const std::vector<std::uint32_t>& y0 = b.starts;
  const auto n = static_cast<std::uint32_t>(a.text.size());
  const std::size_t lastSource = x0.size() - 1;
  const std::size_t lastTarget = y0.size() - 1;
  std::size_t i = 0;
  std::size_t row = 0;
  std::uint32_t previousLow = 0;
  std::uint32_t previousHigh = 0;
  for (std::uint32_t x = 0; x <= n; ++x) {
    const std::uint32_t low = low_[x];
    const std::uint32_t high = high_[x];
    row_.resize(high - low + 1);
    if (x == 0) {
      for (std::uint32_t c = low; c <= high; ++c) row_[c - low] = c;
    } else {
      const std::uint32_t ax = a.text[x - 1];
      for (std::uint32_t c = low; c <= high; ++c) {
        std::uint32_t v = kFar;
        if (c <= previousHigh) v = previousRow_[c - previousLow] + 1;
        if (c > previousLow && c - 1 <= previousHigh) {
          v = std::min(v, previousRow_[c - 1 - previousLow] + (ax != b.text[c - 1] ? 1u : 0u));
        }
        if (c > low) v = std::min(v, row_[c - 1 - low] + 1);
        row_[c - low] = v;
      }
    }
    meter_.Add(high - low + 1);
    if (i <= lastSource && x0[i] == x) {
      // Only the row's own band and reach hold its corners; the rows around it may be wider
      // for the reach of other rows.
      const std::uint32_t from = cornerLow_[row];
      const std::uint32_t to = cornerHigh_[row++];
      for (; i <= lastSource && x0[i] == x; ++i) {
        // A row's own reach need not grow with the row, so each row looks its columns up.
        for (std::size_t j = static_cast<std::size_t>(std::lower_bound(y0.begin(), y0.end(), from) -
                                                      y0.begin());
             j <= lastTarget && y0[j] <= to; ++j) {
          corners.push_back(
              {static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), row_[y0[j] - low], 0});
        }
      }
    }
    std::swap(previousRow_, row_);
    previousLow = low;
    previousHigh = high;
  }
}

// The corners' detours, backward: the distances of a's last code points to b's suffixes, over
// the same band, give their Dsuf; distance is D.
void LineJoiner::FindDetours(const JoinedText& a, const JoinedText& b, std::size_t first,
                             std::uint64_t distance, std::vector<Corner>& corners) {
  const std::vector<std::uint32_t>& x0 = a.starts;
  const std::vector<std::uint32_t>& y0 = b.starts;
  const auto n = static_cast<std::uint32_t>(a.text.size());
  const auto m = static_cast<std::uint32_t>(b.text.size());
  const std::size_t lastSource = x0.size() - 1;
  std::size_t i = lastSource + 1;
  std::size_t row = cornerLow_.size();
  std::size_t k = corners.size();
  std::uint32_t previousLow = 0;
  std::uint32_t previousHigh = 0;
  for (std::uint32_t x = n + 1; x-- > 0;) {
    const std::uint32_t low = low_[x];
    const std::uint32_t high = high_[x];
    row_.resize(high - low + 1);
    if (x == n) {
      for (std::uint32_t c = low; c <= high; ++c) row_[c - low] = m - c;
    } else {
      const std::uint32_t ax = a.text[x];
      for (std::uint32_t c = high + 1; c-- > low;) {
        std::uint32_t v = kFar;
        if (c >= previousLow) v = previousRow_[c - previousLow] + 1;
        if (c < m && c + 1 >= previousLow && c + 1 <= previousHigh) {
          v = std::min(v, previousRow_[c + 1 - previousLow] + (ax != b.text[c] ? 1u : 0u));
        }
        if (c < high) v = std::min(v, row_[c + 1 - low] + 1);
        row_[c - low] = v;
      }
    }
    meter_.Add(high - low + 1);
    if (i > 0 && x0[i - 1] == x) {
      const std::uint32_t from = cornerLow_[--row];
      const std::uint32_t to = cornerHigh_[row];
      for (; i > 0 && x0[i - 1] == x; --i) {
        for (std::size_t j =
                 static_cast<std::size_t>(std::upper_bound(y0.begin(), y0.end(), to) - y0.begin());
             j-- > 0 && y0[j] >= from;) {
          Corner& corner = corners[--k];
          if (corner.source != i - 1 || corner.target != j) {
            throw std::logic_error("line joiner: the backward band missed a corner");
          }
          corner.detour = static_cast<std::uint32_t>(corner.before + row_[y0[j] - low] - distance);
        }
      }
    }
    std::swap(previousRow_, row_);
    previousLow = low;
    previousHigh = high;
  }
  if (k != first) throw std::logic_error("line joiner: the backward band missed a corner");
}

// The path's matches before each line end, on its own side: at a corner, the matches up to
// the last point inside its lower left quadrant are the lesser of its row's and column's.
void LineJoiner::CountLineMatches(const JoinedText& a, const JoinedText& b,
                                  const std::vector<EditOp>& path) {
  const std::vector<std::uint32_t>& x0 = a.starts;
  const std::vector<std::uint32_t>& y0 = b.starts;
  const std::size_t lastSource = x0.size() - 1;
  const std::size_t lastTarget = y0.size() - 1;
  rowMatches_.assign(lastSource + 1, 0);
  columnMatches_.assign(lastTarget + 1, 0);
  std::uint32_t matches = 0;
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::size_t i = 0;
  std::size_t j = 0;
  for (const EditOp op : path) {
    if (op != EditOp::Insert) {
      for (; i <= lastSource && x0[i] == x; ++i) rowMatches_[i] = matches;
      ++x;
    }
    if (op != EditOp::Delete) {
      for (; j <= lastTarget && y0[j] == y; ++j) columnMatches_[j] = matches;
      ++y;
    }
    if (op == EditOp::Match) ++matches;
  }
  for (; i <= lastSource; ++i) rowMatches_[i] = matches;
  for (; j <= lastTarget; ++j) columnMatches_[j] = matches;
  meter_.Add(path.size());
}

std::uint32_t LineJoiner::Matches(const Block& block, const LinePair& pair, const Corner& from,
                                  const Corner& to) {
  // The piece's own alignment: the path counted from corner to corner can credit the piece
  // with matches of the lines beside it where it passes far from a corner. A piece too large
  // to align again (bad input) takes the path's count.
  JoinLines(lines_.source, pair.sourceFirst, pair.sourceCount, source_);
  JoinLines(lines_.target, pair.targetFirst, pair.targetCount, target_);
  const std::uint64_t cells = std::uint64_t{source_.text.size()} * target_.text.size();
  if (cells > kMostPieceCells) {
    // The path's matches before a corner: up to where it leaves the corner's row or column.
    const std::uint32_t* rowMatches = lineMatches_.data() + block.lineMatches;
    const std::uint32_t* columnMatches = rowMatches + block.gap.SourceSize() + 1;
    const auto before = [&](const Corner& corner) {
      return std::min(rowMatches[corner.source], columnMatches[corner.target]);
    };
    return before(to) > before(from) ? before(to) - before(from) : 0;
  }
  meter_.Add(cells / 64 + source_.text.size() + target_.text.size());
  aligner_.Align(source_.text, target_.text);
  return static_cast<std::uint32_t>(
      std::count(aligner_.script().begin(), aligner_.script().end(), EditOp::Match));
}

std::span<const Corner> LineJoiner::Corners(std::size_t block) const {
  return std::span<const Corner>(corners_).subspan(
      blocks_[block].firstCorner, blocks_[block].endCorner - blocks_[block].firstCorner);
}

std::uint64_t LineJoiner::Chain(std::size_t block, std::int64_t level,
                                std::vector<std::uint32_t>& chain) {
  const Block& info = blocks_[block];
  const std::span<const Corner> corners = Corners(block);
  ChainValues(info, corners, level);
  chain.clear();
  for (std::size_t c = corners.size() - 1;; c = from_[c]) {
    chain.push_back(static_cast<std::uint32_t>(c));
    if (c == 0) break;
  }
  std::reverse(chain.begin(), chain.end());
  return ChainExcess(info, corners, chain);
}

void LineJoiner::ChainValues(const Block& info, std::span<const Corner> corners,
                             std::int64_t level) {
  const std::uint32_t* sourceStarts = starts_.data() + info.sourceStarts;
  const std::uint32_t* targetStarts = sourceStarts + info.gap.SourceSize() + 1;
  const std::size_t targetEnd = info.gap.TargetSize() + 1;
  const std::size_t count = corners.size();
  value_.assign(count, kNone);
  from_.assign(count, 0);
  tree_.assign(targetEnd + 1, {kNone, 0});
  columnBest_.assign(targetEnd, RunKeys{});
  meter_.Add(count * 8 + targetEnd);
  PrefixMaxima rowsDone(tree_, targetEnd);
  // Values in hundredths: 200 L for a piece of both sides; for a run of lines alone, a reward
  // of 2 aloneShare for each character by which its length exceeds twice the characters the
  // path matches in it, if it does; minus 200 for each unit of excess. A run alone between
  // corners p and c costs its length, which exceeds Dpre's rise across it by
  //   (offset(c) - offset(p)) - (before(c) - before(p)).
  // So a line the path matches to nothing is cut away where that costs less than its length
  // (at aloneShare 100), even where the path substituted it for an unrelated neighbour's
  // dropped characters; a line matched for half its length or more earns nothing for standing
  // alone, so a running head inside a paragraph's lines is not cut out at the price of the
  // paragraph's last line. Both rewards, nothing and the linear one, are sums of a term of p
  // and a term of c ("matched" being the path's matches before a line end on the run's side),
  // so the best predecessor along a row or a column for each is found by a running maximum of
  // its term of p; the better of the two is taken.
  const std::int64_t pieceGain = 200 * level;
  const std::int64_t charGain = 2 * std::int64_t{tuning_.aloneShare};
  const std::uint32_t* rowMatches = lineMatches_.data() + info.lineMatches;
  const std::uint32_t* columnMatches = rowMatches + info.gap.SourceSize() + 1;
  const auto keys = [&](std::size_t p, std::uint32_t offset, std::uint32_t matched) {
    const std::int64_t base = value_[p] - 200 * std::int64_t{corners[p].before};
    const auto index = static_cast<std::uint32_t>(p);
    return RunKeys{
        {base + 200 * std::int64_t{offset}, index},
        {base + (200 - charGain) * offset + 2 * charGain * std::int64_t{matched}, index}};
  };
  const auto better = [](RunKeys& best, const RunKeys& keys) {
    if (keys.plain.first > best.plain.first) best.plain = keys.plain;
    if (keys.unmatched.first > best.unmatched.first) best.unmatched = keys.unmatched;
  };
  value_[0] = 0;
  for (std::size_t k = 0; k < count;) {
    std::size_t rowEnd = k;
    while (rowEnd < count && corners[rowEnd].source == corners[k].source) ++rowEnd;
    const std::uint32_t i = corners[k].source;
    const std::uint32_t x = sourceStarts[i];
    RunKeys rowBest;
    for (std::size_t c = k; c < rowEnd; ++c) {
      const Corner& corner = corners[c];
      const std::uint32_t j = corner.target;
      const std::uint32_t y = targetStarts[j];
      if (c > 0) {
        Scored best{kNone, 0};
        // From a corner above and to the left: a pair of lines of both sides, which costs
        // the detour of the corner it starts at.
        if (j > 0) {
          const Scored above = rowsDone.Query(j - 1);
          if (above.first != kNone) best = {above.first + pieceGain, above.second};
        }
        // From one in the same row or column: lines of one side alone.
        const auto alone = [&](const RunKeys& run, std::uint32_t offset, std::uint32_t matched) {
          const std::int64_t rise = 200 * std::int64_t{corner.before};
          if (run.plain.first != kNone) {
            const std::int64_t total = run.plain.first - 200 * std::int64_t{offset} + rise;
            if (total > best.first) best = {total, run.plain.second};
          }
          if (run.unmatched.first != kNone) {
            const std::int64_t total = run.unmatched.first - (200 - charGain) * offset -
                                       2 * charGain * std::int64_t{matched} + rise;
            if (total > best.first) best = {total, run.unmatched.second};
          }
        };
        alone(rowBest, y, columnMatches[j]);
        alone(columnBest_[j], x, rowMatches[i]);
        if (best.first != kNone) {
          value_[c] = best.first;
          from_[c] = best.second;
        }
      }
      if (value_[c] != kNone) better(rowBest, keys(c, y, columnMatches[j]));
    }
    for (std::size_t c = k; c < rowEnd; ++c) {
      if (value_[c] == kNone) continue;
      const std::uint32_t j = corners[c].target;
      rowsDone.Update(
          j, {value_[c] - 200 * std::int64_t{corners[c].detour}, static_cast<std::uint32_t>(c)});
      better(columnBest_[j], keys(c, x, rowMatches[i]));
    }
    k = rowEnd;
  }
}

std::uint64_t LineJoiner::ChainExcess(const Block& info, std::span<const Corner> corners,
                                      const std::vector<std::uint32_t>& chain) const {
  const std::uint32_t* sourceStarts = starts_.data() + info.sourceStarts;
  const std::uint32_t* targetStarts = sourceStarts + info.gap.SourceSize() + 1;
  // The excess: the detour where each piece of both sides starts, and for each run alone its
  // length less Dpre's rise across it.
  std::int64_t excess = 0;
  for (std::size_t k = 1; k < chain.size(); ++k) {
    const Corner& from = corners[chain[k - 1]];
    const Corner& to = corners[chain[k]];
    const std::int64_t rise = std::int64_t{to.before} - from.before;
    if (from.source == to.source) {
      excess += std::int64_t{targetStarts[to.target]} - targetStarts[from.target] - rise;
    } else if (from.target == to.target) {
      excess += std::int64_t{sourceStarts[to.source]} - sourceStarts[from.source] - rise;
    } else {
      excess += from.detour;
    }
  }
  return static_cast<std::uint64_t>(excess);
}

std::int64_t LineJoiner::ChooseLevel(std::size_t blocks, std::uint64_t budget) {
  // Beyond a level above every detour and every line's length, every cut pays.
  std::uint64_t most = 0;
  for (std::size_t b = 0; b < blocks; ++b) {
    for (const Corner& corner : Corners(b)) most = std::max<std::uint64_t>(most, corner.detour);
    const Block& info = blocks_[b];
    const std::uint32_t* starts = starts_.data() + info.sourceStarts;
    const std::size_t lines = info.gap.SourceSize() + info.gap.TargetSize() + 2;
    for (std::size_t k = 1; k < lines; ++k) {
      if (k != info.gap.SourceSize() + 1 && starts[k] > starts[k - 1]) {
        most = std::max<std::uint64_t>(most, starts[k] - starts[k - 1]);
      }
    }
  }
  const auto top =
      static_cast<std::int64_t>(std::min<std::uint64_t>(2 * most + 2, tuning_.cutMostLevel));
  // The budget is on top of what level 1 spends: cutting away lines that match nothing, and
  // cuts that cost nothing, are made whatever the budget.
  const auto excess = [&](std::int64_t level, std::uint64_t most) {
    std::uint64_t total = 0;
    for (std::size_t b = 0; b < blocks && total <= most; ++b) total += Chain(b, level, chain_);
    return total;
  };
  const std::uint64_t allowed = excess(1, UINT64_MAX) + budget;
  const auto fits = [&](std::int64_t level) { return excess(level, allowed) <= allowed; };
  // Doubling, then halving the interval between the last level that fits and the first that
  // does not.
  std::int64_t good = 1;
  std::int64_t bad = 0;
  for (std::int64_t level = 2; good < top; level *= 2) {
    level = std::min(level, top);
    if (!fits(level)) {
      bad = level;
      break;
    }
    good = level;
  }
  if (bad == 0) return good;
  while (bad - good > 1) {
    const std::int64_t middle = good + (bad - good) / 2;
    (fits(middle) ? good : bad) = middle;
  }
  return good;
}

void LineJoiner::Cut(std::size_t block, std::int64_t level, std::uint32_t matchShare,
                     std::uint32_t matchMargin, std::vector<JoinedPair>& pairs) {
  Chain(block, level, chain_);
  const Block& info = blocks_[block];
  const std::span<const Corner> corners = Corners(block);
  const std::uint32_t* sourceStarts = starts_.data() + info.sourceStarts;
  const std::uint32_t* targetStarts = sourceStarts + info.gap.SourceSize() + 1;
  for (std::size_t k = 1; k < chain_.size(); ++k) {
    const Corner& from = corners[chain_[k - 1]];
    const Corner& to = corners[chain_[k]];
    if (to.source == from.source || to.target == from.target) continue;
    const std::uint64_t length = std::uint64_t{sourceStarts[to.source]} -
                                 sourceStarts[from.source] + targetStarts[to.target] -
                                 targetStarts[from.target];
    LinePair pair;
    pair.sourceFirst = info.gap.sourceBegin + from.source;
    pair.sourceCount = to.source - from.source;
    pair.targetFirst = info.gap.targetBegin + from.target;
    pair.targetCount = to.target - from.target;
    const std::uint32_t matches = Matches(info, pair, from, to);
    if (200 * std::uint64_t{matches} < matchShare * length + 100 * std::uint64_t{matchMargin}) {
      continue;
    }
    pairs.push_back({pair, matches, length});
  }
}

}  // namespace sorowa::pairing
