// Plans the passes of the vectorised fill (dp_diagonal_pass.cpp) and reads back the result.
//
// Why a pass over part of the table gives exactly the full table's alignment
// -------------------------------------------------------------------------
// Let C(x) be a cell's cost in the full table, G(x) the least cost of going on from x to
// (n, m) and C* = C(n, m). A pass computes, for the cells it keeps, the least cost V(x) over
// the paths that only pass kept cells (and the borders); cells it does not keep count as
// unreachable. Fewer paths, so V(x) >= C(x). Suppose every cell of every least-cost path
// (one of cost C*) is kept.
//
// 1. For y on a least-cost path, the part of the path up to y is kept, so V(y) = C(y).
// 2. The traceback of the full table visits only cells on least-cost paths: each step goes
//    to a predecessor p with C(p) + cost(p -> x) = C(x). At a visited cell x, every candidate
//    that ties with the chosen value, C(p) + cost(p -> x) = C(x), then lies on a least-cost
//    path as well, so by 1 its value in the pass is exact. Every other candidate has
//    C(p) + cost > C(x), and its value in the pass is at least as large (or unreachable).
// 3. The step at x depends only on which candidates reach the least value: Pair if the
//    diagonal does, else SkipTarget if the left does, else SkipSource; Swap only if it is
//    strictly below all three. By 2 the pass sees the same least value from the same set of
//    candidates, so it stores the same step, and its traceback walks the same cells with the
//    same steps. The border steps are not stored at all: the traceback supplies them.
//
// What makes sure that every least-cost path is kept:
//
// - The band |i - j| <= w, accepted when V(n, m) + g <= 2w with g = |n - m|. Every step
//   that changes i - j by one costs one, so C(x) >= |i - j| and G(x) >= |i - j| - g; on a
//   least-cost path 2|i - j| - g <= C* <= V(n, m) <= 2w - g, so |i - j| <= w. The condition
//   is weaker than the usual "V(n, m) <= w", so the band is about half as wide for lines of
//   equal length. If a pass fails, C* <= V(n, m), so a band of half-width
//   ceil((V(n, m) + g) / 2) passes for sure.
// - The bounded rule with an upper bound U >= C* (dp_diagonal_pass.cpp): a cell is kept
//   while V(x) plus a lower bound of G(x) stays <= U. U is the cost of a real path, found
//   by a cheap pass that follows the cheapest cells in a narrow moving band, so the bounded
//   pass never fails. It keeps cells near the least-cost paths rather than a band around
//   the main diagonal: for lines with 8 % of their characters edited the band had to be
//   about as wide as the cost, some 40,000 cells on two lines of a million characters.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "align/dp_align.h"
#include "align/dp_diagonal_pass.h"
#include "align/dp_suffix_bound.h"
#include "base/long_work.h"
#include "base/memory_budget.h"
#include "base/stop_request.h"

namespace sorowa {

bool DpHasAvx2() {
#if defined(__x86_64__)
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  return hasAvx2;
#else
  return false;
#endif
}

namespace detail {
namespace {

// A first band of this much slack beyond |n - m| settles lines with a few edits in one pass.
// Narrower bands do not pay: with fewer than about six registers per diagonal, each diagonal
// waits for the stores of the one before to reach the cache.
constexpr std::ptrdiff_t kFirstBandSlack = 120;
// Up to this many cells the full table costs about a millisecond, and the bounds do not pay.
constexpr double kSmallCells = 4.0 * 1024 * 1024;
// Cells per diagonal of the pass that looks for an upper bound of the cost.
constexpr std::ptrdiff_t kFollowWidth = 128;
// Diagonals between checkpoints at first; thinned when they take more than their budget.
// Going back, a stretch of K diagonals costs up to K * K / 2 cells, so the closer the better.
constexpr std::size_t kCheckpointInterval = 256;
// Steps are kept whole up to this (or an eighth of the memory limit): cheaper than
// recomputing them, and what two identical lines of 6.7 million characters need in a band.
constexpr std::size_t kStepBudgetCap = std::size_t{512} << 20;
constexpr std::size_t kCheckpointBudgetCap = std::size_t{256} << 20;
// Cells a second, one SSE2 core with 32-bit costs; AVX2 and 16-bit costs each double it.
constexpr double kCellsPerSecond = 1.2e9;

constexpr std::size_t kSizeMax = std::numeric_limits<std::size_t>::max();

std::size_t SaturatingBytes(double bytes) {
  return bytes >= static_cast<double>(kSizeMax) ? kSizeMax : static_cast<std::size_t>(bytes);
}

class Aligner {
 public:
  Aligner(std::span<const std::uint32_t> source, std::span<const std::uint32_t> target,
          bool fitsIn16Bits, const DpFastOptions& options)
      : source_(source),
        target_(target),
        n_(static_cast<std::ptrdiff_t>(source.size())),
        m_(static_cast<std::ptrdiff_t>(target.size())),
        gap_(n_ > m_ ? n_ - m_ : m_ - n_),
        fitsIn16Bits_(fitsIn16Bits),
        options_(options),
        avx2_(options.instructionSet != DpInstructionSet::Sse2 && DpHasAvx2()) {}

