#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pairing/line_pair.h"
#include "score/stats_document.h"

namespace sorowa {

// One side of a written line pair: the consecutive non-empty lines it compares, joined in this
// order, by the line numbers of the first and the last in the text (1-based, empty lines
// counted; empty lines between them belong to no pair). None when the pair has no line on
// this side.
struct PairSide {
  std::size_t count = 0;  // non-empty lines
  std::size_t first = 0;
  std::size_t last = 0;

  bool empty() const { return count == 0; }
  friend bool operator==(const PairSide&, const PairSide&) = default;
};

// "12" for one line, "12+13" for two, "12-40" for three or more (the first and the last), "-"
// for none.
std::string FormatPairSide(const PairSide& side);
// The side ParsePairSide reads back from text written so, the count of a range left at 3 (a
// range of three or more lines names only its ends); nullopt for any other text.
std::optional<PairSide> ParsePairSide(std::string_view text);

// One line pair of the report, in report order. A moved pair stands at its Target lines'
// place; its Source lines are out of order with those of the pairs around it.
struct PairRecord {
  PairSide source;
  PairSide target;
  bool moved = false;

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
  // The scores, when the options asked for them: scores->pairs[k] belongs to pairs[k]. In
  // position mode the surplus lines of the longer text follow, each a pair of its own
  // (source-only or target-only), which the report does not show: left out of the scores,
  // they would make the error rate look better than the texts are. scores->source and
  // scores->target (the paths) are for the caller to fill in. Without morphemes when the
  // analyser could not be started.
  std::optional<StatsDocument> scores;
  // Why the scores are absent although asked for (a pair too long to score); the report is
  // written all the same.
  std::string scoresError;
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
