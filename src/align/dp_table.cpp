#include "align/dp_table.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace sorowa {

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether needle occurs in text as whole characters: an occurrence that would begin or end
// inside a surrogate pair of text does not count, so half a character never matches.
bool ContainsWhole(std::u16string_view text, std::u16string_view needle) {
  for (std::size_t at = text.find(needle); at != std::u16string_view::npos;
       at = text.find(needle, at + 1)) {
    const std::size_t end = at + needle.size();
    const bool cutsFront = at > 0 && IsHighSurrogate(text[at - 1]) && IsLowSurrogate(text[at]);
    const bool cutsBack =
        end < text.size() && IsHighSurrogate(text[end - 1]) && IsLowSurrogate(text[end]);
    if (!cutsFront && !cutsBack) return true;
  }
  return false;
}

void AppendCaption(ReportBuffer& report, std::u16string_view captionWord) {
  report += kTableCaptionOpen;
  report.AppendText(captionWord);
  report += kDpCaptionClose;
}

}  // namespace

MatchStatus ClassifyCell(std::u16string_view piece, std::u16string_view targetText) {
  // Only the longer text can hold the other, and of equal lengths only an equal one.
  if (piece.size() == targetText.size()) {
    return piece == targetText ? MatchStatus::Same : MatchStatus::Different;
  }
  const bool partial = piece.size() > targetText.size()
                           ? !targetText.empty() && ContainsWhole(piece, targetText)
                           : !piece.empty() && ContainsWhole(targetText, piece);
  return partial ? MatchStatus::Partial : MatchStatus::Different;
}

void WriteDpTable(ReportBuffer& report, std::u16string_view captionWord,
                  std::span<const std::u16string_view> pieces,
                  std::span<const std::u16string_view> targetTexts) {
  const std::size_t m = targetTexts.size();
  // Most tables are a line's worth of columns: their classes stay on the stack.
  constexpr std::size_t kOnStack = 512;
  MatchStatus stackClasses[kOnStack];
  std::vector<MatchStatus> heapClasses;
  MatchStatus* classes = stackClasses;
  if (m > kOnStack) {
    heapClasses.resize(m);
    classes = heapClasses.data();
  }
  AppendCaption(report, captionWord);
  for (std::size_t k = 0; k < m; ++k) {
    classes[k] = ClassifyCell(pieces[k], targetTexts[k]);
    report.AppendCell(CellOpen(classes[k]), pieces[k], kCellClose);
  }
  report += kBetweenRows;
  for (std::size_t k = 0; k < m; ++k) {
    report.AppendCell(CellOpen(classes[k]), targetTexts[k], kCellClose);
  }
  report += kDpTableEnd;
}

void WriteLoneDpTable(ReportBuffer& report, std::u16string_view captionWord,
                      std::span<const std::u16string_view> units, LoneSide side) {
  if (units.empty()) return;
  AppendCaption(report, captionWord);
  for (const LoneSide row : {LoneSide::Source, LoneSide::Target}) {
    if (row == LoneSide::Target) report += kBetweenRows;
    for (const std::u16string_view unit : units) {
      report.AppendCell(CellOpen(MatchStatus::Different), row == side ? unit : u"", kCellClose);
    }
  }
  report += kDpTableEnd;
}

}  // namespace sorowa
