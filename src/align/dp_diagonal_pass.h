#pragma once

// One pass of the vectorised anti-diagonal fill over a chosen set of cells, and the
// traceback of its result in bounded memory. dp_diagonal.cpp decides which passes to run.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "align/dp_align_reference.h"
#include "align/dp_diagonal_job.h"
#include "align/dp_suffix_bound.h"

namespace sorowa::detail {

// The cells i = lo .. hi of one anti-diagonal; empty when hi < lo.
struct CellRange {
  std::int32_t lo = 1;
  std::int32_t hi = 0;
  bool empty() const { return hi < lo; }
};

// Which cells of each anti-diagonal a pass computes; every other cell counts as unreachable.
enum class CellRule {
  Table,   // all of them
  Band,    // those with |i - j| <= width
  Follow,  // width cells around the cheapest cell of the diagonals before: only an upper
           // bound of the cost, never traced back
  Bounded  // those on which a path of cost <= bound may pass, by the suffix bound
};

struct PassPlan {
  CellRule rule = CellRule::Table;
  std::ptrdiff_t width = 0;
  std::int64_t bound = 0;
  bool avx2 = false;
  // Keep what the traceback needs: the steps while they take at most stepBudget bytes, and
  // (when checkpointInterval is not 0) the costs of four diagonals every so many, thinned to
  // half as many whenever they take more than checkpointBudget.
  bool traceable = false;
  std::size_t stepBudget = 0;
  std::size_t checkpointInterval = 0;
  std::size_t checkpointBudget = 0;
};

// The symbols as lanes, padded so that the kernels may read past both ends.
template <class Lane>
struct LaneText {
  LaneText(std::span<const std::uint32_t> source, std::span<const std::uint32_t> target);
  std::vector<Lane> source;
  std::vector<Lane> reversedTarget;
  std::ptrdiff_t n;
  std::ptrdiff_t m;
};

inline constexpr std::int64_t kUnreachable = -1;

class StepBlock;

template <class Lane>
class DiagonalPass {
 public:
  // bound is only used by CellRule::Bounded; the pass moves copies of it around.
  DiagonalPass(const LaneText<Lane>& text, const PassPlan& plan, const SuffixBound* bound);
  ~DiagonalPass();
  DiagonalPass(const DiagonalPass&) = delete;
  DiagonalPass& operator=(const DiagonalPass&) = delete;

  // Fills the pass and returns the cost at (n, m), or kUnreachable when no computed path
  // reaches it. Returns early, with kUnreachable, when the Compare is being stopped.
  std::int64_t Run();
  // The column starts along the stored steps; only after a traceable Run.
  ColumnStarts TraceBack();

  // How many cells the pass computed.
  std::size_t cells() const { return cells_; }

 private:
  struct Checkpoint;
  class Steps;

  using Fill = void (*)(const DiagonalJob<Lane>&, std::ptrdiff_t, std::ptrdiff_t, std::ptrdiff_t,
                        std::uint8_t*);

  bool Whole() const;
  std::int64_t RunWhole();
  Lane Outside(std::ptrdiff_t i, std::ptrdiff_t d) const;
  void Ensure(std::ptrdiff_t d, std::ptrdiff_t from, std::ptrdiff_t to);
  void Compute(std::ptrdiff_t d, CellRange range, std::uint8_t* steps);
  CellRange TableRange(std::ptrdiff_t d) const;
  CellRange Candidates(std::ptrdiff_t d);
  CellRange Trim(std::ptrdiff_t d, CellRange range);
  void Follow(std::ptrdiff_t d);
  void TakeCheckpoint(std::ptrdiff_t d);
  void ResetDiagonals();
  void Recompute(std::ptrdiff_t d, std::ptrdiff_t i);
  DpStep StepAt(std::ptrdiff_t i, std::ptrdiff_t j);

  const LaneText<Lane>& text_;
  PassPlan plan_;
  std::ptrdiff_t n_;
  std::ptrdiff_t m_;
  Fill fill_;
  std::ptrdiff_t lanes_;
  std::vector<Lane> diagonalStore_;
  DiagonalJob<Lane> job_{};
  CellRange valid_[5];  // positions of each rolling diagonal that hold the right values

  std::vector<CellRange> ranges_;  // the cells each diagonal kept
  std::size_t cells_ = 0;

  // CellRule::Bounded: the bound at the low and high end of the diagonal, along row 0 and
  // along column 0.
  std::unique_ptr<SuffixBound> low_;
  std::unique_ptr<SuffixBound> high_;
  std::unique_ptr<SuffixBound> row0_;
  std::unique_ptr<SuffixBound> column0_;
  bool row0Alive_[2] = {true, true};  // cells (0, d-2) and (0, d-1)
  bool column0Alive_[2] = {true, true};

  // CellRule::Follow
  std::ptrdiff_t centre_ = 1;
  std::ptrdiff_t aim_ = 1;

  // A whole pass keeps every step in one block, each diagonal's from its first cell on.
  std::vector<std::size_t> wholeOffsets_;
  std::unique_ptr<StepBlock> wholeSteps_;

  std::unique_ptr<Steps> steps_;  // forward steps, while they fit
  std::vector<Checkpoint> checkpoints_;
  std::size_t checkpointBytes_ = 0;
  std::size_t checkpointInterval_ = 0;

  // The traceback's recomputed segment: diagonals first .. last, cells segment_[d - first].
  std::unique_ptr<Steps> segmentSteps_;
  std::vector<CellRange> segment_;
  std::ptrdiff_t segmentFirst_ = 0;
  std::ptrdiff_t segmentLast_ = -1;
};

extern template struct LaneText<std::int16_t>;
extern template struct LaneText<std::int32_t>;
extern template class DiagonalPass<std::int16_t>;
extern template class DiagonalPass<std::int32_t>;

}  // namespace sorowa::detail
