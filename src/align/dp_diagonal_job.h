#pragma once

// What the vectorised anti-diagonal fill works on, and the per-instruction-set entry points.
// Kept free of library templates because the kernels include it (see dp_diagonal_kernel.h).

#include <cstddef>
#include <cstdint>

namespace sorowa::detail {

// Lane is std::int16_t or std::int32_t: costs and symbols share the lane width so that one
// compare instruction serves both.
template <class Lane>
struct DiagonalJob {
  // Unreachable: outside the table or outside the cells a pass computes. Every computed
  // value is capped here, so a chain of unreachable cells never overflows a lane, and
  // three more still fit.
  static constexpr Lane kInfinity = sizeof(Lane) == 2 ? 32760 : (1 << 29);

  const Lane* source;          // source[k] = S[k]; readable from -2 to n + kDiagonalPad
  const Lane* reversedTarget;  // reversedTarget[k] = T[m-1-k]; readable from -2 to m + pad
  std::ptrdiff_t m;
  Lane* diagonals[5];  // rolling costs, diagonal d in diagonals[d % 5], indexed by i;
                       // readable and writable from -kDiagonalPad to n + kDiagonalPad, all
                       // kInfinity before a whole pass

  // Only for a whole pass (FillDiagonals*):
  std::ptrdiff_t n;
  std::ptrdiff_t w;            // only cells with |i - j| <= w; at least n + m for the table
  std::uint8_t* steps;         // every step, diagonal by diagonal
  const std::size_t* offsets;  // byte offset of each diagonal's steps; n + m + 1 entries
  bool (*stopRequested)();     // asked now and then; when it says yes the fill ends early
};

inline constexpr std::ptrdiff_t kDiagonalPad = 64;
inline constexpr std::ptrdiff_t kMax16BitLength = 32000;

// The cells of anti-diagonal d = i + j in a band: 1 <= i <= n, 1 <= j <= m and
// |i - j| = |2i - d| <= w. Empty when hi < lo. Static so that the copy compiled for AVX2 is
// never shared with callers compiled for the baseline.
static inline void BandRange(std::ptrdiff_t d, std::ptrdiff_t n, std::ptrdiff_t m, std::ptrdiff_t w,
                             std::ptrdiff_t& lo, std::ptrdiff_t& hi) {
  lo = 1;
  if (d - m > lo) lo = d - m;
  const std::ptrdiff_t bandLo = (d - w + 1) >> 1;  // ceil((d - w) / 2), also when negative
  if (bandLo > lo) lo = bandLo;
  hi = n;
  if (d - 1 < hi) hi = d - 1;
  const std::ptrdiff_t bandHi = (d + w) >> 1;
  if (bandHi < hi) hi = bandHi;
}

// Each computes cells lo..hi (lo <= hi) of anti-diagonal d = i + j into diagonals[d % 5]
// from diagonals d-1, d-2 and d-4, which must hold the right values (or kInfinity) at
// positions lo-2 .. hi. Whole registers are stored, so up to a register's worth of positions
// after hi are overwritten with meaningless values. When steps is not null, the step of
// each cell from lo on goes there, 2 bits each (bit 0 SkipTarget or Swap, bit 1 Pair or
// Swap), one register's cells per lanes/4 bytes.
// A whole pass over a band (or the table) keeping every step, in one call: the least
// overhead per diagonal, for tables whose steps all fit. Returns the cost at (n, m).
std::int64_t FillDiagonalsSse2(const DiagonalJob<std::int16_t>& job);
std::int64_t FillDiagonalsSse2(const DiagonalJob<std::int32_t>& job);
std::int64_t FillDiagonalsAvx2(const DiagonalJob<std::int16_t>& job);
std::int64_t FillDiagonalsAvx2(const DiagonalJob<std::int32_t>& job);

void FillDiagonalSse2(const DiagonalJob<std::int16_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps);
void FillDiagonalSse2(const DiagonalJob<std::int32_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps);
void FillDiagonalAvx2(const DiagonalJob<std::int16_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps);
void FillDiagonalAvx2(const DiagonalJob<std::int32_t>& job, std::ptrdiff_t d, std::ptrdiff_t lo,
                      std::ptrdiff_t hi, std::uint8_t* steps);

}  // namespace sorowa::detail