  ColumnStarts Full() { return *Traceable(CellRule::Table, TableWide(), TableArea(), 0, 0); }

  // Bands widened until one passes.
  ColumnStarts Band() {
    std::ptrdiff_t w = options_.firstBandWidth != 0
                           ? static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                 options_.firstBandWidth, static_cast<std::size_t>(n_ + m_)))
                           : gap_ + kFirstBandSlack;
    w = std::max(w, gap_);
    for (;;) {
      if (w >= std::max(n_, m_)) return Full();  // the band covers the table anyway
      std::int64_t cost = 0;
      if (auto starts = BandPass(w, &cost)) return *starts;
      const auto sufficient = static_cast<std::ptrdiff_t>((cost + gap_ + 1) / 2);
      w = std::max(w + 1, std::min(2 * w, sufficient));
    }
  }

  // An upper bound of the least cost from a pass that follows the cheapest cells, never
  // above max(n, m) (pairing straight along and skipping the rest costs that); then the
  // bounded pass. Before anything is filled, the bounded pass is checked with the lower
  // bound in place of the upper one: if even that would not fit, the user hears so at once.
  ColumnStarts Bounded() {
    const std::int64_t lower = Bound().Bound();
    const std::int64_t straight = std::max(n_, m_);
    const Estimate least = Plan(CellRule::Bounded, BoundedWide(lower), BoundedArea(lower, lower));
    // Not knowing the upper bound yet, the time is that of the band the lower bound allows.
    CheckDpMemory(source_.size(), target_.size(), least.bytes,
                  Seconds(BandCells((lower + gap_) / 2), BoundedWide(lower)));

    PassPlan plan;
    plan.rule = CellRule::Follow;
    plan.avx2 = avx2_;
    plan.width = options_.followWidth != 0 ? static_cast<std::ptrdiff_t>(options_.followWidth)
                                           : kFollowWidth;
    std::int64_t cost = 0;
    if (TableWide()) {
      DiagonalPass<std::int32_t> pass(Text<std::int32_t>(), plan, nullptr);
      cost = pass.Run();
    } else {
      DiagonalPass<std::int16_t> pass(Text<std::int16_t>(), plan, nullptr);
      cost = pass.Run();
    }
    ThrowIfStopped();
    const std::int64_t upper = cost == kUnreachable ? straight : std::min(cost, straight);
    return *Traceable(CellRule::Bounded, BoundedWide(upper), BoundedArea(upper, lower), 0, upper);
  }

  ColumnStarts Auto() {
    const std::ptrdiff_t firstBand = gap_ + kFirstBandSlack;
    const bool bandIsNarrow = 3 * (2 * firstBand + 1) < std::max(n_, m_);
    const double cells = static_cast<double>(n_) * static_cast<double>(m_);
    if (cells <= kSmallCells) {
      if (bandIsNarrow) {
        if (auto starts = BandPass(firstBand)) return *starts;
      }
      return Full();
    }
    // No band narrower than (lower + g) / 2 can pass, nor a path cost less than lower.
    const std::int64_t lower = Bound().Bound();
    if (bandIsNarrow && lower + gap_ <= 2 * firstBand) {
      if (auto starts = BandPass(firstBand)) return *starts;
    }
    // Lines so different that even the narrowest band that could pass covers half the table:
    // no bound would pay for itself.
    if (BandCells((lower + gap_ + 1) / 2) * 2 >= cells) return Full();
    return Bounded();
  }

 private:
  bool TableWide() const {
    return options_.wideCosts || !fitsIn16Bits_ || std::max(n_, m_) > kMax16BitLength;
  }
  // The bounded pass never keeps a cell dearer than the bound, so 16-bit lanes suffice
  // below it, however long the lines.
  bool BoundedWide(std::int64_t upper) const {
    return options_.wideCosts || !fitsIn16Bits_ || upper >= kMax16BitLength;
  }

  const SuffixBound& Bound() {
    if (!bound_) {
      std::uint32_t alphabet = 0;
      for (std::uint32_t x : source_) alphabet = std::max(alphabet, x);
      for (std::uint32_t x : target_) alphabet = std::max(alphabet, x);
      bound_ = std::make_unique<SuffixBound>(source_, target_, alphabet + 1);
      // The lookup used while renumbering is gone by now; the copies share the numbers.
      boundBytes_ = bound_->sharedBytes() + bound_->bytes();
      boundCopyBytes_ = bound_->bytes();
    }
    return *bound_;
  }

