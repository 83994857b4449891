#pragma once

// Reads the tables back out of a finished report (UTF-8) and checks them against the units
// they were built from. The parser accepts exactly the markup the table writers emit, so any
// stray or unescaped character shows up as a parse failure.

#include <string>
#include <string_view>
#include <vector>

#include "base/segment.h"

namespace sorowa::fuzz {

struct Cell {
  std::string status;  // "same", "partial" or "different"
  std::string text;    // unescaped UTF-8
};

// A cursor over the report text; Expect and friends abort with context when the markup is
// not what they expect.
class HtmlCursor {
 public:
  explicit HtmlCursor(std::string_view html) : html_(html) {}
  bool AtEnd() const { return pos_ == html_.size(); }
  bool LooksAt(std::string_view literal) const { return html_.substr(pos_).starts_with(literal); }
  void Expect(std::string_view literal);
  // Reads up to (not including) the terminator and skips the terminator.
  std::string_view ReadUntil(std::string_view terminator);
  [[noreturn]] void Fail(std::string_view what) const;

 private:
  std::string_view html_;
  std::size_t pos_ = 0;
};

enum class TableKind { CharDp, UnitDp, UnitMatch };

// Reads one DP table with the given caption word ("文字", "形態素", "疑似文節") and checks
// that its Target row shows targetUnits one per cell, its Source row shows sourceLine when
// read left to right, each column carries one class in both rows, and a column is same only
// when its two texts are equal.
void CheckDpTable(HtmlCursor& html, std::string_view captionWord, std::u16string_view sourceLine,
                  const SegmentList& targetUnits);

// Reads one DP table of a pair with one side missing, when units is not empty (otherwise
// expects none): one column per unit, every cell different, the units on their own row
// (the Source row when onSourceRow) and nothing but empty cells on the other.
void CheckLoneDpTable(HtmlCursor& html, std::string_view captionWord, const SegmentList& units,
                      bool onSourceRow);

// Reads one matching table and checks the pairing it shows: both rows list their units in
// line order; same and partial units pair off one to one (same with an identical unit,
// partial with one that contains it or that it contains); and no unit left different could
// still have been paired with a unit left different on the other side.
void CheckMatchTable(HtmlCursor& html, std::string_view captionWord, const SegmentList& sourceUnits,
                     const SegmentList& targetUnits);

}  // namespace sorowa::fuzz
