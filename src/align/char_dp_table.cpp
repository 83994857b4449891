#include "align/char_dp_table.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "align/dp_align.h"
#include "align/dp_table.h"
#include "align/identical_tables.h"

namespace sorowa {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Where each character of line starts, in code units, and one more entry for the end.
std::vector<std::size_t> CharacterStarts(std::u16string_view line) {
  std::vector<std::size_t> starts;
  starts.reserve(line.size() + 1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    starts.push_back(i);
    if (IsHighSurrogate(line[i]) && i + 1 < line.size() && IsLowSurrogate(line[i + 1])) ++i;
  }
  starts.push_back(line.size());
  return starts;
}

// Without a surrogate pair, every character is one code unit.
bool HasSurrogatePair(std::u16string_view line) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (IsLowSurrogate(line[i]) && IsHighSurrogate(line[i - 1])) return true;
  }
  return false;
}

// One symbol per character: the code point of a pair, the code unit otherwise. A lone
// surrogate keeps its own value, which no pair's code point (0x10000 and up) can take.
std::vector<std::uint32_t> CharacterSymbols(std::u16string_view line,
                                            const std::vector<std::size_t>& starts) {
  std::vector<std::uint32_t> symbols;
  symbols.reserve(starts.size() - 1);
  for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
    const std::size_t at = starts[k];
    if (starts[k + 1] - at == 2) {
      symbols.push_back(0x10000 + ((static_cast<std::uint32_t>(line[at]) - 0xD800) << 10) +
                        (static_cast<std::uint32_t>(line[at + 1]) - 0xDC00));
    } else {
      symbols.push_back(line[at]);
    }
  }
  return symbols;
}

// Lines with a surrogate pair: the characters are aligned as code points and each piece is
// the stretch of code units its characters cover.
void WriteCodePointTable(const std::u16string& sourceLine, const std::u16string& targetLine,
                         std::u16string& report) {
  const std::vector<std::size_t> sourceStarts = CharacterStarts(sourceLine);
  const std::vector<std::size_t> targetStarts = CharacterStarts(targetLine);
  const std::vector<std::uint32_t> source = CharacterSymbols(sourceLine, sourceStarts);
  const std::vector<std::uint32_t> target = CharacterSymbols(targetLine, targetStarts);
  const ColumnStarts starts =
      DpAlign(std::span<const std::uint32_t>(source), std::span<const std::uint32_t>(target));
  // The grouping of GroupSourcePieces, in characters.
  const auto n = static_cast<std::int64_t>(source.size());
  const std::size_t m = target.size();
  std::vector<std::u16string> pieces(m);
  std::vector<std::u16string> targetTexts(m);
  for (std::size_t k = 0; k < m; ++k) {
    targetTexts[k] = targetLine.substr(targetStarts[k], targetStarts[k + 1] - targetStarts[k]);
    const std::int64_t first = starts[k];
    if (first < 0 || first >= n) continue;
    const std::int64_t end = k + 1 < m ? std::min<std::int64_t>(starts[k + 1], n) : n;
    if (end <= first) continue;
    pieces[k] = sourceLine.substr(sourceStarts[first], sourceStarts[end] - sourceStarts[first]);
  }
  WriteDpTable(report, u"文字", pieces, targetTexts);
}

}  // namespace

std::vector<std::u16string_view> LineCharacters(std::u16string_view line) {
  std::vector<std::u16string_view> characters;
  characters.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool pair =
        IsHighSurrogate(line[i]) && i + 1 < line.size() && IsLowSurrogate(line[i + 1]);
    characters.push_back(line.substr(i, pair ? 2 : 1));
    if (pair) ++i;
  }
  return characters;
}

void WriteCharDpTable(const std::u16string& sourceLine, const std::u16string& targetLine,
                      std::u16string& report) {
  if (sourceLine.empty() || targetLine.empty()) return;
  if (sourceLine == targetLine) {
    WriteIdenticalDpTable(report, u"文字", LineCharacters(targetLine));
    return;
  }
  if (HasSurrogatePair(sourceLine) || HasSurrogatePair(targetLine)) {
    WriteCodePointTable(sourceLine, targetLine, report);
    return;
  }
  // Without pairs every character is one code unit, and the code units are aligned as they
  // are.
  const std::span<const char16_t> source(sourceLine.data(), sourceLine.size());
  const std::span<const char16_t> target(targetLine.data(), targetLine.size());
  const ColumnStarts starts = DpAlign(source, target);
  const std::vector<std::u16string> pieces = GroupSourcePieces(source, starts, target.size());
  std::vector<std::u16string> targetTexts;
  targetTexts.reserve(target.size());
  for (char16_t c : targetLine) targetTexts.emplace_back(1, c);
  WriteDpTable(report, u"文字", pieces, targetTexts);
}

void WriteLoneCharDpTable(const std::u16string& line, LoneSide side, std::u16string& report) {
  const std::vector<std::u16string_view> characters = LineCharacters(line);
  WriteLoneDpTable(report, u"文字",
                   std::vector<std::u16string>(characters.begin(), characters.end()), side);
}

}  // namespace sorowa
