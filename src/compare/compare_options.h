#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/text_normalizer.h"

namespace sorowa {

// Which scores a Compare computes beside its report (docs/scores.md).
enum class ScoreUnits { None, Chars, CharsAndMorphemes };

// What the report of a Compare shows. Tables: the alignment tables of every pair, the
// report's traditional form. Review: one page made for reading, both texts side by side with
// every error marked from the scores' edit scripts, and the document's figures at its head.
enum class ReportKind { Tables, Review };

// Which tables each line pair gets, in the order the tables appear in the report, and how the
// lines are paired.
struct CompareOptions {
  bool charDp = false;
  bool morphemeDp = true;
  bool pseudoBunsetsuDp = true;
  bool pseudoBunsetsuMatch = true;
  bool morphemeMatch = true;
  // Pair lines by content (inserted, deleted, split and merged lines) instead of line i with
  // line i. Not a table: switching all tables on or off leaves it as it is.
  bool alignLines = false;
  // Applied to every line before anything else; a line it empties counts as an empty line.
  NormalizationOptions normalization{};
  ScoreUnits scores = ScoreUnits::None;
  // Off: no tables and no separators are written at all, only the pairing and the scores.
  bool writeTables = true;
  ReportKind report = ReportKind::Tables;
  // Review only: pairs whose lines are identical are left out (the page says how many).
  bool changedOnly = false;
  // Review only: what the page calls the two texts, their file names for instance (UTF-8;
  // bytes that are not are shown as U+FFFD).
  std::string sourceName{};
  std::string targetName{};
  // Review only: the page of each line of a document read with pages (by line number from
  // 1, as the pairs count lines; 0 where not known), so that the rows can say where a line
  // stands in print; empty for plain text.
  std::vector<std::uint32_t> sourcePages{};
  std::vector<std::uint32_t> targetPages{};
};

}  // namespace sorowa