  template <class Lane>
  const LaneText<Lane>& Text() {
    if constexpr (sizeof(Lane) == 2) {
      if (!text16_) text16_ = std::make_unique<LaneText<std::int16_t>>(source_, target_);
      return *text16_;
    } else {
      if (!text32_) text32_ = std::make_unique<LaneText<std::int32_t>>(source_, target_);
      return *text32_;
    }
  }

  // Cells of the band |i - j| <= w within the table: at most w + 1 on each anti-diagonal.
  double BandCells(std::int64_t w) const {
    const double table = static_cast<double>(n_) * static_cast<double>(m_);
    return std::min(table, static_cast<double>(n_ + m_) * static_cast<double>(w + 1));
  }

  struct Estimate {
    std::size_t bytes = 0;  // the least the pass needs
    double seconds = 0;     // about how long it takes
    PassPlan plan;
  };

  // The cells a pass may keep: at most `cells`, at most `widest` on one diagonal, about
  // `expected` of them in all.
  struct Area {
    double cells = 0;
    double widest = 0;
    double expected = 0;
  };

  Area TableArea() const {
    const double cells = static_cast<double>(n_) * static_cast<double>(m_);
    return {cells, static_cast<double>(std::min(n_, m_)), cells};
  }

  Area BandArea(std::int64_t w) const {
    const double cells = BandCells(w);
    return {cells,
            std::min<double>(static_cast<double>(std::min(n_, m_)), static_cast<double>(w + 1)),
            cells};
  }

  // The bounded pass keeps only cells with |i - j| + |(n - m) - (i - j)| <= upper, a band;
  // in practice about the cells within (upper - lower) / 2 of the least-cost path.
  Area BoundedArea(std::int64_t upper, std::int64_t lower) const {
    Area area = BandArea((upper + gap_) / 2);
    area.expected = std::min(area.cells, BandCells((upper - lower + gap_) / 2));
    return area;
  }

  double Seconds(double cells, bool wide) const {
    return cells / (kCellsPerSecond * (avx2_ ? 2.0 : 1.0) * (wide ? 1.0 : 2.0));
  }

  // What a traceable pass over the area needs, and how it keeps its traceback within the
  // memory limit: all steps when they are few; otherwise checkpoints, as close together as
  // fit (the traceback recomputes less), with one recomputed stretch at a time.
  Estimate Plan(CellRule rule, bool wide, const Area& area) const {
    Estimate estimate;
    PassPlan& plan = estimate.plan;
    plan.rule = rule;
    plan.avx2 = avx2_;
    plan.traceable = true;
    const double laneBytes = wide ? 4 : 2;
    const double lanes = (avx2_ ? 32.0 : 16.0) / laneBytes;
    const double diagonals = static_cast<double>(n_ + m_ + 1);
    const auto limit = static_cast<double>(DpMemoryLimit());
    estimate.seconds = Seconds(area.expected, wide);

    const double symbols = 2.0 * 4.0 * static_cast<double>(n_ + m_);
    const double lanesText = static_cast<double>(n_ + m_ + 4 * kDiagonalPad) * laneBytes;
    const double rolling = 5.0 * static_cast<double>(n_ + 1 + 2 * kDiagonalPad) * laneBytes;
    const double ranges = diagonals * sizeof(CellRange);
    // The pass moves four copies of the bound along the diagonals.
    const double bounds =
        rule == CellRule::Bounded ? static_cast<double>(boundBytes_ + 4 * boundCopyBytes_) : 0;
    const double fixed = symbols + lanesText + rolling + ranges + bounds;
    // 2 bits a cell, whole registers, and where each diagonal starts.
    const double allSteps = area.cells / 4 + diagonals * (lanes / 4 + 8);
    const double stepCap = std::min(static_cast<double>(kStepBudgetCap), limit / 8);
    if (options_.checkpointInterval == 0 && allSteps <= stepCap) {
      plan.stepBudget = kSizeMax;  // Table and Band: one whole pass
      estimate.bytes = SaturatingBytes(fixed + allSteps);
      return estimate;
    }

    // Checkpoints k diagonals apart, and the steps of one stretch of k diagonals.
    const auto checkpoints = [&](double k) { return 4.0 * area.cells / k * laneBytes; };
    const auto stretch = [&](double k) {
      return std::min(k * area.widest, k * k / 2) / 4 + k * (lanes / 4 + 8);
    };
    double chosen = static_cast<double>(options_.checkpointInterval);
    if (chosen == 0) {
      double smallest = std::numeric_limits<double>::infinity();
      for (double k = kCheckpointInterval;; k *= 2) {
        const double total = fixed + checkpoints(k) + stretch(k);
        if (checkpoints(k) <= static_cast<double>(kCheckpointBudgetCap) && total <= limit) {
          chosen = k;
          break;
        }
        if (total < smallest) {
          smallest = total;
          chosen = k;
        }
        if (k >= diagonals) break;
      }
    }
    // Checkpoints start kCheckpointInterval apart and are thinned whenever they take more
    // than this, so they end at most `chosen` apart.
    plan.checkpointInterval =
        options_.checkpointInterval != 0
            ? options_.checkpointInterval
            : std::min<std::size_t>(kCheckpointInterval, static_cast<std::size_t>(chosen));
    plan.checkpointBudget =
        options_.checkpointBytes != 0
            ? options_.checkpointBytes
            : (options_.checkpointInterval != 0
                   ? kSizeMax
                   : std::max(SaturatingBytes(checkpoints(chosen)), std::size_t{64} << 10));
    const double least = fixed + checkpoints(chosen) + stretch(chosen);
    estimate.bytes = SaturatingBytes(least);
    // Steps are still kept while they fit next to the rest: the kept cells are often far
    // fewer than the bound says, and then no stretch needs recomputing.
    if (options_.checkpointInterval == 0 && area.expected / 4 <= stepCap &&
        least + stepCap <= limit) {
      plan.stepBudget = static_cast<std::size_t>(stepCap);
    }
    return estimate;
  }

