#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "align/unit_text_index.h"

namespace sorowa {

// Finds, for a query text, the first still-open candidate text that contains it or occurs
// in it, where candidates are withdrawn one by one over time. Queries and candidates are
// texts of one UnitTextIndex.
// - The candidates that contain query q have a suffix among those that begin with q, one
//   range of ranks. A segment tree over the ranks holds at each suffix of a candidate that
//   candidate's number while it is open, so the first one is a range minimum.
// - The candidates that occur in q are those that begin one of q's own suffixes. Their
//   ranges nest as the candidates' prefixes do, so the candidates beginning a given suffix
//   form a chain from the longest to the shortest; a union-find over that forest skips the
//   closed ones, so each of q's suffixes costs nearly O(1).
// Building takes O(n) time and 12 bytes per code unit of all the index's texts; a query
// O(log n) for the containing side plus O(|q|) for the contained side; a withdrawn
// candidate of length k costs O(k log n) once, when a search first meets it.
class ContainmentIndex {
 public:
  using Index = UnitTextIndex::Index;

  // Candidate c is texts' text candidates[c]; smaller numbers are preferred. Candidates
  // must be distinct and ordered by descending length (equal lengths in any order).
  ContainmentIndex(const UnitTextIndex& texts, std::span<const Index> candidates);

  // The smallest open candidate that contains text query of the index or occurs in it (an
  // empty text occurs in every text), or -1 when there is none.
  Index FirstOpen(Index query);

  // Withdraws an open candidate for good.
  void Close(Index candidate);

 private:
  static constexpr Index kNone = -1;

  Index FirstContaining(Index query);
  void RemoveFromTree(Index candidate);
  Index FirstContained(Index query);
  Index NearestOpen(Index candidate);

  const UnitTextIndex& texts_;
  std::vector<Index> candidateText_;
  Index candidateCount_ = 0;
  Index suffixCount_ = 0;
  // Segment tree (leaves at suffixCount_ + rank) of the smallest candidate having a suffix
  // there, open or withdrawn but not yet met again; candidateCount_ stands for none.
  std::vector<Index> containing_;
  // deepest_[rank]: the longest candidate that the suffix of that rank begins with, or
  // kNone. parent_: the next shorter candidate that begins the same suffixes, or
  // candidateCount_. open_: for the union-find, itself while open, else a shorter one.
  std::vector<Index> deepest_;
  std::vector<Index> parent_;
  std::vector<Index> open_;
  Index emptyCandidate_ = kNone;
};

}  // namespace sorowa
