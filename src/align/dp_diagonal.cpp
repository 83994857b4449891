// Plans, allocates and reads back the vectorised fill of dp_diagonal_kernel.h.
//
// Why the band gives exactly the full table's alignment
// -----------------------------------------------------
// Let C(x) be a cell's cost in the full table, G(x) the least cost of going on from x to
// (n, m), C* = C(n, m) and g = |n - m|. Every step that changes i - j by one costs one, and
// no step costs less than nothing, so for every cell x = (i, j)
//   C(x) >= |i - j|   and   G(x) >= |(n - m) - (i - j)| >= |i - j| - g.
//
// The band pass computes, for each cell with |i - j| <= w (w >= g), the least cost B(x) over
// the paths that never leave the band; cells outside count as unreachable. Fewer paths, so
// B(x) >= C(x). We accept the pass only when B(n, m) + g <= 2w.
//
// 1. Every cell y on an optimal path (one of cost C*) has C(y) + G(y) = C*, hence
//    2|i - j| - g <= C* <= B(n, m) <= 2w - g, that is |i - j| <= w: optimal paths lie wholly
//    inside the band. The part of such a path up to y stays inside too, so B(y) <= C(y),
//    that is B(y) = C(y).
// 2. The traceback of the full table visits only cells on optimal paths: each step goes to a
//    predecessor p with C(p) + cost(p -> x) = C(x). At a visited cell x, every candidate that
//    ties with the chosen value, C(p) + cost(p -> x) = C(x), then lies on an optimal path as
//    well, so by 1 its band value is exact. Every other candidate has C(p) + cost > C(x), and
//    its band value is at least as large (or unreachable).
// 3. The step at x depends only on which candidates reach the least value: Pair if the
//    diagonal does, else SkipTarget if the left does, else SkipSource; Swap only if it is
//    strictly below all three. By 2 the band sees the same least value from the same set of
//    candidates, so it stores the same step, and its traceback walks the same cells with the
//    same steps. The border steps are not stored at all: the traceback supplies them.
//
// The condition is weaker than the usual "B(n, m) <= w", which implies it, so the band is
// about half as wide for lines of equal length. If a pass fails, C* <= B(n, m), so a band of
// half-width ceil((B(n, m) + g) / 2) passes for sure: its own B(n, m) cannot be larger. The
// next width is the smaller of that and 2w, so the widths at most double until they pass
// (C* + g) / 2, and no pass after the first costs more than twice what C* requires.

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "align/dp_align.h"
#include "align/dp_diagonal_job.h"
#include "align/dp_limits.h"
#include "align/stop_request.h"

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

constexpr std::size_t kSizeMax = std::numeric_limits<std::size_t>::max();

// Extra per-diagonal work (bounds, border cells), in units of one register of cells.
constexpr std::size_t kDiagonalOverhead = 2;

struct Machine {
  bool avx2;
  bool wide;
  std::ptrdiff_t lanes;
};

Machine ChooseMachine(std::size_t n, std::size_t m, bool fitsIn16Bits,
                      const DpFastOptions& options) {
  Machine machine{};
  machine.avx2 = options.instructionSet != DpInstructionSet::Sse2 && DpHasAvx2();
  machine.wide = options.wideCosts || !fitsIn16Bits ||
                 std::max(n, m) > static_cast<std::size_t>(kMax16BitLength);
  machine.lanes = (machine.avx2 ? 32 : 16) / (machine.wide ? 4 : 2);
  return machine;
}

// Registers and step bytes of a pass of half-width w (w >= n + m is the full table).
struct PassSize {
  std::size_t registers = 0;
  std::size_t stepBytes = 0;
  std::size_t totalBytes = 0;
};

PassSize SizeOfPass(std::ptrdiff_t n, std::ptrdiff_t m, std::ptrdiff_t w, const Machine& machine) {
  PassSize size;
  for (std::ptrdiff_t d = 0; d <= n + m; ++d) {
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = 0;
    DiagonalRange(d, n, m, w, lo, hi);
    if (hi < lo) continue;
    const auto registers = static_cast<std::size_t>((hi - lo + machine.lanes) / machine.lanes);
    size.registers += registers + kDiagonalOverhead;
    size.stepBytes += registers * static_cast<std::size_t>(machine.lanes / 4);
  }
  const std::size_t laneBytes = machine.wide ? 4 : 2;
  const auto padded = [&](std::ptrdiff_t length) {
    return static_cast<std::size_t>(length + 2 * kDiagonalPad);
  };
  size.totalBytes = size.stepBytes + (static_cast<std::size_t>(n + m) + 2) * sizeof(std::size_t) +
                    (5 * padded(n) + padded(n) + padded(m)) * laneBytes;
  return size;
}

