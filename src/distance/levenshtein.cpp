#include "distance/levenshtein.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/memory_budget.h"
#include "base/stop_request.h"

// The grid: row i stands for the first i reference elements, column j for the first j
// hypothesis elements, D[i][j] for their distance; D[i][0] = i and D[0][j] = j. Rows 1..n are
// cut into blocks of 64, bit r of block b being row 64b + r + 1. Column by column, each block
// keeps the vertical differences D[i][j] - D[i-1][j] of its rows as two masks (Pv: +1,
// Mv: -1) and the value of its last row. One column step of a block (Hyyro's form of Myers'
// recurrence) takes the difference D[top-1][j] - D[top-1][j-1] coming in above the block and
// hands on the same difference at its last row to the block below.
//
// Bands. Any computed set of blocks works as long as two rules hold: a row above the first
// computed block counts as differing by +1 from its left neighbour (an insertion), and a
// block that enters at the bottom starts as a column of deletions below the block above it.
// Every value computed is then the cost of some real path, never below the true D, and a
// cell gets its true value whenever all cells of some optimal path to it are computed.
//  - The straight band: the rows within a half-width of the line from (0, 0) to (n, m). It is
//    cheap, and its D[n][m] is an upper bound U, in practice the distance for similar lines.
//  - The pruned band for a bound k: a path through cell (i, j) costs at least
//    D[i][j] + |(n - i) - (m - j)|, so cells where that exceeds k cannot lie on a path of
//    cost k or less. The band keeps Ukkonen's diagonals for k, drops blocks at either end
//    whose every row exceeds k that way, and adds a block below only when its first row can
//    be reached within k from the last row above. If D[n][m] comes out at most k it is
//    exact, since every cell of an optimal path keeps its true value. The pass stops early
//    when no block is left; k then grows, straight to U when U is near, else doubling up to
//    it, so that a poor U costs little.
//
// The traceback. It walks back from (n, m) and takes the first of diagonal (match, or
// substitution), up (deletion) and left (insertion) whose cell value plus the step's cost
// equals the current value. Started on a true value, such a step always lands on a true
// value (true <= computed = current - cost <= true), and the first step that the full table
// would take lies on an optimal path, whose cells all have their true values: the band gives
// the full table's script. Each test needs only the differences around the current cell:
//   D[i][j] - D[i-1][j-1] = dv(i, j) + dh(i-1, j)   (1 for a substitution),
//   D[i][j] - D[i-1][j]   = dv(i, j)                (1 for a deletion),
//   D[i][j] - D[i][j-1]   = dh(i, j)                (1 for an insertion),
// where dh above the first block is +1, as in the computation. The columns' masks are too
// large to keep for long lines, so every `interval` columns the blocks' states are saved, and
// the traceback recomputes one interval at a time from its saved state, keeping Pv, Mv and the
// horizontal masks Ph, Mh of those columns only. That recomputation is pruned towards the
// current cell (i, j), whose true value v is known: only paths to it of cost v matter, so
// the target of the pruning becomes (i, j) with bound v, and no block below row i is needed.
// The band left is a few blocks wide.

namespace sorowa {
namespace {

using Word = std::uint64_t;
constexpr std::size_t kWordBits = 64;
constexpr Word kAllOnes = ~Word{0};

// An open-addressing map from element to a dense symbol number, for the reference's elements.
class SymbolMap {
 public:
  static constexpr std::uint32_t kAbsent = std::numeric_limits<std::uint32_t>::max();

  // Sized for about `expected` symbols; it grows past that when needed.
  void Reset(std::size_t expected) {
    std::size_t capacity = 16;
    while (capacity < 2 * expected) capacity *= 2;
    Resize(capacity);
    size_ = 0;
  }

  std::uint32_t Insert(std::uint32_t element) {
    for (std::size_t at = Home(element);; at = (at + 1) & (slots_.size() - 1)) {
      const Word slot = slots_[at];
      if (slot == kEmpty) {
        const auto symbol = static_cast<std::uint32_t>(size_++);
        slots_[at] = (Word{element} << 32) | symbol;
        if (2 * size_ > slots_.size()) Grow();
        return symbol;
      }
      if (static_cast<std::uint32_t>(slot >> 32) == element)
        return static_cast<std::uint32_t>(slot);
    }
  }