  // Runs a traceable pass after checking its memory. Returns the column starts, or nothing
  // when a band pass fails its test (its cost is then in *cost).
  std::optional<ColumnStarts> Traceable(CellRule rule, bool wide, const Area& area,
                                        std::ptrdiff_t width, std::int64_t upper,
                                        std::int64_t* cost = nullptr) {
    Estimate estimate = Plan(rule, wide, area);
    CheckDpMemory(source_.size(), target_.size(), estimate.bytes, estimate.seconds);
    // A pass of minutes is announced, with the cells it is expected to fill for its progress.
    StartLongWork(estimate.seconds, source_.size(), target_.size(), area.expected);
    estimate.plan.width = width;
    estimate.plan.bound = upper;
    return wide ? RunTraceable<std::int32_t>(estimate.plan, width, cost)
                : RunTraceable<std::int16_t>(estimate.plan, width, cost);
  }

  std::optional<ColumnStarts> BandPass(std::ptrdiff_t w, std::int64_t* cost = nullptr) {
    return Traceable(CellRule::Band, TableWide(), BandArea(w), w, 0, cost);
  }

  template <class Lane>
  std::optional<ColumnStarts> RunTraceable(const PassPlan& plan, std::ptrdiff_t width,
                                           std::int64_t* cost) {
    DiagonalPass<Lane> pass(Text<Lane>(), plan, bound_.get());
    const std::int64_t result = pass.Run();
    ThrowIfStopped();
    if (cost != nullptr) *cost = result;
    if (result == kUnreachable) {
      if (plan.rule == CellRule::Band) {
        if (cost != nullptr) *cost = n_ + m_;  // no path in the band: try a wider one
        return std::nullopt;
      }
      throw std::logic_error("alignment pass found no path");
    }
    if (plan.rule == CellRule::Band && result + gap_ > 2 * width) return std::nullopt;
    return pass.TraceBack();
  }

 private:
  std::span<const std::uint32_t> source_;
  std::span<const std::uint32_t> target_;
  std::ptrdiff_t n_;
  std::ptrdiff_t m_;
  std::ptrdiff_t gap_;
  bool fitsIn16Bits_;
  DpFastOptions options_;
  bool avx2_;
  std::unique_ptr<SuffixBound> bound_;
  std::size_t boundBytes_ = 0;
  std::size_t boundCopyBytes_ = 0;
  std::unique_ptr<LaneText<std::int16_t>> text16_;
  std::unique_ptr<LaneText<std::int32_t>> text32_;
};

}  // namespace

ColumnStarts AlignDiagonals(std::span<const std::uint32_t> source,
                            std::span<const std::uint32_t> target, bool fitsIn16Bits,
                            DiagonalStrategy strategy, const DpFastOptions& options) {
  if (source.empty() || target.empty()) return DpAlignReference(source, target);
#if !defined(__x86_64__)
  // No vector kernels on this processor family: same result, plain speed.
  static_cast<void>(fitsIn16Bits);
  static_cast<void>(strategy);
  static_cast<void>(options);
  return DpAlignReference(source, target);
#else
  Aligner aligner(source, target, fitsIn16Bits, options);
  switch (strategy) {
    case DiagonalStrategy::Full:
      return aligner.Full();
    case DiagonalStrategy::Band:
      return aligner.Band();
    case DiagonalStrategy::Bounded:
      return aligner.Bounded();
    case DiagonalStrategy::Auto:
      break;
  }
  return aligner.Auto();
#endif
}

}  // namespace detail
}  // namespace sorowa
