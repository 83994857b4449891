#pragma once

// The alignment behind both DP tables. Elements are anything with ==; the character table
// aligns code units, the unit table unit texts (numbered first when both lists are long), so
// both share one engine.
//
// DpAlign picks one of four ways to get the same answer: word-wide bit vectors when one side
// is short, an exact band around the main diagonal for nearly equal sequences, the cells that
// a lower bound of the remaining cost leaves for similar ones, and the full table filled with
// SIMD along anti-diagonals for unrelated ones. The last three store steps in 2 bits, and
// when those would not fit, only checkpoints from which the traceback recomputes them. The
// plain reference takes elements that are not integers, and small tables whose bit vectors
// would not fit the memory limit.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "align/dp_align_reference.h"
#include "align/dp_bit_parallel.h"

namespace sorowa {

enum class DpInstructionSet { Best, Sse2, Avx2 };

// Knobs of the fast paths; the defaults are what DpAlign uses. Tests and benchmarks force the
// others to reach every code path.
struct DpFastOptions {
  DpInstructionSet instructionSet = DpInstructionSet::Best;
  // 32-bit costs even where 16 bits would do (they are needed above 32,000 elements).
  bool wideCosts = false;
  // The first band half-width tried; 0 picks one from the lengths. Raised to |n - m| if lower.
  std::size_t firstBandWidth = 0;
  // Cells per diagonal of the pass that finds an upper bound for the bounded path; 0 picks.
  std::size_t followWidth = 0;
  // Not 0: keep no steps, only checkpoints this many diagonals apart, thinned to half as many
  // whenever they take more than checkpointBytes (when that is not 0).
  std::size_t checkpointInterval = 0;
  std::size_t checkpointBytes = 0;
};

// Whether this processor runs the AVX2 kernels.
bool DpHasAvx2();

namespace detail {

enum class DiagonalStrategy { Full, Band, Bounded, Auto };

// The symbols are any integers compared for equality; fitsIn16Bits says they are all below
// 65536, which 16-bit lanes need.
ColumnStarts AlignDiagonals(std::span<const std::uint32_t> source,
                            std::span<const std::uint32_t> target, bool fitsIn16Bits,
                            DiagonalStrategy strategy, const DpFastOptions& options);

// Tables up to this many cells go to the reference: setting up the fast paths costs more.
inline constexpr std::size_t kReferenceCells = 36 * 36;

// Copies both sequences as 32-bit symbols that are equal exactly when the elements are.
// Values of 65536 and more are renumbered densely, so that 16-bit lanes usually suffice.
template <class T>
bool ToSymbols(std::span<const T> source, std::span<const T> target,
               std::vector<std::uint32_t>& sourceSymbols,
               std::vector<std::uint32_t>& targetSymbols) {
  static_assert(std::is_integral_v<T> && sizeof(T) <= sizeof(std::uint32_t),
                "the fast alignment needs integer elements of at most 32 bits");
  sourceSymbols.assign(source.begin(), source.end());
  targetSymbols.assign(target.begin(), target.end());
  if constexpr (sizeof(T) <= 2) {
    if constexpr (std::is_signed_v<T>) {
      for (auto* symbols : {&sourceSymbols, &targetSymbols}) {
        for (std::uint32_t& x : *symbols) x &= 0xFFFFu;
      }
    }
    return true;
  } else {
    const auto wide = [](std::uint32_t x) { return x > 0xFFFFu; };
    if (std::none_of(sourceSymbols.begin(), sourceSymbols.end(), wide) &&
        std::none_of(targetSymbols.begin(), targetSymbols.end(), wide)) {
      return true;
    }
    std::vector<std::uint32_t> values(sourceSymbols);
    values.insert(values.end(), targetSymbols.begin(), targetSymbols.end());
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    for (auto* symbols : {&sourceSymbols, &targetSymbols}) {
      for (std::uint32_t& x : *symbols) {
        x = static_cast<std::uint32_t>(std::lower_bound(values.begin(), values.end(), x) -
                                       values.begin());
      }
    }
    return values.size() <= 0x10000u;
  }
}

template <class T>
ColumnStarts AlignDiagonalsOf(std::span<const T> source, std::span<const T> target,
                              DiagonalStrategy strategy, const DpFastOptions& options) {
  std::vector<std::uint32_t> sourceSymbols;
  std::vector<std::uint32_t> targetSymbols;
  const bool fitsIn16Bits = ToSymbols(source, target, sourceSymbols, targetSymbols);
  return AlignDiagonals(sourceSymbols, targetSymbols, fitsIn16Bits, strategy, options);
}

}  // namespace detail

// The full table filled with SIMD, whatever the lengths. Requires both sequences non-empty.
template <class T>
ColumnStarts DpAlignSimd(std::span<const T> source, std::span<const T> target,
                         const DpFastOptions& options = {}) {
  return detail::AlignDiagonalsOf(source, target, detail::DiagonalStrategy::Full, options);
}

// Only the band around the main diagonal, widened until it provably holds the alignment of
// the full table. Requires both sequences non-empty.
template <class T>
ColumnStarts DpAlignBand(std::span<const T> source, std::span<const T> target,
                         const DpFastOptions& options = {}) {
  return detail::AlignDiagonalsOf(source, target, detail::DiagonalStrategy::Band, options);
}

// Only the cells through which a path may pass that costs no more than one already found,
// by a lower bound of what the rest of the sequences costs. Requires both non-empty.
template <class T>
ColumnStarts DpAlignBounded(std::span<const T> source, std::span<const T> target,
                            const DpFastOptions& options = {}) {
  return detail::AlignDiagonalsOf(source, target, detail::DiagonalStrategy::Bounded, options);
}

// The alignment the tables use. Requires both sequences to be non-empty.
template <class T>
ColumnStarts DpAlign(std::span<const T> source, std::span<const T> target) {
  if constexpr (std::is_integral_v<T> && sizeof(T) <= sizeof(std::uint32_t)) {
    const std::size_t n = source.size();
    const std::size_t m = target.size();
    if (FitsBitParallel(n, m)) return DpAlignBitParallel(source, target);
    if (n > detail::kReferenceCells / std::max<std::size_t>(m, 1)) {
      return detail::AlignDiagonalsOf(source, target, detail::DiagonalStrategy::Auto, {});
    }
  }
  return DpAlignReference(source, target);
}

inline void AppendElementText(std::u16string& piece, char16_t element) { piece += element; }
inline void AppendElementText(std::u16string& piece, const std::u16string& element) {
  piece += element;
}

// Reads the column starts back as one Source piece per Target column: a skipped Source
// element joins the next column, and everything after the last partner joins the last one.
template <class T>
std::vector<std::u16string> GroupSourcePieces(std::span<const T> source,
                                              const ColumnStarts& columnStarts, std::size_t m) {
  const auto n = static_cast<std::int64_t>(source.size());
  std::vector<std::u16string> pieces(m);
  for (std::size_t k = 0; k < m; ++k) {
    const std::int64_t start = columnStarts[k];
    if (start < 0 || start >= n) continue;
    const std::int64_t end = k + 1 < m ? std::min<std::int64_t>(columnStarts[k + 1], n) : n;
    for (std::int64_t x = start; x < end; ++x) AppendElementText(pieces[k], source[x]);
  }
  return pieces;
}

}  // namespace sorowa