  std::uint32_t Find(std::uint32_t element) const {
    for (std::size_t at = Home(element);; at = (at + 1) & (slots_.size() - 1)) {
      const Word slot = slots_[at];
      if (slot == kEmpty) return kAbsent;
      if (static_cast<std::uint32_t>(slot >> 32) == element)
        return static_cast<std::uint32_t>(slot);
    }
  }

  std::size_t size() const { return size_; }

 private:
  // Symbol numbers stay below the reference length, so no real slot is all ones.
  static constexpr Word kEmpty = kAllOnes;

  void Resize(std::size_t capacity) {
    shift_ = 64 - std::countr_zero(capacity);
    slots_.assign(capacity, kEmpty);
  }

  void Grow() {
    std::vector<Word> old;
    old.swap(slots_);
    Resize(2 * old.size());
    for (const Word slot : old) {
      if (slot == kEmpty) continue;
      std::size_t at = Home(static_cast<std::uint32_t>(slot >> 32));
      while (slots_[at] != kEmpty) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = slot;
    }
  }
  std::size_t Home(std::uint32_t element) const {
    return static_cast<std::size_t>((Word{element} * 0x9E3779B97F4A7C15ull) >> shift_);
  }

  std::vector<Word> slots_;
  int shift_ = 60;
  std::size_t size_ = 0;
};

// Set bits, without relying on a popcount instruction that the baseline x86-64 lacks (the
// library call costs more than this).
inline std::int64_t CountBits(Word x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<std::int64_t>((x * 0x0101010101010101ull) >> 56);
}

// dv or dh of one row from a pair of masks: +1, -1 or 0.
inline int Difference(Word plus, Word minus, std::size_t bit) {
  return static_cast<int>((plus >> bit) & 1) - static_cast<int>((minus >> bit) & 1);
}

}  // namespace

class LevenshteinAligner::Band {
 public:
  void Setup(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b) {
    a_ = a;
    b_ = b;
    n_ = a.size();
    m_ = b.size();
    blocks_ = (n_ + kWordBits - 1) / kWordBits;
    passes_ = 0;
    columnsKept_ = false;

    // The equality masks of each symbol, only for the blocks where it occurs, sorted by block
    // and closed by a sentinel block past every real one: a dense table of symbols by blocks
    // would be far too large for long lines. Symbol sigma, for hypothesis elements that the
    // reference lacks, has the sentinel alone.
    symbols_.Reset(std::min<std::size_t>(n_, 4096));
    aSymbol_.resize(n_);
    for (std::size_t i = 0; i < n_; ++i) aSymbol_[i] = symbols_.Insert(a[i]);
    const std::size_t sigma = symbols_.size();
    constexpr auto kNoBlock = std::numeric_limits<std::uint32_t>::max();
    entryStart_.assign(sigma + 2, 0);
    lastBlock_.assign(sigma, kNoBlock);
    for (std::size_t i = 0; i < n_; ++i) {
      const auto block = static_cast<std::uint32_t>(i / kWordBits);
      if (lastBlock_[aSymbol_[i]] != block) {
        lastBlock_[aSymbol_[i]] = block;
        ++entryStart_[aSymbol_[i] + 1];
      }
    }
    for (std::size_t s = 1; s <= sigma + 1; ++s) entryStart_[s] += entryStart_[s - 1] + 1;
    entryBlock_.resize(entryStart_.back());
    entryMask_.resize(entryStart_.back());
    fill_.assign(entryStart_.begin(), entryStart_.end() - 1);
    lastBlock_.assign(sigma, kNoBlock);
    for (std::size_t i = 0; i < n_; ++i) {
      const std::uint32_t s = aSymbol_[i];
      const auto block = static_cast<std::uint32_t>(i / kWordBits);
      if (lastBlock_[s] != block) {
        lastBlock_[s] = block;
        entryBlock_[fill_[s]] = block;
        entryMask_[fill_[s]++] = 0;
      }
      entryMask_[fill_[s] - 1] |= Word{1} << (i % kWordBits);
    }
    for (std::size_t s = 0; s <= sigma; ++s) {
      entryBlock_[fill_[s]] = kNoBlock;
      entryMask_[fill_[s]] = 0;
    }
    bSymbol_.resize(m_);
    for (std::size_t j = 0; j < m_; ++j) {
      const std::uint32_t s = symbols_.Find(b[j]);
      bSymbol_[j] = s == SymbolMap::kAbsent ? static_cast<std::uint32_t>(sigma) : s;
    }
    cursor_.resize(sigma + 1);
    cursorEpoch_.assign(sigma + 1, 0);
    epoch_ = 0;

    pv_.resize(blocks_);
    mv_.resize(blocks_);
    score_.resize(blocks_);
    colFirst_.resize(m_ + 1);
    colLast_.resize(m_ + 1);
  }

