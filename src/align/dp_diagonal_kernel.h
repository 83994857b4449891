#pragma once

// The vectorised fill of one anti-diagonal, shared by the per-instruction-set translation
// units. It is written against a small "Ops" class that wraps one register type, so the same
// code runs with 8, 16 or 32 lanes of 16-bit costs or with 32-bit costs.
//
// Only headers without inline library templates may be included here: this file is compiled
// with different -m flags per translation unit, and an inline function emitted by two of them
// could be merged by the linker into the one that needs the wider instruction set.

#include <cstddef>
#include <cstdint>

#include "align/dp_diagonal_job.h"

namespace sorowa::detail {

// Cell (i, d-i) of anti-diagonal d needs its left and upper neighbours from diagonal d-1, its
// diagonal neighbour from d-2 and the swap partner (i-2, j-2) from d-4. All five diagonals are
// indexed by i, so each of those is one unaligned load at a fixed offset, and the Target is
// stored reversed so that T[j-1] also moves forward with i. What lies outside the computed
// cells (borders, unreachable cells, the rule that keeps swaps out of rows and columns 1 and
// 2) is the caller's business: see DiagonalPass.
template <class Ops, bool kSteps>
[[gnu::always_inline]] inline void FillDiagonal(const DiagonalJob<typename Ops::Lane>& job,
                                                std::ptrdiff_t d, std::ptrdiff_t lo,
                                                std::ptrdiff_t hi, std::uint8_t* steps) {
  using Lane = typename Ops::Lane;
  using V = typename Ops::V;
  constexpr std::ptrdiff_t kLanes = Ops::kLanes;
  constexpr std::ptrdiff_t kStepBytes = kLanes / 4;
  const Lane* source = job.source;
  const Lane* reversedTarget = job.reversedTarget;
  Lane* current = job.diagonals[d % 5];
  const Lane* back1 = job.diagonals[(d + 4) % 5];
  const Lane* back2 = job.diagonals[(d + 3) % 5];
  const Lane* back4 = job.diagonals[(d + 1) % 5];

  const V one = Ops::Set1(1);
  const V three = Ops::Set1(3);
  const V allOnes = Ops::Set1(-1);
  const V infinity = Ops::Set1(DiagonalJob<Lane>::kInfinity);
  const std::ptrdiff_t targetShift = job.m - d;
  for (std::ptrdiff_t i = lo; i <= hi; i += kLanes) {
    const std::ptrdiff_t t = targetShift + i;  // reversedTarget[t] is T[j-1]
    const V s1 = Ops::Load(source + i - 1);
    const V s2 = Ops::Load(source + i - 2);
    const V t1 = Ops::Load(reversedTarget + t);
    const V t2 = Ops::Load(reversedTarget + t + 1);
    const V pairEqual = Ops::CmpEq(s1, t1);  // -1 where equal
    const V diagonal = Ops::Add(Ops::Add(Ops::Load(back2 + i - 1), one), pairEqual);
    const V left = Ops::Add(Ops::Load(back1 + i), one);
    const V above = Ops::Add(Ops::Load(back1 + i - 1), one);
    const V swap = Ops::Add(Ops::Add(Ops::Load(back4 + i - 2), three),
                            Ops::Add(Ops::CmpEq(s2, t1), Ops::CmpEq(s1, t2)));

    // Pair wins ties, then SkipTarget, then SkipSource; a swap only when strictly cheaper.
    const V diagonalOverLeft = Ops::CmpGt(diagonal, left);
    const V diagonalOverAbove = Ops::CmpGt(diagonal, above);
    V value = Ops::Min(diagonal, Ops::Min(left, above));
    const V swapWins = Ops::CmpGt(value, swap);
    value = Ops::Min(Ops::Min(value, swap), infinity);
    Ops::Store(current + i, value);

    if constexpr (kSteps) {
      const V leftOverAbove = Ops::CmpGt(left, above);
      const V pair = Ops::AndNot(Ops::Or(diagonalOverLeft, diagonalOverAbove), allOnes);
      const V skipTarget = Ops::AndNot(leftOverAbove, diagonalOverLeft);
      Ops::StoreSteps(Ops::Or(skipTarget, swapWins), Ops::Or(pair, swapWins), steps);
      steps += kStepBytes;
    }
  }
}

template <class Ops>
void FillDiagonalMaybeSteps(const DiagonalJob<typename Ops::Lane>& job, std::ptrdiff_t d,
                            std::ptrdiff_t lo, std::ptrdiff_t hi, std::uint8_t* steps) {
  if (steps != nullptr) {
    FillDiagonal<Ops, true>(job, d, lo, hi, steps);
  } else {
    FillDiagonal<Ops, false>(job, d, lo, hi, nullptr);
  }
}

// A whole band pass with every step. Positions just outside the computed range of a diagonal
// are filled with what a reader expects there: the border costs of row 0 and column 0, and
// kInfinity beyond the table or the band. Band ranges move by at most one position per
// diagonal, so two positions on either side cover every read. Before diagonal d reads
// diagonal d-4 as swap partner, its two border cells become kInfinity, which is what keeps
// swaps out of rows and columns 1 and 2; by then no other diagonal reads them.
template <class Ops>
std::int64_t FillDiagonals(const DiagonalJob<typename Ops::Lane>& job) {
  using Lane = typename Ops::Lane;
  const Lane inf = DiagonalJob<Lane>::kInfinity;
  const std::ptrdiff_t n = job.n;
  const std::ptrdiff_t m = job.m;
  auto outsideValue = [&](std::ptrdiff_t i, std::ptrdiff_t d) -> Lane {
    const std::ptrdiff_t j = d - i;
    if (i < 0 || j < 0 || i > n || j > m) return inf;
    if (i == 0) return static_cast<Lane>(j < inf ? j : inf);
    if (j == 0) return static_cast<Lane>(i < inf ? i : inf);
    return inf;  // inside the table but outside the band
  };

  Lane* current = nullptr;
  for (std::ptrdiff_t d = 0; d <= n + m; ++d) {
    // A cancelled Compare must not wait for the rest of a table of billions of cells; the
    // caller sees the request too and discards what was filled.
    if ((d & 255) == 0 && job.stopRequested()) return 0;
    current = job.diagonals[d % 5];
    Lane* back4 = job.diagonals[(d + 1) % 5];
    if (d >= 4) {
      back4[0] = inf;
      if (d - 4 <= n) back4[d - 4] = inf;
    }
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = 0;
    BandRange(d, n, m, job.w, lo, hi);
    if (lo <= hi) FillDiagonal<Ops, true>(job, d, lo, hi, job.steps + job.offsets[d]);
    // Written after the stores, which may run past hi by up to a register's worth.
    const std::ptrdiff_t after = hi < lo ? lo - 1 : hi;
    current[lo - 2] = outsideValue(lo - 2, d);
    current[lo - 1] = outsideValue(lo - 1, d);
    current[after + 1] = outsideValue(after + 1, d);
    current[after + 2] = outsideValue(after + 2, d);
  }
  return current[n];
}

}  // namespace sorowa::detail
