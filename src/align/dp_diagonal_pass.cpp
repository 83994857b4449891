// The driver of the anti-diagonal kernels: which cells each diagonal computes, what lies
// around them, what is kept for the traceback, and the traceback itself.
//
// Which cells
// -----------
// Every rule computes, for the cells x it keeps, the least cost V(x) over the paths from
// (0, 0) that only pass kept cells (and the borders, row 0 and column 0, whose costs are
// known). So V(x) >= C(x), the cost in the full table. Why a rule that keeps every cell of
// every least-cost path gives exactly the full table's alignment is written out in
// dp_diagonal.cpp; the rules here are the table, a band, and the bounded rule.
//
// The bounded rule keeps a cell only when V(x) + h(x) <= U, where h is the suffix bound (a
// lower bound of the cost from x to (n, m)) and U an upper bound of the alignment's cost. A
// cell y on a least-cost path, all of whose predecessors on it were kept, has V(y) = C(y)
// and C(y) + h(y) <= C* <= U, so it is kept too: by induction the whole path is. Cells
// outside the kept range of each diagonal are unreachable; those that a kept cell (or a
// border cell that may still lie on such a path) feeds are the next candidates, and the
// range is trimmed from both ends to the first cells that pass.
//
// The traceback in bounded memory
// -------------------------------
// Steps take 2 bits a cell. When they would take more than the budget, the pass keeps
// instead the costs of four consecutive diagonals every K (a checkpoint; the next diagonal
// needs diagonals d-1, d-2 and d-4), and the traceback recomputes one stretch between
// checkpoints at a time. Going back, i falls by at most one per diagonal, so a traceback
// that enters a stretch at (d, i) stays within i - (d - d') .. i on diagonal d'; every cell
// there depends only on cells of the same cone, so the cone alone is recomputed from the
// checkpoint, with the kept ranges of the pass: the same values, hence the same steps.
// A stretch of K diagonals costs at most K * K / 2 cells, all stretches (n + m) * K / 2.

#include "align/dp_diagonal_pass.h"

#include <sys/mman.h>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/long_work.h"
#include "base/stop_request.h"

namespace sorowa::detail {

// Memory for steps. Large blocks are mapped with transparent huge pages where the system
// allows them: faulting a 100 MB table in 4 KiB pages took longer than filling it.
class StepBlock {
 public:
  explicit StepBlock(std::size_t bytes) {
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
  StepBlock(const StepBlock&) = delete;
  StepBlock& operator=(const StepBlock&) = delete;
  ~StepBlock() {
    if (mapped_ != 0) munmap(data_, mapped_);
  }
  std::uint8_t* data() const { return data_; }

 private:
  std::unique_ptr<std::uint8_t[]> small_;
  std::uint8_t* data_ = nullptr;
  std::size_t mapped_ = 0;
};

namespace {

CellRange Intersect(CellRange a, CellRange b) {
  return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)};
}

// The smallest range holding both (an empty one holds nothing).
CellRange Hull(CellRange a, CellRange b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

CellRange Shifted(CellRange r, std::int32_t low, std::int32_t high) {
  if (r.empty()) return r;
  return {r.lo + low, r.hi + high};
}

}  // namespace

template <class Lane>
LaneText<Lane>::LaneText(std::span<const std::uint32_t> s, std::span<const std::uint32_t> t)
    : n(static_cast<std::ptrdiff_t>(s.size())), m(static_cast<std::ptrdiff_t>(t.size())) {
  // Symbols and costs share the lane width; a 16-bit symbol is kept as its bit pattern.
  const auto lanes = [](std::span<const std::uint32_t> symbols, bool reversed) {
    std::vector<Lane> padded(symbols.size() + 2 * kDiagonalPad, Lane{0});
    for (std::size_t k = 0; k < symbols.size(); ++k) {
      const std::uint32_t x = reversed ? symbols[symbols.size() - 1 - k] : symbols[k];
      padded[kDiagonalPad + k] = static_cast<Lane>(x);
    }
    return padded;
  };
  source = lanes(s, false);
  reversedTarget = lanes(t, true);
}

// The steps of a run of diagonals, 2 bits a cell from the first computed cell on, in blocks
// that each hold whole diagonals.
template <class Lane>
class DiagonalPass<Lane>::Steps {
 public:
  Steps(std::ptrdiff_t first, std::ptrdiff_t count, std::size_t expectedBytes, std::size_t budget)
      : first_(first),
        budget_(budget),
        blockBytes_(std::clamp<std::size_t>(expectedBytes, 4096, std::size_t{4} << 20)),
        cellBase_(static_cast<std::size_t>(count), 0) {}

