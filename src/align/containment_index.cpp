#include "align/containment_index.h"

#include <algorithm>
#include <cstddef>

namespace sorowa {

ContainmentIndex::ContainmentIndex(const UnitTextIndex& texts, std::span<const Index> candidates)
    : texts_(texts),
      candidateText_(candidates.begin(), candidates.end()),
      candidateCount_(static_cast<Index>(candidates.size())),
      suffixCount_(texts.suffixCount()) {
  containing_.assign(2 * static_cast<std::size_t>(suffixCount_), candidateCount_);
  for (Index c = 0; c < candidateCount_; ++c) {
    const Index at = texts.start(candidateText_[c]);
    for (Index p = at; p < at + texts.length(candidateText_[c]); ++p) {
      containing_[suffixCount_ + texts.rank(p)] = c;
    }
    if (texts.length(candidateText_[c]) == 0) emptyCandidate_ = c;
  }
  for (Index i = suffixCount_ - 1; i >= 1; --i) {
    containing_[i] = std::min(containing_[2 * i], containing_[2 * i + 1]);
  }

  // The candidates' ranges nest (a range inside another belongs to a longer text that the
  // other begins, and starts later), so one sweep over the ranks with a stack of open
  // ranges gives each candidate its parent and each rank its innermost range.
  std::vector<Index> byFirst(candidateText_.size());
  for (Index c = 0; c < candidateCount_; ++c) byFirst[c] = c;
  std::sort(byFirst.begin(), byFirst.end(), [&](Index a, Index b) {
    return texts.first(candidateText_[a]) < texts.first(candidateText_[b]);
  });
  deepest_.assign(static_cast<std::size_t>(suffixCount_), kNone);
  parent_.assign(candidateText_.size(), candidateCount_);
  std::vector<Index> stack;
  std::size_t next = 0;
  for (Index r = 0; r < suffixCount_; ++r) {
    while (!stack.empty() && texts.last(candidateText_[stack.back()]) < r) stack.pop_back();
    while (next < byFirst.size() && texts.first(candidateText_[byFirst[next]]) == r) {
      const Index c = byFirst[next++];
      if (!stack.empty()) parent_[c] = stack.back();
      stack.push_back(c);
    }
    if (!stack.empty()) deepest_[r] = stack.back();
  }

  open_.resize(candidateText_.size() + 1);
  for (Index c = 0; c <= candidateCount_; ++c) open_[c] = c;
}

ContainmentIndex::Index ContainmentIndex::FirstOpen(Index query) {
  // A candidate that contains the query is at least as long as the query, and so comes
  // before every shorter one that occurs in it.
  const Index containing = FirstContaining(query);
  return containing != kNone ? containing : FirstContained(query);
}

ContainmentIndex::Index ContainmentIndex::FirstContaining(Index query) {
  // A withdrawn candidate leaves the tree only when a search comes upon it: most are never
  // met again, and their suffixes need not be visited at all.
  for (;;) {
    Index best = candidateCount_;
    Index low = suffixCount_ + texts_.first(query);
    Index high = suffixCount_ + texts_.last(query) + 1;
    for (; low < high; low >>= 1, high >>= 1) {
      if (low & 1) best = std::min(best, containing_[low++]);
      if (high & 1) best = std::min(best, containing_[--high]);
    }
    if (best == candidateCount_) return kNone;
    if (open_[best] == best) return best;
    RemoveFromTree(best);
  }
}

void ContainmentIndex::RemoveFromTree(Index candidate) {
  const Index at = texts_.start(candidateText_[candidate]);
  for (Index p = at; p < at + texts_.length(candidateText_[candidate]); ++p) {
    Index node = suffixCount_ + texts_.rank(p);
    containing_[node] = candidateCount_;
    for (node >>= 1; node >= 1; node >>= 1) {
      const Index smallest = std::min(containing_[2 * node], containing_[2 * node + 1]);
      if (containing_[node] == smallest) break;
      containing_[node] = smallest;
    }
  }
}

ContainmentIndex::Index ContainmentIndex::FirstContained(Index query) {
  Index best = candidateCount_;
  if (texts_.length(query) == 0) {
    // No suffix begins inside an empty text, but the empty candidate occurs in it.
    if (emptyCandidate_ != kNone) best = NearestOpen(emptyCandidate_);
  } else {
    // Along each chain the longest open candidate comes first in the order.
    const Index at = texts_.start(query);
    for (Index p = at; p < at + texts_.length(query); ++p) {
      const Index innermost = deepest_[texts_.rank(p)];
      if (innermost != kNone) best = std::min(best, NearestOpen(innermost));
    }
  }
  return best == candidateCount_ ? kNone : best;
}

ContainmentIndex::Index ContainmentIndex::NearestOpen(Index candidate) {
  while (open_[candidate] != candidate) {
    open_[candidate] = open_[open_[candidate]];  // path halving
    candidate = open_[candidate];
  }
  return candidate;
}

void ContainmentIndex::Close(Index candidate) { open_[candidate] = parent_[candidate]; }

}  // namespace sorowa