  // The distance; n and m are both above zero. With keepStates, the passes save the states
  // that Traceback needs.
  std::size_t Distance(const LevenshteinOptions& options, bool keepStates) {
    keepStates_ = keepStates;
    interval_ = options.checkpointInterval != 0
                    ? options.checkpointInterval
                    : std::max<std::size_t>(
                          32, static_cast<std::size_t>(std::sqrt(static_cast<double>(m_))));
    // First a narrow band along the straight line from (0, 0) to (n, m). It is cheap, and its
    // result is the cost of a real path: an upper bound, close to the distance when the lines
    // are similar, and the distance itself when the band covers the whole table.
    const std::size_t halfWidth = options.firstHalfWidth != 0 ? options.firstHalfWidth : 128;
    SetStraightBand(halfWidth);
    const std::optional<std::size_t> first = Pass();
    if (coversAll_) return *first;
    const std::size_t upper = *first;
    // Then bands pruned to the cells that can lie on a path within a bound k, each pass
    // stopping as soon as none is left: straight to the upper bound when that is near, else
    // doubling up to it, so that a poor upper bound costs little more than the distance.
    const std::size_t diff = n_ > m_ ? n_ - m_ : m_ - n_;
    const std::size_t start = diff + 2 * halfWidth;
    std::size_t k = upper <= 4 * start ? upper : 2 * start;
    for (;;) {
      SetPrunedBand(k);
      const std::optional<std::size_t> bound = Pass();
      if (bound && *bound <= k) return *bound;
      if (k >= upper) throw std::logic_error("edit distance band missed its upper bound");
      k = std::min(upper, 2 * k);
    }
  }

  // Whether the whole table is small enough to compute once with every column's masks kept:
  // cheaper than bands, saved states and recomputation for short lines.
  bool FitsFullTable() const { return blocks_ * m_ <= kFullTableBlocks; }

  // The distance over the whole table, keeping every column's masks for Traceback.
  std::size_t FullTable() {
    keepStates_ = false;  // nothing to save: every column is kept
    interval_ = m_;
    SetStraightBand(n_);  // covers every row
    ++passes_;
    Recompute(0, m_);
    columnsKept_ = true;
    return LastValue();
  }