  // Starts over for another run of diagonals, keeping the blocks: the traceback recomputes
  // one stretch after another, and fresh memory costs a page fault per page.
  void Reset(std::ptrdiff_t first, std::ptrdiff_t count) {
    first_ = first;
    cellBase_.assign(static_cast<std::size_t>(count), 0);
    current_ = 0;
    used_ = 0;
  }

  // Room for the steps of diagonal d, whose first cell is lo; null once over the budget.
  std::uint8_t* Add(std::ptrdiff_t d, std::ptrdiff_t lo, std::size_t bytes) {
    if (blocks_.empty() || used_ + bytes > blockSize_[current_]) {
      if (!blocks_.empty() && current_ + 1 < blocks_.size() && blockSize_[current_ + 1] >= bytes) {
        ++current_;
      } else {
        const std::size_t size = std::max(blockBytes_, bytes);
        if (allocated_ + size > budget_) return nullptr;
        // A block too small for this diagonal is never used again.
        const std::size_t at = blocks_.empty() ? 0 : current_ + 1;
        const std::size_t start = at == 0 ? 0 : blockStart_[at - 1] + blockSize_[at - 1];
        for (std::size_t k = at; k < blocks_.size(); ++k) allocated_ -= blockSize_[k];
        blocks_.resize(at);
        blockStart_.resize(at);
        blockSize_.resize(at);
        blocks_.push_back(std::make_unique<StepBlock>(size));
        blockStart_.push_back(start);
        blockSize_.push_back(size);
        allocated_ += size;
        current_ = at;
      }
      used_ = 0;
    }
    const std::size_t offset = blockStart_[current_] + used_;
    cellBase_[static_cast<std::size_t>(d - first_)] = static_cast<std::int64_t>(offset) * 4 - lo;
    std::uint8_t* out = blocks_[current_]->data() + used_;
    used_ += bytes;
    return out;
  }

  DpStep At(std::ptrdiff_t d, std::ptrdiff_t i) const {
    const auto cell = static_cast<std::size_t>(cellBase_[static_cast<std::size_t>(d - first_)] + i);
    const std::size_t byte = cell / 4;
    // Blocks are mostly of one size; the last one may be larger.
    std::size_t block = std::min(byte / blockBytes_, blocks_.size() - 1);
    while (blockStart_[block] > byte) --block;
    while (block + 1 < blocks_.size() && blockStart_[block + 1] <= byte) ++block;
    const std::uint8_t value = blocks_[block]->data()[byte - blockStart_[block]];
    return static_cast<DpStep>((value >> (2 * (cell % 4))) & 3u);
  }

  std::size_t bytes() const { return allocated_ + cellBase_.size() * sizeof(std::int64_t); }

