// Two texts and the six options go through the whole Compare command; the pairs it reports
// are checked against lines numbered here independently (position pairs, or with lines
// aligned every line exactly once and in order), and the stored report is read back table
// by table, pair by pair, against units computed here.
//
// Input: one byte of options (bits 0-4) and morpheme back-end behaviour (bits 5-7), one seed
// byte whose low two bits place the stand-in analyser's word boundaries and whose top bit
// pairs lines by content, then the Source and the Target text (see ReadText).

#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "compare/compare_options.h"
#include "compare/compare_ui.h"
#include "compare/on_compare.h"
#include "compare/report_document.h"
#include "compare/report_store.h"
#include "fuzz_support.h"
#include "report_parsing.h"
#include "segment/morph_analyzer.h"

namespace sorowa::fuzz {
namespace {

constexpr std::size_t kMaxTextLength = 600;

enum class BackendMode { Words, Absent, Fails, WrongLength, AbsentWithMessage };

BackendMode ModeFromBits(unsigned bits) {
  switch (bits) {
    case 4:
      return BackendMode::Absent;
    case 5:
      return BackendMode::Fails;
    case 6:
      return BackendMode::WrongLength;
    case 7:
      return BackendMode::AbsentWithMessage;
    default:
      return BackendMode::Words;
  }
}

bool WordBoundary(char16_t before, char16_t after, std::uint8_t seed) {
  return ((before * 31u + after * 7u + seed) & 3u) == 0;
}

// Word indices alternate 0 and 1, so equal indices recur and only adjacency may join them.
class StandInBackend : public MorphBackend {
 public:
  StandInBackend(BackendMode mode, std::uint8_t seed) : mode_(mode), seed_(seed) {}
  bool Analyze(std::u16string_view text, std::vector<std::uint32_t>& wordIndex) override {
    if (mode_ == BackendMode::Fails) return false;
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (i > 0 && WordBoundary(text[i - 1], text[i], seed_)) word ^= 1;
      wordIndex.push_back(word);
    }
    if (mode_ == BackendMode::WrongLength) wordIndex.push_back(0);
    return true;
  }

 private:
  BackendMode mode_;
  std::uint8_t seed_;
};

SegmentList ExpectedMorphemes(const std::u16string& line, BackendMode mode, std::uint8_t seed) {
  SegmentList units;
  if (mode != BackendMode::Words) return units;
  std::u16string current;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (i > 0 && WordBoundary(line[i - 1], line[i], seed)) {
      units.push_back(current);
      current.clear();
    }
    current += line[i];
  }
  if (!current.empty()) units.push_back(current);
  return units;
}

struct NumberedLines {
  std::vector<std::u16string> lines;
  std::map<std::size_t, std::size_t> indexOf;  // line number in the text -> index in lines
};

// The non-empty lines and their line numbers: CR LF, LF and a lone CR each end a line.
NumberedLines Lines(const std::u16string& text) {
  NumberedLines result;
  std::u16string current;
  std::size_t number = 1;
  auto endLine = [&] {
    if (!current.empty()) {
      result.indexOf[number] = result.lines.size();
      result.lines.push_back(current);
    }
    current.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      endLine();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      ++number;
    } else {
      current += c;
    }
  }
  endLine();
  return result;
}

// The character table's columns: a surrogate pair is one character, any other code unit
// (a lone surrogate too) one of its own.
SegmentList Characters(const std::u16string& line) {
  SegmentList units;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool pair = line[i] >= 0xD800 && line[i] <= 0xDBFF && i + 1 < line.size() &&
                      line[i + 1] >= 0xDC00 && line[i + 1] <= 0xDFFF;
    units.push_back(line.substr(i, pair ? 2 : 1));
    if (pair) ++i;
  }
  return units;
}

class FakeUi : public CompareUi {
 public:
  std::u16string texts[2];
  bool normalised[2] = {false, false};
  CompareOptions options;
  std::optional<std::filesystem::path> shown;
  std::vector<CompareResult> results;
  int errors = 0;
  int messages = 0;
  std::string lastError;