  // The chosen script, after Distance with keepStates (or FullTable) and the distance it
  // returned; ops are appended backwards.
  void Traceback(std::size_t distance, std::vector<EditOp>& ops) {
    ops.clear();
    std::size_t i = n_;
    std::size_t j = m_;
    // The true value of the current cell: what the script still has to spend.
    std::size_t value = distance;
    while (i > 0 && j > 0) {
      const std::size_t start = (j - 1) / interval_ * interval_;
      if (!columnsKept_) {
        // The stretch back to the last saved column is recomputed for paths to the current
        // cell only: within its value, and above its row.
        SetPrunedBand(distance);
        targetRow_ = static_cast<std::int64_t>(i);
        targetColumn_ = static_cast<std::int64_t>(j);
        k_ = static_cast<std::int64_t>(value);
        lastCap_ = (i - 1) / kWordBits;
        Recompute(start, j);
      }
      while (i > 0 && j > start) {
        if (a_[i - 1] == b_[j - 1]) {
          ops.push_back(EditOp::Match);
          --i;
          --j;
          continue;
        }
        const Word* column = Column(j, start);
        const std::size_t first = colFirst_[j];
        const std::size_t block = (i - 1) / kWordBits;
        const std::size_t bit = (i - 1) % kWordBits;
        if (block < first || block > colLast_[j]) {
          throw std::logic_error("edit script traceback left the band");
        }
        const Word* masks = column + 4 * (block - first);
        const int dv = Difference(masks[0], masks[1], bit);
        int dhAbove = 1;  // row 0, or a row above the computed blocks
        if (i >= 2) {
          const std::size_t aboveBlock = (i - 2) / kWordBits;
          if (aboveBlock >= first) {
            const Word* above = column + 4 * (aboveBlock - first);
            dhAbove = Difference(above[2], above[3], (i - 2) % kWordBits);
          }
        }
        if (dv + dhAbove == 1) {
          ops.push_back(EditOp::Substitute);
          --i;
          --j;
        } else if (dv == 1) {
          ops.push_back(EditOp::Delete);
          --i;
        } else if (Difference(masks[2], masks[3], bit) == 1) {
          ops.push_back(EditOp::Insert);
          --j;
        } else {
          throw std::logic_error("edit script traceback found no step");
        }
        --value;
      }
    }
    ops.insert(ops.end(), j, EditOp::Insert);
    ops.insert(ops.end(), i, EditOp::Delete);
  }

  std::size_t passes() const { return passes_; }

 private:
  // Rows within halfWidth of the straight line from (0, 0) to (n, m), not pruned.
  void SetStraightBand(std::size_t halfWidth) {
    prune_ = false;
    straight_ = true;
    lastCap_ = blocks_ - 1;
    halfWidth_ = static_cast<std::int64_t>(halfWidth);
    coversAll_ = halfWidth >= n_;
    maxBlocks_ = std::min<std::size_t>(blocks_, (2 * halfWidth + 1) / kWordBits + 2);
    if (keepStates_) CheckMemory();
  }

  // The diagonals a path of cost at most k can use, pruned to the cells from which the end
  // is within reach.
  void SetPrunedBand(std::size_t k) {
    prune_ = true;
    straight_ = false;
    k_ = static_cast<std::int64_t>(k);
    targetRow_ = static_cast<std::int64_t>(n_);
    targetColumn_ = static_cast<std::int64_t>(m_);
    lastCap_ = blocks_ - 1;
    const std::int64_t diff = static_cast<std::int64_t>(n_) - static_cast<std::int64_t>(m_);
    const std::int64_t spare = (k_ - (diff < 0 ? -diff : diff)) / 2;
    lo_ = std::min<std::int64_t>(0, diff) - spare;
    hi_ = std::max<std::int64_t>(0, diff) + spare;
    maxBlocks_ =
        std::min<std::size_t>(blocks_, static_cast<std::size_t>(hi_ - lo_) / kWordBits + 2);
    if (keepStates_) CheckMemory();
  }

  void CheckMemory() const {
    const std::size_t checkpoints = m_ / interval_ + 1;
    const std::size_t bytes =
        (checkpoints * 3 + interval_ * 4) * maxBlocks_ * sizeof(Word) + 16 * (m_ + n_);
    const std::size_t limit = DpMemoryLimit();
    if (bytes > limit) throw ScoreTooLargeError(n_, m_, bytes, limit);
  }

  // The least cost from row `row` of column j to the target cell: the diagonals between.
  std::int64_t StillToGo(std::int64_t row, std::size_t j) const {
    const std::int64_t left = (targetRow_ - row) - (targetColumn_ - static_cast<std::int64_t>(j));
    return left < 0 ? -left : left;
  }

