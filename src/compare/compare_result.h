#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "pairing/line_pair.h"

namespace sorowa {

// One side of a written line pair: the lines it compares, joined in this order, by their
// line numbers in the text (1-based, empty lines counted). None when the pair has no line on
// this side.
struct PairSide {
  std::size_t count = 0;  // 0, 1 or 2
  std::array<std::size_t, 2> lines{};

  bool empty() const { return count == 0; }
  friend bool operator==(const PairSide&, const PairSide&) = default;
};

// "12", "12+13" for two joined lines, "-" for none.
std::string FormatPairSide(const PairSide& side);

// One line pair of the report, in report order.
struct PairRecord {
  PairSide source;
  PairSide target;

  friend bool operator==(const PairRecord&, const PairRecord&) = default;
};

// Consecutive lines of one side, by line number (first <= last; lines between them that are
// empty belong to no pair anyway).
struct LineRange {
  std::size_t first = 0;
  std::size_t last = 0;

  friend bool operator==(const LineRange&, const LineRange&) = default;
};

// How one side's lines fared.
struct SideSummary {
  std::size_t lines = 0;  // non-empty lines, the ones that can be paired
  // Lines compared with no line of the other side: shown alone, or not shown at all.
  std::size_t alone = 0;
  // Lines not shown at all (surplus lines when pairing by position), and where they are.
  std::size_t omitted = 0;
  std::vector<LineRange> omittedRanges;

  friend bool operator==(const SideSummary&, const SideSummary&) = default;
};

// What a Compare wrote, for the front ends: the pairs in report order and what became of
// each side's lines.
struct CompareResult {
  bool linesAligned = false;  // paired by content; otherwise line i with line i
  std::vector<PairRecord> pairs;
  SideSummary source;
  SideSummary target;
};

// The pairs as tab-separated text, one pair a line in report order: the Source side, a tab,
// the Target side, each as FormatPairSide writes it.
std::string FormatPairsText(const CompareResult& result);

// Line ranges as "41–43, 50" (an en dash between the ends of a range of two or more lines).
std::string FormatLineRanges(const std::vector<LineRange>& ranges);

// The result of writing pairing over two line lists whose line numbers are given.
CompareResult DescribePairing(const LinePairing& pairing,
                              const std::vector<std::size_t>& sourceLineNumbers,
                              const std::vector<std::size_t>& targetLineNumbers, bool linesAligned);

// A pair's side for the lines first .. first+count-1 of a side.
PairSide MakePairSide(const std::vector<std::size_t>& lineNumbers, std::size_t first,
                      std::size_t count);

}  // namespace sorowa
