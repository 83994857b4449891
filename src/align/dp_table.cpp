#include "align/dp_table.h"

#include "align/escape_html.h"

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

}  // namespace

MatchStatus ClassifyCell(std::u16string_view piece, std::u16string_view targetText) {
  if (piece == targetText) return MatchStatus::Same;
  if (!targetText.empty() && ContainsWhole(piece, targetText)) return MatchStatus::Partial;
  if (!piece.empty() && ContainsWhole(targetText, piece)) return MatchStatus::Partial;
  return MatchStatus::Different;
}

namespace {

void AppendCell(std::u16string& report, MatchStatus status, std::u16string_view text) {
  report += u"<td class=\"";
  report += ClassName(status);
  report += u"\">";
  AppendEscapedHtml(report, text);
  report += u"</td>\n";
}

void AppendCaption(std::u16string& report, std::u16string_view captionWord) {
  report += u"<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">";
  report += captionWord;
  report += u"単位でDPマッチング</span></td>\n";
}

constexpr std::u16string_view kBetweenRows = u"</tr>\n<tr>\n";
constexpr std::u16string_view kTableEnd = u"</tr>\n</table>\n";

}  // namespace

void WriteDpTable(std::u16string& report, std::u16string_view captionWord,
                  const std::vector<std::u16string>& pieces,
                  const std::vector<std::u16string>& targetTexts) {
  const std::size_t m = targetTexts.size();
  std::vector<MatchStatus> classes(m);
  AppendCaption(report, captionWord);
  for (std::size_t k = 0; k < m; ++k) {
    classes[k] = ClassifyCell(pieces[k], targetTexts[k]);
    AppendCell(report, classes[k], pieces[k]);
  }
  report += kBetweenRows;
  for (std::size_t k = 0; k < m; ++k) AppendCell(report, classes[k], targetTexts[k]);
  report += kTableEnd;
}

void WriteLoneDpTable(std::u16string& report, std::u16string_view captionWord,
                      const std::vector<std::u16string>& units, LoneSide side) {
  if (units.empty()) return;
  AppendCaption(report, captionWord);
  for (const LoneSide row : {LoneSide::Source, LoneSide::Target}) {
    if (row == LoneSide::Target) report += kBetweenRows;
    for (const std::u16string& unit : units) {
      AppendCell(report, MatchStatus::Different, row == side ? std::u16string_view(unit) : u"");
    }
  }
  report += kTableEnd;
}

}  // namespace sorowa