  std::u16string EditorText(Editor editor) const override {
    return texts[static_cast<int>(editor)];
  }
  void SetEditorText(Editor editor, const std::u16string& text) override {
    texts[static_cast<int>(editor)] = text;
    normalised[static_cast<int>(editor)] = true;
  }
  bool IsOptionChecked(OptionId option) const override {
    switch (option) {
      case OptionId::CharDp:
        return options.charDp;
      case OptionId::MorphemeDp:
        return options.morphemeDp;
      case OptionId::PseudoBunsetsuDp:
        return options.pseudoBunsetsuDp;
      case OptionId::PseudoBunsetsuMatch:
        return options.pseudoBunsetsuMatch;
      case OptionId::MorphemeMatch:
        return options.morphemeMatch;
      case OptionId::AlignLines:
        return options.alignLines;
      default:
        return false;  // normalisation and scores have fuzz targets of their own
    }
  }
  void ShowReport(const std::filesystem::path& path) override { shown = path; }
  void ShowResult(const CompareResult& result) override { results.push_back(result); }
  void ReportError(const std::string& message) override {
    ++errors;
    lastError = message;
  }
  void ShowMessage(const UserMessage&) override { ++messages; }
};

class MemoryStore : public ReportStore {
 public:
  std::string bytes;
  int writes = 0;
  std::filesystem::path Write(std::string_view utf8) override {
    bytes = utf8;
    ++writes;
    return "/memory/report.htm";
  }
};

// A DP table of a pair: the usual one, or with one side missing (an empty text) the lone
// line's units alone.
void CheckAnyDpTable(HtmlCursor& html, std::string_view captionWord, const std::u16string& source,
                     const SegmentList& sourceUnits, const SegmentList& targetUnits) {
  if (source.empty()) {
    CheckLoneDpTable(html, captionWord, targetUnits, false);
  } else if (targetUnits.empty()) {
    CheckLoneDpTable(html, captionWord, sourceUnits, true);
  } else {
    CheckDpTable(html, captionWord, source, targetUnits);
  }
}

// One pair's tables; source or target is empty when the pair has no line on that side.
void CheckPair(HtmlCursor& html, const std::u16string& source, const std::u16string& target,
               const CompareOptions& options, BackendMode mode, std::uint8_t seed,
               const MorphAnalyzer& pseudoBunsetsu) {
  if (options.charDp) {
    CheckAnyDpTable(html, "文字", source, Characters(source), Characters(target));
    html.Expect("<br>");
  }
  const SegmentList sourceMorphemes = ExpectedMorphemes(source, mode, seed);
  const SegmentList targetMorphemes = ExpectedMorphemes(target, mode, seed);
  if (options.morphemeDp) {
    // An empty list on either side of a pair with two lines leaves only the break.
    if (source.empty() || target.empty() ||
        (!sourceMorphemes.empty() && !targetMorphemes.empty())) {
      CheckAnyDpTable(html, "形態素", source, sourceMorphemes, targetMorphemes);
    }
    html.Expect("<br>");
  }
  SegmentList sourceUnits;
  SegmentList targetUnits;
  pseudoBunsetsu.SplitPseudoBunsetsu(source, sourceUnits);
  pseudoBunsetsu.SplitPseudoBunsetsu(target, targetUnits);
  if (options.pseudoBunsetsuDp) {
    CheckAnyDpTable(html, "疑似文節", source, sourceUnits, targetUnits);
    html.Expect("<br>");
  }
  if (options.pseudoBunsetsuMatch) {
    CheckMatchTable(html, "疑似文節", sourceUnits, targetUnits);
    html.Expect("<br>");
  }
  if (options.morphemeMatch) {
    CheckMatchTable(html, "形態素", sourceMorphemes, targetMorphemes);
    html.Expect("<br>");
  }
  html.Expect("<hr><br>");
}

