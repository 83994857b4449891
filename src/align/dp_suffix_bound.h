#pragma once

// A lower bound of what aligning the rest of two sequences costs, from how often symbols and
// neighbouring pairs of symbols occur in them. Cheap to move one cell at a time, so a pass
// can ask it at the edges of every anti-diagonal.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace sorowa::detail {

// For the suffixes S[i..n) and T[j..m), with u the L1 distance of their symbol counts, b that
// of their counts of neighbouring pairs and g = |(n - i) - (m - j)|, every alignment of the
// two costs at least
//   max(ceil((u + g) / 2), ceil((u + b + 2g) / 6)).
// Each step changes the three measures by at most: a mismatched pair u 2, b 4; a skipped
// element u 1, b 3, g 1; a swap of two neighbours b 6 (plus a mismatched pair's worth for
// each crossed pair that differs), while costing 1 (the swap 1 more per difference). Both
// weightings give at most the step's cost, so the sums never exceed the alignment's.
// Pairs are counted in a hash table: symbols that share a bucket can only make b smaller.
class SuffixBound {
 public:
  // The symbols are below alphabetSize. Starts at (0, 0). Copies share the renumbered
  // symbols and are cheap next to the first.
  SuffixBound(std::span<const std::uint32_t> source, std::span<const std::uint32_t> target,
              std::uint32_t alphabetSize);

  // Moves to (i, j), 0 <= i <= n, 0 <= j <= m; costs one update per element passed.
  void MoveTo(std::ptrdiff_t i, std::ptrdiff_t j);
  std::int64_t Bound() const;
  std::ptrdiff_t i() const { return i_; }
  std::ptrdiff_t j() const { return j_; }

  // What a copy allocates; the first allocates sharedBytes() more.
  std::size_t bytes() const;
  std::size_t sharedBytes() const;

 private:
  std::size_t PairBucket(std::uint32_t a, std::uint32_t b) const;
  void AddSymbol(std::uint32_t symbol, int sign);
  void AddPair(std::uint32_t a, std::uint32_t b, int sign);

  // The symbols renumbered 0, 1, ... in order of appearance: Source first, then Target.
  std::shared_ptr<const std::vector<std::uint32_t>> dense_;
  const std::uint32_t* source_ = nullptr;
  const std::uint32_t* target_ = nullptr;
  std::ptrdiff_t n_ = 0;
  std::ptrdiff_t m_ = 0;
  std::vector<std::int32_t> symbols_;  // count in S[i..) minus count in T[j..)
  std::vector<std::int32_t> pairs_;
  int pairShift_ = 0;
  std::int64_t symbolDistance_ = 0;
  std::int64_t pairDistance_ = 0;
  std::ptrdiff_t i_ = 0;
  std::ptrdiff_t j_ = 0;
};

}  // namespace sorowa::detail
