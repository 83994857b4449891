// Two texts and the five options go through the whole Compare command; the stored report is
// then read back table by table and checked against units computed here independently.
//
// Input: one byte of options (bits 0-4) and morpheme back-end behaviour (bits 5-7), one seed
// byte for where the stand-in analyser puts word boundaries, then the Source and the Target
// text (see ReadText).

#include <filesystem>
#include <memory>
#include <optional>

#include "compare/compare_options.h"
#include "compare/compare_ui.h"
#include "compare/on_compare.h"
#include "compare/report_document.h"
#include "compare/report_store.h"
#include "compare/utf8.h"
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

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::u16string current;
  for (char16_t c : text) {
    if (c == u'\r' || c == u'\n') {
      if (!current.empty()) lines.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
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
    }
    return false;
  }
  void ShowReport(const std::filesystem::path& path) override { shown = path; }
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

void CheckPair(HtmlCursor& html, const std::u16string& source, const std::u16string& target,
               const CompareOptions& options, BackendMode mode, std::uint8_t seed,
               const MorphAnalyzer& pseudoBunsetsu) {
  if (options.charDp) {
    CheckDpTable(html, "文字", source, Characters(target));
    html.Expect("<br>");
  }
  const SegmentList sourceMorphemes = ExpectedMorphemes(source, mode, seed);
  const SegmentList targetMorphemes = ExpectedMorphemes(target, mode, seed);
  if (options.morphemeDp) {
    // An empty list on either side leaves only the break.
    if (!sourceMorphemes.empty() && !targetMorphemes.empty()) {
      CheckDpTable(html, "形態素", source, targetMorphemes);
    }
    html.Expect("<br>");
  }
  SegmentList sourceUnits;
  SegmentList targetUnits;
  pseudoBunsetsu.SplitPseudoBunsetsu(source, sourceUnits);
  pseudoBunsetsu.SplitPseudoBunsetsu(target, targetUnits);
  if (options.pseudoBunsetsuDp) {
    CheckDpTable(html, "疑似文節", source, targetUnits);
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
  ui.options = {(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0, (flags & 8) != 0,
                (flags & 16) != 0};
  ui.texts[0] = ReadText(in, kMaxTextLength, true);
  ui.texts[1] = ReadText(in, kMaxTextLength, true);
  const std::vector<std::u16string> sourceLines = Lines(ui.texts[0]);
  const std::vector<std::u16string> targetLines = Lines(ui.texts[1]);

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
  const std::string head = ToUtf8(ReportHead());
  const std::string foot = ToUtf8(ReportFoot());
  FUZZ_CHECK(report.starts_with(head), "the report does not start with the head");
  FUZZ_CHECK(report.ends_with(foot) && report.size() >= head.size() + foot.size(),
             "the report does not end with the foot");

  MorphAnalyzer pseudoBunsetsu({}, [](const MessageSink&) { return nullptr; });
  pseudoBunsetsu.SetLanguage(0);
  HtmlCursor html(
      std::string_view(report).substr(head.size(), report.size() - head.size() - foot.size()));
  const std::size_t pairs = std::min(sourceLines.size(), targetLines.size());
  for (std::size_t i = 0; i < pairs; ++i) {
    CheckPair(html, sourceLines[i], targetLines[i], ui.options, mode, seed, pseudoBunsetsu);
  }
  if (!html.AtEnd()) html.Fail("text after the last line pair");
  return 0;
}