 private:
  std::ptrdiff_t first_;
  std::size_t budget_;
  std::size_t blockBytes_;
  std::vector<std::unique_ptr<StepBlock>> blocks_;
  std::vector<std::size_t> blockStart_;
  std::vector<std::size_t> blockSize_;
  std::size_t allocated_ = 0;
  std::size_t current_ = 0;             // the block being filled
  std::size_t used_ = 0;                // bytes of it taken
  std::vector<std::int64_t> cellBase_;  // index of the step of cell i is cellBase_ + i
};

// The costs of diagonals d-3 .. d over their kept ranges.
template <class Lane>
struct DiagonalPass<Lane>::Checkpoint {
  std::ptrdiff_t d = 0;
  CellRange ranges[4];
  std::vector<Lane> values;
};

template <class Lane>
DiagonalPass<Lane>::DiagonalPass(const LaneText<Lane>& text, const PassPlan& plan,
                                 const SuffixBound* bound)
    : text_(text), plan_(plan), n_(text.n), m_(text.m) {
#if defined(__x86_64__)
  fill_ = plan.avx2 ? static_cast<Fill>(&FillDiagonalAvx2) : static_cast<Fill>(&FillDiagonalSse2);
  lanes_ = (plan.avx2 ? 32 : 16) / static_cast<std::ptrdiff_t>(sizeof(Lane));
#else
  throw std::logic_error("no vector kernels on this processor");
#endif
  const std::size_t length = static_cast<std::size_t>(n_ + 1 + 2 * kDiagonalPad);
  diagonalStore_.assign(5 * length, DiagonalJob<Lane>::kInfinity);
  job_.source = text.source.data() + kDiagonalPad;
  job_.reversedTarget = text.reversedTarget.data() + kDiagonalPad;
  job_.m = m_;
  for (std::size_t k = 0; k < 5; ++k) {
    job_.diagonals[k] = diagonalStore_.data() + k * length + kDiagonalPad;
  }
  if (!Whole()) ranges_.assign(static_cast<std::size_t>(n_ + m_ + 1), CellRange{});
  if (plan.rule == CellRule::Bounded) {
    low_ = std::make_unique<SuffixBound>(*bound);
    high_ = std::make_unique<SuffixBound>(*bound);
    row0_ = std::make_unique<SuffixBound>(*bound);
    column0_ = std::make_unique<SuffixBound>(*bound);
  }
}

template <class Lane>
DiagonalPass<Lane>::~DiagonalPass() = default;

// A band or the table with all its steps: one call to the kernel does it all.
template <class Lane>
bool DiagonalPass<Lane>::Whole() const {
  return (plan_.rule == CellRule::Table || plan_.rule == CellRule::Band) && plan_.traceable &&
         plan_.checkpointInterval == 0;
}

template <class Lane>
std::int64_t DiagonalPass<Lane>::RunWhole() {
  const std::ptrdiff_t w = plan_.rule == CellRule::Table ? n_ + m_ : plan_.width;
  wholeOffsets_.reserve(static_cast<std::size_t>(n_ + m_) + 1);
  std::size_t offset = 0;
  for (std::ptrdiff_t d = 0; d <= n_ + m_; ++d) {
    wholeOffsets_.push_back(offset);
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = 0;
    BandRange(d, n_, m_, w, lo, hi);
    if (hi >= lo) {
      cells_ += static_cast<std::size_t>(hi - lo + 1);
      offset += static_cast<std::size_t>((hi - lo + lanes_) / lanes_ * (lanes_ / 4));
    }
  }
  // Every register store writes whole bytes, so a few spare ones cover the last diagonal.
  wholeSteps_ = std::make_unique<StepBlock>(offset + 8);
  job_.n = n_;
  job_.w = w;
  job_.steps = wholeSteps_->data();
  job_.offsets = wholeOffsets_.data();
  job_.stopRequested = &StopRequested;
#if defined(__x86_64__)
  const std::int64_t cost = plan_.avx2 ? FillDiagonalsAvx2(job_) : FillDiagonalsSse2(job_);
#else
  const std::int64_t cost = kUnreachable;
#endif
  if (StopRequested()) return kUnreachable;
  return cost >= DiagonalJob<Lane>::kInfinity ? kUnreachable : cost;
}

// What a reader finds outside the computed cells: the border costs of row 0 and column 0
// (capped, as computed costs are), and kInfinity everywhere else.
template <class Lane>
Lane DiagonalPass<Lane>::Outside(std::ptrdiff_t i, std::ptrdiff_t d) const {
  constexpr Lane inf = DiagonalJob<Lane>::kInfinity;
  const std::ptrdiff_t j = d - i;
  if (i < 0 || j < 0 || i > n_ || j > m_) return inf;
  if (i == 0) return static_cast<Lane>(std::min<std::ptrdiff_t>(j, inf));
  if (j == 0) return static_cast<Lane>(std::min<std::ptrdiff_t>(i, inf));
  return inf;
}

// Makes positions from .. to of diagonal d hold what the kernel must read there. Ranges move
// little from one diagonal to the next, so this writes a few positions each time.
template <class Lane>
void DiagonalPass<Lane>::Ensure(std::ptrdiff_t d, std::ptrdiff_t from, std::ptrdiff_t to) {
  if (to < from) return;
  const auto slot = static_cast<std::size_t>(((d % 5) + 5) % 5);  // d is -3 or -2 at first
  Lane* buffer = job_.diagonals[slot];
  CellRange& valid = valid_[slot];
  if (valid.empty()) {
    for (std::ptrdiff_t p = from; p <= to; ++p) buffer[p] = Outside(p, d);
    valid = {static_cast<std::int32_t>(from), static_cast<std::int32_t>(to)};
    return;
  }
  for (std::ptrdiff_t p = from; p < valid.lo; ++p) buffer[p] = Outside(p, d);
  for (std::ptrdiff_t p = valid.hi + 1; p <= to; ++p) buffer[p] = Outside(p, d);
  valid.lo = static_cast<std::int32_t>(std::min<std::ptrdiff_t>(valid.lo, from));
  valid.hi = static_cast<std::int32_t>(std::max<std::ptrdiff_t>(valid.hi, to));
}

// Computes the cells of range on diagonal d, whose buffer must have been cleared of what it
// held before.
template <class Lane>
void DiagonalPass<Lane>::Compute(std::ptrdiff_t d, CellRange range, std::uint8_t* steps) {
  Ensure(d - 1, range.lo - 1, range.hi);
  Ensure(d - 2, range.lo - 1, range.hi - 1);
  Ensure(d - 4, range.lo - 2, range.hi - 2);
  if (d >= 4) {
    // Swaps start at (3, 3): the swap partners in row 0 and column 0 must not count. Nothing
    // else reads diagonal d-4 any more.
    Lane* back4 = job_.diagonals[(d + 1) % 5];
    back4[0] = DiagonalJob<Lane>::kInfinity;
    if (d - 4 <= n_) back4[d - 4] = DiagonalJob<Lane>::kInfinity;
  }
  fill_(job_, d, range.lo, range.hi, steps);
  cells_ += static_cast<std::size_t>(range.hi - range.lo + 1);
}

template <class Lane>
CellRange DiagonalPass<Lane>::TableRange(std::ptrdiff_t d) const {
  return {static_cast<std::int32_t>(std::max<std::ptrdiff_t>(1, d - m_)),
          static_cast<std::int32_t>(std::min<std::ptrdiff_t>(n_, d - 1))};
}

template <class Lane>
CellRange DiagonalPass<Lane>::Candidates(std::ptrdiff_t d) {
  const CellRange table = TableRange(d);
  switch (plan_.rule) {
    case CellRule::Table:
      return table;
    case CellRule::Band: {
      const std::ptrdiff_t w = plan_.width;
      const CellRange band{static_cast<std::int32_t>((d - w + 1) >> 1),  // ceil((d - w) / 2)
                           static_cast<std::int32_t>((d + w) >> 1)};
      return Intersect(table, band);
    }
    case CellRule::Follow: {
      const std::ptrdiff_t first = centre_ - plan_.width / 2;
      return Intersect(table, {static_cast<std::int32_t>(first),
                               static_cast<std::int32_t>(first + plan_.width - 1)});
    }
    case CellRule::Bounded:
      break;
  }
  // Cells fed by kept cells: from d-1 the left (same i) and upper (i-1) neighbours, from d-2
  // the diagonal one (i-1), from d-4 the swap partner (i-2).
  CellRange fed;
  if (d >= 1) fed = Hull(fed, Shifted(ranges_[d - 1], 0, 1));
  if (d >= 2) fed = Hull(fed, Shifted(ranges_[d - 2], 1, 1));
  if (d >= 4) fed = Hull(fed, Shifted(ranges_[d - 4], 2, 2));
  // Cell (1, d-1) is fed by row 0 at (0, d-2) and (0, d-1), cell (d-1, 1) by column 0; they
  // count while a path of cost <= bound may pass there.
  const std::int64_t bound = plan_.bound;
  const auto alive = [bound](SuffixBound& cursor, std::ptrdiff_t i, std::ptrdiff_t j) {
    cursor.MoveTo(i, j);
    return i + j + cursor.Bound() <= bound;
  };
  // Once a border cell is out, so are those after it: paths along the border pass it.
  if (d >= 1) {
    row0Alive_[0] = row0Alive_[1];
    row0Alive_[1] = row0Alive_[0] && d - 1 <= m_ && alive(*row0_, 0, d - 1);
    column0Alive_[0] = column0Alive_[1];
    column0Alive_[1] = column0Alive_[0] && d - 1 <= n_ && alive(*column0_, d - 1, 0);
  }
  if (row0Alive_[0] || row0Alive_[1]) fed = Hull(fed, {1, 1});
  if (column0Alive_[0] || column0Alive_[1]) {
    const auto i = static_cast<std::int32_t>(d - 1);
    fed = Hull(fed, {i, i});
  }
  return Intersect(table, fed);
}

// Drops cells from both ends of the range until each end can lie on a path of cost <= bound.
template <class Lane>
CellRange DiagonalPass<Lane>::Trim(std::ptrdiff_t d, CellRange range) {
  const Lane* current = job_.diagonals[d % 5];
  const std::int64_t bound = plan_.bound;
  const auto passes = [&](SuffixBound& cursor, std::ptrdiff_t i) {
    const Lane value = current[i];
    if (value >= DiagonalJob<Lane>::kInfinity || value > bound) return false;
    cursor.MoveTo(i, d - i);
    return value + cursor.Bound() <= bound;
  };
  while (!range.empty() && !passes(*low_, range.lo)) ++range.lo;
  while (!range.empty() && !passes(*high_, range.hi)) --range.hi;
  return range;
}

// CellRule::Follow: every few diagonals, aim at the cheapest cell, and move the centre
// towards it by at most one cell per diagonal, but never so far from the table that the
// band could miss (n, m) at the end.
template <class Lane>
void DiagonalPass<Lane>::Follow(std::ptrdiff_t d) {
  const CellRange kept = ranges_[d];
  if ((d & 7) == 0 && !kept.empty()) {
    const Lane* current = job_.diagonals[d % 5];
    std::ptrdiff_t best = kept.lo;
    for (std::ptrdiff_t i = kept.lo + 1; i <= kept.hi; ++i) {
      if (current[i] < current[best]) best = i;
    }
    // The cheapest cell of d+1 usually lies half a cell further on.
    aim_ = best;
  }
  if (aim_ > centre_) {
    ++centre_;
  } else if (aim_ < centre_) {
    --centre_;
  }
  const CellRange next = TableRange(d + 1);
  const std::ptrdiff_t slack = plan_.width / 4;
  centre_ = std::clamp<std::ptrdiff_t>(centre_, next.lo - slack,
                                       std::max<std::ptrdiff_t>(next.hi, next.lo) + slack);
}

template <class Lane>
void DiagonalPass<Lane>::TakeCheckpoint(std::ptrdiff_t d) {
  Checkpoint checkpoint;
  checkpoint.d = d;
  std::size_t count = 0;
  for (std::ptrdiff_t k = 0; k < 4; ++k) {
    checkpoint.ranges[k] = ranges_[d - 3 + k];
    if (!checkpoint.ranges[k].empty()) {
      count += static_cast<std::size_t>(checkpoint.ranges[k].hi - checkpoint.ranges[k].lo + 1);
    }
  }
  checkpoint.values.reserve(count);
  for (std::ptrdiff_t k = 0; k < 4; ++k) {
    const CellRange r = checkpoint.ranges[k];
    if (r.empty()) continue;
    const Lane* buffer = job_.diagonals[(d - 3 + k) % 5];
    checkpoint.values.insert(checkpoint.values.end(), buffer + r.lo, buffer + r.hi + 1);
  }
  checkpointBytes_ += count * sizeof(Lane) + sizeof(Checkpoint);
  checkpoints_.push_back(std::move(checkpoint));
  // Over the budget: keep every other checkpoint, twice as far apart.
  while (checkpointBytes_ > plan_.checkpointBudget && checkpoints_.size() > 1) {
    checkpointInterval_ *= 2;
    std::vector<Checkpoint> kept;
    checkpointBytes_ = 0;
    for (Checkpoint& c : checkpoints_) {
      if (c.d % static_cast<std::ptrdiff_t>(checkpointInterval_) != 0) continue;
      checkpointBytes_ += c.values.size() * sizeof(Lane) + sizeof(Checkpoint);
      kept.push_back(std::move(c));
    }
    checkpoints_ = std::move(kept);
  }
}

// Forgets what the rolling diagonals hold; Ensure rewrites whatever is read next.
template <class Lane>
void DiagonalPass<Lane>::ResetDiagonals() {
  for (CellRange& valid : valid_) valid = CellRange{};
}

template <class Lane>
std::int64_t DiagonalPass<Lane>::Run() {
  if (Whole()) return RunWhole();
  const std::ptrdiff_t last = n_ + m_;
  if (plan_.traceable) {
    // A first guess of the space: the steps of a band a few registers wide.
    const std::size_t guess =
        static_cast<std::size_t>(last + 1) * static_cast<std::size_t>(lanes_) / 2;
    if (plan_.stepBudget > 0) {
      steps_ =
          std::make_unique<Steps>(0, last + 1, std::min(guess, plan_.stepBudget), plan_.stepBudget);
    }
    checkpointInterval_ = plan_.checkpointInterval;
  }
  const auto laneBytes = static_cast<std::size_t>(lanes_ / 4);
  for (std::ptrdiff_t d = 0; d <= last; ++d) {
    // A cancelled Compare must not wait for the rest of a table of billions of cells; the
    // caller sees the request too and discards what was filled.
    if ((d & 255) == 0) {
      if (StopRequested()) return kUnreachable;
      AdvanceLongWork(static_cast<double>(cells_));
    }
    const std::size_t slot = static_cast<std::size_t>(d % 5);
    valid_[slot] = CellRange{};
    CellRange range = Candidates(d);
    if (!range.empty()) {
      std::uint8_t* stepOut = nullptr;
      if (steps_ != nullptr) {
        const auto registers = static_cast<std::size_t>((range.hi - range.lo + lanes_) / lanes_);
        stepOut = steps_->Add(d, range.lo, registers * laneBytes);
        if (stepOut == nullptr) {
          // Over the budget: from here on the checkpoints serve the traceback.
          steps_.reset();
          if (checkpointInterval_ == 0) {
            throw std::logic_error("alignment steps over their budget without checkpoints");
          }
        }
      }
      Compute(d, range, stepOut);
      if (plan_.rule == CellRule::Bounded) range = Trim(d, range);
    }
    ranges_[d] = range;
    valid_[slot] = range;
    if (plan_.rule == CellRule::Follow) Follow(d);
    if (checkpointInterval_ != 0 && d >= 4 && d < last &&
        d % static_cast<std::ptrdiff_t>(checkpointInterval_) == 0) {
      TakeCheckpoint(d);
    }
  }
  const CellRange end = ranges_[last];
  if (end.empty() || end.hi < n_ || end.lo > n_) return kUnreachable;
  const Lane cost = job_.diagonals[last % 5][n_];
  return cost >= DiagonalJob<Lane>::kInfinity ? kUnreachable : cost;
}

// Recomputes the stretch that holds diagonal d, from its checkpoint up to d, within the cone
// of cells a traceback entering at (i, d - i) can reach.
template <class Lane>
void DiagonalPass<Lane>::Recompute(std::ptrdiff_t d, std::ptrdiff_t i) {
  ThrowIfStopped();
  const auto after =
      std::lower_bound(checkpoints_.begin(), checkpoints_.end(), d,
                       [](const Checkpoint& c, std::ptrdiff_t diagonal) { return c.d < diagonal; });
  ResetDiagonals();
  std::ptrdiff_t first = 1;
  if (after != checkpoints_.begin()) {
    const Checkpoint& c = *(after - 1);
    std::size_t at = 0;
    for (std::ptrdiff_t k = 0; k < 4; ++k) {
      const CellRange r = c.ranges[k];
      const std::size_t slot = static_cast<std::size_t>((c.d - 3 + k) % 5);
      valid_[slot] = r;
      if (r.empty()) continue;
      std::copy(c.values.begin() + static_cast<std::ptrdiff_t>(at),
                c.values.begin() + static_cast<std::ptrdiff_t>(at) + (r.hi - r.lo + 1),
                job_.diagonals[slot] + r.lo);
      at += static_cast<std::size_t>(r.hi - r.lo + 1);
    }
    first = c.d + 1;
  }
  segmentFirst_ = first;
  segmentLast_ = d;
  segment_.assign(static_cast<std::size_t>(d - first + 1), CellRange{});
  std::size_t expected = 0;
  for (std::ptrdiff_t e = first; e <= d; ++e) {
    CellRange cone{static_cast<std::int32_t>(i - (d - e)), static_cast<std::int32_t>(i)};
    const CellRange r = Intersect(ranges_[e], cone);
    segment_[e - first] = r;
    if (!r.empty()) expected += static_cast<std::size_t>((r.hi - r.lo + lanes_) / lanes_);
  }
  const auto laneBytes = static_cast<std::size_t>(lanes_ / 4);
  if (segmentSteps_ == nullptr) {
    segmentSteps_ = std::make_unique<Steps>(first, d - first + 1, expected * laneBytes + 64,
                                            std::numeric_limits<std::size_t>::max());
  } else {
    segmentSteps_->Reset(first, d - first + 1);
  }
  for (std::ptrdiff_t e = first; e <= d; ++e) {
    const std::size_t slot = static_cast<std::size_t>(e % 5);
    valid_[slot] = CellRange{};
    const CellRange r = segment_[e - first];
    if (!r.empty()) {
      const auto registers = static_cast<std::size_t>((r.hi - r.lo + lanes_) / lanes_);
      Compute(e, r, segmentSteps_->Add(e, r.lo, registers * laneBytes));
    }
    valid_[slot] = r;
  }
}

template <class Lane>
DpStep DiagonalPass<Lane>::StepAt(std::ptrdiff_t i, std::ptrdiff_t j) {
  const std::ptrdiff_t d = i + j;
  if (wholeSteps_ != nullptr) {
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = 0;
    BandRange(d, n_, m_, job_.w, lo, hi);
    if (i < lo || i > hi) throw std::logic_error("alignment traceback left the computed band");
    const std::size_t k = static_cast<std::size_t>(i - lo);
    const std::uint8_t byte =
        wholeSteps_->data()[wholeOffsets_[static_cast<std::size_t>(d)] + k / 4];
    return static_cast<DpStep>((byte >> (2 * (k % 4))) & 3u);
  }
  const CellRange kept = ranges_[d];
  if (i < kept.lo || i > kept.hi) {
    throw std::logic_error("alignment traceback left the computed cells");
  }
  if (steps_ != nullptr) return steps_->At(d, i);
  const auto inSegment = [&] {
    if (d < segmentFirst_ || d > segmentLast_) return false;
    const CellRange r = segment_[d - segmentFirst_];
    return i >= r.lo && i <= r.hi;
  };
  if (!inSegment()) {
    Recompute(d, i);
    if (!inSegment()) throw std::logic_error("alignment traceback left its recomputed cells");
  }
  return segmentSteps_->At(d, i);
}

template <class Lane>
ColumnStarts DiagonalPass<Lane>::TraceBack() {
  if (steps_ == nullptr && wholeSteps_ == nullptr && checkpointInterval_ == 0) {
    throw std::logic_error("alignment pass kept nothing to trace back");
  }
  ColumnStarts starts =
      detail::TraceBack(static_cast<std::size_t>(n_), static_cast<std::size_t>(m_),
                        [this](std::ptrdiff_t i, std::ptrdiff_t j) { return StepAt(i, j); });
  segmentSteps_.reset();
  return starts;
}

template struct LaneText<std::int16_t>;
template struct LaneText<std::int32_t>;
template class DiagonalPass<std::int16_t>;
template class DiagonalPass<std::int32_t>;

}  // namespace sorowa::detail
