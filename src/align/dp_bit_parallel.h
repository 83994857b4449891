#pragma once

// The alignment of a table with one side of at most 128 elements, one or two machine words
// per column: the unit tables and the character tables of all but long lines. The costs come
// from the bit-vector recurrence for edit distance with adjacent swaps, which does in a few
// word operations what the plain DP does cell by cell, and which leaves each column's cost
// differences to the row above and to the column before. Those differences are all the
// traceback needs to pick its steps exactly as the reference does, whatever the ties.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "align/dp_align_reference.h"
#include "base/memory_budget.h"
#include "base/stop_request.h"

namespace sorowa {

// The longest side (of the shorter one) that the bit-parallel path takes: two words where
// the compiler has 128-bit integers, one elsewhere.
#if defined(__SIZEOF_INT128__)
inline constexpr std::size_t kBitParallelLength = 128;
#else
inline constexpr std::size_t kBitParallelLength = 64;
#endif

// What the bit vectors keep for sequences of n and m elements, one of them short: four words
// for each element of the other.
inline std::size_t BitParallelBytes(std::size_t n, std::size_t m) {
  const std::size_t wordBytes = std::min(n, m) <= 64 ? 8 : 16;
  return (std::max(n, m) + 1) * 4 * wordBytes;
}

// Whether the bit vectors take sequences of n and m elements: one side short enough, and
// their columns within the memory a table may take. Past that the general paths, which would
// need more, refuse the table with their estimate of its time as well as its memory.
inline bool FitsBitParallel(std::size_t n, std::size_t m) {
  return std::min(n, m) <= kBitParallelLength && BitParallelBytes(n, m) <= DpMemoryLimit();
}

namespace detail {

#if defined(__SIZEOF_INT128__)
__extension__ using BitWord128 = unsigned __int128;
#endif

template <class Word>
Word LowRows(std::size_t rows) {
  return rows >= 8 * sizeof(Word) ? ~Word{0} : (Word{1} << rows) - 1;
}

// Which positions of a sequence of at most a word's width of elements hold each element,
// found by a small open-addressing table: a slot names the first position of its element,
// and a used slot never has an empty mask.
template <class T, class Word>
class PositionMasks {
 public:
  explicit PositionMasks(std::span<const T> pattern) : pattern_(pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      std::size_t slot = Slot(pattern[i]);
      while (masks_[slot] != 0 && pattern[first_[slot]] != pattern[i]) slot = (slot + 1) % kSlots;
      if (masks_[slot] == 0) first_[slot] = static_cast<std::uint8_t>(i);
      masks_[slot] |= Word{1} << i;
    }
  }

  Word Of(const T& element) const {
    for (std::size_t slot = Slot(element);; slot = (slot + 1) % kSlots) {
      if (masks_[slot] == 0) return 0;
      if (pattern_[first_[slot]] == element) return masks_[slot];
    }
  }

 private:
  static constexpr int kSlotBits = sizeof(Word) == 8 ? 7 : 8;
  static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;  // at most half full
  static std::size_t Slot(const T& element) {
    if constexpr (std::is_integral_v<T>) {
      return (static_cast<std::uint32_t>(element) * 0x9E3779B1u) >> (32 - kSlotBits);
    } else {
      // A text's length and its first and last code units tell most units of a line apart,
      // and cost the same whatever its length; the few that share them are told apart by
      // comparing, in a table of at most half its slots.
      const std::uint32_t ends =
          element.empty() ? 0u : (std::uint32_t{element.front()} << 16 | element.back());
      return ((ends ^ static_cast<std::uint32_t>(element.size()) * 0x85EBCA6Bu) * 0x9E3779B1u) >>
             (32 - kSlotBits);
    }
  }

  std::span<const T> pattern_;
  std::uint8_t first_[kSlots];  // read only where the mask is set
  Word masks_[kSlots] = {};
};

// The cost differences of one column of the table of pattern (rows, at most a word's width)
// against text: bit r-1 tells how row r's cost differs from the row above (up, down: one
// more, one less) and from the same row of the column before (more, less).
template <class Word>
struct BitColumn {
  Word up;
  Word down;
  Word more;
  Word less;

