// Two texts go through a Compare that writes the review page; the page must be well-formed
// UTF-8, every row must give back its pair's lines exactly (no character lost, added or left
// unescaped), its marks must count exactly the S, D and I that the scores give the pair, the
// identical pairs must be left out exactly when asked, every link must lead to the next
// change, the line cells must name the pair's first and last lines, and the moved pairs must
// be marked and counted.
//
// Input: one byte of options (bit 0 pairs lines by content, bit 1 leaves identical pairs out,
// bit 2 adds a byte that is not UTF-8 to the names), then the Source name, the Source text
// and the Target text (see ReadText).

#include <map>

#include "base/utf8.h"
#include "compare/compare_line_pairs.h"
#include "fuzz_support.h"
#include "review_parsing.h"

namespace sorowa::fuzz {
namespace {

constexpr std::size_t kMaxTextLength = 600;

// The text's lines by their numbers (from 1); CR LF, LF and a lone CR end a line. Empty
// lines have numbers but no place in any pair.
std::map<std::size_t, std::u16string> NumberedLines(const std::u16string& text) {
  std::map<std::size_t, std::u16string> lines;
  std::u16string current;
  std::size_t number = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') {
      current += c;
      continue;
    }
    if (!current.empty()) lines[number] = current;
    current.clear();
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    ++number;
  }
  if (!current.empty()) lines[number] = current;
  return lines;
}

// The lines of a side as the scores write it ("12", "12+13", "12-40" for every line from 12
// to 40, or "-"), joined; the number of lines in count.
std::u16string SideText(const std::string& side, const std::map<std::size_t, std::u16string>& lines,
                        std::size_t& count) {
  std::u16string text;
  count = 0;
  if (side == "-") return text;
  const std::size_t join = side.find_first_of("+-");
  const std::size_t first = std::stoul(side.substr(0, join));
  const std::size_t last = join == side.npos ? first : std::stoul(side.substr(join + 1));
  FUZZ_CHECK(lines.contains(first) && lines.contains(last),
             "the scores name line " + side + ", which is no line");
  // Joined lines are consecutive lines of the text; the empty lines between have no number
  // in lines.
  for (auto line = lines.find(first); line != lines.end() && line->first <= last; ++line) {
    text += line->second;
    ++count;
  }
  const std::size_t expected = join == side.npos ? 1 : side[join] == '+' ? 2 : count;
  FUZZ_CHECK(count == expected && (join == side.npos || side[join] == '+' || count >= 3),
             "side " + side + " names " + std::to_string(count) + " lines");
  return text;
}