  // Whether some row of the block, at the current column j, could lie on a path to the
  // target of cost at most k: its value plus what is still to go. Down a column, the value
  // changes by at most one a row, and what is still to go falls by one a row above the
  // target's diagonal and rises by one below it; so their sum does not rise towards that
  // diagonal from either side, and its least value in the block is at the row nearest to it.
  // Row 0, never pruned (its values are exact), counts with block 0.
  bool BlockInReach(std::size_t block, std::size_t j) const {
    const auto top = static_cast<std::int64_t>(block * kWordBits) + (block == 0 ? 0 : 1);
    const std::int64_t bottom =
        std::min(static_cast<std::int64_t>((block + 1) * kWordBits), static_cast<std::int64_t>(n_));
    const std::int64_t diagonal = targetRow_ - (targetColumn_ - static_cast<std::int64_t>(j));
    const std::int64_t row = std::clamp(diagonal, top, bottom);
    // The value at `row`: the block's last row, less the differences of the rows below it.
    const auto below = static_cast<std::size_t>(row - static_cast<std::int64_t>(block * kWordBits));
    std::int64_t value = score_[block];
    if (below < kWordBits) {
      const Word mask = kAllOnes << below;
      value += CountBits(mv_[block] & mask) - CountBits(pv_[block] & mask);
    }
    return value + StillToGo(row, j) <= k_;
  }

  // Computes one block from column j - 1 to column j; hin is the difference coming in above
  // it (+1 or -1 as two flags) and is replaced by the one going out below it.
  template <bool kStore>
  void StepBlock(std::size_t block, Word eq, Word& hinPlus, Word& hinMinus, Word*& out) {
    Word* const pv = pv_.data();
    Word* const mv = mv_.data();
    std::int64_t* const score = score_.data();
    const Word pvIn = pv[block];
    const Word mvIn = mv[block];
    const Word xv = eq | mvIn;
    eq |= hinMinus;
    const Word xh = (((eq & pvIn) + pvIn) ^ pvIn) | eq;
    Word ph = mvIn | ~(xh | pvIn);
    Word mh = pvIn & xh;
    if constexpr (kStore) {
      out[2] = ph;
      out[3] = mh;
    }
    const Word houtPlus = ph >> 63;
    const Word houtMinus = mh >> 63;
    ph = (ph << 1) | hinPlus;
    mh = (mh << 1) | hinMinus;
    const Word pvOut = mh | ~(xv | ph);
    const Word mvOut = ph & xv;
    pv[block] = pvOut;
    mv[block] = mvOut;
    score[block] += static_cast<std::int64_t>(houtPlus) - static_cast<std::int64_t>(houtMinus);
    hinPlus = houtPlus;
    hinMinus = houtMinus;
    if constexpr (kStore) {
      out[0] = pvOut;
      out[1] = mvOut;
      out += 4;
    }
  }

  // A block entering the band below another starts, at column j - 1, as a run of deletions
  // under the last row of the block above, whose value at column j - 1 is aboveValue.
  void EnterBlock(std::size_t block, std::int64_t aboveValue) {
    pv_[block] = kAllOnes;
    mv_[block] = 0;
    score_[block] = aboveValue + static_cast<std::int64_t>(kWordBits);
  }

  // The blocks that hold rows of the band's outline at column j.
  std::pair<std::size_t, std::size_t> Outline(std::size_t j) const {
    const auto jj = static_cast<std::int64_t>(j);
    std::int64_t low;
    std::int64_t high;
    if (straight_) {
      // No overflow: lines have fewer than 2^32 elements.
      const auto centre = static_cast<std::int64_t>(std::uint64_t{j} * n_ / m_);
      low = centre - halfWidth_;
      high = centre + halfWidth_;
    } else {
      low = jj + lo_;
      high = jj + hi_;
    }
    low = std::max<std::int64_t>(1, low);
    high = std::min<std::int64_t>(static_cast<std::int64_t>(n_), high);
    return {static_cast<std::size_t>((low - 1) / 64), static_cast<std::size_t>((high - 1) / 64)};
  }

