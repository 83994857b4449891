#pragma once

// The review report: one HTML5 page made for reading. Its head holds the document's figures;
// then a row per line pair gives the line numbers, the status and the pair's character error
// rate, and the Source and the Target text side by side, each character marked from the
// pair's edit script (the one the scores count): substituted <mark>, deleted <del>, inserted
// <ins>. A substitution is marked on both sides; counting the marks in the Source column
// gives S and D, in the Target column I, exactly as the scores have them.
//
// Markup the window and the tests rely on: every row is one line "<tr id="p<number>" ...>
// ... </tr>", the Source text in <td class="a">, the Target text in <td class="b">; a side
// without a line is <td class="a none"> or <td class="b none">. User text is always escaped,
// so "<tr" never occurs in it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compare/compare_result.h"
#include "distance/levenshtein.h"
#include "score/stats_document.h"

namespace sorowa {

class ReportBuffer;

struct ReviewHead {
  std::string_view sourceName;
  std::string_view targetName;
  // The scores, or null when some pair could not be scored; scoresError then says why.
  const StatsDocument* scores = nullptr;
  std::string_view scoresError;
  // Rows of each status, those left out included.
  std::size_t identical = 0;
  std::size_t changed = 0;
  std::size_t sourceOnly = 0;
  std::size_t targetOnly = 0;
  // Lines of each side that have no line of the other side, and pairs that were moved.
  std::size_t sourceAloneLines = 0;
  std::size_t targetAloneLines = 0;
  std::size_t movedPairs = 0;
  // Identical pairs left out of the page, when only changes are shown.
  std::size_t leftOut = 0;
  // The number of the first row shown that is not identical; 0 when there is none.
  std::size_t firstChange = 0;
};

// The page from its doctype to the head row of the pairs' table.
void AppendReviewHead(std::string& out, const ReviewHead& head);

struct ReviewRow {
  std::size_t number = 0;  // from 1, in report order: the row's anchor is "p<number>"
  const PairRecord* sides = nullptr;
  bool moved = false;
  // The page of each side's first line in a document with pages; 0 where not known.
  std::uint32_t sourcePage = 0;
  std::uint32_t targetPage = 0;
  PairStatus status = PairStatus::Identical;
  std::optional<double> rate;  // the pair's character error rate
  // The texts, joined lines joined; empty for a side without a line.
  std::u16string_view source;
  std::u16string_view target;
  // Where each joined line after the first begins, in code units of source or target.
  std::span<const std::size_t> sourceJoins;
  std::span<const std::size_t> targetJoins;
  // The pair's character edit script, or null when the pair could not be aligned: the texts
  // are then shown unmarked.
  const std::vector<EditOp>* script = nullptr;
  // The number of the next row shown that is not identical; 0 when there is none.
  std::size_t nextChange = 0;
};

// Appends one row. scratch is room the caller keeps from row to row. Throws std::logic_error
// when the script does not fit the texts.
void AppendReviewRow(ReportBuffer& out, const ReviewRow& row, std::string& scratch);

// Closes the pairs' table and the page.
std::string_view ReviewFoot();

}  // namespace sorowa