// The line cell of a side: "12", "12–40" with the first and the last line, "—" for none.
std::string LineCell(const std::string& side) {
  if (side == "-") return "—";
  const std::size_t join = side.find_first_of("+-");
  if (join == side.npos) return side;
  return side.substr(0, join) + "–" + side.substr(join + 1);
}

}  // namespace
}  // namespace sorowa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa;
  using namespace sorowa::fuzz;
  ByteReader in(data, size);
  const std::uint8_t flags = in.Byte();
  CompareOptions options;
  options.alignLines = (flags & 1) != 0;
  options.changedOnly = (flags & 2) != 0;
  options.report = ReportKind::Review;
  options.scores = ScoreUnits::Chars;
  options.sourceName = ToUtf8(ReadText(in, 40, true));
  if ((flags & 4) != 0) options.sourceName += "\xFF<\xC3";
  options.targetName = options.sourceName + "&";
  const std::u16string sourceText = ReadText(in, kMaxTextLength, true);
  const std::u16string targetText = ReadText(in, kMaxTextLength, true);

  std::string page;
  const CompareResult result = CompareLinePairs(sourceText, targetText, page, options);
  FUZZ_CHECK(result.scores && result.scoresError.empty(), "the pairs were not scored");
  const StatsDocument& scores = *result.scores;

  const ReviewPageRead read = ReadReviewPage(page);
  FUZZ_CHECK(read.error.empty(), "the page does not read back: " + read.error);

  const auto sourceLines = NumberedLines(sourceText);
  const auto targetLines = NumberedLines(targetText);
  std::size_t identical = 0;
  for (const PairScore& pair : scores.pairs) identical += pair.status == PairStatus::Identical;
  const std::size_t leftOut = options.changedOnly ? identical : 0;
  FUZZ_CHECK(read.leftOut == leftOut, "the head says " + std::to_string(read.leftOut) +
                                          " pairs were left out, not " + std::to_string(leftOut));
  FUZZ_CHECK(read.rows.size() + leftOut == scores.pairs.size(),
             std::to_string(read.rows.size()) + " rows for " + std::to_string(scores.pairs.size()) +
                 " pairs");

  std::size_t previous = 0;
  std::size_t expectedChange = read.firstChange;
  for (const ReviewRowRead& row : read.rows) {
    const std::string where = "row " + std::to_string(row.number);
    FUZZ_CHECK(row.number > previous && row.number <= scores.pairs.size(),
               where + " is out of order");
    for (std::size_t skipped = previous + 1; skipped < row.number; ++skipped) {
      FUZZ_CHECK(options.changedOnly && scores.pairs[skipped - 1].status == PairStatus::Identical,
                 "pair " + std::to_string(skipped) + " is missing");
    }
    previous = row.number;
    const PairScore& pair = scores.pairs[row.number - 1];
    const ErrorCounts& counts = pair.chars;
    FUZZ_CHECK(
        row.substituted == counts.substitutions && row.substitutedTarget == counts.substitutions &&
            row.deleted == counts.deletions && row.inserted == counts.insertions,
        where + " marks " + std::to_string(row.substituted) + "/" +
            std::to_string(row.substitutedTarget) + " S, " + std::to_string(row.deleted) + " D, " +
            std::to_string(row.inserted) + " I where the scores have " +
            std::to_string(counts.substitutions) + " S, " + std::to_string(counts.deletions) +
            " D, " + std::to_string(counts.insertions) + " I");
    FUZZ_CHECK(!row.unmarked, where + " is shown without marks");
    FUZZ_CHECK(
        row.sourceMissing == (pair.status == PairStatus::TargetOnly) &&
            row.targetMissing == (pair.status == PairStatus::SourceOnly),
        where + " shows the wrong sides for a pair " + std::string(PairStatusName(pair.status)));
    std::size_t count = 0;
    const std::u16string source = SideText(pair.source, sourceLines, count);
    FUZZ_CHECK(row.sourceText == source,
               where + " shows Source " + Printable(row.sourceText) + " for " + Printable(source));
    FUZZ_CHECK(row.sourceJoins + 1 == std::max<std::size_t>(count, 1), where + " joins wrongly");
    const std::u16string target = SideText(pair.target, targetLines, count);
    FUZZ_CHECK(row.targetText == target,
               where + " shows Target " + Printable(row.targetText) + " for " + Printable(target));
    FUZZ_CHECK(row.targetJoins + 1 == std::max<std::size_t>(count, 1), where + " joins wrongly");
    FUZZ_CHECK(row.sourceLines == LineCell(pair.source) && row.targetLines == LineCell(pair.target),
               where + " names lines " + row.sourceLines + " and " + row.targetLines + " for " +
                   pair.source + " and " + pair.target);
    FUZZ_CHECK(row.moved == pair.moved,
               where + (pair.moved ? " is moved but not marked" : " is marked moved but is not"));

    // Every change is reached from the head or from the change before it.
    const bool change = pair.status != PairStatus::Identical;
    if (change) {
      FUZZ_CHECK(expectedChange == row.number, where + " is not linked from the change before");
      expectedChange = row.nextChange;
    } else {
      FUZZ_CHECK(row.nextChange == 0, where + " is identical but links on");
    }
  }
  FUZZ_CHECK(expectedChange == 0, "the last change links to another");
  FUZZ_CHECK(read.movedPairs == scores.totals.moved,
             "the head counts " + std::to_string(read.movedPairs) + " moved pairs, not " +
                 std::to_string(scores.totals.moved));
  return 0;
}