  // One column of the band: the blocks' states go from column j - 1 to column j. With kStore,
  // the column's Pv, Mv, Ph and Mh of every computed block are written from out on. Returns
  // false when pruning leaves no block: then no path within the bound exists.
  template <bool kStore>
  bool Step(std::size_t j, Word* out) {
    const auto [outlineFirst, outlineLast] = Outline(j);
    const std::size_t addUpTo = std::min(outlineLast, lastCap_);
    std::size_t first = std::max(first_, outlineFirst);
    std::size_t last = last_;
    if (last_ == kNone) {
      // Column 1: the blocks start from column 0, where D[i][0] = i.
      first = 0;
      last = prune_ ? 0 : addUpTo;
      for (std::size_t block = 0; block <= last; ++block) {
        EnterBlock(block, static_cast<std::int64_t>(block * kWordBits));
      }
    } else if (!prune_) {
      for (std::size_t block = last_ + 1; block <= addUpTo; ++block) {
        EnterBlock(block, score_[block - 1]);
      }
      last = std::max(last, addUpTo);
    }
    // Never past the computed blocks: the rows below them are reached only through their
    // last row, which decides below.
    first = std::min(first, last);
    std::int64_t lastBefore = score_[last];  // the last block's value at column j - 1

    // The symbol's first entry at or below the first block. The first block never moves up
    // within a pass or a recomputed stretch, so each symbol's cursor only moves forward.
    const std::uint32_t symbol = bSymbol_[j - 1];
    const std::uint32_t* blockOf = entryBlock_.data();
    const Word* maskOf = entryMask_.data();
    std::size_t entry;
    if (cursorEpoch_[symbol] != epoch_) {
      cursorEpoch_[symbol] = epoch_;
      entry = std::lower_bound(blockOf + entryStart_[symbol], blockOf + entryStart_[symbol + 1],
                               static_cast<std::uint32_t>(first)) -
              blockOf;
    } else {
      entry = cursor_[symbol];
      while (blockOf[entry] < first) ++entry;  // the sentinel stops it
    }
    cursor_[symbol] = entry;
    // Without branches: the entry counts when it is this block's, and then moves on.
    auto nextEq = [&](std::size_t block) -> Word {
      const bool here = blockOf[entry] == block;
      const Word eq = maskOf[entry] & (Word{0} - static_cast<Word>(here));
      entry += here;
      return eq;
    };
    Word hinPlus = 1;  // the difference coming in above the first block is +1
    Word hinMinus = 0;
    for (std::size_t block = first; block <= last; ++block) {
      StepBlock<kStore>(block, nextEq(block), hinPlus, hinMinus, out);
    }

    if (prune_) {
      // A path reaches the rows below the last block only through its last row, from column
      // j - 1 (diagonally) or from column j (downwards): add blocks while that is in reach.
      while (last < addUpTo) {
        const auto below = static_cast<std::int64_t>((last + 1) * kWordBits + 1);
        const std::int64_t reach = std::min(lastBefore, score_[last] + 1) + StillToGo(below, j);
        if (reach > k_) break;
        const std::int64_t before = lastBefore;
        ++last;
        EnterBlock(last, before);
        lastBefore = score_[last];
        StepBlock<kStore>(last, nextEq(last), hinPlus, hinMinus, out);
      }
    }
    colFirst_[j] = static_cast<std::uint32_t>(first);
    colLast_[j] = static_cast<std::uint32_t>(last);
    first_ = first;
    last_ = last;
    return !prune_ || Prune(j);
  }

  // Drops the blocks at either end of the band that no path within the bound can cross at
  // column j. False when none is left.
  bool Prune(std::size_t j) {
    while (last_ > first_ && !BlockInReach(last_, j)) --last_;
    for (; first_ < last_; ++first_) {
      if (BlockInReach(first_, j)) return true;
    }
    return BlockInReach(first_, j);
  }

  void SaveCheckpoint(std::size_t index) {
    checkpointFirst_[index] = first_;
    checkpointLast_[index] = last_;
    checkpointAt_[index] = checkpointWords_.size();
    for (std::size_t block = first_; block <= last_; ++block) {
      checkpointWords_.push_back(pv_[block]);
      checkpointWords_.push_back(mv_[block]);
      checkpointWords_.push_back(static_cast<Word>(score_[block]));
    }
  }

