#pragma once

// What the vectorised anti-diagonal fill works on, and the per-instruction-set entry points.
// Kept free of library templates because the kernels include it (see dp_diagonal_kernel.h).

#include <cstddef>
#include <cstdint>

namespace sorowa::detail {

// Lane is std::int16_t or std::int32_t: costs and symbols share the lane width so that one
// compare instruction serves both. 16-bit lanes hold any cost of lines up to kMax16BitLength.
template <class Lane>
struct DiagonalJob {
  // Unreachable: outside the table or the band. Three more still fit in a lane.
  static constexpr Lane kInfinity = sizeof(Lane) == 2 ? 32760 : (1 << 29);

  const Lane* source;          // source[k] = S[k]; readable from -2 to n + kDiagonalPad
  const Lane* reversedTarget;  // reversedTarget[k] = T[m-1-k]; readable from -2 to m + pad
  std::ptrdiff_t n;
  std::ptrdiff_t m;
  std::ptrdiff_t w;     // band: only cells with |i - j| <= w; at least n + m for the full table
  Lane* diagonals[5];   // rolling costs, indexed by i; readable from -kDiagonalPad, start at
                        // kInfinity
  std::uint8_t* steps;  // 2 bits per cell, diagonal by diagonal
  const std::size_t* offsets;  // byte offset of each diagonal's steps; n + m + 1 entries
  bool (*stopRequested)();     // asked now and then; when it says yes the fill ends early
};

inline constexpr std::ptrdiff_t kDiagonalPad = 64;
inline constexpr std::ptrdiff_t kMax16BitLength = 32000;

// The cells of anti-diagonal d = i + j that are computed: 1 <= i <= n, 1 <= j <= m and
// |i - j| = |2i - d| <= w. Empty when hi < lo. Static so that the copy compiled for AVX2 is
// never shared with callers compiled for the baseline.
static inline void DiagonalRange(std::ptrdiff_t d, std::ptrdiff_t n, std::ptrdiff_t m,
                                 std::ptrdiff_t w, std::ptrdiff_t& lo, std::ptrdiff_t& hi) {
  lo = 1;
  if (d - m > lo) lo = d - m;
  const std::ptrdiff_t bandLo = (d - w + 1) >> 1;  // ceil((d - w) / 2), also when negative
  if (bandLo > lo) lo = bandLo;
  hi = n;
  if (d - 1 < hi) hi = d - 1;
  const std::ptrdiff_t bandHi = (d + w) >> 1;
  if (bandHi < hi) hi = bandHi;
}

// Each fills the whole job and returns the cost at (n, m). The step bytes of a diagonal are
// the cells from lo on, 2 bits each (bit 0 SkipTarget or Swap, bit 1 Pair or Swap), padded to
// whole registers: DiagonalLanes(...) / 4 bytes per register.
std::int64_t FillDiagonalsSse2(const DiagonalJob<std::int16_t>& job);
std::int64_t FillDiagonalsSse2(const DiagonalJob<std::int32_t>& job);
std::int64_t FillDiagonalsAvx2(const DiagonalJob<std::int16_t>& job);
std::int64_t FillDiagonalsAvx2(const DiagonalJob<std::int32_t>& job);

}  // namespace sorowa::detail