  static int Difference(Word plus, Word minus, std::size_t row) {
    return static_cast<int>((plus >> (row - 1)) & 1) - static_cast<int>((minus >> (row - 1)) & 1);
  }
  int FromAbove(std::size_t row) const { return Difference(up, down, row); }
  int FromLeft(std::size_t row) const { return Difference(more, less, row); }
};

template <class Word>
using BitColumns = std::unique_ptr<BitColumn<Word>[]>;

template <class Word, class T>
BitColumns<Word> FillBitColumns(std::span<const T> pattern, std::span<const T> text) {
  const std::size_t x = text.size();
  const Word all = LowRows<Word>(pattern.size());
  const PositionMasks<T, Word> masks(pattern);
  // Every column is written below; zeroing them first would only cost time.
  BitColumns<Word> columns = std::make_unique_for_overwrite<BitColumn<Word>[]>(x + 1);
  Word up = all;  // column 0 counts the rows
  Word down = 0;
  Word zeroPrevious = 0;   // rows whose cost equals the diagonal's, one column back
  Word equalPrevious = 0;  // the previous column's matches
  columns[0] = {up, down, 0, 0};
  for (std::size_t j = 1; j <= x; ++j) {
    if ((j & 0xFFFF) == 0) ThrowIfStopped();
    const Word equal = masks.Of(text[j - 1]);
    Word zero = (((equal & up) + up) ^ up) | equal | down;
    // A swap of neighbours counts like a match of the diagonal, from row and column 3 on.
    if (j >= 3) zero |= ((~zeroPrevious & equal) << 1) & equalPrevious & ~Word{3};
    const Word more = (down | ~(zero | up)) & all;
    const Word less = up & zero;
    const Word shifted = (more << 1) | 1;  // row 0 costs one more per column
    down = shifted & zero & all;
    up = ((less << 1) | ~(zero | shifted)) & all;
    columns[j] = {up, down, more, less};
    zeroPrevious = zero;
    equalPrevious = equal;
  }
  return columns;
}

// The reference's steps back from (n, m), read from the columns' differences; kSourceInWords
// tells which side the columns' rows are. Every cost is taken relative to the cell's own.
template <bool kSourceInWords, class Word, class T>
ColumnStarts TraceInWords(std::span<const T> source, std::span<const T> target,
                          const BitColumn<Word>* columns) {
  // Cost(i, j) - Cost(i - 1, j) and Cost(i, j) - Cost(i, j - 1); row 0 costs j.
  const auto fromAbove = [columns](std::size_t i, std::size_t j) {
    if constexpr (kSourceInWords) {
      return columns[j].FromAbove(i);
    } else {
      return columns[i].FromLeft(j);
    }
  };
  const auto fromLeft = [columns](std::size_t i, std::size_t j) {
    if constexpr (kSourceInWords) {
      return i == 0 ? 1 : columns[j].FromLeft(i);
    } else {
      return columns[i].FromAbove(j);
    }
  };
  return TraceBack(source.size(), target.size(), [&](std::ptrdiff_t si, std::ptrdiff_t sj) {
    const auto i = static_cast<std::size_t>(si);
    const auto j = static_cast<std::size_t>(sj);
    const T& s1 = source[i - 1];
    // Equal elements pair: a cell never costs less than its diagonal neighbour, nor more
    // than one above any neighbour, and a swap costs at least one more than the cell two
    // back on the diagonal, so nothing beats the free diagonal step.
    if (s1 == target[j - 1]) return DpStep::Pair;
    const int above = fromAbove(i, j);
    const std::int32_t diagonal = 1 - above - fromLeft(i - 1, j);
    const auto [value, step] = ChooseStep(diagonal, 1 - fromLeft(i, j), 1 - above);
    // A swap costs one more than the cell two back on the diagonal only where the elements
    // cross, and two or three more elsewhere, which the two diagonal steps never exceed.
    if (i >= 3 && j >= 3 && source[i - 2] == target[j - 1] && s1 == target[j - 2]) {
      const std::int32_t swap =
          1 - above - fromAbove(i - 1, j) - fromLeft(i - 2, j) - fromLeft(i - 2, j - 1);
      if (swap < value) return DpStep::Swap;
    }
    return step;
  });
}

template <class Word, class T>
ColumnStarts AlignInWords(std::span<const T> source, std::span<const T> target) {
  const std::size_t n = source.size();
  const std::size_t m = target.size();
  CheckDpMemory(n, m, BitParallelBytes(n, m));
  // Either side may be the one in the words: the costs are the same seen from either, with
  // the differences to the row above and to the column before trading places.
  if (n <= 8 * sizeof(Word)) {
    return TraceInWords<true>(source, target, FillBitColumns<Word>(source, target).get());
  }
  return TraceInWords<false>(source, target, FillBitColumns<Word>(target, source).get());
}

}  // namespace detail

// The reference's alignment, for sequences one of which has at most kBitParallelLength
// elements.
template <class T>
ColumnStarts DpAlignBitParallel(std::span<const T> source, std::span<const T> target) {
  static_assert((std::is_integral_v<T> && sizeof(T) <= sizeof(std::uint32_t)) ||
                    std::is_same_v<T, std::u16string_view>,
                "the bit-parallel alignment hashes integers of at most 32 bits or unit texts");
  if (std::min(source.size(), target.size()) > kBitParallelLength) {
    throw std::invalid_argument("the bit-parallel alignment needs a side of at most " +
                                std::to_string(kBitParallelLength) + " elements");
  }
#if defined(__SIZEOF_INT128__)
  if (std::min(source.size(), target.size()) > 64) {
    return detail::AlignInWords<detail::BitWord128>(source, target);
  }
#endif
  return detail::AlignInWords<std::uint64_t>(source, target);
}

}  // namespace sorowa
