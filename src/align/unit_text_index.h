#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace sorowa {

// Distinct texts joined with a separator after each (a symbol below every code unit, which
// no text contains), and all suffixes of the joined texts sorted. Then the texts that begin
// with a text t, or contain it, are those with a suffix among the suffixes that begin with
// t, and these stand together: one range of ranks per text.
//
// Built in O(n) time for n code units in all, separators included (suffix array by induced
// sorting), using at most about 25 bytes per code unit while it is built and 4 afterwards.
class UnitTextIndex {
 public:
  using Index = std::int32_t;

  // The texts must be distinct; they are only read while the constructor runs. Throws
  // std::overflow_error when they are too long together for 32-bit ranks.
  explicit UnitTextIndex(std::span<const std::u16string_view> texts);

  Index textCount() const { return static_cast<Index>(start_.size()); }
  Index suffixCount() const { return static_cast<Index>(rank_.size()); }
  // Where text k stands in the joined texts, and its length.
  Index start(Index text) const { return start_[text]; }
  Index length(Index text) const { return length_[text]; }
  // The rank of the suffix at a position of the joined texts.
  Index rank(Index position) const { return rank_[position]; }
  // The ranks [first, last] of the suffixes that begin with the text. Those that go on with
  // a separator come first, so a longer text that this one begins has its range inside,
  // starting later.
  Index first(Index text) const { return first_[text]; }
  Index last(Index text) const { return last_[text]; }
  // All texts in ascending code-unit order (a text before the longer ones it begins).
  const std::vector<Index>& ascending() const { return ascending_; }

 private:
  std::vector<Index> start_;
  std::vector<Index> length_;
  std::vector<Index> rank_;
  std::vector<Index> first_;
  std::vector<Index> last_;
  std::vector<Index> ascending_;
};

}  // namespace sorowa
