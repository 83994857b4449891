#include "align/suffix_array.h"

#include <algorithm>
#include <cstddef>

#include "base/stop_request.h"

namespace sorowa {
namespace {

using Index = std::int32_t;

// Below this length sorting the suffixes directly is quicker than setting up the buckets.
constexpr std::size_t kDirectSortLength = 12;

std::vector<Index> SortSuffixesDirectly(std::span<const Index> text) {
  std::vector<Index> order(text.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<Index>(i);
  std::sort(order.begin(), order.end(), [text](Index a, Index b) {
    return std::lexicographical_compare(text.begin() + a, text.end(), text.begin() + b, text.end());
  });
  return order;
}

// Suffix i is S-type when it is smaller than suffix i + 1, else L-type; the last suffix is
// L-type (it is greater than the empty one). An LMS position is an S-type position whose left
// neighbour is L-type. Sorting the LMS suffixes is enough: every other suffix is induced from
// them by two scans over the buckets of the first symbol, in which L-type suffixes come first.
std::vector<Index> InducedSort(std::span<const Index> text, Index alphabetSize) {
  const Index n = static_cast<Index>(text.size());
  if (text.size() < kDirectSortLength) return SortSuffixesDirectly(text);
  ThrowIfStopped();  // a few hundred milliseconds a level on lines of megabytes

  std::vector<std::uint8_t> sType(n, 0);
  for (Index i = n - 2; i >= 0; --i) {
    sType[i] = text[i] == text[i + 1] ? sType[i + 1] : text[i] < text[i + 1];
  }

  // bucketStart[c]: first slot of symbol c; sPartStart[c]: first slot of its S-type part.
  std::vector<Index> bucketStart(alphabetSize + 1, 0);
  std::vector<Index> sPartStart(alphabetSize + 1, 0);
  for (Index i = 0; i < n; ++i) {
    if (sType[i]) {
      ++bucketStart[text[i] + 1];
    } else {
      ++sPartStart[text[i]];
    }
  }
  for (Index c = 0; c <= alphabetSize; ++c) {
    sPartStart[c] += bucketStart[c];
    if (c < alphabetSize) bucketStart[c + 1] += sPartStart[c];
  }

  std::vector<Index> suffixes(n);
  std::vector<Index> cursor(alphabetSize + 1);
  // Places the LMS suffixes in the given order, then induces the L-type suffixes left to
  // right and the S-type ones right to left.
  const auto induce = [&](const std::vector<Index>& lms) {
    std::fill(suffixes.begin(), suffixes.end(), -1);
    std::copy(sPartStart.begin(), sPartStart.end(), cursor.begin());
    for (Index d : lms) suffixes[cursor[text[d]]++] = d;
    std::copy(bucketStart.begin(), bucketStart.end(), cursor.begin());
    suffixes[cursor[text[n - 1]]++] = n - 1;
    for (Index i = 0; i < n; ++i) {
      const Index v = suffixes[i];
      if (v >= 1 && !sType[v - 1]) suffixes[cursor[text[v - 1]]++] = v - 1;
    }
    std::copy(bucketStart.begin(), bucketStart.end(), cursor.begin());
    for (Index i = n - 1; i >= 0; --i) {
      const Index v = suffixes[i];
      if (v >= 1 && sType[v - 1]) suffixes[--cursor[text[v - 1] + 1]] = v - 1;
    }
  };

  std::vector<Index> lmsNumber(n, -1);
  std::vector<Index> lms;
  for (Index i = 1; i < n; ++i) {
    if (!sType[i - 1] && sType[i]) {
      lmsNumber[i] = static_cast<Index>(lms.size());
      lms.push_back(i);
    }
  }
  const Index lmsCount = static_cast<Index>(lms.size());
  induce(lms);
  if (lmsCount == 0) return suffixes;

  // The LMS substrings (from one LMS position to the next, both included) now stand in
  // sorted order. Name them by rank; equal substrings get equal names.
  std::vector<Index> sortedLms;
  sortedLms.reserve(lmsCount);
  for (Index v : suffixes) {
    if (v >= 0 && lmsNumber[v] != -1) sortedLms.push_back(v);
  }
  std::vector<Index> reduced(lmsCount);
  Index name = 0;
  reduced[lmsNumber[sortedLms[0]]] = 0;
  for (Index k = 1; k < lmsCount; ++k) {
    Index left = sortedLms[k - 1];
    Index right = sortedLms[k];
    const Index leftEnd = lmsNumber[left] + 1 < lmsCount ? lms[lmsNumber[left] + 1] : n;
    const Index rightEnd = lmsNumber[right] + 1 < lmsCount ? lms[lmsNumber[right] + 1] : n;
    bool same = leftEnd - left == rightEnd - right;
    if (same) {
      while (left < leftEnd && text[left] == text[right]) {
        ++left;
        ++right;
      }
      same = left < n && right < n && text[left] == text[right];
    }
    if (!same) ++name;
    reduced[lmsNumber[sortedLms[k]]] = name;
  }
  lmsNumber = {};

  // Names that are all distinct already give the order; otherwise sort the reduced text.
  if (name + 1 < lmsCount) {
    const std::vector<Index> reducedOrder = InducedSort(reduced, name + 1);
    for (Index k = 0; k < lmsCount; ++k) sortedLms[k] = lms[reducedOrder[k]];
  } else {
    for (Index k = 0; k < lmsCount; ++k) sortedLms[reduced[k]] = lms[k];
  }
  induce(sortedLms);
  return suffixes;
}

}  // namespace

std::vector<std::int32_t> BuildSuffixArray(std::span<const std::int32_t> text,
                                           std::int32_t alphabetSize) {
  return InducedSort(text, alphabetSize);
}

std::vector<std::int32_t> BuildLcpArray(std::span<const std::int32_t> text,
                                        std::span<const std::int32_t> suffixArray,
                                        std::span<const std::int32_t> inverse) {
  const std::size_t n = text.size();
  std::vector<std::int32_t> lcp(n + 1, 0);
  lcp[0] = -1;
  lcp[n] = -1;
  // The suffix after i shares at least one symbol less with its predecessor than i did.
  std::size_t common = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (common > 0) --common;
    const std::int32_t rank = inverse[i];
    if (rank == 0) {
      common = 0;
      continue;
    }
    const std::size_t other = static_cast<std::size_t>(suffixArray[rank - 1]);
    while (i + common < n && other + common < n && text[i + common] == text[other + common]) {
      ++common;
    }
    lcp[rank] = static_cast<std::int32_t>(common);
  }
  return lcp;
}

}  // namespace sorowa
