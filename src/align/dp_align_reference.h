#pragma once

// The plain full-table alignment that every faster path is checked against, and the
// traceback they all share.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "base/memory_budget.h"
#include "base/stop_request.h"

namespace sorowa {

enum class DpStep : std::uint8_t { SkipSource = 0, SkipTarget = 1, Pair = 2, Swap = 3 };

// Entry k is the index of the first Source element shown in column k; m+1 entries.
using ColumnStarts = std::vector<std::int32_t>;

namespace detail {

inline std::size_t ReferenceDpBytes(std::size_t n, std::size_t m) {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  if (m + 1 > kMax / (n + 1)) return kMax;
  std::size_t steps = (n + 1) * (m + 1);
  std::size_t rows = 3 * (m + 1) * sizeof(std::int32_t);
  return steps > kMax - rows ? kMax : steps + rows;
}

struct DpChoice {
  std::int32_t value;
  DpStep step;
};

// The cheapest of the three plain steps into a cell; ties prefer Pair, then SkipTarget, then
// SkipSource.
inline DpChoice ChooseStep(std::int32_t diagonal, std::int32_t left, std::int32_t above) {
  if (left < diagonal) {
    return above < left ? DpChoice{above, DpStep::SkipSource} : DpChoice{left, DpStep::SkipTarget};
  }
  if (above < diagonal) return {above, DpStep::SkipSource};
  return {diagonal, DpStep::Pair};
}

// Follows the stored steps from (n, m) back to the border. The border keeps SkipSource,
// which walks up column 0 and finally off row 0; columns the walk never reaches keep 0.
template <class StepAt>
ColumnStarts TraceBack(std::size_t n, std::size_t m, StepAt stepAt) {
  ColumnStarts starts(m + 1, 0);
  auto i = static_cast<std::ptrdiff_t>(n);
  auto j = static_cast<std::ptrdiff_t>(m);
  while (i >= 0 && j >= 0) {
    starts[j] = static_cast<std::int32_t>(i);
    DpStep step = (i == 0 || j == 0) ? DpStep::SkipSource : stepAt(i, j);
    switch (step) {
      case DpStep::SkipSource:
        --i;
        break;
      case DpStep::SkipTarget:
        --j;
        break;
      case DpStep::Pair:
        --i;
        --j;
        break;
      case DpStep::Swap:
        starts[j - 1] = static_cast<std::int32_t>(i - 1);
        i -= 2;
        j -= 2;
        break;
    }
  }
  return starts;
}

}  // namespace detail

// The plain full-table DP: one row-major pass storing every step, then the traceback.
// Everything faster is checked against this one.
//
// Ties prefer Pair, then SkipTarget, then SkipSource. A swap of two neighbours is only
// considered from (3, 3) on and only replaces a strictly cheaper choice; both quirks decide
// which of several least-cost alignments the user sees, so they must not change.
template <class T>
ColumnStarts DpAlignReference(std::span<const T> source, std::span<const T> target) {
  const std::size_t n = source.size();
  const std::size_t m = target.size();
  CheckDpMemory(n, m, detail::ReferenceDpBytes(n, m),
                static_cast<double>(n) * static_cast<double>(m) / 5e8);

  const std::size_t width = m + 1;
  std::vector<std::uint8_t> steps((n + 1) * width, static_cast<std::uint8_t>(DpStep::SkipSource));
  std::vector<std::int32_t> rowStorage(3 * width);
  std::int32_t* back2 = rowStorage.data();          // row i-2
  std::int32_t* back1 = rowStorage.data() + width;  // row i-1
  std::int32_t* row = rowStorage.data() + 2 * width;
  for (std::size_t j = 0; j <= m; ++j) back1[j] = static_cast<std::int32_t>(j);

  for (std::size_t i = 1; i <= n; ++i) {
    if ((i & 63) == 0) ThrowIfStopped();
    row[0] = static_cast<std::int32_t>(i);
    std::uint8_t* stepRow = steps.data() + i * width;
    const T& s1 = source[i - 1];
    for (std::size_t j = 1; j <= m; ++j) {
      const std::int32_t diagonal = back1[j - 1] + (s1 == target[j - 1] ? 0 : 1);
      const std::int32_t left = row[j - 1] + 1;
      const std::int32_t above = back1[j] + 1;
      auto [value, step] = detail::ChooseStep(diagonal, left, above);
      if (i >= 3 && j >= 3) {
        const std::int32_t swap = back2[j - 2] + 1 + (source[i - 2] == target[j - 1] ? 0 : 1) +
                                  (s1 == target[j - 2] ? 0 : 1);
        if (swap < value) {
          value = swap;
          step = DpStep::Swap;
        }
      }
      row[j] = value;
      stepRow[j] = static_cast<std::uint8_t>(step);
    }
    std::int32_t* oldest = back2;
    back2 = back1;
    back1 = row;
    row = oldest;
  }

  return detail::TraceBack(n, m, [&](std::ptrdiff_t i, std::ptrdiff_t j) {
    return static_cast<DpStep>(steps[static_cast<std::size_t>(i) * width + j]);
  });
}

}  // namespace sorowa