// The steps of one pass. Large tables are mapped with transparent huge pages where the
// system allows them: a 20,000 x 20,000 table is 100 MB, and faulting it in 4 KiB pages took
// longer than filling it.
class StepStorage {
 public:
  explicit StepStorage(std::size_t bytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    if (bytes < 2 * kHugePage) {
      small_.reset(new std::uint8_t[bytes]);
      data_ = small_.get();
      return;
    }
    mapped_ = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* mapping =
        mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    madvise(mapping, mapped_, MADV_HUGEPAGE);  // only a hint; fine if refused
    data_ = static_cast<std::uint8_t*>(mapping);
  }
  StepStorage(const StepStorage&) = delete;
  StepStorage& operator=(const StepStorage&) = delete;
  ~StepStorage() {
    if (mapped_ != 0) munmap(data_, mapped_);
  }

  std::uint8_t* data() const { return data_; }

 private:
  std::unique_ptr<std::uint8_t[]> small_;
  std::uint8_t* data_ = nullptr;
  std::size_t mapped_ = 0;
};

// One filled pass: its steps stay until the traceback has read them.
class DiagonalPass {
 public:
  DiagonalPass(std::span<const std::uint32_t> source, std::span<const std::uint32_t> target,
               std::ptrdiff_t w, const Machine& machine)
      : n_(static_cast<std::ptrdiff_t>(source.size())),
        m_(static_cast<std::ptrdiff_t>(target.size())),
        w_(w) {
    const PassSize size = SizeOfPass(n_, m_, w_, machine);
    CheckDpMemory(source.size(), target.size(), size.totalBytes);
    offsets_.reserve(static_cast<std::size_t>(n_ + m_) + 1);
    std::size_t offset = 0;
    for (std::ptrdiff_t d = 0; d <= n_ + m_; ++d) {
      offsets_.push_back(offset);
      std::ptrdiff_t lo = 0;
      std::ptrdiff_t hi = 0;
      DiagonalRange(d, n_, m_, w_, lo, hi);
      if (hi >= lo) {
        offset += static_cast<std::size_t>((hi - lo + machine.lanes) / machine.lanes *
                                           (machine.lanes / 4));
      }
    }
    // Every register store writes whole bytes, so a few spare ones cover the last diagonal.
    steps_ = std::make_unique<StepStorage>(offset + 8);
    cost_ = machine.wide ? Fill<std::int32_t>(source, target, machine)
                         : Fill<std::int16_t>(source, target, machine);
  }

  std::int64_t cost() const { return cost_; }

  DpStep StepAt(std::ptrdiff_t i, std::ptrdiff_t j) const {
    const std::ptrdiff_t d = i + j;
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = 0;
    DiagonalRange(d, n_, m_, w_, lo, hi);
    if (i < lo || i > hi) throw std::logic_error("alignment traceback left the computed band");
    const std::size_t k = static_cast<std::size_t>(i - lo);
    const std::uint8_t byte = steps_->data()[offsets_[static_cast<std::size_t>(d)] + k / 4];
    return static_cast<DpStep>((byte >> (2 * (k % 4))) & 3u);
  }

 private:
  template <class Lane>
  std::int64_t Fill(std::span<const std::uint32_t> source, std::span<const std::uint32_t> target,
                    const Machine& machine) {
    // Symbols and costs share the lane width; a 16-bit symbol is kept as its bit pattern.
    const auto lanes = [](std::span<const std::uint32_t> symbols, bool reversed) {
      std::vector<Lane> padded(symbols.size() + 2 * kDiagonalPad, Lane{0});
      for (std::size_t k = 0; k < symbols.size(); ++k) {
        const std::uint32_t x = reversed ? symbols[symbols.size() - 1 - k] : symbols[k];
        padded[kDiagonalPad + k] = static_cast<Lane>(x);
      }
      return padded;
    };
    const std::vector<Lane> sourceLanes = lanes(source, false);
    const std::vector<Lane> reversedTargetLanes = lanes(target, true);
    const std::size_t diagonalLength = static_cast<std::size_t>(n_) + 2 * kDiagonalPad;
    std::vector<Lane> diagonals(5 * diagonalLength, DiagonalJob<Lane>::kInfinity);

    DiagonalJob<Lane> job{};
    job.source = sourceLanes.data() + kDiagonalPad;
    job.reversedTarget = reversedTargetLanes.data() + kDiagonalPad;
    job.n = n_;
    job.m = m_;
    job.w = w_;
    for (std::size_t k = 0; k < 5; ++k) {
      job.diagonals[k] = diagonals.data() + k * diagonalLength + kDiagonalPad;
    }
    job.steps = steps_->data();
    job.offsets = offsets_.data();
    job.stopRequested = &StopRequested;
#if defined(__x86_64__)
    const std::int64_t cost = machine.avx2 ? FillDiagonalsAvx2(job) : FillDiagonalsSse2(job);
    ThrowIfStopped();
    return cost;
#else
    static_cast<void>(machine);
    static_cast<void>(job);
    return 0;  // never reached: AlignDiagonals uses the reference here
#endif
  }

