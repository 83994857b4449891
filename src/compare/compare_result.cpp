#include "compare/compare_result.h"

#include <charconv>

namespace sorowa {
namespace {

// Counts the lines of one side that pairs show and those shown alone.
SideSummary Summarise(const LinePairing& pairing, const std::vector<std::size_t>& lineNumbers,
                      bool source) {
  SideSummary summary;
  summary.lines = lineNumbers.size();
  std::vector<bool> shown(lineNumbers.size(), false);
  for (const LinePair& pair : pairing) {
    const std::size_t first = source ? pair.sourceFirst : pair.targetFirst;
    const std::size_t count = source ? pair.sourceCount : pair.targetCount;
    const std::size_t otherCount = source ? pair.targetCount : pair.sourceCount;
    for (std::size_t i = first; i < first + count; ++i) shown[i] = true;
    if (otherCount == 0) summary.alone += count;
  }
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i]) continue;
    ++summary.omitted;
    if (i > 0 && !shown[i - 1]) {
      summary.omittedRanges.back().last = lineNumbers[i];
    } else {
      summary.omittedRanges.push_back({lineNumbers[i], lineNumbers[i]});
    }
  }
  summary.alone += summary.omitted;
  return summary;
}

}  // namespace

std::string FormatPairSide(const PairSide& side) {
  if (side.count == 0) return "-";
  std::string text = std::to_string(side.first);
  if (side.count == 2) text += "+" + std::to_string(side.last);
  if (side.count > 2) text += "-" + std::to_string(side.last);
  return text;
}

std::optional<PairSide> ParsePairSide(std::string_view text) {
  if (text == "-") return PairSide{};
  const auto number = [](std::string_view digits) -> std::optional<std::size_t> {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || digits[0] == '0' || error != std::errc() ||
        end != digits.data() + digits.size()) {
      return std::nullopt;
    }
    return value;
  };
  const std::size_t join = text.find_first_of("+-");
  if (join == std::string_view::npos) {
    const auto line = number(text);
    if (!line) return std::nullopt;
    return PairSide{1, *line, *line};
  }
  const auto first = number(text.substr(0, join));
  const auto last = number(text.substr(join + 1));
  if (!first || !last || *last <= *first) return std::nullopt;
  return PairSide{text[join] == '+' ? std::size_t{2} : std::size_t{3}, *first, *last};
}

std::string FormatPairsText(const CompareResult& result) {
  std::string text;
  for (const PairRecord& pair : result.pairs) {
    text += FormatPairSide(pair.source);
    text += '\t';
    text += FormatPairSide(pair.target);
    text += '\n';
  }
  return text;
}

std::string FormatLineRanges(const std::vector<LineRange>& ranges) {
  std::string text;
  for (const LineRange& range : ranges) {
    if (!text.empty()) text += ", ";
    text += std::to_string(range.first);
    if (range.last != range.first) text += "\u2013" + std::to_string(range.last);
  }
  return text;
}

PairSide MakePairSide(const std::vector<std::size_t>& lineNumbers, std::size_t first,
                      std::size_t count) {
  if (count == 0) return PairSide{};
  return PairSide{count, lineNumbers[first], lineNumbers[first + count - 1]};
}

CompareResult DescribePairing(const LinePairing& pairing,
                              const std::vector<std::size_t>& sourceLineNumbers,
                              const std::vector<std::size_t>& targetLineNumbers,
                              bool linesAligned) {
  CompareResult result;
  result.linesAligned = linesAligned;
  result.pairs.reserve(pairing.size());
  for (const LinePair& pair : pairing) {
    result.pairs.push_back({MakePairSide(sourceLineNumbers, pair.sourceFirst, pair.sourceCount),
                            MakePairSide(targetLineNumbers, pair.targetFirst, pair.targetCount),
                            pair.moved});
  }
  result.source = Summarise(pairing, sourceLineNumbers, true);
  result.target = Summarise(pairing, targetLineNumbers, false);
  return result;
}

}  // namespace sorowa
