#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "segment/mecab_char_table.h"

namespace sorowa {

// A stretch of a line's UTF-8 bytes, [from, to), that MecabBackend handles on its own.
struct MecabPiece {
  std::size_t from = 0;
  std::size_t to = 0;
  // A run of blanks too long for MeCab: it becomes one word as it stands, unparsed.
  bool blankRun = false;

  bool operator==(const MecabPiece&) const = default;
};

// Cuts a line (well-formed UTF-8) into the pieces that are given to MeCab one at a time, in
// order; together they cover the line, and every cut falls between two characters.
//
// - A run of kLongBlankRun or more ASCII blanks is a piece of its own (blankRun): MeCab keeps
//   a node's length together with the whitespace before it in 16 bits, and past that it
//   quietly loses every node of the line.
// - A piece is at most kMaxParseBytes long: MeCab builds one lattice over all it is given,
//   which for a line of megabytes means gigabytes. A longer stretch is cut after the last
//   sentence-final mark in the second half of that length, else at a character boundary.
// - With the dictionary's character table, a run of characters that MeCab takes for one
//   kind is cut once MeCab's scanning of it would pass kRunScanBudget (see the .cpp). Text
//   without such runs is cut exactly as without the table.
void PlanMecabPieces(std::string_view utf8, const MecabCharTable* table,
                     std::vector<MecabPiece>& pieces);

// Far below the 16-bit limit even with the longest node MeCab makes after the run.
inline constexpr std::size_t kLongBlankRun = 4096;
inline constexpr std::size_t kMaxParseBytes = 16384;
// Longest run of one grouping character left whole; see the .cpp for the measurements.
inline constexpr std::size_t kLongestWholeRun = 256;
inline constexpr std::size_t kRunScanBudget = kLongestWholeRun * (kLongestWholeRun - 1) / 2;

}  // namespace sorowa