  std::ptrdiff_t n_;
  std::ptrdiff_t m_;
  std::ptrdiff_t w_;
  std::vector<std::size_t> offsets_;
  std::unique_ptr<StepStorage> steps_;
  std::int64_t cost_ = 0;
};

ColumnStarts TraceBackPass(std::size_t n, std::size_t m, const DiagonalPass& pass) {
  return TraceBack(n, m, [&pass](std::ptrdiff_t i, std::ptrdiff_t j) { return pass.StepAt(i, j); });
}

// A first band of this much slack beyond |n - m| settles lines with a few edits in one pass.
// Narrower bands do not pay: with fewer than about six registers per diagonal, each diagonal
// waits for the stores of the one before to reach the cache, and a pass of half-width 40
// takes longer than one of 120.
constexpr std::ptrdiff_t kFirstBandSlack = 120;

}  // namespace

ColumnStarts AlignDiagonals(std::span<const std::uint32_t> source,
                            std::span<const std::uint32_t> target, bool fitsIn16Bits,
                            DiagonalStrategy strategy, const DpFastOptions& options) {
  const std::size_t n = source.size();
  const std::size_t m = target.size();
  if (n == 0 || m == 0) return DpAlignReference(source, target);  // the writers never ask
#if !defined(__x86_64__)
  // No vector kernels on this processor family: same result, plain speed.
  static_cast<void>(fitsIn16Bits);
  static_cast<void>(strategy);
  static_cast<void>(options);
  return DpAlignReference(source, target);
#endif
  const Machine machine = ChooseMachine(n, m, fitsIn16Bits, options);
  const auto sn = static_cast<std::ptrdiff_t>(n);
  const auto sm = static_cast<std::ptrdiff_t>(m);
  const std::ptrdiff_t fullWidth = sn + sm;
  const std::ptrdiff_t lengthGap = sn > sm ? sn - sm : sm - sn;

  // A band of half-width w has at most 2w + 1 cells in each row of the shorter side; where
  // three such bands would cover the table, the first band could not pay off.
  if (strategy == DiagonalStrategy::Auto && options.firstBandWidth == 0 &&
      3 * (2 * (lengthGap + kFirstBandSlack) + 1) >= std::max(sn, sm)) {
    strategy = DiagonalStrategy::Full;
  }
  if (strategy == DiagonalStrategy::Full) {
    const DiagonalPass pass(source, target, fullWidth, machine);
    return TraceBackPass(n, m, pass);
  }

  std::ptrdiff_t w = options.firstBandWidth != 0
                         ? static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                               options.firstBandWidth, static_cast<std::size_t>(fullWidth)))
                         : lengthGap + kFirstBandSlack;
  w = std::max(w, lengthGap);

  // Auto gives up on the band when it stops paying: a first pass that may fail must be cheap
  // next to the full table, and all band passes together may cost at most a quarter of it, so
  // unrelated lines, which no band short of the whole table settles, lose little.
  std::size_t fullRegisters = 0;
  std::size_t spent = 0;
  bool fullFits = false;
  if (strategy == DiagonalStrategy::Auto) {
    const PassSize full = SizeOfPass(sn, sm, fullWidth, machine);
    fullRegisters = full.registers;
    fullFits = full.totalBytes <= DpMemoryLimit();
  }
  for (bool first = true;; first = false) {
    if (w >= std::max(sn, sm)) w = fullWidth;  // the band covers the table anyway
    if (strategy == DiagonalStrategy::Auto && fullFits) {
      const std::size_t band = SizeOfPass(sn, sm, w, machine).registers;
      if (w == fullWidth ||
          (first ? 3 * band > fullRegisters : 4 * (spent + band) > fullRegisters)) {
        const DiagonalPass pass(source, target, fullWidth, machine);
        return TraceBackPass(n, m, pass);
      }
      spent += band;
    }
    std::int64_t cost = 0;
    {
      const DiagonalPass pass(source, target, w, machine);
      cost = pass.cost();
      if (cost + lengthGap <= 2 * w) return TraceBackPass(n, m, pass);
    }
    const auto sufficient = static_cast<std::ptrdiff_t>((cost + lengthGap + 1) / 2);
    w = std::max(w + 1, std::min(2 * w, sufficient));
  }
}

}  // namespace detail
}  // namespace sorowa