  void LoadCheckpoint(std::size_t index) {
    if (index == 0) {
      first_ = 0;
      last_ = kNone;
      return;
    }
    first_ = checkpointFirst_[index];
    last_ = std::min(checkpointLast_[index], lastCap_);
    // The path to the target crosses this column at or above the target's row, inside the
    // saved blocks.
    if (last_ < first_) throw std::logic_error("edit script recomputation lost the optimal path");
    const Word* words = checkpointWords_.data() + checkpointAt_[index];
    for (std::size_t block = first_; block <= last_; ++block) {
      pv_[block] = *words++;
      mv_[block] = *words++;
      score_[block] = static_cast<std::int64_t>(*words++);
    }
  }

  // Runs the band over all columns and returns its D[n][m], or nothing when pruning emptied
  // the band or dropped the last row.
  std::optional<std::size_t> Pass() {
    ++passes_;
    const std::size_t checkpoints = m_ / interval_ + 1;
    if (keepStates_) {
      checkpointWords_.clear();
      checkpointWords_.reserve(checkpoints * 3 * maxBlocks_);
      checkpointFirst_.assign(checkpoints, 0);
      checkpointLast_.assign(checkpoints, 0);
      checkpointAt_.assign(checkpoints, 0);
    }
    first_ = 0;
    last_ = kNone;
    ResetCursors();
    for (std::size_t j = 1; j <= m_; ++j) {
      if (!Step<false>(j, nullptr)) return std::nullopt;
      if ((j & 1023) == 0) ThrowIfStopped();
      if (keepStates_ && j % interval_ == 0 && j < m_) SaveCheckpoint(j / interval_);
    }
    if (last_ != blocks_ - 1) return std::nullopt;
    return LastValue();
  }

  // D[n][m], once the last column holds the last block. Its score is the value of its last
  // row; the padding rows past n are taken off.
  std::size_t LastValue() const {
    const std::size_t lastBlock = blocks_ - 1;
    const std::size_t used = n_ - lastBlock * kWordBits;
    const Word padding = used == kWordBits ? 0 : kAllOnes << used;
    const std::int64_t value = score_[lastBlock] - CountBits(pv_[lastBlock] & padding) +
                               CountBits(mv_[lastBlock] & padding);
    return static_cast<std::size_t>(value);
  }

  // Columns start + 1 .. end again from the state saved at column start, keeping their masks.
  void Recompute(std::size_t start, std::size_t end) {
    LoadCheckpoint(start / interval_);
    if (last_ != kNone && !Prune(start)) {
      throw std::logic_error("edit script recomputation lost the optimal path");
    }
    ResetCursors();
    columnAt_.resize(end - start);
    std::size_t used = 0;
    for (std::size_t j = start + 1; j <= end; ++j) {
      columnAt_[j - start - 1] = used;
      // Room for every block the step may compute: those it has, and those it may add.
      const std::size_t most =
          std::min(blocks_, (last_ == kNone ? 0 : last_ - first_ + 1) + maxBlocks_ + 1);
      ReserveColumnWords(used, used + 4 * most);
      if (!Step<true>(j, columnWords_.get() + used)) {
        throw std::logic_error("edit script recomputation lost the optimal path");
      }
      used += 4 * (colLast_[j] - colFirst_[j] + 1);
      if ((j & 1023) == 0) ThrowIfStopped();
    }
  }

  // Makes room for `needed` words of column masks, keeping the first `used`. The buffer is
  // not cleared: every word is written before it is read.
  void ReserveColumnWords(std::size_t used, std::size_t needed) {
    if (needed <= columnCapacity_) return;
    const std::size_t capacity = std::max(needed, 2 * columnCapacity_);
    std::unique_ptr<Word[]> bigger(new Word[capacity]);
    std::copy(columnWords_.get(), columnWords_.get() + used, bigger.get());
    columnWords_ = std::move(bigger);
    columnCapacity_ = capacity;
  }

  const Word* Column(std::size_t j, std::size_t start) const {
    return columnWords_.get() + columnAt_[j - start - 1];
  }