// The lines of one side of a pair, named by its first and last line number, joined; empty for
// no line. Checks that they name a run of consecutive lines of the text, each used once; in
// order (the Target side, and the Source side of a pair not moved), the run starts at or
// after next (exactly at next when exact), which moves past it. taken counts the lines used.
std::u16string TakeSide(const PairSide& side, const NumberedLines& text, std::vector<bool>& used,
                        std::size_t& next, bool inOrder, bool exact, std::size_t& taken,
                        const char* name) {
  std::u16string joined;
  if (side.count == 0) return joined;
  const auto first = text.indexOf.find(side.first);
  FUZZ_CHECK(first != text.indexOf.end(),
             std::string(name) + " line " + std::to_string(side.first) + " is not a line");
  const std::size_t from = first->second;
  const auto last = text.indexOf.find(side.last);
  FUZZ_CHECK(from + side.count <= text.lines.size() && last != text.indexOf.end() &&
                 last->second == from + side.count - 1,
             std::string(name) + " side " + FormatPairSide(side) + " is not a run of its lines");
  if (inOrder) {
    FUZZ_CHECK(exact ? from == next : from >= next,
               std::string(name) + " line " + std::to_string(side.first) + " comes out of order");
    next = from + side.count;
  }
  for (std::size_t k = from; k < from + side.count; ++k) {
    FUZZ_CHECK(!used[k], std::string(name) + " line " + std::to_string(k) + " is used twice");
    used[k] = true;
    joined += text.lines[k];
    ++taken;
  }
  return joined;
}

}  // namespace
}  // namespace sorowa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa;
  using namespace sorowa::fuzz;
  ByteReader in(data, size);
  const std::uint8_t flags = in.Byte();
  const std::uint8_t seed = in.Byte();
  const BackendMode mode = ModeFromBits(flags >> 5);

  FakeUi ui;
  ui.options = {(flags & 1) != 0, (flags & 2) != 0,  (flags & 4) != 0,
                (flags & 8) != 0, (flags & 16) != 0, (seed & 128) != 0};
  ui.texts[0] = ReadText(in, kMaxTextLength, true);
  ui.texts[1] = ReadText(in, kMaxTextLength, true);
  const NumberedLines source = Lines(ui.texts[0]);
  const NumberedLines target = Lines(ui.texts[1]);
  const std::vector<std::u16string>& sourceLines = source.lines;
  const std::vector<std::u16string>& targetLines = target.lines;

  MemoryStore store;
  int factoryCalls = 0;
  const MorphBackendFactory factory =
      [&](const MessageSink& showMessage) -> std::unique_ptr<MorphBackend> {
    ++factoryCalls;
    if (mode == BackendMode::Absent) return nullptr;
    if (mode == BackendMode::AbsentWithMessage) {
      showMessage({"analyser", "cannot start"});
      return nullptr;
    }
    return std::make_unique<StandInBackend>(mode, seed);
  };
  OnCompare(ui, store, factory);

  FUZZ_CHECK(ui.errors == 0, "the Compare failed: " + ui.lastError);
  FUZZ_CHECK(store.writes == 1 && ui.shown == std::filesystem::path("/memory/report.htm"),
             "the report was not stored once and shown");
  FUZZ_CHECK(factoryCalls == 1, "the analyser was not set up exactly once");
  FUZZ_CHECK(ui.messages == (mode == BackendMode::AbsentWithMessage ? 1 : 0),
             "the analyser's message was not shown exactly once");
  FUZZ_CHECK(ui.results.size() == 1, "the result was not handed over once");
  const CompareResult& result = ui.results[0];
  FUZZ_CHECK(result.linesAligned == ui.options.alignLines, "the result names the wrong pairing");
  for (int side = 0; side < 2; ++side) {
    std::u16string normal;
    for (const std::u16string& line : side == 0 ? sourceLines : targetLines) {
      normal += line + u"\r\n";
    }
    FUZZ_CHECK(ui.normalised[side] && ui.texts[side] == normal,
               "editor " + std::to_string(side) + " was not normalised to its lines");
  }

  const std::string& report = store.bytes;
  FUZZ_CHECK(IsValidUtf8(report), "the report is not valid UTF-8");
  const std::string head = std::string(ReportHead());
  const std::string foot = std::string(ReportFoot());
  FUZZ_CHECK(report.starts_with(head), "the report does not start with the head");
  FUZZ_CHECK(report.ends_with(foot) && report.size() >= head.size() + foot.size(),
             "the report does not end with the foot");

  MorphAnalyzer pseudoBunsetsu({}, [](const MessageSink&) { return nullptr; });
  pseudoBunsetsu.SetLanguage(0);
  HtmlCursor html(
      std::string_view(report).substr(head.size(), report.size() - head.size() - foot.size()));
  std::size_t nextSource = 0;
  std::size_t nextTarget = 0;
  std::size_t takenSource = 0;
  std::size_t takenTarget = 0;
  std::vector<bool> sourceUsed(sourceLines.size(), false);
  std::vector<bool> targetUsed(targetLines.size(), false);
  std::size_t sourceAlone = 0;
  std::size_t targetAlone = 0;
  for (std::size_t i = 0; i < result.pairs.size(); ++i) {
    const PairRecord& pair = result.pairs[i];
    FUZZ_CHECK(!pair.source.empty() || !pair.target.empty(), "a pair without lines");
    if (!ui.options.alignLines) {
      FUZZ_CHECK(pair.source.count == 1 && pair.target.count == 1 && !pair.moved &&
                     source.indexOf.at(pair.source.first) == i &&
                     target.indexOf.at(pair.target.first) == i,
                 "pair " + std::to_string(i) + " is not line " + std::to_string(i) + " with line " +
                     std::to_string(i));
    }
    FUZZ_CHECK(!pair.moved || (!pair.source.empty() && !pair.target.empty()),
               "a moved pair with one side");
    const std::u16string sourceText = TakeSide(pair.source, source, sourceUsed, nextSource,
                                               !pair.moved, false, takenSource, "Source");
    const std::u16string targetText =
        TakeSide(pair.target, target, targetUsed, nextTarget, true, true, takenTarget, "Target");
    if (pair.target.empty()) sourceAlone += pair.source.count;
    if (pair.source.empty()) targetAlone += pair.target.count;
    CheckPair(html, sourceText, targetText, ui.options, mode, seed, pseudoBunsetsu);
  }
  if (!html.AtEnd()) html.Fail("text after the last line pair");

  // By position, the pairs run to the shorter side's end and the rest is left out; by
  // content, every line shows up exactly once.
  const std::size_t pairs = std::min(sourceLines.size(), targetLines.size());
  if (ui.options.alignLines) {
    FUZZ_CHECK(takenSource == sourceLines.size() && takenTarget == targetLines.size(),
               "lines were left out of the aligned pairs");
  } else {
    FUZZ_CHECK(result.pairs.size() == pairs, "not one pair per line of the shorter side");
  }
  FUZZ_CHECK(result.source.lines == sourceLines.size() && result.target.lines == targetLines.size(),
             "the line counts are wrong");
  FUZZ_CHECK(result.source.omitted == sourceLines.size() - takenSource &&
                 result.target.omitted == targetLines.size() - takenTarget,
             "the lines left out are miscounted");
  FUZZ_CHECK(result.source.alone == sourceAlone + result.source.omitted &&
                 result.target.alone == targetAlone + result.target.omitted,
             "the lines left alone are miscounted");
  // (By position the lines taken are the first ones.)
  for (const auto& [side, text, next] : {std::tuple{&result.source, &source, takenSource},
                                         std::tuple{&result.target, &target, takenTarget}}) {
    // The lines left out are the tail after the last line shown, as one range.
    if (next == text->lines.size()) {
      FUZZ_CHECK(side->omittedRanges.empty(), "a range of lines left out where none were");
      continue;
    }
    std::size_t first = 0;
    std::size_t last = 0;
    for (const auto& [number, index] : text->indexOf) {
      if (index == next) first = number;
      if (index + 1 == text->lines.size()) last = number;
    }
    FUZZ_CHECK(side->omittedRanges.size() == 1 && side->omittedRanges[0].first == first &&
                   side->omittedRanges[0].last == last,
               "the range of lines left out is wrong");
  }
  return 0;
}
