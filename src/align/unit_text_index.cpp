#include "align/unit_text_index.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include "align/suffix_array.h"
#include "base/stop_request.h"

namespace sorowa {
namespace {

using Index = UnitTextIndex::Index;

// Code units become symbols 1..k in their own order, so that suffixes sort as the texts
// would, and 0 is the separator after each text. Returns k + 1, the alphabet size.
Index JoinTexts(std::span<const std::u16string_view> texts, std::vector<Index>& joined) {
  // A table over all code units, kept per thread between calls (it would cost more to clear
  // for a short line than the rest of the work); only the entries used are set and reset.
  thread_local std::vector<Index> symbols(65536, 0);
  std::vector<char16_t> used;
  struct Reset {
    std::vector<char16_t>& used;
    ~Reset() {
      for (char16_t c : used) symbols[c] = 0;
    }
  } reset{used};
  for (std::u16string_view text : texts) {
    for (char16_t c : text) {
      if (symbols[c] == 0) {
        used.push_back(c);
        symbols[c] = 1;
      }
    }
  }
  std::sort(used.begin(), used.end());
  for (std::size_t k = 0; k < used.size(); ++k) symbols[used[k]] = static_cast<Index>(k) + 1;
  std::size_t at = 0;
  for (std::u16string_view text : texts) {
    for (char16_t c : text) joined[at++] = symbols[c];
    joined[at++] = 0;
  }
  return static_cast<Index>(used.size()) + 1;
}

}  // namespace

UnitTextIndex::UnitTextIndex(std::span<const std::u16string_view> texts) {
  std::size_t total = 0;
  for (std::u16string_view text : texts) total += text.size() + 1;
  // Half the range, so that sums of two ranks (as in the segment trees built on them) fit.
  if (total >= static_cast<std::size_t>(std::numeric_limits<Index>::max() / 2)) {
    throw std::overflow_error(
        "the units of a line pair are too long together for the matching table; split the "
        "long lines or turn off the matching tables");
  }
  const Index n = static_cast<Index>(total);
  start_.reserve(texts.size());
  length_.reserve(texts.size());
  Index at = 0;
  for (std::u16string_view text : texts) {
    start_.push_back(at);
    length_.push_back(static_cast<Index>(text.size()));
    at += static_cast<Index>(text.size()) + 1;
  }

  std::vector<Index> lcp;
  std::vector<Index> textAtRank;
  {
    std::vector<Index> joined(total);
    const Index alphabetSize = JoinTexts(texts, joined);
    std::vector<Index> suffixes = BuildSuffixArray(joined, alphabetSize);
    rank_.resize(total);
    for (Index r = 0; r < n; ++r) rank_[suffixes[r]] = r;
    ThrowIfStopped();
    lcp = BuildLcpArray(joined, suffixes, rank_);
    textAtRank = std::move(suffixes);
  }
  std::fill(textAtRank.begin(), textAtRank.end(), -1);
  for (Index k = 0; k < textCount(); ++k) textAtRank[rank_[start_[k]]] = k;
  ascending_.reserve(texts.size());
  for (Index k : textAtRank) {
    if (k >= 0) ascending_.push_back(k);
  }

  // The suffixes that begin with a text of length L run from the nearest rank at or before
  // the text's own whose common prefix with its predecessor is shorter than L, up to just
  // before the nearest such rank after it. A stack of ranks with rising common-prefix
  // lengths holds every such nearest rank, so each text costs one binary search.
  first_.resize(texts.size());
  last_.resize(texts.size());
  std::vector<Index> stack;
  const auto nearestShorter = [&](Index length) {
    const auto it =
        std::partition_point(stack.begin(), stack.end(), [&](Index r) { return lcp[r] < length; });
    return *(it - 1);  // the bottom of the stack has -1, shorter than any length
  };
  for (Index r = 0; r < n; ++r) {
    while (!stack.empty() && lcp[stack.back()] >= lcp[r]) stack.pop_back();
    stack.push_back(r);
    if (const Index k = textAtRank[r]; k >= 0) first_[k] = nearestShorter(length_[k]);
  }
  stack.assign(1, n);
  for (Index r = n - 1; r >= 0; --r) {
    if (const Index k = textAtRank[r]; k >= 0) last_[k] = nearestShorter(length_[k]) - 1;
    while (!stack.empty() && lcp[stack.back()] >= lcp[r]) stack.pop_back();
    stack.push_back(r);
  }
}

}  // namespace sorowa