  // Forgets the cursors; each symbol's is found again by binary search when first needed.
  void ResetCursors() {
    if (++epoch_ == 0) {
      cursorEpoch_.assign(cursorEpoch_.size(), 0);
      epoch_ = 1;
    }
  }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // About 1 MiB of column masks.
  static constexpr std::size_t kFullTableBlocks = 1 << 15;

  std::span<const std::uint32_t> a_;
  std::span<const std::uint32_t> b_;
  std::size_t n_ = 0;
  std::size_t m_ = 0;
  std::size_t blocks_ = 0;
  std::size_t passes_ = 0;

  SymbolMap symbols_;
  std::vector<std::uint32_t> aSymbol_;
  std::vector<std::uint32_t> bSymbol_;
  std::vector<std::uint32_t> lastBlock_;
  std::vector<std::size_t> entryStart_;
  std::vector<std::uint32_t> entryBlock_;
  std::vector<Word> entryMask_;
  std::vector<std::size_t> fill_;
  // Per symbol, for Step: the first entry not above the first block, valid when the
  // symbol's epoch is the current one.
  std::vector<std::size_t> cursor_;
  std::vector<std::uint32_t> cursorEpoch_;
  std::uint32_t epoch_ = 0;

  bool keepStates_ = false;
  bool columnsKept_ = false;  // FullTable kept every column: no recomputation
  bool prune_ = false;
  bool straight_ = false;
  bool coversAll_ = false;
  std::int64_t halfWidth_ = 0;
  std::int64_t k_ = 0;
  std::int64_t targetRow_ = 0;
  std::int64_t targetColumn_ = 0;
  std::size_t lastCap_ = 0;
  std::int64_t lo_ = 0;
  std::int64_t hi_ = 0;
  std::size_t maxBlocks_ = 0;
  std::size_t interval_ = 1;
  std::size_t first_ = 0;
  std::size_t last_ = 0;
  std::vector<Word> pv_;
  std::vector<Word> mv_;
  std::vector<std::int64_t> score_;
  std::vector<std::uint32_t> colFirst_;
  std::vector<std::uint32_t> colLast_;

  std::vector<std::size_t> checkpointFirst_;
  std::vector<std::size_t> checkpointLast_;
  std::vector<std::size_t> checkpointAt_;
  std::vector<Word> checkpointWords_;
  std::vector<std::size_t> columnAt_;
  std::unique_ptr<Word[]> columnWords_;
  std::size_t columnCapacity_ = 0;
};

LevenshteinAligner::LevenshteinAligner() : band_(std::make_unique<Band>()) {}
LevenshteinAligner::~LevenshteinAligner() = default;

std::size_t LevenshteinAligner::passes() const { return band_->passes(); }

std::size_t LevenshteinAligner::Align(std::span<const std::uint32_t> reference,
                                      std::span<const std::uint32_t> hypothesis,
                                      const LevenshteinOptions& options) {
  script_.clear();
  if (reference.empty() || hypothesis.empty()) {
    script_.assign(reference.size(), EditOp::Delete);
    script_.insert(script_.end(), hypothesis.size(), EditOp::Insert);
    return script_.size();
  }
  band_->Setup(reference, hypothesis);
  // Knobs ask for the bands; short lines take the whole table otherwise.
  const bool knobs = options.firstHalfWidth != 0 || options.checkpointInterval != 0;
  const std::size_t distance = !knobs && band_->FitsFullTable()
                                   ? band_->FullTable()
                                   : band_->Distance(options, /*keepStates=*/true);
  band_->Traceback(distance, script_);
  std::reverse(script_.begin(), script_.end());
  return distance;
}

std::size_t LevenshteinAligner::Distance(std::span<const std::uint32_t> reference,
                                         std::span<const std::uint32_t> hypothesis,
                                         const LevenshteinOptions& options) {
  script_.clear();
  if (reference.empty() || hypothesis.empty()) return reference.size() + hypothesis.size();
  band_->Setup(reference, hypothesis);
  return band_->Distance(options, /*keepStates=*/false);
}

}  // namespace sorowa
